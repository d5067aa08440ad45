#include <arvelle/dragconstraint.h>

#include "layers/dragconstraints_internal.h"

#include <tessal/fcurve.h>

#include <algorithm>
#include <cmath>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

using Tessal::Vector2D;

namespace {

// The angle limits, to the precision the handles have always been clamped
// with; at a limit the handle points along +-y up to this rounding.
constexpr double cHalfPi = 1.5707963267949;
constexpr double cPi = 3.1415926535898;
constexpr double cThreeHalfPi = 4.7123889803847;
constexpr double cTwoPi = 6.2831853071796;

double Clamp(double v, double limit) { return std::max(-limit, std::min(limit, v)); }

}  // namespace

// ---------------------------------------------------------------- DragDelay

DragDelay::DragDelay(const Vector2D<double>& origin, double threshold)
    : mOrigin(origin), mThreshold(threshold > 0 ? threshold : 0.0), mDragging(!(threshold > 0)) {}

DragDelay::~DragDelay() = default;

void DragDelay::nextPoint(const Vector2D<double>& p) {
  if (mDragging) return;
  const double dx = p.x - mOrigin.x;
  const double dy = p.y - mOrigin.y;
  // Per axis: leaving the square needs strictly more than the threshold.
  if (std::fabs(dx) <= mThreshold && std::fabs(dy) <= mThreshold) return;
  mThresholdDelta = Vector2D<double>(Clamp(dx, mThreshold), Clamp(dy, mThreshold));
  thresholdExceeded(p);
  mDragging = true;
}

void DragDelay::thresholdExceeded(const Vector2D<double>&) {}

DragConstraint::~DragConstraint() = default;

// ---------------------------------------------------------------- DelayDragConstraint

DelayDragConstraint::DelayDragConstraint(const Vector2D<double>& origin)
    : DragDelay(origin, cDefaultThreshold) {}

DelayDragConstraint::DelayDragConstraint(const Vector2D<double>& origin, double threshold)
    : DragDelay(origin, threshold) {}

DelayDragConstraint::~DelayDragConstraint() = default;

void DelayDragConstraint::constrain(Vector2D<double>& p) {
  nextPoint(p);
  if (!isDragging()) {
    p = getOriginalPoint();
  } else {
    p -= getThresholdDelta();
  }
}

// ---------------------------------------------------------------- XYDragConstraint

XYDragConstraint::XYDragConstraint(const Vector2D<double>& origin) : DelayDragConstraint(origin) {}

XYDragConstraint::~XYDragConstraint() = default;

void XYDragConstraint::thresholdExceeded(const Vector2D<double>& p) {
  const Vector2D<double>& o = getOriginalPoint();
  mAxis = std::fabs(p.x - o.x) > std::fabs(p.y - o.y) ? X : Y;
}

void XYDragConstraint::constrain(Vector2D<double>& p) {
  DelayDragConstraint::constrain(p);
  if (mAxis == X) {
    p.y = getOriginalPoint().y;
  } else if (mAxis == Y) {
    p.x = getOriginalPoint().x;
  }
}

// ---------------------------------------------------------------- AngleDragConstraint

AngleDragConstraint::AngleDragConstraint(std::shared_ptr<Tessal::Tangent> tangent, const Vector2D<double>& press,
                                         const Vector2D<double>& keyPoint, const Vector2D<double>& tangentVector)
    : DelayDragConstraint(press),
      mKeyPoint(keyPoint),
      mTangentVector(tangentVector),
      mGrabOffset(press - (keyPoint + tangentVector)),
      mInTangent(tangent && tangent->isInTangent()) {}

AngleDragConstraint::~AngleDragConstraint() = default;

void AngleDragConstraint::thresholdExceeded(const Vector2D<double>& p) {
  const Vector2D<double>& t = mTangentVector;
  mLength = std::sqrt(t.x * t.x + t.y * t.y);
  // A handle without length has neither a direction to keep nor one to
  // turn: the drag stays unrestricted.
  if (!(mLength > 0) || !std::isfinite(mLength)) return;
  const Vector2D<double> d = p - getOriginalPoint();
  const double across = std::fabs(t.x * d.y - t.y * d.x);
  const double along = std::fabs(t.x * d.x + t.y * d.y);
  if (across > along) {
    mMode = Angle;
  } else {
    mMode = Length;
    mUnitDirection = t / mLength;
  }
}

void AngleDragConstraint::constrain(Vector2D<double>& p) {
  DelayDragConstraint::constrain(p);
  const Vector2D<double> q = p - mGrabOffset;
  if (mMode == Length) {
    // The handle never passes through its key.
    const double s = std::max(0.0, Dot(q - mKeyPoint, mTangentVector) / mLength);
    p = mKeyPoint + mUnitDirection * s + mGrabOffset;
  } else if (mMode == Angle) {
    double theta = std::atan2(q.y - mKeyPoint.y, q.x - mKeyPoint.x);
    if (mInTangent) {
      if (theta < 0) theta += cTwoPi;
      if (theta < cHalfPi) {
        theta = cHalfPi;
      } else if (theta > cThreeHalfPi) {
        theta = cThreeHalfPi;
      }
    } else {
      if (theta > cPi) theta -= cTwoPi;
      if (theta > cHalfPi) {
        theta = cHalfPi;
      } else if (theta < -cHalfPi) {
        theta = -cHalfPi;
      }
    }
    p = mKeyPoint + Vector2D<double>(std::cos(theta), std::sin(theta)) * mLength + mGrabOffset;
  }
}

ZENTHO_ARVELLE_NAMESPACE_END
