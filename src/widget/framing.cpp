#include "widget/framing.h"

#include "core/viewmath.h"

#include <tessal/queries.h>

#include <QTimerEvent>

#include <algorithm>
#include <cmath>
#include <vector>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

using Tessal::Rectangle;
using Tessal::Vector2D;

namespace {

// Margin added on each framed side, as a fraction of the extent.
constexpr double cMargin = 0.05;

}  // namespace

// ---------------------------------------------------------------- AnimationMonitor

AnimationMonitor::AnimationMonitor(std::shared_ptr<Viewport> viewport, const Rectangle<double>& target)
    : mViewport(std::move(viewport)), mTarget(target) {
  mStart = mViewport->getWorldBounds();
  mEaseX = MakeEasing(mStart.width, mTarget.width);
  mEaseY = MakeEasing(mStart.height, mTarget.height);
  mTimerId = startTimer(mInterval, Qt::CoarseTimer);
}

AnimationMonitor::~AnimationMonitor() { stop(); }

void AnimationMonitor::stop() {
  if (mTimerId) killTimer(mTimerId);
  mTimerId = 0;
}

std::shared_ptr<Tessal::FCurve> AnimationMonitor::MakeEasing(double size, double target) {
  const double r = target / size;
  // Both control points at x = a: the curve rises from 0 to 1 with flat
  // ends, its steepest part early when a is small. A size that gives no
  // ratio eases symmetrically.
  const double a = std::isfinite(r) && r > 0 ? r / (1 + r) : 0.5;
  auto easing = Tessal::FCurve::create("easing");
  const auto first = easing->insertSegment(Tessal::Keyframe(0, 0), Tessal::Bezier::create()).key();
  const auto last = easing->insertSegment(Tessal::Keyframe(1, 1), Tessal::Constant::create()).key();
  // Weighted: a non-weighted handle keeps only its slope, and these are
  // flat; their length is what shapes the easing.
  for (Tessal::Keyframe* key : {first, last}) {
    key->setTangentsUnified(false);
    key->getInTangent()->setWeighted(true);
    key->getOutTangent()->setWeighted(true);
  }
  first->setTangents(Vector2D<double>(-a, 0), Vector2D<double>(a, 0));
  last->setTangents(Vector2D<double>(a - 1, 0), Vector2D<double>(1 - a, 0));
  return easing;
}

void AnimationMonitor::timerEvent(QTimerEvent* event) {
  if (event->timerId() != mTimerId) {
    Layer::timerEvent(event);
    return;
  }
  mElapsed += mInterval;
  const double t = std::min(1.0, std::max(0.0, static_cast<double>(mElapsed) / mDuration));
  const double ex = mEaseX->eval(t), ey = mEaseY->eval(t);
  const Rectangle<double> next(mStart.x * (1 - ex) + mTarget.x * ex, mStart.y * (1 - ey) + mTarget.y * ey,
                               mStart.width * (1 - ex) + mTarget.width * ex,
                               mStart.height * (1 - ey) + mTarget.height * ey);
  // The last step lands on the target itself, not on its rounding.
  mViewport->setWorldBounds(t >= 1 ? mTarget : next);
  if (t >= 1) {
    stop();
    mFinished = true;
  }
}

bool AnimationMonitor::handleEvent(QEvent* event, Viewport&) {
  const bool press = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
  if (press) stop();
  if (press || mFinished) removeFromManager();
  return false;
}

// ---------------------------------------------------------------- framing

void AnimateViewport(const std::shared_ptr<LayerManager>& manager, const std::shared_ptr<Viewport>& viewport,
                     const Rectangle<double>& target) {
  if (!manager || !viewport) return;
  if (target == viewport->getWorldBounds()) return;
  if (Tessal::NearZero(target.width) && Tessal::NearZero(target.height)) return;
  // A target the view cannot show (overflowing margins, empty limits of one
  // axis) would leave it blank.
  if (!IsUsableRectangle(target)) return;
  // A framing that starts while another of the same view runs takes over
  // from where the view is: two would set the bounds in turn every tick.
  std::vector<std::shared_ptr<Layer>> running;
  for (const auto& layer : *manager) {
    const auto monitor = std::dynamic_pointer_cast<AnimationMonitor>(layer);
    if (monitor && monitor->getViewport() == viewport) running.push_back(monitor);
  }
  for (const auto& layer : running) {
    std::static_pointer_cast<AnimationMonitor>(layer)->stop();
    manager->removeLayer(layer);
  }
  manager->pushLayer(std::make_shared<AnimationMonitor>(viewport, target));
}

void FrameRectangle(const std::shared_ptr<LayerManager>& manager, const std::shared_ptr<Viewport>& viewport,
                    FrameAxes axes, const Rectangle<double>& e) {
  if (!viewport) return;
  const Rectangle<double>& world = viewport->getWorldBounds();
  Rectangle<double> r = world;
  if (axes != YOnly) {
    if (Tessal::NearZero(e.width)) {
      r.x = e.x - 0.5 * world.width;
    } else {
      r.x = e.x - cMargin * e.width;
      r.width = (1 + 2 * cMargin) * e.width;
    }
  }
  if (axes != XOnly) {
    if (Tessal::NearZero(e.height)) {
      r.y = e.y - 0.5 * world.height;
    } else {
      r.y = e.y - cMargin * e.height;
      r.height = (1 + 2 * cMargin) * e.height;
    }
  }
  if (!(r.width > 0) || !(r.height > 0)) return;
  AnimateViewport(manager, viewport, r);
}

void FrameVisibleExtents(const std::shared_ptr<LayerManager>& manager, const std::shared_ptr<Viewport>& viewport,
                         const std::shared_ptr<Tessal::FCurveContainer>& curves,
                         const std::shared_ptr<Tessal::Selection>& selection, FrameAxes axes) {
  if (!curves || !selection) return;
  Rectangle<double> extents;
  if (Tessal::GetVisibleExtents(*curves, *selection, extents)) FrameRectangle(manager, viewport, axes, extents);
}

void FrameSelectedExtents(const std::shared_ptr<LayerManager>& manager, const std::shared_ptr<Viewport>& viewport,
                          const std::shared_ptr<Tessal::Selection>& selection, FrameAxes axes) {
  if (!selection) return;
  Rectangle<double> extents;
  if (Tessal::GetSelectedExtents(*selection, extents)) FrameRectangle(manager, viewport, axes, extents);
}

void CenterOnDomainValue(const std::shared_ptr<LayerManager>& manager, const std::shared_ptr<Viewport>& viewport,
                         double x) {
  if (!viewport || !std::isfinite(x)) return;
  Rectangle<double> r = viewport->getWorldBounds();
  if (x >= r.x && x < r.x + r.width) return;
  r.x = x - r.width / 2;
  AnimateViewport(manager, viewport, r);
}

void CenterOnPoint(const std::shared_ptr<LayerManager>& manager, const std::shared_ptr<Viewport>& viewport,
                   const Vector2D<double>& point) {
  if (!viewport || !Tessal::IsFinite(point)) return;
  Rectangle<double> r = viewport->getWorldBounds();
  if (point.x >= r.x && point.x < r.x + r.width && point.y >= r.y && point.y < r.y + r.height) return;
  r.x = point.x - r.width / 2;
  r.y = point.y - r.height / 2;
  AnimateViewport(manager, viewport, r);
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
