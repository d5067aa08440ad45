// Whole-curve rewrites: bake, smooth, flip and transform. Expectations come from the original curve's values or from
// hand arithmetic, never from the operation's own output.
#include "curve_fixtures.h"

#include <climits>
#include <functional>

using namespace Fixtures;

namespace {

using Op = std::function<bool(FCurve&)>;

Op Flip(int type, double cx, double cy) {
  return [=](FCurve& c) { return FlipCurve(c, type, cx, cy); };
}
Op Transform(double sx, double tx, double sy, double ty) {
  return [=](FCurve& c) { return TransformCurve(c, Vector2D<double>(sx, sy), Vector2D<double>(tx, ty)); };
}

}  // namespace

TEST(Smooth, constantCurveStaysConstant) {
  for (int filter : {BoxFilter, TriangleFilter}) {
    auto c = MakeCurve({{0, 5, "bezier()"}, {7, 5, "linear()"}, {20, 5, "bezier()"}});
    ASSERT_TRUE(SmoothCurve(*c, 0, 20, 1, 3, filter));
    ASSERT_TRUE(IsValidCurve(*c));
    EXPECT_EQ(c->numKeys(), 21u);
    EXPECT_LT(WorstOver(-5, 25, [&](double x) { return c->eval(x) - 5; }), 1e-12) << filter;
  }
}

TEST(Smooth, hugeRadiusNeitherExhaustsMemoryNorStalls) {
  // Past the ends every read is an end sample, so with radius r the box value at sample k of y = 0, 1, ... 10 is
  // ((r - k) 0 + 55 + (r - 10 + k) 10) / (2 r + 1).
  const long double r = INT_MAX;
  for (int filter : {BoxFilter, TriangleFilter}) {
    auto c = MakeCurve({{0, 0, "linear()"}, {10, 10, "linear()"}});
    ASSERT_TRUE(SmoothCurve(*c, 0, 10, 1, INT_MAX, filter));
    ASSERT_TRUE(IsValidCurve(*c));
    ASSERT_EQ(c->numKeys(), 11u);
    for (int k = 1; k <= 9; ++k) {
      // Triangle: nearly flat, every read weighs almost the same.
      const double want = filter == BoxFilter ? static_cast<double>((55 + (r - 10 + k) * 10) / (2 * r + 1)) : 5;
      EXPECT_NEAR(KeyAt(*c, k).getY(), want, filter == BoxFilter ? 1e-9 : 1e-6) << k;
    }
  }
}

// Keys 0, 4, 8, 12, 16 with Smooth handles: a bake or smooth of the span from 4 to 8 rewrites only that span; the
// curve beyond its end keys keeps every value.
TEST(Rewrites, aSpanRewriteLeavesTheCurveOutsideTheSpanAsItWas) {
  const struct { const char* what; std::function<bool(FCurve&)> op; } rows[] = {
      {"bake", [](FCurve& c) { return BakeCurve(c, 4, 8, 1); }},
      {"smooth", [](FCurve& c) { return SmoothCurve(c, 4, 8, 0.5, 2, TriangleFilter); }},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    auto c = MakeCurve({{0, 0, "bezier()"}, {4, 3, "bezier()"}, {8, -1, "bezier()"}, {12, 2, "bezier()"},
                        {16, 0, "bezier()"}});
    const auto original = FCurve::createCopy(c);
    ASSERT_TRUE(r.op(*c));
    ASSERT_TRUE(IsValidCurve(*c));
    auto outside = [&](double x) { return c->eval(x) - original->eval(x); };
    EXPECT_EQ(WorstOver(-3, 4, outside), 0);
    EXPECT_EQ(WorstOver(8, 20, outside), 0);
  }
}

TEST(Rewrites, mapEveryValueAndCarryFlagsInterpolatorsAndTagsWithTheirSpans) {
  struct Row { const char* what; Op op; double sx, tx, sy, ty; } rows[] = {  // x' = sx x + tx, y' = sy y + ty
      {"flip horizontal about 3", Flip(FlipHorizontal, 3, 100), -1, 6, 1, 0},
      {"flip vertical about 1.25", Flip(FlipVertical, 99, 1.25), 1, 0, -1, 2.5},
      {"flip both about (-2, 1.25)", Flip(FlipBoth, -2, 1.25), -1, -4, -1, 2.5},
      {"transform", Transform(1.5, -4, -0.5, 2), 1.5, -4, -0.5, 2},
      {"transform reversing x", Transform(-0.75, 5, 2, -1), -0.75, 5, 2, -1},
      {"transform flattening y", Transform(1, 0, 0, 3), 1, 0, 0, 3},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    // A constant segment keeps its direction when its span is mirrored, so the reversing rows use symmetric
    // interpolators only.
    auto c = Mixed(r.sx < 0 ? "bezier()" : "constant()");
    const auto original = FCurve::createCopy(c);
    ASSERT_TRUE(r.op(*c));
    ASSERT_TRUE(IsValidCurve(*c));
    auto map = [&](double x) { return r.sx * x + r.tx; };
    EXPECT_LT(WorstOver(-20, 70, [&](double x) { return c->eval(map(x)) - (r.sy * original->eval(x) + r.ty); }), 1e-9);
    // Keys, interpolators and tags keep their spans; reversed, the order and the exteriors' roles reverse too.
    auto spans = [](const FCurve& k) {
      std::vector<std::pair<const Interpolator*, std::string>> v;
      for (auto it = k.begin(); it != k.end(); ++it) v.emplace_back(it->getInterpolator().get(), it->getProperty("tag"));
      return v;
    };
    auto want = spans(*original);
    std::vector<double> xs = KeyXs(*original);
    for (double& x : xs) x = map(x);
    if (r.sx < 0) {
      std::reverse(want.begin(), want.end());
      std::reverse(xs.begin(), xs.end());
    }
    EXPECT_EQ(spans(*c), want);
    EXPECT_EQ(KeyXs(*c), xs);
    // Key flags travel with their keys; fixed handles scale.
    const Keyframe &k20 = *c->findSegment(map(20)).key(), &k0 = *c->findSegment(map(0)).key();
    EXPECT_TRUE(k20.isBreakdown() && IsLocked(k20));
    auto weighted = r.sx < 0 ? k0.getInTangent() : k0.getOutTangent();
    EXPECT_TRUE(Near(weighted->get(), Vector2D<double>(4 * r.sx, 7 * r.sy), 1e-12));
    EXPECT_TRUE(weighted->isWeighted());
    EXPECT_EQ(c->getProperty("owner"), "rig");
  }
}

TEST(Rewrites, flipTwiceOrTransformThenInverseGivesTheCurveBack) {
  auto inverse = [](double sx, double tx, double sy, double ty) { return Transform(1 / sx, -tx / sx, 1 / sy, -ty / sy); };
  const struct { const char* what; Op there, back; } rows[] = {
      {"flip horizontal", Flip(FlipHorizontal, 7.25, -1.5), Flip(FlipHorizontal, 7.25, -1.5)},
      {"flip vertical", Flip(FlipVertical, 7.25, -1.5), Flip(FlipVertical, 7.25, -1.5)},
      {"flip both", Flip(FlipBoth, 7.25, -1.5), Flip(FlipBoth, 7.25, -1.5)},
      {"transform", Transform(2.5, 5, -3, 1), inverse(2.5, 5, -3, 1)},
      {"transform reversing x", Transform(-0.75, 5, -3, 1), inverse(-0.75, 5, -3, 1)},
  };
  for (const auto& r : rows) {
    auto c = Mixed();
    const auto original = FCurve::createCopy(c);
    ASSERT_TRUE(r.there(*c)) << r.what;
    ASSERT_TRUE(IsValidCurve(*c));
    EXPECT_FALSE(SameCurve(*c, *original)) << r.what << " must change something";
    ASSERT_TRUE(r.back(*c)) << r.what;
    ASSERT_TRUE(IsValidCurve(*c));
    EXPECT_TRUE(SameCurve(*c, *original)) << r.what;
  }
}

TEST(Rewrites, keysExactlyTheSeparationApartCanBeMapped) {
  // 0.11 - 0.1 is a hair below 0.01 in binary, yet the curve holds both keys.
  auto make = [] { return MakeCurve({{0.1, 0, "bezier()"}, {0.11, 1, "bezier()"}, {1, 0, "bezier()"}}); };
  auto c = make(), d = make();
  ASSERT_EQ(c->numKeys(), 3u);
  EXPECT_TRUE(Transform(1, 0, 1, 0)(*c));
  EXPECT_TRUE(SameCurve(*c, *make()));
  EXPECT_TRUE(Transform(1, 3, 2, 0)(*c));
  EXPECT_TRUE(Flip(FlipHorizontal, 0, 0)(*d));
  EXPECT_TRUE(IsValidCurve(*c) && IsValidCurve(*d));
  EXPECT_EQ(d->numKeys(), 3u);
}

TEST(Rewrites, refuseBadArgumentsAndHugeResultsLeavingTheCurveUntouched) {
  auto bake = [](double x0, double x1, double step) { return Op([=](FCurve& c) { return BakeCurve(c, x0, x1, step); }); };
  auto bakeInterior = [](double step) { return Op([=](FCurve& c) { return BakeInterior(c, step); }); };
  auto smooth = [](double x0, double x1, double step, int radius, int filter) {
    return Op([=](FCurve& c) { return SmoothCurve(c, x0, x1, step, radius, filter); });
  };
  auto smoothInterior = [](double step, int radius, int filter) {
    return Op([=](FCurve& c) { return SmoothCurveInterior(c, step, radius, filter); });
  };
  const Op rows[] = {
      // Steps that are not positive numbers, ends that are not finite, two million keys, and a million keys and one
      // (one more than allowed).
      bake(0, 30, 0), bake(0, 30, -1), bake(0, 30, kNaN), bake(0, 30, kInf), bake(kNaN, 30, 1), bake(0, kNaN, 1),
      bake(-kInf, 30, 1), bake(0, kInf, 1), bake(0, 20000, 0.01), bake(0, 500000, 0.5),
      bakeInterior(0), bakeInterior(-2), bakeInterior(kNaN), bakeInterior(kInf), bakeInterior(4.5e-5),
      // The same for smooth, and negative radii and an unknown filter.
      smooth(0, 30, 0, 2, BoxFilter), smooth(0, 30, -1, 2, BoxFilter), smooth(0, 30, kNaN, 2, BoxFilter),
      smooth(kNaN, 30, 1, 2, BoxFilter), smooth(0, kInf, 1, 2, TriangleFilter), smooth(0, 30, 1, -1, BoxFilter),
      smooth(0, 30, 1, 2, 7), smooth(0, 20000, 0.01, 2, BoxFilter),
      smoothInterior(0, 2, BoxFilter), smoothInterior(kNaN, 2, BoxFilter), smoothInterior(1, -3, TriangleFilter),
      // Centres that are not finite, unknown flip types.
      Flip(FlipHorizontal, kNaN, 0), Flip(FlipVertical, 0, kInf), Flip(FlipBoth, -kInf, 0), Flip(3, 0, 0), Flip(-1, 0, 0),
      // Mixed's keys are at least 10 apart: x scales below 0.001 squeeze them; then zero and non-finite arguments,
      // and a scale that takes the last key past the largest double.
      Transform(0.0005, 0, 1, 0), Transform(-0.0005, 0, 1, 0), Transform(0, 0, 1, 0), Transform(kNaN, 0, 1, 0),
      Transform(1, 0, kNaN, 0), Transform(kInf, 0, 1, 0), Transform(1, kNaN, 1, 0), Transform(1, 0, 1, -kInf),
      Transform(4e306, 0, 1, 0),
  };
  auto c = Mixed();
  const auto before = State(*c);
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_FALSE(rows[i](*c)) << "row " << i;
    EXPECT_TRUE(Unchanged(*c, before)) << "row " << i;
  }
  EXPECT_TRUE(IsValidCurve(*c));
  // A single key has no interior to rewrite.
  auto one = MakeCurve({{1, 1, "linear()"}});
  const auto oneBefore = State(*one);
  BakeInterior(*one, 0.5);
  SmoothCurveInterior(*one, 0.5, 2, BoxFilter);
  EXPECT_TRUE(Unchanged(*one, oneBefore));
}
