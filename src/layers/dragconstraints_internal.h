// The restricting drag constraints, used by the library's own gestures. Both
// decide their restriction from the first motion that leaves the dead square
// and keep it for the rest of the drag.
#pragma once

#include <arvelle/dragconstraint.h>

#include <memory>

ZENTHO_TESSAL_NAMESPACE_BEGIN
class Tangent;
ZENTHO_TESSAL_NAMESPACE_END

ZENTHO_ARVELLE_NAMESPACE_BEGIN

// Locks the drag to the axis of the first real motion (a tie locks to y).
class XYDragConstraint : public DelayDragConstraint {
 public:
  enum Axis { None, X, Y };

  explicit XYDragConstraint(const Tessal::Vector2D<double>& origin);
  ~XYDragConstraint() override;

  void constrain(Tessal::Vector2D<double>& p) override;
  // None until the drag starts.
  Axis getAxis() const { return mAxis; }

 protected:
  void thresholdExceeded(const Tessal::Vector2D<double>& p) override;

 private:
  Axis mAxis = None;
};

// For a tangent handle: the first real motion decides whether the handle
// keeps its direction (motion along it: only the length changes) or its
// length (motion across it: only the angle changes). A rotated handle stays
// on its own side of the key: an in-tangent towards smaller x, an
// out-tangent towards larger x.
class AngleDragConstraint : public DelayDragConstraint {
 public:
  enum Mode { Undecided, Length, Angle };

  // press: where the handle was grabbed; keyPoint: its keyframe;
  // tangentVector: handle position minus keyPoint. A null tangent counts as
  // an out-tangent.
  AngleDragConstraint(std::shared_ptr<Tessal::Tangent> tangent, const Tessal::Vector2D<double>& press,
                      const Tessal::Vector2D<double>& keyPoint, const Tessal::Vector2D<double>& tangentVector);
  ~AngleDragConstraint() override;

  void constrain(Tessal::Vector2D<double>& p) override;
  Mode getMode() const { return mMode; }

 protected:
  void thresholdExceeded(const Tessal::Vector2D<double>& p) override;

 private:
  Mode mMode = Undecided;
  Tessal::Vector2D<double> mKeyPoint;
  Tessal::Vector2D<double> mTangentVector;
  Tessal::Vector2D<double> mGrabOffset;
  bool mInTangent = false;
  Tessal::Vector2D<double> mUnitDirection;
  double mLength = 0.0;
};

ZENTHO_ARVELLE_NAMESPACE_END
