// Read-only questions about curves: extents (against dense sampling), tangent and segment indices, and the geometry
// of an inserted bezier key.
#include "curve_fixtures.h"

#include <climits>
#include <functional>

using namespace Fixtures;

namespace {

// x:   0     10     20     30
// y:   0      2     -1      1
// The first segment's handles carry it above 2, the third's below -1; the second eases.
std::shared_ptr<FCurve> Overshooting(bool weighted) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 2, "ease()"}, {20, -1, "bezier()"}, {30, 1, "linear()"}},
                     TangentType::Fixed);
  const double w[4][2] = {{6, 9}, {-1, -7}, {5, -9}, {-3, -6}}, u[4][2] = {{1, 4}, {-1, -3}, {1, -4}, {-1, -5}};
  const auto& h = weighted ? w : u;
  for (std::size_t i = 0; i < 4; ++i) SetHandle(KeyAt(*c, i), i % 2 == 1, h[i][0], h[i][1], weighted);
  return c;
}

AssertionResult RectIs(const Rectangle<double>& r, double x0, double y0, double x1, double y1, double tol = 1e-12) {
  if (Near({r.x, r.y}, {x0, y0}, tol) && Near({r.right(), r.top()}, {x1, y1}, tol)) return AssertionSuccess();
  return AssertionFailure() << "rect [" << r.x << ", " << r.right() << "] x [" << r.y << ", " << r.top()
                            << "], expected [" << x0 << ", " << x1 << "] x [" << y0 << ", " << y1 << "]";
}

const Rectangle<double> kSentinel(-123, -456, 7, 8);

}  // namespace

TEST(Extents, interiorExtentsHoldTheBezierOvershootButNotTheExteriors) {
  for (bool weighted : {false, true}) {
    auto c = Overshooting(weighted);
    // Bounds from many evaluations: an independent, slightly inside estimate.
    double lo = kInf, hi = -kInf;
    for (int i = 0; i <= 30000; ++i) {
      lo = std::min(lo, c->eval(i * 0.001));
      hi = std::max(hi, c->eval(i * 0.001));
    }
    // The handles must really carry the curve past the keys' values, or the test would not tell overshoot from keys.
    ASSERT_GT(hi, 2.5) << weighted;
    ASSERT_LT(lo, -1.5) << weighted;
    Rectangle<double> r;
    ASSERT_TRUE(GetInteriorExtents(*c, r));
    // Sampling can only miss a sliver of each extremum.
    EXPECT_TRUE(RectIs(r, 0, lo, 30, hi, 1e-5)) << "weighted " << weighted;
    EXPECT_LE(r.y, lo + 1e-12);
    EXPECT_GE(r.top(), hi - 1e-12);
  }
  // The exterior segments do not count: one key is a point; no key, no extents.
  Rectangle<double> r = kSentinel;
  ASSERT_TRUE(GetInteriorExtents(*MakeCurve({{3, -2, "linear()"}}), r));
  EXPECT_TRUE(RectIs(r, 3, -2, 3, -2));
  r = kSentinel;
  EXPECT_FALSE(GetInteriorExtents(*FCurve::create("e"), r));
  EXPECT_EQ(r, kSentinel) << "untouched";
}

TEST(Extents, visibleExtentsSkipInvisibleAndEmptyCurves) {
  auto container = std::make_shared<FCurveContainer>();
  Selection selection(container);
  auto a = MakeCurve({{0, 1, "linear()"}, {4, 3, "linear()"}});
  auto hidden = MakeCurve({{-100, -100, "linear()"}, {100, 100, "linear()"}});
  auto b = MakeCurve({{2, -5, "linear()"}, {6, 0, "linear()"}});
  hidden->setVisible(false);
  for (auto& c : {a, hidden, FCurve::create("empty"), b}) container->addCurve(c);
  Rectangle<double> r;
  ASSERT_TRUE(GetVisibleExtents(*container, selection, r));
  EXPECT_TRUE(RectIs(r, 0, -5, 6, 3));
  // Nothing visible with a key: false, rect untouched.
  a->setVisible(false);
  b->setVisible(false);
  r = kSentinel;
  EXPECT_FALSE(GetVisibleExtents(*container, selection, r));
  auto none = std::make_shared<FCurveContainer>();
  EXPECT_FALSE(GetVisibleExtents(*none, Selection(none), r));
  EXPECT_EQ(r, kSentinel);
}

TEST(Extents, selectedExtentsCoverSelectedKeysSegmentsTangentsThenCurves) {
  auto container = std::make_shared<FCurveContainer>();
  Selection sel(container);
  // x:  0    10    20    30        y: 0  8  -4  2
  auto a = MakeCurve({{0, 0, "linear()"}, {10, 8, "linear()"}, {20, -4, "linear()"}, {30, 2, "linear()"}});
  auto b = MakeCurve({{-50, 40, "linear()"}, {-40, 41, "linear()"}, {100, -30, "linear()"}});
  auto empty = FCurve::create("empty");
  for (auto& c : {a, b, empty}) container->addCurve(c);
  Rectangle<double> r = kSentinel;
  EXPECT_FALSE(GetSelectedExtents(sel, r)) << "nothing selected";
  sel.select(*empty);
  EXPECT_FALSE(GetSelectedExtents(sel, r)) << "only an empty curve selected";
  EXPECT_EQ(r, kSentinel);
  struct Step { std::function<void()> change; double x0, y0, x1, y1; const char* what; } steps[] = {
      {[&] { sel.select(KeyAt(*a, 1)); }, 10, 8, 10, 8, "a key"},
      {[&] { sel.select(*std::next(a->begin(), 3).segment()); }, 10, -4, 30, 8, "a segment brings both its keys"},
      {[&] { sel.select(*KeyAt(*b, 1).getInTangent()); }, -40, -4, 30, 41, "an in-tangent brings the key it arrives at"},
      {[&] { sel.select(*b); }, -40, -4, 30, 41, "a curve adds nothing while parts are selected"},
      {[&] { DeselectSelectedParts(sel); }, -50, -30, 100, 41, "then selected curves give their interior extents"},
      {[&] { sel.select(*a); }, -50, -30, 100, 41, "of every selected curve"},
      {[&] { sel.deselect(*b); }, 0, -4, 30, 8, "and only those"},
  };
  for (const Step& s : steps) {
    s.change();
    ASSERT_TRUE(GetSelectedExtents(sel, r)) << s.what;
    EXPECT_TRUE(RectIs(r, s.x0, s.y0, s.x1, s.y1)) << s.what;
  }
  // A selected key that has left its curve no longer qualifies.
  sel.clear();
  sel.select(KeyAt(*a, 1));
  ASSERT_TRUE(a->removeSegment(std::next(a->begin(), 2)));
  r = kSentinel;
  EXPECT_FALSE(GetSelectedExtents(sel, r));
  EXPECT_EQ(r, kSentinel);
}

TEST(Indices, tangentIndicesRoundTripAndBothRefuseStrangersAndOutOfRange) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {1, 1, "linear()"}, {2, 0, "bezier()"}, {5, 3, "constant()"}});
  int tangent = 0;
  for (auto it = c->begin(); it != c->end(); ++it) {
    // Per entry its out-tangent, then its in-tangent.
    for (auto t : {it->getOutTangent(), it->getInTangent()}) {
      if (!t) continue;
      EXPECT_EQ(GetTangentIndex(*c, *t), tangent);
      EXPECT_EQ(GetIndexedTangent(*c, tangent), t) << tangent;
      ++tangent;
    }
  }
  EXPECT_EQ(tangent, 8) << "two handles per key";
  for (int bad : {-1, 8, 9, INT_MAX, INT_MIN}) EXPECT_FALSE(GetIndexedTangent(*c, bad)) << bad;
  for (int bad : {-1, 5, INT_MAX, INT_MIN}) EXPECT_EQ(GetIndexedSegmentIterator(*c, bad), c->end()) << bad;
  EXPECT_FALSE(GetIndexedTangent(*FCurve::create("e"), 0));

  auto other = MakeCurve({{0, 0, "bezier()"}, {1, 1, "bezier()"}});
  EXPECT_EQ(GetTangentIndex(*c, *KeyAt(*other, 1).getOutTangent()), -1);
  EXPECT_EQ(GetSegmentIndex(*c, *other->begin().segment()), -1);
  // The removed last key's segment, its out-tangent and the in-tangent that arrived at it.
  auto lastIn = KeyAt(*c, 3).getInTangent(), removedOut = KeyAt(*c, 3).getOutTangent();
  auto removed = *std::prev(c->end());
  ASSERT_TRUE(c->removeSegment(std::prev(c->end())));
  EXPECT_EQ(GetTangentIndex(*c, *lastIn), -1);
  EXPECT_EQ(GetTangentIndex(*c, *removedOut), -1);
  EXPECT_EQ(GetSegmentIndex(*c, *removed), -1);
  EXPECT_FALSE(GetIndexedTangent(*c, 6));
  EXPECT_EQ(GetIndexedTangent(*c, 5), KeyAt(*c, 2).getOutTangent());
  // Later entries move up.
  ASSERT_TRUE(c->removeSegment(std::next(c->begin(), 1)));
  EXPECT_EQ(GetSegmentIndex(*c, *std::next(c->begin(), 2).segment()), 2);
}

TEST(NewKeyframe, isThePointOnTheCurve) {
  // y = 2x on [0, 10], held at 20 after it.
  auto c = MakeCurve({{0, 0, "linear()"}, {10, 20, "constant()"}});
  Vector2D<double> p;
  ASSERT_TRUE(GetNewKeyframe(*c, 2.5, p));
  EXPECT_TRUE(Near(p, Vector2D<double>(2.5, 5), 1e-12));
  ASSERT_TRUE(GetNewKeyframe(*c, 40, p));
  EXPECT_EQ(p, Vector2D<double>(40, 20));
  ASSERT_TRUE(GetNewKeyframe(*FCurve::create("e"), 7, p));
  EXPECT_EQ(p, Vector2D<double>(7, 0));
  const Vector2D<double> keep(-1, -2);
  p = keep;
  for (double x : {kNaN, kInf, -kInf}) EXPECT_FALSE(GetNewKeyframe(*c, x, p)) << x;
  EXPECT_EQ(p, keep) << "untouched";
}

namespace {

// x:   -5     0      10     14
// y:    3     1      -2      6
// The tested segment is 0 .. 10.
std::shared_ptr<FCurve> InsertionCurve(bool weighted) {
  auto c = MakeCurve({{-5, 3, "linear()"}, {0, 1, "bezier()"}, {10, -2, "bezier()"}, {14, 6, "bezier()"}},
                     TangentType::Fixed);
  SetHandle(KeyAt(*c, 1), false, weighted ? 4 : 1, weighted ? 6 : 2.5, weighted);
  SetHandle(KeyAt(*c, 2), true, -2, weighted ? 3 : 1, weighted);
  return c;
}

}  // namespace

TEST(BezierInsertion, reproducesTheShapeAsFixedWeightedHandles) {
  for (bool weighted : {false, true}) {
    for (double x : {0.02, 1.0, 3.7, 5.0, 8.25, 9.98}) {
      SCOPED_TRACE(::testing::Message() << "weighted " << weighted << " at " << x);
      auto original = InsertionCurve(weighted);
      auto c = FCurve::createCopy(original);
      Vector2D<double> p, h1, h2, h3, h4;
      ASSERT_TRUE(ComputeBezierInsertion(*c, x, p, h1, h2, h3, h4));
      EXPECT_DOUBLE_EQ(p.x, x);
      EXPECT_NEAR(p.y, original->eval(x), 1e-9);
      // The new key's handles point away from it, the outer ones inwards.
      EXPECT_TRUE(h1.x >= 0 && h2.x <= 0 && h3.x >= 0 && h4.x <= 0);

      auto it = c->insertSegment(Keyframe(p.x, p.y), Bezier::create());
      ASSERT_NE(it, c->end());
      Keyframe& mid = *it.key();
      mid.setTangentsUnified(false);
      SetHandle(KeyAt(*c, 1), false, h1.x, h1.y, true);
      SetHandle(mid, true, h2.x, h2.y, true);
      SetHandle(mid, false, h3.x, h3.y, true);
      SetHandle(KeyAt(*c, 3), true, h4.x, h4.y, true);
      ASSERT_TRUE(IsValidCurve(*c));
      EXPECT_LT(WorstOver(-6, 15, [&](double q) { return c->eval(q) - original->eval(q); }, 4000), 1e-8);
    }
  }
}

TEST(BezierInsertion, refusedOffInteriorBezierSegments) {
  auto c = InsertionCurve(false);
  const Vector2D<double> keep(11, 12);
  Vector2D<double> p = keep, h1 = keep, h2 = keep, h3 = keep, h4 = keep;
  // -3 is on a linear segment; -7 and 20 are on the exteriors (the last one's interpolator is a bezier); the rest are
  // not numbers.
  for (double x : {-3.0, -7.0, 20.0, kNaN, kInf, -kInf}) {
    EXPECT_FALSE(ComputeBezierInsertion(*c, x, p, h1, h2, h3, h4)) << x;
  }
  EXPECT_FALSE(ComputeBezierInsertion(*FCurve::create("e"), 1, p, h1, h2, h3, h4));
  for (const auto& v : {p, h1, h2, h3, h4}) EXPECT_EQ(v, keep);
}
