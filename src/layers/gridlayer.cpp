#include "layers/gridlayer.h"

#include "core/viewmath.h"
#include "layers/gridlayout.h"
#include "layers/panzoomlayer.h"

#include <arvelle/glhelpers.h>
#include <arvelle/snapsettings.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

using Tessal::Vector2D;

namespace {

// Per channel fade * grid + (1 - fade) * background, truncated.
QColor Fade(const QColor& grid, const QColor& background, double fade) {
  auto mix = [fade](int g, int b) { return static_cast<int>(fade * g + (1.0 - fade) * b); };
  return QColor(mix(grid.red(), background.red()), mix(grid.green(), background.green()),
                mix(grid.blue(), background.blue()), 255);
}

}  // namespace

GridLayer::GridLayer(Viewport& viewport, std::shared_ptr<GraphViewColors> colors, const QFont& font)
    : Layer("Grid Layer"), mColors(std::move(colors)), mFontMetrics(font) {
  viewport.subscribe(*this);
  if (mColors) mColors->subscribe(*this);
}

GridLayer::~GridLayer() = default;

void GridLayer::viewportChanged(const Viewport&) { emit notifyLayerChanged(); }

void GridLayer::colorsChanged() { emit notifyLayerChanged(); }

double GridLayer::plotLeft(const Viewport& viewport) const {
  GridLayout l;
  if (!isVisible() || !ComputeGridLayout(viewport, mFontMetrics, l)) return viewport.getWindowBounds().x;
  return l.plotLeft;
}

void GridLayer::draw(const Viewport& viewport) const {
  GridLayout l;
  if (!mColors || !ComputeGridLayout(viewport, mFontMetrics, l)) return;

  const QColor grid = mColors->getColor(ColorRole::Grid);
  const QColor background = mColors->getColor(ColorRole::Background);
  const QColor minorX = Fade(grid, background, l.fx);
  const QColor minorY = Fade(grid, background, l.fy);
  const QColor label = grid.lighter(150);
  const std::size_t budgetX = LineBudget(l.pixelsX);
  const std::size_t budgetY = LineBudget(l.pixelsY);

  {
    GLAttributeSentry sentry(GL_CURRENT_BIT | GL_LINE_BIT);
    const GLRelativeProjection projection(viewport);
    // Every coordinate relative to the origin, subtracted here in double.
    const double x0 = projection.relativeX(l.xLeft), x1 = projection.relativeX(l.right);
    const double y0 = projection.relativeY(l.yBase), y1 = projection.relativeY(l.top);
    glLineWidth(1.0f);
    auto setColor = [](const QColor& c) {
      glColor3ub(static_cast<GLubyte>(c.red()), static_cast<GLubyte>(c.green()), static_cast<GLubyte>(c.blue()));
    };
    auto verticals = [&](double step) {
      glBegin(GL_LINES);
      ForMultiples(l.xLeft, l.right, step, budgetX, [&](double x) {
        const double rx = projection.relativeX(x);
        glVertex2d(rx, y0);
        glVertex2d(rx, y1);
      });
      glEnd();
    };
    auto horizontals = [&](double step) {
      glBegin(GL_LINES);
      ForMultiples(l.yBase, l.top, step, budgetY, [&](double y) {
        const double ry = projection.relativeY(y);
        glVertex2d(x0, ry);
        glVertex2d(x1, ry);
      });
      glEnd();
    };

    // The fainter minor set first, so the stronger one lies on top.
    if (l.fy > l.fx) {
      setColor(minorX);
      verticals(l.sx);
      setColor(minorY);
      horizontals(l.sy);
    } else {
      setColor(minorY);
      horizontals(l.sy);
      setColor(minorX);
      verticals(l.sx);
    }

    setColor(grid);
    verticals(10 * l.sx);
    horizontals(10 * l.sy);

    glLineWidth(2.0f);
    glBegin(GL_LINES);
    if (l.yBase <= 0 && 0 <= l.top) {
      glVertex2d(x0, projection.relativeY(0.0));
      glVertex2d(x1, projection.relativeY(0.0));
    }
    if (l.xLeft <= 0 && 0 <= l.right) {
      glVertex2d(projection.relativeX(0.0), y0);
      glVertex2d(projection.relativeX(0.0), y1);
    }
    glEnd();
  }

  // Labels last: the text goes through the widget's painter.
  for (const GridLabel& g : PlaceXLabels(l, mFontMetrics)) emit requestDrawText(g.x, g.y, g.text, label);
  for (auto g = l.yLabels.rbegin(); g != l.yLabels.rend(); ++g) emit requestDrawText(g->x, g->y, g->text, label);
}

bool GridLayer::handleEvent(QEvent* event, Viewport& viewport) {
  if (!event || !viewport.isPanZoomEnabled()) return false;
  switch (event->type()) {
    case QEvent::Wheel: {
      auto* e = static_cast<QWheelEvent*>(event);
      // The event's one delta: the larger of its two, vertical on a tie.
      const QPoint a = e->angleDelta();
      const int delta = std::abs(a.x()) > std::abs(a.y()) ? a.x() : a.y();
      const Vector2D<double> p(std::trunc(e->position().x()), std::trunc(e->position().y()));
      ZoomViewport(viewport, delta > 0, &p);
      return true;
    }
    case QEvent::KeyPress: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Plus || key == Qt::Key_Equal) {
        ZoomViewport(viewport, true, nullptr);
        return true;
      }
      if (key == Qt::Key_Minus) {
        ZoomViewport(viewport, false, nullptr);
        return true;
      }
      return false;
    }
    case QEvent::MouseButtonPress: {
      auto* e = static_cast<QMouseEvent*>(event);
      PanZoomLayer::Mode mode = PanZoomLayer::None;
      if (e->button() == Qt::MiddleButton) {
        mode = PanZoomLayer::Pan;
      } else if (e->button() == Qt::RightButton && (e->modifiers() & Qt::AltModifier)) {
        mode = PanZoomLayer::Zoom;
      }
      auto manager = getManager();
      // Without a manager there is nowhere to run the drag.
      if (mode == PanZoomLayer::None || !manager) return false;
      manager->pushLayer(std::make_shared<PanZoomLayer>(mode, RoundedPixel(e->localPos()), viewport));
      return true;
    }
    default:
      return false;
  }
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
