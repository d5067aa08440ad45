#include "layers/gridlayer.h"

#include "core/viewmath.h"
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

// Everything one frame of the grid needs, in world units unless noted.
struct Layout {
  double upx, upy;                  // world units per pixel
  double left, right, bottom, top;  // the world rectangle
  double yBase;                     // lines start above the x label band
  double xLeft;                     // and right of the y label band
  double sx, fx, sy, fy;            // minor spacing and fade per axis
  double lx, ly;                    // label spacing per axis
  int dx, dy;                       // label decimals per axis
  double pixelsX, pixelsY;          // window size
  double windowBottom;              // window y + height, in pixels
};

bool Finite(double v) { return std::isfinite(v); }

// Characters of the integer part, sign included.
int DigitCount(double v) {
  int n = v < 0 ? 2 : 1;
  // A double has at most 309 integer digits; the bound also holds for values
  // that are not finite.
  for (double a = std::fabs(v); a >= 10 && n < 400; a /= 10) ++n;
  return n;
}

// One decimal place never shows: a count that would drop to 1 drops to 0.
int FewerDecimals(int d) {
  --d;
  return d == 1 ? 0 : d;
}

// Lines of one family lie at least 5 pixels apart, so a window of this many
// pixels holds at most a quarter as many of them. The bound only bites where
// the arithmetic stops advancing (a step far below the coordinate's
// precision), and treats any surface as at most 100000 pixels wide, more
// than any screen.
std::size_t Budget(double pixels) { return static_cast<std::size_t>(std::min(pixels, 1.0e5) / 4.0) + 2; }

// Calls f for each multiple of step in [from, to), lowest first, at most
// budget times. Indexed by integer, so a step lost in the coordinate's
// rounding repeats a value (skipped) instead of looping forever.
template <class F>
void ForMultiples(double from, double to, double step, std::size_t budget, F&& f) {
  const double first = std::ceil(from / step);
  double previous = 0.0;
  for (std::size_t k = 0; k < budget; ++k) {
    const double v = (first + static_cast<double>(k)) * step;
    if (!(v < to)) break;
    if (k > 0 && v == previous) continue;
    previous = v;
    f(v);
  }
}

// A text position, truncated toward zero; kept inside int for windows larger
// than any screen.
int Pixel(double v) { return static_cast<int>(std::max(-1.0e9, std::min(1.0e9, v))); }

// Per channel fade * grid + (1 - fade) * background, truncated.
QColor Fade(const QColor& grid, const QColor& background, double fade) {
  auto mix = [fade](int g, int b) { return static_cast<int>(fade * g + (1.0 - fade) * b); };
  return QColor(mix(grid.red(), background.red()), mix(grid.green(), background.green()),
                mix(grid.blue(), background.blue()), 255);
}

// False when the view cannot be mapped: empty, negative or unbounded world
// or window. Nothing is drawn then.
bool ComputeLayout(const Viewport& viewport, const QFontMetrics& fm, Layout& l) {
  const auto& win = viewport.getWindowBounds();
  const auto& world = viewport.getWorldBounds();
  if (!(win.width > 0) || !(win.height > 0) || !Finite(win.width) || !Finite(win.height) || !Finite(win.y)) {
    return false;
  }
  if (!(world.width > 0) || !(world.height > 0)) return false;
  l.upx = world.width / win.width;
  l.upy = world.height / win.height;
  l.left = world.x;
  l.right = world.x + world.width;
  l.bottom = world.y;
  l.top = world.y + world.height;
  for (double v : {l.upx, l.upy, l.left, l.right, l.bottom, l.top}) {
    if (!Finite(v)) return false;
  }
  if (!(l.upx > 0) || !(l.upy > 0)) return false;
  l.pixelsX = win.width;
  l.pixelsY = win.height;
  l.windowBottom = win.y + win.height;

  SnapSettings::GetGridMetrics(l.upx, l.sx, l.fx, l.dx);
  SnapSettings::GetGridMetrics(l.upy, l.sy, l.fy, l.dy);
  if (!(l.sx > 0) || !(l.sy > 0) || !Finite(l.sx) || !Finite(l.sy)) return false;

  const double cw = fm.averageCharWidth();
  const double fh = fm.height();

  // One text line at the bottom stays free for the x labels.
  l.yBase = l.bottom + fh * l.upy;

  // x labels: widen the spacing by tens, shedding decimals as the numbers
  // grow, until a label fits between two neighbours.
  l.lx = l.sx;
  const int n = std::max(DigitCount(l.left), DigitCount(l.right));
  for (int guard = 0; guard < 1000; ++guard) {
    const double labelWidth = (n + 1 + l.dx) * cw * l.upx;
    if (l.dx == 0) {
      for (int more = 0; !(l.lx > labelWidth) && more < 1000; ++more) l.lx *= 10;
      break;
    }
    if (l.lx > labelWidth) break;
    l.lx *= 10;
    l.dx = FewerDecimals(l.dx);
  }

  // y labels: one text line is all they need; a single step suffices.
  l.ly = l.sy;
  if (fh * l.upy > l.sy) {
    l.ly = 10 * l.sy;
    if (l.dy > 0) l.dy = FewerDecimals(l.dy);
  }

  const int m = std::max(DigitCount(l.top), DigitCount(l.yBase));
  l.xLeft = l.left + (cw * (m + l.dy) + 4) * l.upx;
  return true;
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

void GridLayer::draw(const Viewport& viewport) const {
  Layout l;
  if (!mColors || !ComputeLayout(viewport, mFontMetrics, l)) return;

  const QColor grid = mColors->getColor(ColorRole::Grid);
  const QColor background = mColors->getColor(ColorRole::Background);
  const QColor minorX = Fade(grid, background, l.fx);
  const QColor minorY = Fade(grid, background, l.fy);
  const QColor label = grid.lighter(150);
  const std::size_t budgetX = Budget(l.pixelsX);
  const std::size_t budgetY = Budget(l.pixelsY);

  {
    GLAttributeSentry sentry(GL_CURRENT_BIT | GL_LINE_BIT);
    glLineWidth(1.0f);
    auto setColor = [](const QColor& c) {
      glColor3ub(static_cast<GLubyte>(c.red()), static_cast<GLubyte>(c.green()), static_cast<GLubyte>(c.blue()));
    };
    auto verticals = [&](double step) {
      glBegin(GL_LINES);
      ForMultiples(l.xLeft, l.right, step, budgetX, [&](double x) {
        glVertex2d(x, l.yBase);
        glVertex2d(x, l.top);
      });
      glEnd();
    };
    auto horizontals = [&](double step) {
      glBegin(GL_LINES);
      ForMultiples(l.yBase, l.top, step, budgetY, [&](double y) {
        glVertex2d(l.xLeft, y);
        glVertex2d(l.right, y);
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
      glVertex2d(l.xLeft, 0.0);
      glVertex2d(l.right, 0.0);
    }
    if (l.xLeft <= 0 && 0 <= l.right) {
      glVertex2d(0.0, l.yBase);
      glVertex2d(0.0, l.top);
    }
    glEnd();
  }

  // Labels last: the text goes through the widget's painter.
  const int xLabelBaseline = Pixel(l.windowBottom - 2);
  ForMultiples(l.xLeft, l.right, l.lx, budgetX, [&](double v) {
    const QString text = QString::number(v, 'f', l.dx);
    const int x = Pixel((v - l.left) / l.upx - 0.5 * mFontMetrics.horizontalAdvance(text));
    emit requestDrawText(x, xLabelBaseline, text, label);
  });
  const double ascent = mFontMetrics.ascent();
  ForMultiples(l.yBase, l.top, l.ly, budgetY, [&](double v) {
    const QString text = QString::number(v, 'f', l.dy);
    const int y = Pixel((l.top - v) / l.upy + 0.5 * ascent);
    emit requestDrawText(2, y, text, label);
  });
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
