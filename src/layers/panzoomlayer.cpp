#include "layers/panzoomlayer.h"

#include "core/viewmath.h"
#include "layers/dragconstraints_internal.h"

#include <arvelle/viewport.h>

#include <QMouseEvent>

#include <algorithm>
#include <cmath>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

using Tessal::Rectangle;
using Tessal::Vector2D;

namespace {

constexpr double cZoomInFactor = 0.8;
constexpr double cZoomOutFactor = 1.25;
constexpr double cMinZoomSize = 0.001;
constexpr double cMaxZoomSize = 100000.0;
// Per pixel of drag: right and down shrink the view, left and up grow it.
constexpr double cDragZoomBase = 0.99;

bool HasPixels(const Rectangle<double>& win) {
  return win.width > 0 && win.height > 0 && std::isfinite(win.width) && std::isfinite(win.height);
}


// The rectangle of the given size that keeps world point a under window
// point p.
Rectangle<double> KeepUnder(const Viewport& viewport, const Vector2D<double>& a, const Vector2D<double>& p,
                            double width, double height) {
  const auto& win = viewport.getWindowBounds();
  return Rectangle<double>(a.x - (p.x - win.x) * width / win.width,
                           a.y - (win.y + win.height - p.y) * height / win.height, width, height);
}

}  // namespace

void ZoomViewport(Viewport& viewport, bool zoomIn, const Vector2D<double>* point) {
  const Rectangle<double> win = viewport.getWindowBounds();
  const Rectangle<double> world = viewport.getWorldBounds();
  if (!HasPixels(win)) return;

  Vector2D<double> p, a;
  if (point) {
    p = *point;
    a = WindowToWorld(viewport, p);
  } else {
    a = Vector2D<double>(world.x + 0.5 * world.width, world.y + 0.5 * world.height);
    // The centre of the world maps back to the centre of the window; taken
    // directly, it needs no division by a possibly empty world.
    p = Vector2D<double>(win.x + 0.5 * win.width, win.y + 0.5 * win.height);
  }

  const double factor = zoomIn ? cZoomInFactor : cZoomOutFactor;
  double width = factor * world.width;
  // Keeps the aspect ratio; an empty world has none, and is simply scaled.
  double height = world.width != 0 ? world.height * width / world.width : factor * world.height;
  // Each on its own: at a limit the other axis keeps zooming.
  width = std::clamp(width, cMinZoomSize, cMaxZoomSize);
  height = std::clamp(height, cMinZoomSize, cMaxZoomSize);

  const Rectangle<double> next = KeepUnder(viewport, a, p, width, height);
  if (IsUsableRectangle(next)) viewport.setWorldBounds(next);
}

PanZoomLayer::PanZoomLayer(Mode mode, const Vector2D<double>& anchor, const Viewport& viewport) {
  enterMode(mode, anchor, viewport);
}

PanZoomLayer::~PanZoomLayer() = default;

void PanZoomLayer::enterMode(Mode mode, Vector2D<double> anchor, const Viewport& viewport) {
  // Under an axis lock the moves that follow are locked too; an anchor taken
  // off the locked line would make the first of them jump.
  if (mConstraint) mConstraint->constrain(anchor);
  mMode = mode;
  mAnchor = anchor;
  const auto& world = viewport.getWorldBounds();
  const auto& win = viewport.getWindowBounds();
  if (mode == Pan) {
    mPanOrigin = Vector2D<double>(world.x, world.y);
    mPanScaleX = world.width / win.width;
    mPanScaleY = world.height / win.height;
  } else if (mode == Zoom) {
    mZoomStart = world;
    mZoomAspect = world.width != 0 ? world.height / world.width : 1.0;
  }
}

void PanZoomLayer::end() {
  mMode = None;
  removeFromManager();
}

bool PanZoomLayer::handleEvent(QEvent* event, Viewport& viewport) {
  if (!event) return false;
  switch (event->type()) {
    case QEvent::MouseMove: {
      auto* e = static_cast<QMouseEvent*>(event);
      mouseMove(RoundedPixel(e->localPos()), (e->modifiers() & Qt::ShiftModifier) != 0, viewport);
      return true;
    }
    case QEvent::MouseButtonPress: {
      auto* e = static_cast<QMouseEvent*>(event);
      // With both buttons held the one pressed last decides.
      if (e->button() == Qt::RightButton) {
        enterMode(Zoom, RoundedPixel(e->localPos()), viewport);
      } else if (e->button() == Qt::MiddleButton) {
        enterMode(Pan, RoundedPixel(e->localPos()), viewport);
      }
      return true;
    }
    case QEvent::MouseButtonRelease: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (e->button() == Qt::RightButton) {
        if (mMode == Zoom && (e->buttons() & Qt::MiddleButton)) {
          enterMode(Pan, RoundedPixel(e->localPos()), viewport);
        } else {
          end();
        }
      } else if (e->button() == Qt::MiddleButton) {
        if (mMode == Pan && (e->buttons() & Qt::RightButton)) {
          enterMode(Zoom, RoundedPixel(e->localPos()), viewport);
        } else {
          end();
        }
      }
      return true;
    }
    default:
      return false;
  }
}

void PanZoomLayer::mouseMove(const Vector2D<double>& position, bool shift, Viewport& viewport) {
  Vector2D<double> p = position;
  if (shift && !mConstraint) {
    mConstraint = std::make_unique<XYDragConstraint>(p);
    // The zoom restarts from here, so that the delay holds the current view.
    if (mMode == Zoom) enterMode(Zoom, p, viewport);
  }
  if (!HasPixels(viewport.getWindowBounds())) return;
  if (mConstraint) mConstraint->constrain(p);

  const Rectangle<double> world = viewport.getWorldBounds();
  Rectangle<double> next = world;
  if (mMode == Pan) {
    // The drawing follows the cursor at the scale the pan began with.
    next.x = mPanOrigin.x - (p.x - mAnchor.x) * mPanScaleX;
    next.y = mPanOrigin.y + (p.y - mAnchor.y) * mPanScaleY;
  } else if (mMode == Zoom) {
    const double d = (p.x - mAnchor.x) + (p.y - mAnchor.y);
    const double scale = std::pow(cDragZoomBase, d);
    double width = mZoomStart.width * scale;
    double height = mZoomAspect * width;
    if (mConstraint) {
      switch (mConstraint->getAxis()) {
        case XYDragConstraint::X:
          height = mZoomStart.height;
          break;
        case XYDragConstraint::Y:
          width = mZoomStart.width;
          height = mZoomStart.height * scale;
          break;
        case XYDragConstraint::None:
          // Still inside the delay: the view holds (recomputing it would
          // only add rounding).
          return;
      }
    }
    next = KeepUnder(viewport, WindowToWorld(viewport, mAnchor), mAnchor, width, height);
  } else {
    return;
  }
  // No size limits here, but a drag far off the screen can underflow or
  // overflow the size; such a view could never be mapped again, so it is
  // not taken.
  if (IsUsableRectangle(next)) viewport.setWorldBounds(next);
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
