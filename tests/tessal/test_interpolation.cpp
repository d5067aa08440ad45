// Values of curves: every interpolator on and around its keys, both exteriors, bezier against an independent de
// Casteljau evaluation, derivatives against finite differences, and the automatic handle types.
#include "curve_fixtures.h"

using namespace Fixtures;

namespace {

// A hair: far below anything visible, far above rounding at these scales.
constexpr double kHair = 1e-9;

// de Casteljau on the four control points, independent of the power-basis arithmetic the library uses.
Vector2D<double> DeCasteljau(const SegmentShape& s, double t) {
  auto lerp = [](Vector2D<double> a, Vector2D<double> b, double u) { return a + (b - a) * u; };
  auto a = lerp(s.p0, s.p1, t), b = lerp(s.p1, s.p2, t), c = lerp(s.p2, s.p3, t);
  return lerp(lerp(a, b, t), lerp(b, c, t), t);
}

// t at which de Casteljau's x(t) reaches x, by bisection: slow but obviously right on the monotonic x(t) of a
// conditioned shape.
double OracleT(const SegmentShape& s, double x) {
  double lo = 0, hi = 1;
  for (int i = 0; i < 200; ++i) {
    const double mid = 0.5 * (lo + hi);
    (DeCasteljau(s, mid).x < x ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

class EveryInterpolator : public ::testing::TestWithParam<const char*> {};

}  // namespace

// x:    0     10     20
// y:    1      4     -2
TEST_P(EveryInterpolator, exactOnKeysAndContinuousAHairEitherSide) {
  const char* interp = GetParam();
  auto c = MakeCurve({{0, 1, interp}, {10, 4, interp}, {20, -2, interp}});
  for (auto k : {std::make_pair(0.0, 1.0), std::make_pair(10.0, 4.0), std::make_pair(20.0, -2.0)}) {
    EXPECT_DOUBLE_EQ(c->eval(k.first), k.second) << " at " << k.first;
    EXPECT_NEAR(c->eval(k.first + kHair), k.second, 1e-6);
    // A constant segment steps at its right key.
    if (std::string(interp) != "constant()" || k.first == 0.0) { EXPECT_NEAR(c->eval(k.first - kHair), k.second, 1e-6); }
  }
  EXPECT_TRUE(std::isnan(c->eval(kNaN)));
  EXPECT_TRUE(std::isnan(GetFirstDerivative(*c, kNaN)));
}

TEST_P(EveryInterpolator, exteriorsFollowTheirOwnInterpolator) {
  const char* interp = GetParam();
  auto c = MakeCurve({{0, 1, "bezier()"}, {10, 4, interp}});
  c->begin()->setInterpolator(InterpolatorFactory::create(interp));
  // Smooth end handles point at the one neighbour: slope 0.3 both ways.
  const double slope = InterpolatorFactory::create(interp)->extrapolatesAlongHandle() ? 0.3 : 0.0;
  EXPECT_NEAR(c->eval(-10), 1 - 10 * slope, 1e-9);
  EXPECT_NEAR(c->eval(30), 4 + 20 * slope, 1e-9);
  EXPECT_NEAR(GetFirstDerivative(*c, -3), slope, 1e-9);
  EXPECT_NEAR(GetFirstDerivative(*c, 13), slope, 1e-9);
  EXPECT_EQ(GetSecondDerivative(*c, 13), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Builtins, EveryInterpolator,
                         ::testing::Values("bezier()", "linear()", "constant()", "ease()", "easeIn()", "easeOut()"));

TEST(Interpolators, factoryOrderAndRegistration) {
  std::vector<std::string> names(InterpolatorFactory::begin(), InterpolatorFactory::end());
  ASSERT_GE(names.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 6),
            (std::vector<std::string>{"bezier()", "linear()", "constant()", "ease()", "easeIn()", "easeOut()"}));
  for (const auto& n : names) EXPECT_EQ(InterpolatorFactory::create(n)->getExpression(), n);
  EXPECT_EQ(InterpolatorFactory::create("nope()"), nullptr);
  EXPECT_FALSE(InterpolatorFactory::registerInterpolator("", [] { return Linear::create(); }));
  EXPECT_FALSE(InterpolatorFactory::registerInterpolator("x()", nullptr));
  EXPECT_FALSE(InterpolatorFactory::isRegistered("x()"));
  EXPECT_TRUE(InterpolatorFactory::registerInterpolator("hostLinear()", [] { return Linear::create(); }));
  EXPECT_TRUE(InterpolatorFactory::isRegistered("hostLinear()"));
  EXPECT_EQ(*std::prev(InterpolatorFactory::end()), "hostLinear()");
}

TEST(Interpolators, shapesBetweenTheKeys) {
  // From (0, 0) to (10, 10): where each lies mid-span, and where it is flat. lo <= eval(x) <= hi; flat at flatAt
  // (NaN: nowhere).
  struct Row { const char* interp; double x, lo, hi, flatAt; } rows[] = {
      {"linear()", 2.5, 2.5, 2.5, kNaN},      {"ease()", 5, 5, 5, 0},
      {"easeIn()", 5, 0, 4.9, 0},             {"easeOut()", 5, 5.1, 10, 10 - 1e-12},
      {"constant()", 9.999, 0, 0, 5},  // steps at the right key, not before
  };
  for (const Row& r : rows) {
    auto c = MakeCurve({{0, 0, r.interp}, {10, 10, "bezier()"}});
    EXPECT_GE(c->eval(r.x), r.lo - 1e-12) << r.interp;
    EXPECT_LE(c->eval(r.x), r.hi + 1e-12) << r.interp;
    if (!std::isnan(r.flatAt)) { EXPECT_NEAR(GetFirstDerivative(*c, r.flatAt), 0, 1e-9) << r.interp; }
  }
}

TEST(BezierOracle, randomCurvesWithWeightedHandlesMatchDeCasteljau) {
  std::mt19937 rng(1234);
  std::uniform_real_distribution<double> uy(-10, 10), uh(-2, 2), ut(0, 1);
  for (int trial = 0; trial < 60; ++trial) {
    auto c = FCurve::create("r");
    double x = 0;
    for (int k = 0; k < 6; ++k) {
      x += 0.5 + 3 * ut(rng);
      c->insertSegment(Keyframe(x, uy(rng)), Bezier::create());
    }
    for (auto it = std::next(c->begin()); it != c->end(); ++it)
      for (double side : {-1, 1}) SetHandle(*it.key(), side < 0, side * (0.1 + 2.5 * ut(rng)), uh(rng) * 3, trial % 2);
    for (auto it = std::next(c->begin()); std::next(it) != c->end(); ++it) {
      SegmentShape s;
      ASSERT_TRUE(it->getShape(s));
      // Conditioned handles stay inside the span so x(t) is monotonic.
      EXPECT_TRUE(s.p0.x <= s.p1.x && s.p1.x <= s.p3.x && s.p0.x <= s.p2.x && s.p2.x <= s.p3.x) << trial;
      const double span = s.p3.x - s.p0.x;
      for (int i = 0; i <= 20; ++i) {
        const double qx = s.p0.x + span * i / 20.0;
        const double got = c->eval(qx);
        // Always: the value is the curve's at that x.
        const auto onCurve = DeCasteljau(s, Bezier::SolveParameter(s, qx));
        EXPECT_NEAR(onCurve.x, qx, 1e-9 * (1 + std::fabs(qx))) << "trial " << trial;
        EXPECT_NEAR(onCurve.y, got, 1e-9 * (1 + std::fabs(got))) << "trial " << trial;
        // Where x'(t) nearly vanishes y(x) is ill-conditioned (t is only known to the cube root of the rounding):
        // compare with the oracle only where the curve is well-conditioned.
        const double t = OracleT(s, qx), u = 1 - t;
        const double dxdt = 3 * (u * u * (s.p1.x - s.p0.x) + 2 * u * t * (s.p2.x - s.p1.x) + t * t * (s.p3.x - s.p2.x));
        if (dxdt < 0.05 * span) continue;
        const double want = DeCasteljau(s, t).y;
        EXPECT_NEAR(got, want, 1e-8 * (1 + std::fabs(want))) << "trial " << trial << " x " << qx;
      }
    }
  }
}

TEST(BezierOracle, derivativesMatchFiniteDifferencesAndSamplesMatchEvaluation) {
  std::mt19937 rng(99);
  std::uniform_real_distribution<double> uy(-5, 5), ut(0.05, 0.95);
  auto c = FCurve::create("d");
  double x = 0;
  for (int k = 0; k < 8; ++k) {
    x += 1 + 2 * ut(rng);
    c->insertSegment(Keyframe(x, uy(rng)), k % 3 == 2 ? Ease::create() : Bezier::create());
  }
  for (auto it = std::next(c->begin()); it != c->end(); ++it) SetHandle(*it.key(), false, 0.4, uy(rng), true);
  for (auto it = std::next(c->begin()); std::next(it) != c->end(); ++it) {
    const double x0 = it.key()->getX(), x1 = std::next(it).key()->getX();
    for (int i = 0; i < 10; ++i) {
      const double q = x0 + (x1 - x0) * ut(rng), h = 1e-5;
      const double d1 = (c->eval(q + h) - c->eval(q - h)) / (2 * h);
      const double d2 = (c->eval(q + h) - 2 * c->eval(q) + c->eval(q - h)) / (h * h);
      EXPECT_NEAR(GetFirstDerivative(*c, q), d1, 1e-4 * (1 + std::fabs(d1))) << q;
      EXPECT_NEAR(GetSecondDerivative(*c, q), d2, 2e-2 * (1 + std::fabs(d2))) << q;
    }
    // One pass over most of the segment, end to end, lies on the curve.
    const double a = x0 + 0.1 * (x1 - x0), b = x1 - 0.1 * (x1 - x0);
    std::vector<Vector2D<double>> pts(30), d1(30);
    it->sample(a, b, pts.size(), pts.data());
    it->sampleFirstDerivative(a, b, d1.size(), d1.data());
    EXPECT_TRUE(pts.front().x == a && pts.back().x == b);
    for (std::size_t i = 0; i < pts.size(); ++i) {
      EXPECT_NEAR(pts[i].y, c->eval(pts[i].x), 1e-9);
      EXPECT_NEAR(d1[i].y, GetFirstDerivative(*c, d1[i].x), 1e-6 * (1 + std::fabs(d1[i].y)));
      if (i) { EXPECT_GT(pts[i].x, pts[i - 1].x); }
    }
    it->sample(a, b, 0, nullptr);  // nothing to write
  }
}

TEST(BezierOracle, degenerateWeightedAndVerticalHandlesStayFinite) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {1, 1, "bezier()"}}, TangentType::Fixed);
  // Handles lying on the opposite end, then a vertical one: x'(t) vanishes.
  SetHandle(KeyAt(*c, 0), false, 5, 3, true);
  SetHandle(KeyAt(*c, 1), true, -5, -3, true);
  for (int round = 0; round < 2; ++round) {
    for (double x = 0; x <= 1; x += 0.01) {
      EXPECT_TRUE(std::isfinite(c->eval(x))) << round << " at " << x;
      EXPECT_TRUE(std::isfinite(GetFirstDerivative(*c, x)) && std::isfinite(GetSecondDerivative(*c, x))) << x;
    }
    SetHandle(KeyAt(*c, 0), false, 0, 7, false);
  }
}


TEST(TangentTypes, eachTypeOnTellingKeys) {
  // Uneven rise, x 0 1 4, y 0 2 3: secants 2 and 1/3 over spans 1 and 3.
  const std::vector<KeyRow> rise{{0, 0, "bezier()"}, {1, 2, "bezier()"}, {4, 3, "bezier()"}};
  // Steep after shallow, x 0 1 2, y 0 0.1 3: the smooth slope 1.5 is more than three times the smaller secant 0.1.
  const std::vector<KeyRow> steep{{0, 0, "bezier()"}, {1, 0.1, "bezier()"}, {2, 3, "bezier()"}};
  const struct {
    const std::vector<KeyRow>* keys;
    unsigned char type;
    std::size_t key;
    bool in;
    double slope;
    const char* why;
  } rows[] = {
      {&rise, TangentType::Flat, 1, false, 0, "flat"},
      {&rise, TangentType::Linear, 1, true, 2, "linear: towards the left neighbour"},
      {&rise, TangentType::Linear, 1, false, 1.0 / 3, "linear: towards the right neighbour"},
      {&rise, TangentType::Linear, 0, true, 0, "linear: flat without a neighbour"},
      {&rise, TangentType::Smooth, 1, true, 0.75, "smooth: neighbour to neighbour"},
      {&rise, TangentType::Smooth, 1, false, 0.75, "smooth: neighbour to neighbour"},
      {&rise, TangentType::Smooth, 0, false, 2, "smooth end: towards the one neighbour"},
      // Weights 2 h_next + h_prev = 7 on the left secant, h_next + 2 h_prev = 5 on the right one.
      {&rise, TangentType::SmoothNormal, 1, false, 12 / (7 / 2.0 + 5 / (1.0 / 3)), "weighted harmonic mean"},
      {&steep, TangentType::SmoothNormal, 1, true, 6 / (3 / 0.1 + 3 / 2.9), "weighted harmonic mean"},
      {&rise, TangentType::Clamped, 1, false, 0.75, "clamped within three times the smaller secant"},
      {&rise, TangentType::Clamped, 0, false, 2, "clamped end: towards the neighbour"},
      {&rise, TangentType::Plateau, 0, false, 0, "plateau end: flat"},
      {&rise, TangentType::Plateau, 2, true, 0, "plateau end: flat"},
      {&steep, TangentType::Smooth, 1, false, 1.5, "smooth: unlimited"},
      {&steep, TangentType::Clamped, 1, false, 0.3, "clamped: limited"},
      {&steep, TangentType::Plateau, 1, true, 0.3, "plateau: limited"},
  };
  for (const auto& r : rows) {
    auto c = MakeCurve(*r.keys, r.type);
    EXPECT_NEAR(HandleSlope(*c, r.key, r.in), r.slope, 1e-12) << r.why;
  }
  // Handles are a third of the span on their side.
  auto c = MakeCurve(rise, TangentType::Smooth);
  EXPECT_NEAR(KeyAt(*c, 1).getInTangent()->get().x, -1.0 / 3, 1e-12);
  EXPECT_NEAR(KeyAt(*c, 1).getOutTangent()->get().x, 1.0, 1e-12);
}

TEST(TangentTypes, plateauStaysMonotoneOnMonotoneKeys) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> step(0.05, 3), rise(0, 4);
  for (int trial = 0; trial < 30; ++trial) {
    std::vector<KeyRow> keys;
    double x = 0, y = 0;
    for (int i = 0; i < 12; ++i) {
      keys.push_back({x, y, "bezier()"});
      x += step(rng);
      y += i % 4 == 3 ? 0 : rise(rng);  // includes flat stretches
    }
    auto c = MakeCurve(keys, TangentType::Plateau);
    double prev = -1e300;
    for (double q = 0; q <= keys.back().x; q += 0.003) {
      const double v = c->eval(q);
      ASSERT_GE(v, prev - 1e-9) << "trial " << trial << " x " << q;
      prev = v;
    }
  }
}

TEST(TangentTypes, automaticHandlesFollowEditsOnceASwitchEnds) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 10, "bezier()"}, {20, 0, "bezier()"}}, TangentType::Linear);
  Keyframe& k1 = KeyAt(*c, 1);
  {
    FCurve::Switch sw;
    k1.set(10, 20);
    EXPECT_NEAR(HandleSlope(*c, 1, true), 1, 1e-12) << "deferred";
  }
  EXPECT_NEAR(HandleSlope(*c, 1, true), 2, 1e-12);
  EXPECT_NEAR(HandleSlope(*c, 0, false), 2, 1e-12) << "neighbour follows too";
  auto it = c->insertSegment(Keyframe(5, 0), Bezier::create());
  it.key()->getInTangent()->setType(TangentType::Linear);
  EXPECT_NEAR(HandleSlope(*c, 2, true), 4, 1e-12);
  c->removeSegment(it);
  EXPECT_NEAR(HandleSlope(*c, 1, true), 2, 1e-12);
}

TEST(TangentEditing, unifiedTurnsTheOppositeWeightLockKeepsTheLengthAndBadInputIsIgnored) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 0, "bezier()"}, {20, 0, "bezier()"}}, TangentType::Fixed);
  Keyframe& k = KeyAt(*c, 1);
  auto in = k.getInTangent(), out = k.getOutTangent();
  in->set(-3, 0);
  out->set(6, 8);  // length 10, direction (0.6, 0.8)
  EXPECT_TRUE(Near(in->get(), Vector2D<double>(-1.8, -2.4), 1e-12));
  EXPECT_TRUE(in->getOppositeTangent() == out && out->getOppositeTangent() == in);
  // Setting a type on a unified key sets both.
  out->setType(TangentType::Flat);
  EXPECT_EQ(in->getType(), TangentType::Flat);
  EXPECT_EQ(in->get().y, 0);
  // Broken key: independent handles.
  k.setTangentsUnified(false);
  out->setType(TangentType::Fixed);
  EXPECT_EQ(in->getType(), TangentType::Flat);
  const auto inBefore = in->get();
  out->set(3, 4);
  EXPECT_EQ(in->get(), inBefore);
  // Weight-locked: only the direction changes; none, or a non-finite one, is ignored.
  out->setWeightLocked(true);
  out->set(10, 0);
  EXPECT_TRUE(Near(out->get(), Vector2D<double>(5, 0), 1e-12));
  for (auto bad : {Vector2D<double>(0, 0), Vector2D<double>(kNaN, 1), Vector2D<double>(1, kInf)}) {
    out->set(bad);
    EXPECT_TRUE(Near(out->get(), Vector2D<double>(5, 0), 1e-12)) << bad.x << ", " << bad.y;
  }
  // An unknown type code is kept but computes nothing.
  out->setWeightLocked(false);
  out->set(2, 2);
  out->setType(200);
  KeyAt(*c, 2).set(20, 5);
  EXPECT_EQ(out->get(), Vector2D<double>(2, 2));
}
