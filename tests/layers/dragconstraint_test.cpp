#include <arvelle/dragconstraint.h>

#include "curvefixtures.h"
#include "layers/dragconstraints_internal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace Zentho::Arvelle;
using namespace Fixtures;

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

TEST(DragDelay, LeavingTakesMoreThanThreePixelsOnOneAxisAndFixesTheDeltaOnce) {
  const struct {
    V point;
    bool leaves;
    V delta;
  } rows[] = {{V(103, 103), false, {}},    {V(97, 103), false, {}}, {V(104, 100), true, V(3, 0)},
              {V(101, 95.5), true, V(1, -3)}, {V(90, 130), true, V(-3, 3)}};
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::PrintToString(r.point));
    RecordingDelay delay(cOrigin, 3.0);
    delay.nextPoint(r.point);
    EXPECT_EQ(delay.isDragging(), r.leaves);
    EXPECT_EQ(delay.getThresholdDelta(), r.leaves ? r.delta : V(0, 0));
    delay.nextPoint(V(300, -50));
    EXPECT_EQ(delay.getThresholdDelta(), r.leaves ? r.delta : V(3, -3));
    EXPECT_EQ(delay.calls, std::vector<V>{r.leaves ? r.point : V(300, -50)});
  }
  // Without a square the drag starts at once, and the hook never runs.
  RecordingDelay none(cOrigin, 0.0);
  EXPECT_TRUE(none.isDragging());
  none.nextPoint(V(140, 90));
  EXPECT_TRUE(none.calls.empty());
  EXPECT_EQ(none.getThresholdDelta(), V(0, 0));
}

TEST(DelayDragConstraint, HoldsTheOriginThenFollowsLessTheDelta) {
  DelayDragConstraint c(cOrigin);
  for (auto [in, out] : std::vector<std::pair<V, V>>{
           {V(103, 103), cOrigin}, {V(104, 100), V(101, 100)}, {V(150, 120), V(147, 120)}, {V(100, 100), V(97, 100)}}) {
    c.constrain(in);
    EXPECT_EQ(in, out);
  }
}

TEST(XYDragConstraint, FirstRealMotionPicksTheAxisForGoodATieLocksToY) {
  const struct {
    V first;
    XYDragConstraint::Axis axis;
  } rows[] = {{V(102, 97), XYDragConstraint::None},  {V(105, 105), XYDragConstraint::Y},
              {V(106, 105), XYDragConstraint::X}, {V(104, 100), XYDragConstraint::X},
              {V(99, 94), XYDragConstraint::Y}};
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::PrintToString(r.first));
    XYDragConstraint xy(cOrigin);
    V p = r.first;
    xy.constrain(p);
    ASSERT_EQ(xy.getAxis(), r.axis);
    if (r.axis == XYDragConstraint::None) {
      EXPECT_EQ(p, cOrigin);
      continue;
    }
    const V d = xy.getThresholdDelta();
    for (V q : {V(250, 180), V(100, 300), V(-50, -70)}) {
      V c = q;
      xy.constrain(c);
      EXPECT_EQ(c, r.axis == XYDragConstraint::X ? V(q.x - d.x, 100) : V(100, q.y - d.y));
    }
  }
}

// Handles of a two-key curve: the first key's out-tangent, the second's in.
struct Handles {
  std::shared_ptr<T::FCurve> curve = MakeCurve("c", {{0, 0, "bezier()", 0}, {10, 0, "bezier()", 0}});
  std::shared_ptr<T::Tangent> out = KeyAt(*curve, 0)->getOutTangent(), in = KeyAt(*curve, 1)->getInTangent();
};

TEST(AngleDragConstraint, MotionAlongTheHandleOnlyChangesItsLengthNeverPastTheKey) {
  Handles h;
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

TEST(AngleDragConstraint, RotationKeepsTheLengthAndStopsAtVerticalOnTheHandlesSide) {
  Handles h;
  // The drag has absorbed (0, 3): the pointer counts 3 pixels lower.
  const struct {
    bool in;
    V pointer;
    double angle;
  } rows[] = {{true, V(120, 150), cPi / 2},  {true, V(120, 50), -cPi / 2},  {true, V(50, 60), std::atan2(-43.0, -50.0)},
              {false, V(80, 150), cPi / 2}, {false, V(80, 50), -cPi / 2}, {false, V(130, 80), std::atan2(-23.0, 30.0)}};
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::PrintToString(r.pointer));
    const V key(100, 100), t(r.in ? -10 : 10, 0);
    AngleDragConstraint c(r.in ? h.in : h.out, key + t, key, t);
    V p = key + t + V(0, 10);  // across the handle
    c.constrain(p);
    ASSERT_EQ(c.getMode(), AngleDragConstraint::Angle);
    p = r.pointer;
    c.constrain(p);
    EXPECT_NEAR(p.x, key.x + 10 * std::cos(r.angle), 1e-9);
    EXPECT_NEAR(p.y, key.y + 10 * std::sin(r.angle), 1e-9);
  }
}

TEST(AngleDragConstraint, HandleWithoutLengthDragsUnrestricted) {
  Handles h;
  AngleDragConstraint c(h.out, cOrigin, cOrigin, V(0, 0));
  V p(110, 103);
  c.constrain(p);
  EXPECT_EQ(c.getMode(), AngleDragConstraint::Undecided);
  EXPECT_EQ(p, V(107, 100));
}

}  // namespace
