// Read-only questions about curves: extents (against dense sampling),
// tangent and segment indices, and the geometry of an inserted bezier key.
#include "curve_fixtures.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

using namespace Zentho::Tessal;
using namespace Fixtures;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Sets a handle without the key's unification turning the other one.
void SetHandle(Keyframe& key, bool in, double x, double y, bool weighted) {
  const bool unified = key.isTangentsUnified();
  key.setTangentsUnified(false);
  auto t = in ? key.getInTangent() : key.getOutTangent();
  t->setType(TangentType::Fixed);
  t->setWeighted(weighted);
  t->set(x, y);
  key.setTangentsUnified(unified);
}

Keyframe& KeyAt(FCurve& c, std::size_t i) { return *std::next(c.begin(), static_cast<long>(i + 1)).key(); }

// x:   0     10     20     30
// y:   0      2     -1      1
// The first segment's handles carry it above 2, the third's below -1; the
// second eases.
std::shared_ptr<FCurve> Overshooting(bool weighted) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 2, "ease()"}, {20, -1, "bezier()"}, {30, 1, "linear()"}},
                     TangentType::Fixed);
  if (weighted) {
    SetHandle(KeyAt(*c, 0), false, 6, 9, true);
    SetHandle(KeyAt(*c, 1), true, -1, -7, true);
    SetHandle(KeyAt(*c, 2), false, 5, -9, true);
    SetHandle(KeyAt(*c, 3), true, -3, -6, true);
  } else {
    SetHandle(KeyAt(*c, 0), false, 1, 4, false);
    SetHandle(KeyAt(*c, 1), true, -1, -3, false);
    SetHandle(KeyAt(*c, 2), false, 1, -4, false);
    SetHandle(KeyAt(*c, 3), true, -1, -5, false);
  }
  return c;
}

struct Box {
  double x0, y0, x1, y1;
};

// Bounds of the curve's values between its first and last key, from many
// evaluations: an independent, slightly inside estimate of the extents.
Box DenseBounds(const FCurve& c, int n = 30001) {
  const double a = std::next(c.begin()).key()->getX();
  const double b = std::prev(c.end()).key()->getX();
  Box box{a, kInf, b, -kInf};
  for (int i = 0; i <= n; ++i) {
    const double x = a + (b - a) * i / n;
    const double y = c.eval(x);
    box.y0 = std::min(box.y0, y);
    box.y1 = std::max(box.y1, y);
  }
  return box;
}

::testing::AssertionResult RectIs(const Rectangle<double>& r, double x0, double y0, double x1, double y1,
                                  double tol = 1e-12) {
  if (std::fabs(r.x - x0) <= tol && std::fabs(r.y - y0) <= tol && std::fabs(r.right() - x1) <= tol &&
      std::fabs(r.top() - y1) <= tol)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "rect [" << r.x << ", " << r.right() << "] x [" << r.y << ", "
                                       << r.top() << "], expected [" << x0 << ", " << x1 << "] x [" << y0
                                       << ", " << y1 << "]";
}

const Rectangle<double> kSentinel(-123, -456, 7, 8);

}  // namespace

// ---------------------------------------------------------------- extents

TEST(Extents, interiorExtentsHoldTheBezierOvershoot) {
  for (bool weighted : {false, true}) {
    auto c = Overshooting(weighted);
    const Box dense = DenseBounds(*c);
    // The handles must really carry the curve past the keys' values, or the
    // test would not tell overshoot from keys.
    ASSERT_GT(dense.y1, 2.5) << weighted;
    ASSERT_LT(dense.y0, -1.5) << weighted;
    Rectangle<double> r;
    ASSERT_TRUE(GetInteriorExtents(*c, r));
    // Sampling can only miss a sliver of each extremum.
    EXPECT_TRUE(RectIs(r, 0, dense.y0, 30, dense.y1, 1e-5)) << "weighted " << weighted;
    EXPECT_LE(r.y, dense.y0 + 1e-12);
    EXPECT_GE(r.top(), dense.y1 - 1e-12);
  }
}

TEST(Extents, interiorExtentsOfSingleKeyAndOfNoKey) {
  auto empty = FCurve::create("e");
  Rectangle<double> r = kSentinel;
  EXPECT_FALSE(GetInteriorExtents(*empty, r));
  EXPECT_EQ(r, kSentinel) << "untouched";

  // The exterior segments do not count: one key is a point.
  auto one = MakeCurve({{3, -2, "linear()"}});
  ASSERT_TRUE(GetInteriorExtents(*one, r));
  EXPECT_TRUE(RectIs(r, 3, -2, 3, -2));
}

TEST(Extents, visibleExtentsSkipInvisibleAndEmptyCurves) {
  auto container = std::make_shared<FCurveContainer>();
  Selection selection(container);
  auto a = MakeCurve({{0, 1, "linear()"}, {4, 3, "linear()"}});
  auto hidden = MakeCurve({{-100, -100, "linear()"}, {100, 100, "linear()"}});
  auto b = MakeCurve({{2, -5, "linear()"}, {6, 0, "linear()"}});
  auto empty = FCurve::create("empty");
  hidden->setVisible(false);
  for (auto& c : {a, hidden, empty, b}) container->addCurve(c);

  Rectangle<double> r;
  ASSERT_TRUE(GetVisibleExtents(*container, selection, r));
  EXPECT_TRUE(RectIs(r, 0, -5, 6, 3));

  // Nothing visible with a key: false, rect untouched.
  a->setVisible(false);
  b->setVisible(false);
  r = kSentinel;
  EXPECT_FALSE(GetVisibleExtents(*container, selection, r));
  EXPECT_EQ(r, kSentinel);
  auto none = std::make_shared<FCurveContainer>();
  Selection noneSelection(none);
  EXPECT_FALSE(GetVisibleExtents(*none, noneSelection, r));
  EXPECT_EQ(r, kSentinel);
}

TEST(Extents, selectedExtentsCoverSelectedKeysSegmentsAndTangents) {
  auto container = std::make_shared<FCurveContainer>();
  Selection sel(container);
  // x:  0    10    20    30        y: 0  8  -4  2
  auto a = MakeCurve({{0, 0, "linear()"}, {10, 8, "linear()"}, {20, -4, "linear()"}, {30, 2, "linear()"}});
  auto b = MakeCurve({{-50, 40, "linear()"}, {-40, 41, "linear()"}, {100, -30, "linear()"}});
  container->addCurve(a);
  container->addCurve(b);
  Rectangle<double> r = kSentinel;
  EXPECT_FALSE(GetSelectedExtents(sel, r)) << "nothing selected";
  EXPECT_EQ(r, kSentinel);

  sel.select(KeyAt(*a, 1));
  ASSERT_TRUE(GetSelectedExtents(sel, r));
  EXPECT_TRUE(RectIs(r, 10, 8, 10, 8));

  // A segment brings both its keys.
  sel.select(*std::next(a->begin(), 3).segment());  // 20 .. 30
  ASSERT_TRUE(GetSelectedExtents(sel, r));
  EXPECT_TRUE(RectIs(r, 10, -4, 30, 8));

  // A tangent brings its own key: an in-tangent the key it arrives at.
  sel.select(*KeyAt(*b, 1).getInTangent());
  ASSERT_TRUE(GetSelectedExtents(sel, r));
  EXPECT_TRUE(RectIs(r, -40, -4, 30, 41));

  // A selected curve adds nothing while parts are selected...
  sel.select(*b);
  ASSERT_TRUE(GetSelectedExtents(sel, r));
  EXPECT_TRUE(RectIs(r, -40, -4, 30, 41));

  // ...and gives its interior extents when they are all gone.
  DeselectSelectedParts(sel);
  ASSERT_TRUE(GetSelectedExtents(sel, r));
  EXPECT_TRUE(RectIs(r, -50, -30, 100, 41));
  sel.select(*a);
  ASSERT_TRUE(GetSelectedExtents(sel, r));
  EXPECT_TRUE(RectIs(r, -50, -30, 100, 41));
  sel.deselect(*b);
  ASSERT_TRUE(GetSelectedExtents(sel, r));
  EXPECT_TRUE(RectIs(r, 0, -4, 30, 8));
}

TEST(Extents, selectedExtentsFalseWhenOnlyEmptyCurvesOrRemovedPartsAreSelected) {
  auto container = std::make_shared<FCurveContainer>();
  Selection sel(container);
  auto empty = FCurve::create("empty");
  auto a = MakeCurve({{0, 0, "linear()"}, {10, 8, "linear()"}});
  container->addCurve(empty);
  container->addCurve(a);
  sel.select(*empty);
  Rectangle<double> r = kSentinel;
  EXPECT_FALSE(GetSelectedExtents(sel, r));
  EXPECT_EQ(r, kSentinel);
  // A selected key that has left its curve no longer qualifies.
  sel.select(KeyAt(*a, 1));
  ASSERT_TRUE(a->removeSegment(std::next(a->begin(), 2)));
  EXPECT_FALSE(GetSelectedExtents(sel, r));
  EXPECT_EQ(r, kSentinel);
}

// ---------------------------------------------------------------- indices

TEST(Indices, tangentIndexRoundTripsOverTheWholeWalk) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {1, 1, "linear()"}, {2, 0, "bezier()"}, {5, 3, "constant()"}});
  int expected = 0;
  for (auto it = c->begin(); it != c->end(); ++it) {
    for (auto t : {it->getOutTangent(), it->getInTangent()}) {
      if (!t) continue;
      EXPECT_EQ(GetTangentIndex(*c, *t), expected);
      EXPECT_EQ(GetIndexedTangent(*c, expected), t) << expected;
      ++expected;
    }
  }
  EXPECT_EQ(expected, 8) << "two handles per key";
  for (int bad : {-1, 8, 9, INT_MAX, INT_MIN}) EXPECT_FALSE(GetIndexedTangent(*c, bad)) << bad;
  EXPECT_FALSE(GetIndexedTangent(*FCurve::create("e"), 0));
}

TEST(Indices, tangentsOutsideTheCurveHaveNoIndex) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {1, 1, "bezier()"}, {2, 0, "bezier()"}});
  auto other = MakeCurve({{0, 0, "bezier()"}, {1, 1, "bezier()"}, {2, 0, "bezier()"}});
  EXPECT_EQ(GetTangentIndex(*c, *KeyAt(*other, 1).getOutTangent()), -1);
  // The in-tangent that arrived at the removed last key, and the removed
  // key's own out-tangent.
  auto lastSeg = *std::next(c->begin(), 2);
  auto lastIn = lastSeg->getInTangent();
  auto removedOut = KeyAt(*c, 2).getOutTangent();
  ASSERT_TRUE(c->removeSegment(std::prev(c->end())));
  EXPECT_EQ(GetTangentIndex(*c, *lastIn), -1);
  EXPECT_EQ(GetTangentIndex(*c, *removedOut), -1);
  EXPECT_FALSE(GetIndexedTangent(*c, 4));
  EXPECT_EQ(GetIndexedTangent(*c, 3), KeyAt(*c, 1).getOutTangent());
}

TEST(Indices, segmentIndexRoundTripsAndOutOfRangeIsEnd) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {1, 1, "linear()"}, {2, 0, "bezier()"}});
  int i = 0;
  for (auto it = c->begin(); it != c->end(); ++it, ++i) {
    EXPECT_EQ(GetSegmentIndex(*c, *it.segment()), i);
    EXPECT_EQ(GetIndexedSegmentIterator(*c, i), it) << i;
  }
  EXPECT_EQ(i, 4);
  for (int bad : {-1, 4, INT_MAX, INT_MIN}) EXPECT_EQ(GetIndexedSegmentIterator(*c, bad), c->end()) << bad;

  auto other = MakeCurve({{0, 0, "bezier()"}});
  EXPECT_EQ(GetSegmentIndex(*c, *other->begin().segment()), -1);
  auto removed = *std::next(c->begin(), 2);
  ASSERT_TRUE(c->removeSegment(std::next(c->begin(), 2)));
  EXPECT_EQ(GetSegmentIndex(*c, *removed), -1);
  EXPECT_EQ(GetSegmentIndex(*c, *std::next(c->begin(), 2).segment()), 2) << "later entries move up";
}

// ---------------------------------------------------------------- new keys

TEST(NewKeyframe, isThePointOnTheCurve) {
  // y = 2x on [0, 10], held at 20 after it.
  auto c = MakeCurve({{0, 0, "linear()"}, {10, 20, "constant()"}});
  Vector2D<double> p;
  ASSERT_TRUE(GetNewKeyframe(*c, 2.5, p));
  EXPECT_DOUBLE_EQ(p.x, 2.5);
  EXPECT_DOUBLE_EQ(p.y, 5.0);
  ASSERT_TRUE(GetNewKeyframe(*c, 40, p));
  EXPECT_EQ(p, Vector2D<double>(40, 20));
  ASSERT_TRUE(GetNewKeyframe(*FCurve::create("e"), 7, p));
  EXPECT_EQ(p, Vector2D<double>(7, 0));
  const Vector2D<double> keep(-1, -2);
  for (double x : {kNaN, kInf, -kInf}) {
    p = keep;
    EXPECT_FALSE(GetNewKeyframe(*c, x, p));
    EXPECT_EQ(p, keep);
  }
}

namespace {

// x:   -5     0      10     14
// y:    3     1      -2      6
// The tested segment is 0 .. 10.
std::shared_ptr<FCurve> InsertionCurve(bool weighted) {
  auto c = MakeCurve({{-5, 3, "linear()"}, {0, 1, "bezier()"}, {10, -2, "bezier()"}, {14, 6, "bezier()"}},
                     TangentType::Fixed);
  if (weighted) {
    SetHandle(KeyAt(*c, 1), false, 4, 6, true);
    SetHandle(KeyAt(*c, 2), true, -2, 3, true);
  } else {
    SetHandle(KeyAt(*c, 1), false, 1, 2.5, false);
    SetHandle(KeyAt(*c, 2), true, -2, 1, false);
  }
  return c;
}

}  // namespace

TEST(BezierInsertion, reproducesTheShapeAsFixedWeightedHandles) {
  for (bool weighted : {false, true}) {
    for (double x : {0.02, 1.0, 3.7, 5.0, 8.25, 9.98}) {
      auto original = InsertionCurve(weighted);
      auto c = FCurve::createCopy(original);
      Vector2D<double> p, h1, h2, h3, h4;
      ASSERT_TRUE(ComputeBezierInsertion(*c, x, p, h1, h2, h3, h4)) << x;
      EXPECT_DOUBLE_EQ(p.x, x);
      EXPECT_NEAR(p.y, original->eval(x), 1e-9);
      EXPECT_FALSE(std::isnan(h1.x + h1.y + h2.x + h2.y + h3.x + h3.y + h4.x + h4.y));
      // The new key's handles point away from it, the outer ones inwards.
      EXPECT_GE(h1.x, 0);
      EXPECT_LE(h2.x, 0);
      EXPECT_GE(h3.x, 0);
      EXPECT_LE(h4.x, 0);

      auto it = c->insertSegment(Keyframe(p.x, p.y), Bezier::create());
      ASSERT_NE(it, c->end());
      Keyframe& mid = *it.key();
      SetHandle(KeyAt(*c, 1), false, h1.x, h1.y, true);
      SetHandle(mid, true, h2.x, h2.y, true);
      SetHandle(mid, false, h3.x, h3.y, true);
      SetHandle(KeyAt(*c, 3), true, h4.x, h4.y, true);
      mid.setTangentsUnified(false);
      ASSERT_TRUE(IsValidCurve(*c));

      double worst = 0;
      for (int i = 0; i <= 4000; ++i) {
        const double q = -6 + 21.0 * i / 4000;
        worst = std::max(worst, std::fabs(c->eval(q) - original->eval(q)));
      }
      EXPECT_LT(worst, 1e-8) << "weighted " << weighted << " at " << x;
    }
  }
}

TEST(BezierInsertion, refusedOffInteriorBezierSegments) {
  auto c = InsertionCurve(false);
  const Vector2D<double> keep(11, 12);
  Vector2D<double> p = keep, h1 = keep, h2 = keep, h3 = keep, h4 = keep;
  // -3 is on a linear segment; -7 and 20 are on the exteriors (the last
  // one's interpolator is a bezier); the rest are not numbers.
  for (double x : {-3.0, -7.0, 20.0, kNaN, kInf, -kInf}) {
    EXPECT_FALSE(ComputeBezierInsertion(*c, x, p, h1, h2, h3, h4)) << x;
  }
  EXPECT_FALSE(ComputeBezierInsertion(*FCurve::create("e"), 1, p, h1, h2, h3, h4));
  EXPECT_EQ(p, keep);
  EXPECT_EQ(h1, keep);
  EXPECT_EQ(h2, keep);
  EXPECT_EQ(h3, keep);
  EXPECT_EQ(h4, keep);
}
