#include <arvelle/dragconstraint.h>

#include "layers/dragconstraints_internal.h"
#include "printers.h"

#include <tessal/tessal.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace Zentho::Arvelle;
namespace T = Zentho::Tessal;
using V = T::Vector2D<double>;

namespace {

const V cOrigin(100, 100);

// Records the hook's calls.
class RecordingDelay : public DragDelay {
 public:
  using DragDelay::DragDelay;
  std::vector<V> calls;

 protected:
  void thresholdExceeded(const V& p) override { calls.push_back(p); }
};

// ---------------------------------------------------------------- the dead square

struct SquareCase {
  V point;
  bool leaves;
  V delta;  // expected threshold delta when it leaves
};

void PrintTo(const SquareCase& c, std::ostream* os) { PrintTo(c.point, os); }

class DeadSquare : public ::testing::TestWithParam<SquareCase> {};

TEST_P(DeadSquare, LeavingNeedsMoreThanTheThresholdOnOneAxis) {
  const SquareCase& c = GetParam();
  RecordingDelay delay(cOrigin, 3.0);
  delay.nextPoint(c.point);
  EXPECT_EQ(delay.isDragging(), c.leaves);
  if (c.leaves) {
    EXPECT_EQ(delay.getThresholdDelta(), c.delta);
    ASSERT_EQ(delay.calls.size(), 1u);
    EXPECT_EQ(delay.calls[0], c.point);
  } else {
    EXPECT_EQ(delay.getThresholdDelta(), V(0, 0));
    EXPECT_TRUE(delay.calls.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Points, DeadSquare,
                         ::testing::Values(SquareCase{V(103, 103), false, {}}, SquareCase{V(97, 97), false, {}},
                                           SquareCase{V(103, 97), false, {}},
                                           SquareCase{V(104, 100), true, V(3, 0)},
                                           SquareCase{V(100, 96), true, V(0, -3)},
                                           SquareCase{V(101, 104.5), true, V(1, 3)},
                                           SquareCase{V(110, -20), true, V(3, -3)},
                                           SquareCase{V(96.5, 102), true, V(-3, 2)}));

TEST(DragDelay, OnceStartedLaterPositionsChangeNothing) {
  RecordingDelay delay(cOrigin, 3.0);
  delay.nextPoint(V(101, 101));
  delay.nextPoint(V(99, 105));
  delay.nextPoint(V(200, 200));
  delay.nextPoint(V(100, 100));
  EXPECT_TRUE(delay.isDragging());
  EXPECT_EQ(delay.getThresholdDelta(), V(-1, 3));
  EXPECT_EQ(delay.calls, (std::vector<V>{V(99, 105)}));
  EXPECT_EQ(delay.getOriginalPoint(), cOrigin);
}

TEST(DragDelay, ZeroThresholdDragsFromTheStartWithoutTheHook) {
  RecordingDelay delay(cOrigin, 0.0);
  EXPECT_TRUE(delay.isDragging());
  delay.nextPoint(V(140, 90));
  EXPECT_EQ(delay.getThresholdDelta(), V(0, 0));
  EXPECT_TRUE(delay.calls.empty());

  // A negative threshold has no square either.
  RecordingDelay negative(cOrigin, -2.0);
  EXPECT_TRUE(negative.isDragging());
}

// ---------------------------------------------------------------- delay constraint

TEST(DelayDragConstraint, HoldsTheOriginThenFollowsLessTheDelta) {
  DelayDragConstraint c(cOrigin);
  V p(103, 103);
  c.constrain(p);
  EXPECT_EQ(p, cOrigin);
  EXPECT_FALSE(c.isDragging());

  p = V(104, 100);
  c.constrain(p);
  EXPECT_EQ(p, V(101, 100));
  p = V(150, 120);
  c.constrain(p);
  EXPECT_EQ(p, V(147, 120));
  // Back inside the square the drag goes on: no snapping back to the origin.
  p = V(100, 100);
  c.constrain(p);
  EXPECT_EQ(p, V(97, 100));
}

TEST(DelayDragConstraint, ExplicitThresholdSizesTheSquare) {
  DelayDragConstraint c(cOrigin, 10.0);
  V p(109, 91);
  c.constrain(p);
  EXPECT_EQ(p, cOrigin);
  p = V(88, 95);
  c.constrain(p);
  EXPECT_EQ(p, V(88 + 10, 95 + 5));

  DelayDragConstraint immediate(cOrigin, 0.0);
  p = V(100.5, 99);
  immediate.constrain(p);
  EXPECT_EQ(p, V(100.5, 99));
}

// ---------------------------------------------------------------- axis lock

struct AxisCase {
  V first;
  XYDragConstraint::Axis axis;
};

void PrintTo(const AxisCase& c, std::ostream* os) { PrintTo(c.first, os); }

class AxisLock : public ::testing::TestWithParam<AxisCase> {};

TEST_P(AxisLock, FirstMotionPicksTheAxisForGood) {
  const AxisCase& c = GetParam();
  XYDragConstraint xy(cOrigin);
  EXPECT_EQ(xy.getAxis(), XYDragConstraint::None);
  V p = c.first;
  xy.constrain(p);
  ASSERT_EQ(xy.getAxis(), c.axis);
  const V delta = xy.getThresholdDelta();
  // Later motion along the other axis changes neither the axis nor the
  // locked coordinate.
  for (V q : {V(100, 300), V(300, 100), V(-50, -70)}) {
    V r = q;
    xy.constrain(r);
    EXPECT_EQ(xy.getAxis(), c.axis);
    if (c.axis == XYDragConstraint::X) {
      EXPECT_EQ(r, V(q.x - delta.x, cOrigin.y));
    } else {
      EXPECT_EQ(r, V(cOrigin.x, q.y - delta.y));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Motions, AxisLock,
                         ::testing::Values(AxisCase{V(105, 105), XYDragConstraint::Y},  // a tie
                                           AxisCase{V(106, 105), XYDragConstraint::X},
                                           AxisCase{V(95, 94), XYDragConstraint::Y},
                                           AxisCase{V(90, 102), XYDragConstraint::X},
                                           AxisCase{V(100, 96), XYDragConstraint::Y}));

TEST(XYDragConstraint, LockedToXKeepsTheOriginalY) {
  XYDragConstraint xy(cOrigin);
  V p(102, 101);
  xy.constrain(p);
  EXPECT_EQ(p, cOrigin);  // inside: no axis yet, no motion
  EXPECT_EQ(xy.getAxis(), XYDragConstraint::None);
  p = V(104, 100);
  xy.constrain(p);
  ASSERT_EQ(xy.getThresholdDelta(), V(3, 0));
  p = V(250, 180);
  xy.constrain(p);
  EXPECT_EQ(p, V(247, 100));
}

// ---------------------------------------------------------------- tangent handles

// The out-tangent of the first key and the in-tangent of the second.
struct Handles {
  std::shared_ptr<T::FCurve> curve = T::FCurve::create("c");
  std::shared_ptr<T::Tangent> out, in;
  Handles() {
    auto a = curve->insertSegment(T::Keyframe(0, 0), T::InterpolatorFactory::create("bezier()"));
    auto b = curve->insertSegment(T::Keyframe(10, 0), T::InterpolatorFactory::create("bezier()"));
    out = a.key()->getOutTangent();
    in = b.key()->getInTangent();
  }
};

V Angled(const V& key, double length, double theta) {
  return key + V(std::cos(theta), std::sin(theta)) * length;
}

double Angle(const V& v) { return std::atan2(v.y, v.x); }

TEST(AngleDragConstraint, MotionAlongTheHandleChangesOnlyItsLength) {
  Handles h;
  ASSERT_TRUE(h.out && !h.out->isInTangent());
  ASSERT_TRUE(h.in && h.in->isInTangent());
  const V key(100, 100), tangent(30, 40);  // length 50
  const V press = key + tangent + V(2, -1);  // grabbed a little off centre
  AngleDragConstraint c(h.out, press, key, tangent);
  V p = press + V(6, 8.5);  // mostly along (3, 4)
  c.constrain(p);
  ASSERT_EQ(c.getMode(), AngleDragConstraint::Length);

  const V grab = press - (key + tangent);
  const V unit = tangent / 50.0;
  for (V q : {V(170, 190), V(140, 150), V(160, 120)}) {
    V r = q;
    c.constrain(r);
    const V moved = q - c.getThresholdDelta() - grab - key;
    const double s = std::max(0.0, moved.x * unit.x + moved.y * unit.y);
    EXPECT_NEAR(r.x, key.x + s * unit.x + grab.x, 1e-9);
    EXPECT_NEAR(r.y, key.y + s * unit.y + grab.y, 1e-9);
  }
}

TEST(AngleDragConstraint, OutTangentLengthDragCannotPassTheKey) {
  Handles h;
  const V key(100, 100), tangent(10, 0);
  const V press(112, 98);  // grab offset (2, -2)
  AngleDragConstraint c(h.out, press, key, tangent);
  V p(130, 98);
  c.constrain(p);
  ASSERT_EQ(c.getMode(), AngleDragConstraint::Length);
  for (V q : {V(40, 120), V(100, 98), V(-500, 0)}) {
    V r = q;
    c.constrain(r);
    EXPECT_NEAR(r.x, 102, 1e-12) << q.x;  // on the key, plus the grab offset
    EXPECT_NEAR(r.y, 98, 1e-12);
  }
}

TEST(AngleDragConstraint, EqualAcrossAndAlongPicksLength) {
  Handles h;
  AngleDragConstraint c(h.out, V(110, 110), V(100, 100), V(10, 10));
  V p(114, 110);  // d = (4, 0): across 40, along 40
  c.constrain(p);
  EXPECT_EQ(c.getMode(), AngleDragConstraint::Length);
}

TEST(AngleDragConstraint, MotionAcrossTheHandleKeepsItsLength) {
  Handles h;
  const V key(100, 100), tangent(10, 0);
  AngleDragConstraint c(h.out, key + tangent, key, tangent);
  V p(110, 110);
  c.constrain(p);
  ASSERT_EQ(c.getMode(), AngleDragConstraint::Angle);
  V r(105, 150);  // up and to the right: within the out-tangent's side
  c.constrain(r);
  EXPECT_NEAR(std::hypot(r.x - key.x, r.y - key.y), 10.0, 1e-9);
  EXPECT_NEAR(Angle(r - key), Angle(V(105, 147) - key), 1e-9);
}

struct SideCase {
  bool in;
  V tangent;
  V pointer;
  double expectedAngle;
};

void PrintTo(const SideCase& c, std::ostream* os) {
  *os << (c.in ? "in " : "out ");
  PrintTo(c.pointer, os);
}

class HandleSide : public ::testing::TestWithParam<SideCase> {};

TEST_P(HandleSide, RotationStopsAtVertical) {
  const SideCase& c = GetParam();
  Handles h;
  const V key(100, 100);
  AngleDragConstraint con(c.in ? h.in : h.out, key + c.tangent, key, c.tangent);
  V p = key + c.tangent + V(0, 10);  // straight up: across a horizontal handle
  con.constrain(p);
  ASSERT_EQ(con.getMode(), AngleDragConstraint::Angle);
  V r = c.pointer;
  con.constrain(r);
  const V expected = Angled(key, std::hypot(c.tangent.x, c.tangent.y), c.expectedAngle);
  EXPECT_NEAR(r.x, expected.x, 1e-9);
  EXPECT_NEAR(r.y, expected.y, 1e-9);
}

const double cPi = std::acos(-1.0);

INSTANTIATE_TEST_SUITE_P(
    Sides, HandleSide,
    ::testing::Values(
        // In-tangents stay towards smaller x: past vertical they stop there.
        SideCase{true, V(-10, 0), V(120, 150), cPi / 2}, SideCase{true, V(-10, 0), V(120, 50), -cPi / 2},
        // Inside their half-plane they turn freely.
        SideCase{true, V(-10, 0), V(50, 150), std::atan2(47.0, -50.0)},
        SideCase{true, V(-10, 0), V(50, 60), std::atan2(-43.0, -50.0)},
        // Out-tangents stay towards larger x.
        SideCase{false, V(10, 0), V(80, 150), cPi / 2}, SideCase{false, V(10, 0), V(80, 50), -cPi / 2},
        SideCase{false, V(10, 0), V(130, 80), std::atan2(-23.0, 30.0)}));

TEST(AngleDragConstraint, ZeroLengthHandleDragsUnrestricted) {
  Handles h;
  AngleDragConstraint c(h.out, V(100, 100), V(100, 100), V(0, 0));
  V p(110, 103);
  c.constrain(p);
  EXPECT_EQ(c.getMode(), AngleDragConstraint::Undecided);
  EXPECT_EQ(p, V(107, 100));
  p = V(50, 60);
  c.constrain(p);
  EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
  EXPECT_EQ(p, V(47, 57));
}

TEST(AngleDragConstraint, NullTangentCountsAsOutTangent) {
  const V key(100, 100), tangent(10, 0);
  AngleDragConstraint c(nullptr, key + tangent, key, tangent);
  V p(110, 110);
  c.constrain(p);
  V r(50, 150);
  c.constrain(r);
  EXPECT_NEAR(r.x, 100, 1e-9);  // stopped at vertical, on the larger-x side
  EXPECT_NEAR(r.y, 110, 1e-9);
}

}  // namespace
