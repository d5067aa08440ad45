// The mapping between the curve world and the widget's pixels: window bounds
// (pixels), world bounds (the part of the curve plane shown) and optional
// world limits, plus the pan/zoom permission. Observers hear every effective
// change of a rectangle.
//
// Pixel (px, py), py downwards, and world (wx, wy), with win = window bounds
// and world = world bounds:
//   wx = world.x + (px - win.x) * world.width / win.width
//   wy = world.y + (win.y + win.height - py) * world.height / win.height
// The viewport converts nothing itself; every user applies these formulas.
//
// GL takes vertices in single precision, which far from the world's zero is
// coarser than a pixel. Drawing therefore goes relative to getOrigin(): each
// vertex has the origin subtracted in double precision before it reaches GL,
// under the projection that GLRelativeProjection (glhelpers.h) loads.
#pragma once

#include <arvelle/version.h>

#include <tessal/observer.h>
#include <tessal/types.h>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

class Viewport;

class ViewportObserver : public Tessal::TrackedObserver {
 public:
  ViewportObserver() = default;
  ~ViewportObserver() override;
  virtual void viewportChanged(const Viewport& viewport);
};

class Viewport {
 public:
  // Window (0, 0, 100, 100), world (0, 0, 1, 1), no limits, pan/zoom on.
  Viewport();
  Viewport(const Tessal::Rectangle<double>& windowBounds, const Tessal::Rectangle<double>& worldBounds);
  Viewport(const Viewport&) = delete;
  Viewport& operator=(const Viewport&) = delete;

  const Tessal::Rectangle<double>& getWindowBounds() const { return mWindowBounds; }
  const Tessal::Rectangle<double>& getWorldBounds() const { return mWorldBounds; }
  // The point that drawing subtracts from every vertex: the world bounds'
  // lower-left corner, so it moves with the view and what is left of a
  // visible vertex is about the view's size, exact in single precision.
  Tessal::Vector2D<double> getOrigin() const { return {mWorldBounds.x, mWorldBounds.y}; }
  // All zero when there are no limits.
  const Tessal::Rectangle<double>& getWorldLimits() const { return mWorldLimits; }

  // Each notifies once when the stored rectangle really changes. World
  // bounds that are not finite or have no positive width and height are
  // refused: nothing changes, nobody hears.
  void setWindowBounds(const Tessal::Rectangle<double>& bounds);
  void setWorldBounds(const Tessal::Rectangle<double>& bounds);
  // A non-positive width or height clears the limits to (0, 0, 0, 0).
  void setWorldLimits(const Tessal::Rectangle<double>& limits);
  void setWindowBounds(float x, float y, float width, float height);
  void setWorldBounds(float x, float y, float width, float height);
  void setWorldLimits(float x, float y, float width, float height);

  // Not a rectangle: changing it notifies nobody.
  void setPanZoomEnabled(bool enabled) { mPanZoomEnabled = enabled; }
  bool isPanZoomEnabled() const { return mPanZoomEnabled; }

  void subscribe(ViewportObserver& observer) { mObservers.subscribe(observer); }
  void unsubscribe(ViewportObserver& observer) { mObservers.unsubscribe(observer); }
  bool isSubscribed(const ViewportObserver& observer) const { return mObservers.isSubscribed(observer); }

  // Calls viewportChanged on every observer; public so a caller can force it.
  void notifyViewportChanged();

 private:
  void store(Tessal::Rectangle<double>& field, const Tessal::Rectangle<double>& value);

  Tessal::Rectangle<double> mWindowBounds{0, 0, 100, 100};
  Tessal::Rectangle<double> mWorldBounds{0, 0, 1, 1};
  Tessal::Rectangle<double> mWorldLimits{0, 0, 0, 0};
  Tessal::Subject<ViewportObserver> mObservers;
  bool mPanZoomEnabled = true;
};

ZENTHO_ARVELLE_NAMESPACE_END
