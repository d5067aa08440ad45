// Whole-curve rewrites: bake, smooth, flip and transform. Expectations come
// from the original curve's values or from hand arithmetic, never from the
// operation's own output.
#include "curve_state.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

using namespace Zentho::Tessal;
using namespace Fixtures;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Largest |a(x) - b(x)| over [x0, x1].
template <class F>
double WorstOver(double x0, double x1, F&& diff, int n = 3000) {
  double worst = 0;
  for (int i = 0; i <= n; ++i) worst = std::max(worst, std::fabs(diff(x0 + (x1 - x0) * i / n)));
  return worst;
}

}  // namespace

// ---------------------------------------------------------------- bake

TEST(Bake, keepsValueAndSlopeAtEverySamplePoint) {
  auto c = Mixed();
  // Automatic handles follow their neighbours; fix the key at 30 so that the
  // curve beyond the span must stay exactly as it was.
  KeyAt(*c, 3).getOutTangent()->setType(TangentType::Fixed);
  const auto original = FCurve::createCopy(c);
  ASSERT_TRUE(BakeCurve(*c, 2, 27, 1.5));
  ASSERT_TRUE(IsValidCurve(*c));

  // Samples at 2, 3.5, ... 26 (17 of them), then the span's end 27; the keys
  // at 10 and 20 are gone, those outside the span stay.
  std::vector<double> want = {0};
  for (int k = 0; k < 17; ++k) want.push_back(2 + 1.5 * k);
  want.push_back(27);
  want.push_back(30);
  want.push_back(45);
  ASSERT_EQ(c->numKeys(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(KeyAt(*c, i).getX(), want[i], 1e-12) << i;

  for (std::size_t i = 1; i + 2 < want.size(); ++i) {
    const Keyframe& k = KeyAt(*c, i);
    const double x = k.getX();
    EXPECT_NEAR(k.getY(), original->eval(x), 1e-9) << x;
    const double slope = GetFirstDerivative(*original, x);
    for (auto t : {k.getInTangent(), k.getOutTangent()}) {
      EXPECT_EQ(t->getType(), TangentType::Fixed) << x;
      EXPECT_FALSE(t->isWeighted()) << x;
      EXPECT_NEAR(Slope(t->get()), slope, 1e-7) << x;
    }
    EXPECT_TRUE(k.isTangentsUnified()) << x;
    // The curve itself leaves the key along that slope on both sides.
    const double h = 1e-7;
    EXPECT_NEAR((c->eval(x + h) - c->eval(x)) / h, slope, 1e-4) << x;
    EXPECT_NEAR((c->eval(x) - c->eval(x - h)) / h, slope, 1e-4) << x;
    EXPECT_EQ(k.getRightSegment()->getInterpolator()->getExpression(), "bezier()") << x;
  }
  // Outside the span the curve is as it was.
  EXPECT_EQ(KeyAt(*c, want.size() - 1).get(), KeyAt(*original, 4).get());
  EXPECT_LT(WorstOver(30, 60, [&](double x) { return c->eval(x) - original->eval(x); }), 1e-12);
  EXPECT_EQ(KeyAt(*c, 0).getOutTangent()->get(), KeyAt(*original, 0).getOutTangent()->get());
}

TEST(Bake, interiorRunsFromFirstToLastKeyAndKeepsTheEnds) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 5, "ease()"}, {20, -3, "bezier()"}, {30, 2, "bezier()"}},
                     TangentType::Fixed);
  SetHandle(KeyAt(*c, 0), false, 2, 3, false);
  SetHandle(KeyAt(*c, 3), true, -1, 4, true);
  const auto original = FCurve::createCopy(c);
  ASSERT_TRUE(BakeInterior(*c, 4));
  ASSERT_TRUE(IsValidCurve(*c));
  // 0, 4, ... 28, then 30.
  ASSERT_EQ(c->numKeys(), 9u);
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_NEAR(KeyAt(*c, i).getX(), 4.0 * i, 1e-12);
    EXPECT_NEAR(KeyAt(*c, i).getY(), original->eval(4.0 * i), 1e-9);
  }
  EXPECT_EQ(KeyAt(*c, 8).get(), Vector2D<double>(30, 2));
  // The end keys keep their handles.
  EXPECT_EQ(KeyAt(*c, 0).getOutTangent()->get(), Vector2D<double>(2, 3));
  EXPECT_EQ(KeyAt(*c, 8).getInTangent()->get(), Vector2D<double>(-1, 4));
  EXPECT_TRUE(KeyAt(*c, 8).getInTangent()->isWeighted());

  // Nothing to bake without two keys.
  auto one = MakeCurve({{1, 1, "linear()"}});
  const auto oneBefore = Capture(*one);
  BakeInterior(*one, 0.5);
  EXPECT_EQ(Capture(*one), oneBefore);
}

TEST(Bake, refusesBadArgumentsAndHugeResultsLeavingTheCurve) {
  auto c = Mixed();
  const auto before = Capture(*c);
  struct Case {
    double x0, x1, step;
  };
  for (const Case& k : {Case{0, 30, 0}, Case{0, 30, -1}, Case{0, 30, kNaN}, Case{0, 30, kInf}, Case{kNaN, 30, 1},
                        Case{0, kNaN, 1}, Case{-kInf, 30, 1}, Case{0, kInf, 1},
                        // Two million keys, and 1,000,001: one more than allowed.
                        Case{0, 20000, 0.01}, Case{0, 500000, 0.5}}) {
    EXPECT_FALSE(BakeCurve(*c, k.x0, k.x1, k.step)) << k.x0 << " " << k.x1 << " " << k.step;
    EXPECT_EQ(Capture(*c), before) << k.x0 << " " << k.x1 << " " << k.step;
  }
  for (double step : {0.0, -2.0, kNaN, kInf, 4.5e-5}) {
    EXPECT_FALSE(BakeInterior(*c, step)) << step;
    EXPECT_EQ(Capture(*c), before) << step;
  }
  EXPECT_TRUE(IsValidCurve(*c));
}

// ---------------------------------------------------------------- smooth

TEST(Smooth, constantCurveStaysConstant) {
  for (int filter : {BoxFilter, TriangleFilter}) {
    auto c = MakeCurve({{0, 5, "bezier()"}, {7, 5, "linear()"}, {20, 5, "bezier()"}});
    ASSERT_TRUE(SmoothCurve(*c, 0, 20, 1, 3, filter));
    ASSERT_TRUE(IsValidCurve(*c));
    EXPECT_EQ(c->numKeys(), 21u);
    EXPECT_LT(WorstOver(-5, 25, [&](double x) { return c->eval(x) - 5; }), 1e-12) << filter;
  }
}

namespace {

// y is 0 everywhere but a linear spike to 10 at x = 11.
std::shared_ptr<FCurve> Spike() {
  return MakeCurve({{0, 0, "linear()"}, {10, 0, "linear()"}, {11, 10, "linear()"}, {12, 0, "linear()"},
                    {20, 0, "linear()"}});
}

// The keys strictly inside (x0, x1) as (x, y).
std::vector<Vector2D<double>> Inner(const FCurve& c, double x0, double x1) {
  std::vector<Vector2D<double>> v;
  for (auto it = std::next(c.begin()); it != c.end(); ++it)
    if (it.key()->getX() > x0 && it.key()->getX() < x1) v.push_back(it.key()->get());
  return v;
}

}  // namespace

TEST(Smooth, boxAndTriangleKernelsOnASpike) {
  // Box of radius 2: the spike's 10 spreads evenly over the five samples
  // 9 .. 13. Triangle: weights 1 2 3 2 1 out of 9.
  const double box[] = {0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 2, 2, 2, 0, 0, 0, 0, 0, 0};
  const double tri[] = {0, 0, 0, 0, 0, 0, 0, 0, 10. / 9, 20. / 9, 30. / 9, 20. / 9, 10. / 9, 0, 0, 0, 0, 0, 0};
  for (int filter : {BoxFilter, TriangleFilter}) {
    auto c = Spike();
    ASSERT_TRUE(SmoothCurve(*c, 0, 20, 1, 2, filter));
    ASSERT_TRUE(IsValidCurve(*c));
    const auto inner = Inner(*c, 0, 20);
    ASSERT_EQ(inner.size(), 19u);
    for (std::size_t i = 0; i < 19; ++i) {
      EXPECT_NEAR(inner[i].x, i + 1.0, 1e-12);
      EXPECT_NEAR(inner[i].y, filter == BoxFilter ? box[i] : tri[i], 1e-12) << "filter " << filter << " x " << i + 1;
    }
    for (std::size_t i = 1; i <= 19; ++i) {
      EXPECT_EQ(KeyAt(*c, i).getInTangent()->getType(), TangentType::Clamped);
      EXPECT_EQ(KeyAt(*c, i).getOutTangent()->getType(), TangentType::Clamped);
      EXPECT_EQ(KeyAt(*c, i).getLeftSegment()->getInterpolator()->getExpression(), "bezier()");
    }
    // Clamped handles never overshoot the neighbouring values.
    EXPECT_LT(WorstOver(0, 20, [&](double x) { return std::max(0.0, c->eval(x) - 30. / 9); }), 1e-12);
    EXPECT_GT(WorstOver(0, 20, [&](double x) { return std::min(0.0, c->eval(x)); }), -1e-12);
  }
}

TEST(Smooth, endsAreClampedAndEndKeysKeepTheirValues) {
  // A ramp y = x on [0, 10] between keys that lie outside the span.
  auto make = [] {
    return MakeCurve({{-5, 3, "linear()"}, {0, 0, "linear()"}, {10, 10, "linear()"}, {15, -4, "linear()"}});
  };
  // Radius 2 reads past the ends the end samples again: at 1, box
  // (0 + 0 + 1 + 2 + 3) / 5, triangle (0 + 0 + 3 + 4 + 3) / 9.
  for (int filter : {BoxFilter, TriangleFilter}) {
    auto c = make();
    ASSERT_TRUE(SmoothCurve(*c, 0, 10, 1, 2, filter));
    ASSERT_TRUE(IsValidCurve(*c));
    ASSERT_EQ(c->numKeys(), 13u);
    EXPECT_EQ(KeyAt(*c, 0).get(), Vector2D<double>(-5, 3));
    EXPECT_EQ(KeyAt(*c, 1).get(), Vector2D<double>(0, 0));
    EXPECT_EQ(KeyAt(*c, 11).get(), Vector2D<double>(10, 10));
    EXPECT_EQ(KeyAt(*c, 12).get(), Vector2D<double>(15, -4));
    const auto inner = Inner(*c, 0, 10);
    ASSERT_EQ(inner.size(), 9u);
    const double first = filter == BoxFilter ? 6.0 / 5 : 10.0 / 9;
    const double last = filter == BoxFilter ? 44.0 / 5 : 80.0 / 9;
    EXPECT_NEAR(inner[0].y, first, 1e-12);
    for (std::size_t i = 1; i + 1 < inner.size(); ++i) EXPECT_NEAR(inner[i].y, i + 1.0, 1e-12);
    EXPECT_NEAR(inner[8].y, last, 1e-12);
  }
  // Over the whole curve the first and last keys are the ends.
  auto c = make();
  ASSERT_TRUE(SmoothCurveInterior(*c, 1, 4, BoxFilter));
  ASSERT_TRUE(IsValidCurve(*c));
  EXPECT_EQ(KeyAt(*c, 0).get(), Vector2D<double>(-5, 3));
  EXPECT_EQ(std::prev(c->end()).key()->get(), Vector2D<double>(15, -4));
  EXPECT_EQ(c->numKeys(), 21u);
  // Over a span whose ends have no key, keys are added there with the
  // curve's values.
  auto d = make();
  ASSERT_TRUE(SmoothCurve(*d, 2.5, 7.5, 1, 1, TriangleFilter));
  ASSERT_TRUE(IsValidCurve(*d));
  EXPECT_NEAR(d->findSegment(2.5).key()->getX(), 2.5, 1e-12);
  EXPECT_NEAR(d->findSegment(2.5).key()->getY(), 2.5, 1e-12);
  EXPECT_NEAR(d->findSegment(7.5).key()->getX(), 7.5, 1e-12);
  EXPECT_NEAR(d->findSegment(7.5).key()->getY(), 7.5, 1e-12);
}

TEST(Smooth, radiusZeroKeepsTheSampledValues) {
  auto c = Mixed();
  const auto original = FCurve::createCopy(c);
  ASSERT_TRUE(SmoothCurve(*c, 0, 45, 0.75, 0, TriangleFilter));
  ASSERT_TRUE(IsValidCurve(*c));
  ASSERT_EQ(c->numKeys(), 61u);
  for (int k = 0; k <= 60; ++k) EXPECT_NEAR(c->eval(0.75 * k), original->eval(0.75 * k), 1e-9) << k;
}

TEST(Smooth, hugeRadiusNeitherExhaustsMemoryNorStalls) {
  // Past the ends every read is an end sample, so with radius r the box
  // value at sample k of y = 0, 1, ... 10 is ((r - k) 0 + 55 + (r - 10 + k) 10) / (2 r + 1).
  auto c = MakeCurve({{0, 0, "linear()"}, {10, 10, "linear()"}});
  const long double r = INT_MAX;
  ASSERT_TRUE(SmoothCurve(*c, 0, 10, 1, INT_MAX, BoxFilter));
  ASSERT_TRUE(IsValidCurve(*c));
  const auto inner = Inner(*c, 0, 10);
  ASSERT_EQ(inner.size(), 9u);
  for (int k = 1; k <= 9; ++k) {
    const long double want = (55 + (r - 10 + k) * 10) / (2 * r + 1);
    EXPECT_NEAR(inner[k - 1].y, static_cast<double>(want), 1e-9) << k;
  }
  auto d = MakeCurve({{0, 0, "linear()"}, {10, 10, "linear()"}});
  ASSERT_TRUE(SmoothCurve(*d, 0, 10, 1, INT_MAX, TriangleFilter));
  ASSERT_TRUE(IsValidCurve(*d));
  // Nearly flat: every sample weighs almost the same, the far reads dominate.
  for (const auto& p : Inner(*d, 0, 10)) EXPECT_NEAR(p.y, 5, 1e-6) << p.x;
}

TEST(Smooth, refusesBadArgumentsLeavingTheCurve) {
  auto c = Mixed();
  const auto before = Capture(*c);
  EXPECT_FALSE(SmoothCurve(*c, 0, 30, 0, 2, BoxFilter));
  EXPECT_FALSE(SmoothCurve(*c, 0, 30, -1, 2, BoxFilter));
  EXPECT_FALSE(SmoothCurve(*c, 0, 30, kNaN, 2, BoxFilter));
  EXPECT_FALSE(SmoothCurve(*c, kNaN, 30, 1, 2, BoxFilter));
  EXPECT_FALSE(SmoothCurve(*c, 0, kInf, 1, 2, TriangleFilter));
  EXPECT_FALSE(SmoothCurve(*c, 0, 30, 1, -1, BoxFilter));
  EXPECT_FALSE(SmoothCurve(*c, 0, 30, 1, 2, 7));
  EXPECT_FALSE(SmoothCurve(*c, 0, 20000, 0.01, 2, BoxFilter)) << "two million keys";
  EXPECT_FALSE(SmoothCurveInterior(*c, 0, 2, BoxFilter));
  EXPECT_FALSE(SmoothCurveInterior(*c, kNaN, 2, BoxFilter));
  EXPECT_FALSE(SmoothCurveInterior(*c, 1, -3, TriangleFilter));
  EXPECT_EQ(Capture(*c), before);
  EXPECT_TRUE(IsValidCurve(*c));
}

// ---------------------------------------------------------------- flip

TEST(Flip, twiceGivesTheCurveBack) {
  for (int type : {FlipHorizontal, FlipVertical, FlipBoth}) {
    auto c = Mixed();
    const auto original = FCurve::createCopy(c);
    ASSERT_TRUE(FlipCurve(*c, type, 7.25, -1.5)) << type;
    ASSERT_TRUE(IsValidCurve(*c));
    EXPECT_FALSE(SameCurve(*c, *original)) << "the flip must change something";
    ASSERT_TRUE(FlipCurve(*c, type, 7.25, -1.5));
    ASSERT_TRUE(IsValidCurve(*c));
    EXPECT_TRUE(SameCurve(*c, *original)) << "type " << type;
    EXPECT_EQ(c->getProperty("owner"), "rig");
  }
}

TEST(Flip, horizontalMirrorsValuesAndKeepsInterpolatorsWithTheirSpans) {
  // Symmetric interpolators only: a constant or one-sided ease keeps its
  // direction when its span is mirrored.
  auto c = Mixed("bezier()");
  const auto original = FCurve::createCopy(c);
  const double cx = 3;
  ASSERT_TRUE(FlipCurve(*c, FlipHorizontal, cx, 100));
  ASSERT_TRUE(IsValidCurve(*c));
  EXPECT_LT(WorstOver(-20, 70, [&](double x) { return c->eval(2 * cx - x) - original->eval(x); }), 1e-9);

  // Each interior segment's interpolator and property now sit on the
  // mirrored span; the exteriors exchange theirs.
  for (auto it = std::next(original->begin()); std::next(it) != original->end(); ++it) {
    const double a = it.key()->getX(), b = it->getRightKey()->getX();
    auto mirrored = c->findSegment(2 * cx - b + 1e-6);
    ASSERT_TRUE(mirrored.key());
    EXPECT_NEAR(mirrored.key()->getX(), 2 * cx - b, 1e-12);
    ASSERT_TRUE(mirrored->getRightKey());
    EXPECT_NEAR(mirrored->getRightKey()->getX(), 2 * cx - a, 1e-12);
    EXPECT_EQ(mirrored->getInterpolator()->getExpression(), it->getInterpolator()->getExpression()) << a;
    EXPECT_EQ(mirrored->getProperty("tag"), it->getProperty("tag")) << a;
  }
  EXPECT_EQ(c->begin()->getInterpolator()->getExpression(), "linear()");
  EXPECT_EQ(std::prev(c->end())->getInterpolator()->getExpression(),
            original->begin()->getInterpolator()->getExpression());
  EXPECT_EQ(std::prev(c->end())->getProperty("tag"), "leading");
  // Key flags travel with their keys.
  const Keyframe& k20 = *c->findSegment(2 * cx - 20).key();
  EXPECT_NEAR(k20.getX(), 2 * cx - 20, 1e-12);
  EXPECT_TRUE(k20.isBreakdown());
  EXPECT_TRUE(IsLocked(k20));
}

TEST(Flip, verticalAndBothMirrorValuesOfEveryInterpolator) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {3, 5, "easeIn()"}, {7, -3, "constant()"}, {9, 2, "easeOut()"},
                      {12, 4, "bezier()"}, {20, 1, "linear()"}},
                     TangentType::Plateau);
  KeyAt(*c, 4).getOutTangent()->setType(TangentType::Clamped);
  SetHandle(KeyAt(*c, 0), false, 1, 9, true);
  const auto original = FCurve::createCopy(c);
  const double cy = 1.25;
  ASSERT_TRUE(FlipCurve(*c, FlipVertical, 99, cy));
  ASSERT_TRUE(IsValidCurve(*c));
  EXPECT_LT(WorstOver(-10, 30, [&](double x) { return c->eval(x) - (2 * cy - original->eval(x)); }), 1e-9);

  auto both = MakeCurve({{0, 0, "bezier()"}, {3, 5, "ease()"}, {7, -3, "bezier()"}, {12, 4, "linear()"}},
                        TangentType::SmoothNormal);
  const auto bothOriginal = FCurve::createCopy(both);
  ASSERT_TRUE(FlipCurve(*both, FlipBoth, -2, cy));
  ASSERT_TRUE(IsValidCurve(*both));
  EXPECT_LT(WorstOver(-10, 30, [&](double x) { return both->eval(-4 - x) - (2 * cy - bothOriginal->eval(x)); }),
            1e-9);
}

TEST(Flip, refusesNonFiniteCentresAndUnknownTypes) {
  auto c = Mixed();
  const auto before = Capture(*c);
  EXPECT_FALSE(FlipCurve(*c, FlipHorizontal, kNaN, 0));
  EXPECT_FALSE(FlipCurve(*c, FlipVertical, 0, kInf));
  EXPECT_FALSE(FlipCurve(*c, FlipBoth, -kInf, 0));
  EXPECT_FALSE(FlipCurve(*c, 3, 0, 0));
  EXPECT_FALSE(FlipCurve(*c, -1, 0, 0));
  EXPECT_EQ(Capture(*c), before);
}

// ---------------------------------------------------------------- transform

TEST(Transform, thenItsInverseGivesTheCurveBack) {
  for (double sx : {2.5, -0.75}) {
    auto c = Mixed();
    const auto original = FCurve::createCopy(c);
    const Vector2D<double> s(sx, -3), t(5, 1);
    ASSERT_TRUE(TransformCurve(*c, s, t));
    ASSERT_TRUE(IsValidCurve(*c));
    ASSERT_TRUE(TransformCurve(*c, Vector2D<double>(1 / s.x, 1 / s.y), Vector2D<double>(-t.x / s.x, -t.y / s.y)));
    ASSERT_TRUE(IsValidCurve(*c));
    EXPECT_TRUE(SameCurve(*c, *original)) << sx;
  }
}

TEST(Transform, mapsEveryValue) {
  auto c = Mixed();
  const auto original = FCurve::createCopy(c);
  const double sx = 1.5, tx = -4, sy = -0.5, ty = 2;
  ASSERT_TRUE(TransformCurve(*c, Vector2D<double>(sx, sy), Vector2D<double>(tx, ty)));
  ASSERT_TRUE(IsValidCurve(*c));
  EXPECT_EQ(c->numKeys(), 5u);
  EXPECT_LT(WorstOver(-10, 60, [&](double x) { return c->eval(sx * x + tx) - (sy * original->eval(x) + ty); }),
            1e-9);
  // Handle offsets scale, flags stay.
  EXPECT_TRUE(Near(KeyAt(*c, 0).getOutTangent()->get(), Vector2D<double>(4 * sx, 7 * sy), 1e-12));
  EXPECT_TRUE(KeyAt(*c, 0).getOutTangent()->isWeighted());
  EXPECT_TRUE(KeyAt(*c, 2).isBreakdown());
  EXPECT_TRUE(IsLocked(KeyAt(*c, 2)));
  EXPECT_EQ(std::next(c->begin(), 2)->getProperty("tag"), "ten-twenty");
}

TEST(Transform, negativeXScaleReversesLikeAFlip) {
  auto a = Mixed("bezier()");
  auto b = Mixed("bezier()");
  const auto original = FCurve::createCopy(a);
  // x' = -x + 6 is the horizontal flip about 3; y is scaled on top.
  ASSERT_TRUE(TransformCurve(*a, Vector2D<double>(-1, 2), Vector2D<double>(6, 0)));
  ASSERT_TRUE(FlipCurve(*b, FlipHorizontal, 3, 0));
  ASSERT_TRUE(TransformCurve(*b, Vector2D<double>(1, 2), Vector2D<double>(0, 0)));
  ASSERT_TRUE(IsValidCurve(*a));
  EXPECT_TRUE(SameCurve(*a, *b));
  EXPECT_LT(WorstOver(-20, 70, [&](double x) { return a->eval(6 - x) - 2 * original->eval(x); }), 1e-9);
}

TEST(Transform, refusesScalesThatSqueezeKeysAndNonFiniteArguments) {
  // Keys one apart: a scale below 0.01 would bring them closer than allowed.
  auto c = MakeCurve({{0, 0, "bezier()"}, {1, 1, "linear()"}, {2, 0, "bezier()"}});
  const auto before = Capture(*c);
  for (auto s : {Vector2D<double>(0.005, 1), Vector2D<double>(-0.005, 1), Vector2D<double>(0, 1),
                 Vector2D<double>(kNaN, 1), Vector2D<double>(1, kNaN), Vector2D<double>(kInf, 1)}) {
    EXPECT_FALSE(TransformCurve(*c, s, Vector2D<double>(0, 0))) << s.x << " " << s.y;
  }
  EXPECT_FALSE(TransformCurve(*c, Vector2D<double>(1, 1), Vector2D<double>(kNaN, 0)));
  EXPECT_FALSE(TransformCurve(*c, Vector2D<double>(1, 1), Vector2D<double>(0, -kInf)));
  // Positions that overflow.
  EXPECT_FALSE(TransformCurve(*c, Vector2D<double>(1e308, 1), Vector2D<double>(1e308, 0)));
  EXPECT_EQ(Capture(*c), before);
  // A y scale of zero is allowed: it flattens the curve.
  ASSERT_TRUE(TransformCurve(*c, Vector2D<double>(1, 0), Vector2D<double>(0, 3)));
  EXPECT_TRUE(IsValidCurve(*c));
  EXPECT_LT(WorstOver(-1, 3, [&](double x) { return c->eval(x) - 3; }), 1e-12);
}

TEST(Transform, keysExactlyTheSeparationApartCanBeMapped) {
  // 0.11 - 0.1 is a hair below 0.01 in binary, yet the curve holds both keys.
  auto make = [] { return MakeCurve({{0.1, 0, "bezier()"}, {0.11, 1, "bezier()"}, {1, 0, "bezier()"}}); };
  auto c = make();
  ASSERT_EQ(c->numKeys(), 3u);
  const auto original = FCurve::createCopy(c);
  EXPECT_TRUE(TransformCurve(*c, Vector2D<double>(1, 1), Vector2D<double>(0, 0)));
  EXPECT_TRUE(SameCurve(*c, *original));
  EXPECT_TRUE(TransformCurve(*c, Vector2D<double>(1, 2), Vector2D<double>(3, 0)));
  EXPECT_TRUE(IsValidCurve(*c));
  auto d = make();
  EXPECT_TRUE(FlipCurve(*d, FlipHorizontal, 0, 0));
  EXPECT_TRUE(IsValidCurve(*d));
  EXPECT_EQ(d->numKeys(), 3u);
}
