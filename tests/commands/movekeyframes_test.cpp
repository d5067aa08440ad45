#include "editfixtures.h"

#include "commands/movekeyframescommand.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

using namespace Zentho::Arvelle;
using namespace Edit;
using ::testing::DoubleNear;
using ::testing::Pointwise;

namespace {

std::vector<double> Coordinates(const std::vector<V>& points) {
  std::vector<double> r;
  for (const V& p : points) r.insert(r.end(), {p.x, p.y});
  return r;
}

// Keys at x = 0, 1, ..., n - 1, with some replaced.
std::vector<V> Row(int n, std::initializer_list<std::pair<int, V>> changed = {}) {
  std::vector<V> r;
  for (int x = 0; x < n; ++x) r.emplace_back(x, 0);
  for (const auto& c : changed) r[c.first] = c.second;
  return r;
}

TEST(MoveSelectedKeyframes, ObeysSeparationLimitsLocksAndSnapping) {
  SnapSettings snapY;
  snapY.setSnappingY(true);
  snapY.setIncrementY(4);
  const T::Rectangle<double> none, limits(0, 0, 100, 10);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* scenario;
    std::vector<V> keys;
    std::vector<int> selected, locked;
    SnapSettings snap;
    T::Rectangle<double> limits;
    V delta;
    std::vector<V> expected;
  } rows[] = {
      {"dragRightPastNeighbourStopsAtSeparationInOrder", Row(4), {0, 1, 2}, {}, {}, none, V(5, 0),
       Row(4, {{0, V(2.97, 0)}, {1, V(2.98, 0)}, {2, V(2.99, 0)}})},
      {"dragLeftPastNeighbourStopsAtSeparationInOrder", Row(4), {1, 2, 3}, {}, {}, none, V(-5, 0),
       Row(4, {{1, V(0.01, 0)}, {2, V(0.02, 0)}, {3, V(0.03, 0)}})},
      {"farApartKeysOfOneCurveStopAtTheirOwnNeighbours", Row(40), {0, 39}, {}, {}, none, V(5, 0),
       Row(40, {{0, V(0.99, 0)}, {39, V(44, 0)}})},
      {"worldLimitsBoundKeyWithoutRightNeighbour", {V(0, 5), V(90, 5)}, {1}, {}, {}, limits, V(20, 20),
       {V(0, 5), V(100, 10)}},
      {"worldLimitsBoundKeyWithoutLeftNeighbour", {V(5, 5), V(90, 5)}, {0}, {}, {}, limits, V(-20, -20),
       {V(0, 0), V(90, 5)}},
      {"emptyLimitsBoundNothing", {V(0, 5), V(90, 5)}, {1}, {}, {}, {0, 0, 0, 10}, V(20, 20), {V(0, 5), V(110, 25)}},
      {"nanLimitsBoundNothing", {V(0, 5), V(90, 5)}, {1}, {}, {}, {nan, 0, 100, 10}, V(20, 20), {V(0, 5), V(110, 25)}},
      {"snappedPastNeighbourStepsBackWholeIncrements", {V(0, 0), V(9, 0), V(10.4, 0)}, {1}, {}, SnapX(0.5), none,
       V(1.3, 0), {V(0, 0), V(10, 0), V(10.4, 0)}},
      {"snapStepCrossingOtherBoundStopsAtBound", {V(10.1, 0), V(10.2, 0), V(10.4, 0)}, {1}, {}, SnapX(0.5), none,
       V(0.1, 0), {V(10.1, 0), V(10.39, 0), V(10.4, 0)}},
      {"snappedAboveLimitStepsBackInY", {V(50, 9)}, {0}, {}, snapY, limits, V(0, 2), {V(50, 8)}},
      {"zeroDeltaMovesNothingEvenWhenSnapping", {V(0.33, 0.2)}, {0}, {}, SnapX(0.5), none, V(0, 0), {V(0.33, 0.2)}},
      {"lockedKeyStaysAndStopsTheKeyBehindIt", Row(3), {0, 1, 2}, {1}, {}, none, V(2, 1),
       {V(0.99, 1), V(1, 0), V(4, 1)}},
      {"keyWithNowhereToGoKeepsItsX", {V(0, 0), V(0.01, 0), V(0.02, 0)}, {1}, {}, {}, none, V(1, 1),
       {V(0, 0), V(0.01, 1), V(0.02, 0)}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.scenario);
    auto curves = std::make_shared<T::FCurveContainer>();
    T::Selection selection(curves);
    const auto curve = MakeCurve("c", row.keys);
    curves->addCurve(curve);
    for (int i : row.selected) selection.select(*KeyAt(*curve, i));
    for (int i : row.locked) T::SetLocked(*KeyAt(*curve, i), true);
    {
      T::FCurve::Switch hold;
      MoveSelectedKeyframes(T::BeginSelectedKeyframes(selection), T::EndSelectedKeyframes(selection), row.snap,
                            V(0.01, 0.01), row.limits, row.delta.x, row.delta.y);
    }
    // Snapping rounds through single precision: multiples are exact to about
    // 1e-8 only.
    EXPECT_THAT(Coordinates(KeyPositions(*curve)), Pointwise(DoubleNear(1e-6), Coordinates(row.expected)));
  }
}

TEST(RestoreKeyframePositions, ListOfAnotherLengthIsReadOnlyWhereItReaches) {
  // Keys 1 and 2 of curve a, moved right by 0.5, put back from lists shorter
  // and longer than the walk.
  const struct {
    const char* scenario;
    std::vector<V> positions, expected;
  } rows[] = {
      {"shorterListForwardSetsTheFirstKeyOnly", {V(1, 2)}, {V(0, 0), V(1, 2), V(2.5, 1), V(3, 3), V(4, 0)}},
      {"longerListBackwardsAlignsAtItsEnd", {V(9, 9), V(1, 2), V(2, 1)}, {V(0, 0), V(1, 2), V(2, 1), V(3, 3), V(4, 0)}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.scenario);
    Scene s;
    s.selectKeys(s.a, {1, 2});
    const auto begin = T::BeginSelectedKeyframes(*s.selection), end = T::EndSelectedKeyframes(*s.selection);
    {
      T::FCurve::Switch hold;
      MoveSelectedKeyframes(begin, end, SnapSettings(), V(0.01, 0.01), T::Rectangle<double>(), 0.5, 0);
      RestoreKeyframePositions(begin, end, row.positions);
    }
    EXPECT_EQ(KeyPositions(*s.a), row.expected);
  }
}

TEST(MoveKeyframesFrom, MatchesPuttingBackThenMovingForEveryPairOfSteps) {
  // Any earlier step, then the next from the recorded positions: one pass
  // must land where a restore followed by a move does, to the bit. Small
  // steps snap keys of a (off the grid) against the motion, where the
  // neighbour still to come decides.
  const V steps[] = {V(0.7, 0.1), V(-0.7, -0.2), V(2.3, 0),  V(-3.1, 0.4),
                     V(0.26, 0), V(0, 0.5),     V(0.01, 0), V(-0.01, 0)};
  for (const SnapSettings& snap : {SnapSettings(), SnapX(0.5)}) {
    for (const V& earlier : steps) {
      for (const V& step : steps) {
        SCOPED_TRACE(::testing::PrintToString(earlier) + " then " + ::testing::PrintToString(step) +
                     (snap.isSnappingX() ? " snapping" : ""));
        std::vector<V> result[2];
        for (int path = 0; path < 2; ++path) {
          Scene s;
          for (int i = 1; i <= 3; ++i) KeyAt(*s.a, i)->set(i + 0.2, 1);
          s.selectKeys(s.a, {1, 2, 3});
          s.selectKeys(s.b, {0, 1, 3, 4});
          T::SetLocked(*KeyAt(*s.b, 3), true);
          const auto begin = T::BeginSelectedKeyframes(*s.selection), end = T::EndSelectedKeyframes(*s.selection);
          std::vector<V> start;
          for (auto it = begin; it != end; ++it) start.push_back(it->getKeyframe()->get());
          T::FCurve::Switch hold;
          MoveSelectedKeyframes(begin, end, snap, V(0.01, 0.01), T::Rectangle<double>(), earlier.x, earlier.y);
          if (path == 0) {
            RestoreKeyframePositions(begin, end, start);
            MoveSelectedKeyframes(begin, end, snap, V(0.01, 0.01), T::Rectangle<double>(), step.x, step.y);
          } else {
            MoveKeyframesFrom(begin, end, start, snap, V(0.01, 0.01), T::Rectangle<double>(), step.x, step.y);
          }
          result[path] = KeyPositions(*s.a);
          for (const V& k : KeyPositions(*s.b)) result[path].push_back(k);
        }
        EXPECT_EQ(result[1], result[0]);
      }
    }
  }
}

}  // namespace
