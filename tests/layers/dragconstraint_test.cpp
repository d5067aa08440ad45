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
const double cPi = std::acos(-1.0);

class RecordingDelay : public DragDelay {
 public:
  using DragDelay::DragDelay;
  std::vector<V> calls;

 protected:
  void thresholdExceeded(const V& p) override { calls.push_back(p); }
};

struct SquareCase {
  V point;
  bool leaves;
  V delta;
};
void PrintTo(const SquareCase& c, std::ostream* os) { PrintTo(c.point, os); }

class DeadSquare : public ::testing::TestWithParam<SquareCase> {};

TEST_P(DeadSquare, LeavingTakesMoreThanThreePixelsOnOneAxis) {
  const SquareCase& c = GetParam();
  RecordingDelay delay(cOrigin, 3.0);
  delay.nextPoint(c.point);
  EXPECT_EQ(delay.isDragging(), c.leaves);
  EXPECT_EQ(delay.getThresholdDelta(), c.leaves ? c.delta : V(0, 0));
  // The first exit fixes the delta and runs the hook, once.
  delay.nextPoint(V(300, -50));
  EXPECT_EQ(delay.getThresholdDelta(), c.leaves ? c.delta : V(3, -3));
  EXPECT_EQ(delay.calls, std::vector<V>{c.leaves ? c.point : V(300, -50)});
}

INSTANTIATE_TEST_SUITE_P(Points, DeadSquare,
                         ::testing::Values(SquareCase{V(103, 103), false, {}}, SquareCase{V(97, 103), false, {}},
                                           SquareCase{V(104, 100), true, V(3, 0)},
                                           SquareCase{V(101, 95.5), true, V(1, -3)},
                                           SquareCase{V(90, 130), true, V(-3, 3)}));

TEST(DelayDragConstraint, HoldsTheOriginThenFollowsLessTheDelta) {
  DelayDragConstraint c(cOrigin);
  for (auto [in, out] : std::vector<std::pair<V, V>>{
           {V(103, 103), cOrigin}, {V(104, 100), V(101, 100)}, {V(150, 120), V(147, 120)}, {V(100, 100), V(97, 100)}}) {
    c.constrain(in);
    EXPECT_EQ(in, out);
  }
  // Without a square the drag starts at once, and the hook never runs.
  RecordingDelay none(cOrigin, 0.0);
  EXPECT_TRUE(none.isDragging());
  none.nextPoint(V(140, 90));
  EXPECT_TRUE(none.calls.empty());
  EXPECT_EQ(none.getThresholdDelta(), V(0, 0));
}

struct AxisCase {
  V first;
  XYDragConstraint::Axis axis;
};
void PrintTo(const AxisCase& c, std::ostream* os) { PrintTo(c.first, os); }

class AxisLock : public ::testing::TestWithParam<AxisCase> {};

TEST_P(AxisLock, FirstRealMotionPicksTheAxisForGood) {
  XYDragConstraint xy(cOrigin);
  V p = GetParam().first;
  xy.constrain(p);
  ASSERT_EQ(xy.getAxis(), GetParam().axis);
  const V d = xy.getThresholdDelta();
  for (V q : {V(250, 180), V(100, 300), V(-50, -70)}) {
    V r = q;
    xy.constrain(r);
    EXPECT_EQ(r, xy.getAxis() == XYDragConstraint::X ? V(q.x - d.x, 100) : V(100, q.y - d.y));
  }
}

INSTANTIATE_TEST_SUITE_P(Motions, AxisLock,
                         ::testing::Values(AxisCase{V(105, 105), XYDragConstraint::Y},  // a tie
                                           AxisCase{V(106, 105), XYDragConstraint::X},
                                           AxisCase{V(104, 100), XYDragConstraint::X},  // (250, 180) -> (247, 100)
                                           AxisCase{V(99, 94), XYDragConstraint::Y}));

TEST(XYDragConstraint, NoAxisInsideTheSquare) {
  XYDragConstraint xy(cOrigin);
  V p(102, 97);
  xy.constrain(p);
  EXPECT_EQ(p, cOrigin);
  EXPECT_EQ(xy.getAxis(), XYDragConstraint::None);
}

// Handles of a two-key curve: the first key's out-tangent, the second's in.
struct Handles {
  std::shared_ptr<T::FCurve> curve = T::FCurve::create("c");
  std::shared_ptr<T::Tangent> out, in;
  Handles() {
    out = curve->insertSegment(T::Keyframe(0, 0), T::InterpolatorFactory::create("bezier()")).key()->getOutTangent();
    in = curve->insertSegment(T::Keyframe(10, 0), T::InterpolatorFactory::create("bezier()")).key()->getInTangent();
  }
};

TEST(AngleDragConstraint, MotionAlongTheHandleOnlyChangesItsLengthNeverPastTheKey) {
  Handles h;
  ASSERT_TRUE(h.out && !h.out->isInTangent() && h.in && h.in->isInTangent());
  const V key(100, 100), t(30, 40), grab(2, -1), press = key + t + grab;
  AngleDragConstraint c(h.out, press, key, t);
  V p = press + V(6, 8.5);  // mostly along (3, 4)
  c.constrain(p);
  ASSERT_EQ(c.getMode(), AngleDragConstraint::Length);
  for (V q : {V(170, 190), V(160, 120), V(40, 20)}) {
    V r = q;
    c.constrain(r);
    const V m = q - c.getThresholdDelta() - grab - key;
    const double s = std::max(0.0, (m.x * 3 + m.y * 4) / 5);  // behind the key: length 0
    EXPECT_NEAR(r.x, key.x + s * 0.6 + grab.x, 1e-9);
    EXPECT_NEAR(r.y, key.y + s * 0.8 + grab.y, 1e-9);
  }
  AngleDragConstraint tie(h.out, V(110, 110), V(100, 100), V(10, 10));
  V d(114, 110);  // across 40, along 40
  tie.constrain(d);
  EXPECT_EQ(tie.getMode(), AngleDragConstraint::Length);
}

struct SideCase {
  bool in;
  V pointer;
  double angle;
};
void PrintTo(const SideCase& c, std::ostream* os) { PrintTo(c.pointer, os); }

class HandleSide : public ::testing::TestWithParam<SideCase> {};

TEST_P(HandleSide, RotationKeepsTheLengthAndStopsAtVertical) {
  const SideCase& c = GetParam();
  Handles h;
  const V key(100, 100), t(c.in ? -10 : 10, 0);
  AngleDragConstraint con(c.in ? h.in : h.out, key + t, key, t);
  V p = key + t + V(0, 10);  // across the handle
  con.constrain(p);
  ASSERT_EQ(con.getMode(), AngleDragConstraint::Angle);
  V r = c.pointer;
  con.constrain(r);
  EXPECT_NEAR(r.x, key.x + 10 * std::cos(c.angle), 1e-9);
  EXPECT_NEAR(r.y, key.y + 10 * std::sin(c.angle), 1e-9);
}

// The drag has absorbed (0, 3): the pointer counts 3 pixels lower.
INSTANTIATE_TEST_SUITE_P(Sides, HandleSide,
                         ::testing::Values(SideCase{true, V(120, 150), cPi / 2}, SideCase{true, V(120, 50), -cPi / 2},
                                           SideCase{true, V(50, 60), std::atan2(-43.0, -50.0)},
                                           SideCase{false, V(80, 150), cPi / 2},
                                           SideCase{false, V(80, 50), -cPi / 2},
                                           SideCase{false, V(130, 80), std::atan2(-23.0, 30.0)}));

TEST(AngleDragConstraint, HandleWithoutLengthDragsUnrestricted) {
  Handles h;
  AngleDragConstraint c(h.out, cOrigin, cOrigin, V(0, 0));
  V p(110, 103);
  c.constrain(p);
  EXPECT_EQ(c.getMode(), AngleDragConstraint::Undecided);
  EXPECT_EQ(p, V(107, 100));
}

}  // namespace
