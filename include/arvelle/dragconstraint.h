// Filters for the cursor positions of a mouse drag. A drag starts only once
// the cursor leaves a small square around the press point, so that a click
// with a trembling hand moves nothing; from then on the distance travelled
// inside the square is subtracted, so the dragged object starts where it was
// instead of jumping by the threshold. All positions are window pixels.
#pragma once

#include <arvelle/version.h>

#include <tessal/types.h>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

// Tracks whether the cursor has left the dead square around the origin.
class ZENTHO_ARVELLE_EXPORT DragDelay {
 public:
  // threshold is the half-size of the square; 0 drags from the start, and a
  // negative or NaN threshold counts as 0.
  DragDelay(const Tessal::Vector2D<double>& origin, double threshold);
  virtual ~DragDelay();

  // Feeds one position; once dragging, further positions change nothing.
  void nextPoint(const Tessal::Vector2D<double>& p);

  bool isDragging() const { return mDragging; }
  const Tessal::Vector2D<double>& getOriginalPoint() const { return mOrigin; }
  // The motion absorbed by the square, fixed when the drag starts; (0, 0)
  // before.
  const Tessal::Vector2D<double>& getThresholdDelta() const { return mThresholdDelta; }

 protected:
  // Called once, with the position that left the square. Never called for a
  // zero threshold.
  virtual void thresholdExceeded(const Tessal::Vector2D<double>& p);

 private:
  Tessal::Vector2D<double> mOrigin;
  Tessal::Vector2D<double> mThresholdDelta;
  double mThreshold;
  bool mDragging;
};

class ZENTHO_ARVELLE_EXPORT DragConstraint {
 public:
  virtual ~DragConstraint();
  // Rewrites the position in place.
  virtual void constrain(Tessal::Vector2D<double>& p) = 0;
};

// Holds the object at the origin until the drag starts, then follows the
// cursor less the threshold delta.
class ZENTHO_ARVELLE_EXPORT DelayDragConstraint : public DragConstraint, private DragDelay {
 public:
  static constexpr double cDefaultThreshold = 3.0;

  explicit DelayDragConstraint(const Tessal::Vector2D<double>& origin);
  DelayDragConstraint(const Tessal::Vector2D<double>& origin, double threshold);
  ~DelayDragConstraint() override;

  void constrain(Tessal::Vector2D<double>& p) override;

  using DragDelay::getOriginalPoint;
  using DragDelay::getThresholdDelta;
  using DragDelay::isDragging;
};

ZENTHO_ARVELLE_NAMESPACE_END
