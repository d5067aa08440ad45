// Framing: moving and scaling the view so that a set of keys fills it, never
// as a jump. AnimationMonitor glides the viewport's world bounds to a target
// over a third of a second, easing each axis so that zooming in and out looks
// even; the free functions work out the targets.
#pragma once

#include <arvelle/layer.h>
#include <arvelle/viewport.h>

#include <tessal/container.h>
#include <tessal/fcurve.h>
#include <tessal/selection.h>

#include <memory>

class QTimerEvent;

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

enum FrameAxes { XOnly = 0, YOnly = 1, Both = 2 };

// The view animation: pushed on top of a manager, it steps the viewport's
// world bounds on a 33 ms timer for 330 ms. A mouse press stops it where it
// is (and still reaches the layers below); once finished it leaves at the
// next event that reaches it.
class AnimationMonitor : public Layer {
  Q_OBJECT

 public:
  static constexpr int cDuration = 330;
  static constexpr int cInterval = 33;

  AnimationMonitor(std::shared_ptr<Viewport> viewport, const Tessal::Rectangle<double>& target);
  ~AnimationMonitor() override;

  bool handleEvent(QEvent* event, Viewport& viewport) override;

  const std::shared_ptr<Viewport>& getViewport() const { return mViewport; }
  const Tessal::Rectangle<double>& getTarget() const { return mTarget; }
  bool isFinished() const { return mFinished; }
  // Stops stepping where the view is now.
  void stop();

  // An easing from 0 to 1 over [0, 1] for an axis whose size goes from size
  // to target: zooming in front-loads the change, zooming out back-loads it,
  // a pure pan is symmetric.
  static std::shared_ptr<Tessal::FCurve> MakeEasing(double size, double target);

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  std::shared_ptr<Viewport> mViewport;
  Tessal::Rectangle<double> mStart;
  Tessal::Rectangle<double> mTarget;
  std::shared_ptr<Tessal::FCurve> mEaseX;
  std::shared_ptr<Tessal::FCurve> mEaseY;
  int mTimerId = 0;
  int mElapsed = 0;
  int mDuration = cDuration;
  int mInterval = cInterval;
  bool mFinished = false;
};

// Starts an animation to the target, replacing one of the same viewport that
// is still running in the manager; nothing for a target equal to the view,
// an empty one (both sizes near zero) or one that cannot be shown.
void AnimateViewport(const std::shared_ptr<LayerManager>& manager, const std::shared_ptr<Viewport>& viewport,
                     const Tessal::Rectangle<double>& target);
// The rectangle with a 5 % margin on each framed side; a side without extent
// keeps the view's size and centres on the keys.
void FrameRectangle(const std::shared_ptr<LayerManager>& manager, const std::shared_ptr<Viewport>& viewport,
                    FrameAxes axes, const Tessal::Rectangle<double>& extents);
void FrameVisibleExtents(const std::shared_ptr<LayerManager>& manager, const std::shared_ptr<Viewport>& viewport,
                         const std::shared_ptr<Tessal::FCurveContainer>& curves,
                         const std::shared_ptr<Tessal::Selection>& selection, FrameAxes axes);
void FrameSelectedExtents(const std::shared_ptr<LayerManager>& manager, const std::shared_ptr<Viewport>& viewport,
                          const std::shared_ptr<Tessal::Selection>& selection, FrameAxes axes);
// Recentre on the value (horizontally) or the point when it is outside the
// view, keeping the view's size.
void CenterOnDomainValue(const std::shared_ptr<LayerManager>& manager, const std::shared_ptr<Viewport>& viewport,
                         double x);
void CenterOnPoint(const std::shared_ptr<LayerManager>& manager, const std::shared_ptr<Viewport>& viewport,
                   const Tessal::Vector2D<double>& point);

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
