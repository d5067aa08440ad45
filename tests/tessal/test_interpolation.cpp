// Values of curves: every interpolator on and around its keys, both
// exteriors, bezier against an independent de Casteljau evaluation,
// derivatives against finite differences, and the automatic handle types.
#include "curve_fixtures.h"

#include <cmath>
#include <limits>

using namespace Zentho::Tessal;
using namespace Fixtures;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
// A hair: far below anything visible, far above rounding at these scales.
constexpr double kHair = 1e-9;

// de Casteljau on the four control points, independent of the power-basis
// arithmetic the library uses.
Vector2D<double> DeCasteljau(const SegmentShape& s, double t) {
  auto lerp = [](Vector2D<double> a, Vector2D<double> b, double u) { return a + (b - a) * u; };
  auto a = lerp(s.p0, s.p1, t), b = lerp(s.p1, s.p2, t), c = lerp(s.p2, s.p3, t);
  auto d = lerp(a, b, t), e = lerp(b, c, t);
  return lerp(d, e, t);
}

// y at x by bisection on de Casteljau's x(t): slow but obviously right.
double OracleY(const SegmentShape& s, double x) {
  double lo = 0, hi = 1;
  for (int i = 0; i < 200; ++i) {
    const double mid = 0.5 * (lo + hi);
    (DeCasteljau(s, mid).x < x ? lo : hi) = mid;
  }
  return DeCasteljau(s, 0.5 * (lo + hi)).y;
}

struct InterpCase {
  const char* name;
};

class EveryInterpolator : public ::testing::TestWithParam<const char*> {};

}  // namespace

// x:    0     10     20
// y:    1      4     -2
TEST_P(EveryInterpolator, exactOnKeysAndContinuousAHairEitherSide) {
  const char* interp = GetParam();
  auto c = MakeCurve({{0, 1, interp}, {10, 4, interp}, {20, -2, interp}});
  for (auto k : {std::make_pair(0.0, 1.0), std::make_pair(10.0, 4.0), std::make_pair(20.0, -2.0)}) {
    EXPECT_DOUBLE_EQ(c->eval(k.first), k.second) << interp << " at " << k.first;
    EXPECT_NEAR(c->eval(k.first + kHair), k.second, 1e-6) << interp;
    if (std::string(interp) != "constant()" || k.first == 0.0) {
      EXPECT_NEAR(c->eval(k.first - kHair), k.second, 1e-6) << interp << " left of " << k.first;
    }
  }
  for (double x = -5; x <= 25; x += 0.37) EXPECT_TRUE(std::isfinite(c->eval(x))) << interp << " " << x;
  EXPECT_TRUE(std::isnan(c->eval(kNaN)));
  EXPECT_TRUE(std::isnan(GetFirstDerivative(*c, kNaN)));
}

TEST_P(EveryInterpolator, exteriorsFollowTheirOwnInterpolator) {
  const char* interp = GetParam();
  auto c = MakeCurve({{0, 1, "bezier()"}, {10, 4, interp}}, TangentType::Smooth);
  auto lead = c->begin();
  lead->setInterpolator(InterpolatorFactory::create(interp));
  const bool along = InterpolatorFactory::create(interp)->extrapolatesAlongHandle();
  // Smooth end handles point at the one neighbour: slope 0.3 both ways.
  const double slope = along ? 0.3 : 0.0;
  EXPECT_NEAR(c->eval(-10), 1 - 10 * slope, 1e-9) << interp;
  EXPECT_NEAR(c->eval(30), 4 + 20 * slope, 1e-9) << interp;
  EXPECT_NEAR(GetFirstDerivative(*c, -3), slope, 1e-9);
  EXPECT_NEAR(GetFirstDerivative(*c, 13), slope, 1e-9);
  EXPECT_EQ(GetSecondDerivative(*c, 13), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Builtins, EveryInterpolator,
                         ::testing::Values("bezier()", "linear()", "constant()", "ease()", "easeIn()",
                                           "easeOut()"));

TEST(Interpolators, factoryOrderAndRegistration) {
  std::vector<std::string> names(InterpolatorFactory::begin(), InterpolatorFactory::end());
  ASSERT_GE(names.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 6),
            (std::vector<std::string>{"bezier()", "linear()", "constant()", "ease()", "easeIn()", "easeOut()"}));
  for (const auto& n : names) EXPECT_EQ(InterpolatorFactory::create(n)->getExpression(), n);
  EXPECT_EQ(InterpolatorFactory::create("nope()"), nullptr);
  EXPECT_FALSE(InterpolatorFactory::registerInterpolator("", [] { return Linear::create(); }));
  EXPECT_FALSE(InterpolatorFactory::registerInterpolator("x()", nullptr));
  EXPECT_TRUE(InterpolatorFactory::registerInterpolator("hostLinear()", [] { return Linear::create(); }));
  EXPECT_TRUE(InterpolatorFactory::isRegistered("hostLinear()"));
  EXPECT_EQ(*std::prev(InterpolatorFactory::end()), "hostLinear()");
  EXPECT_TRUE(Bezier::create()->usesTangents());
  EXPECT_FALSE(Linear::create()->usesTangents());
  EXPECT_EQ(Bezier::create(), Bezier::create()) << "stateless: one shared instance";
}

TEST(Interpolators, easeShapes) {
  auto in = MakeCurve({{0, 0, "easeIn()"}, {10, 10, "bezier()"}});
  auto out = MakeCurve({{0, 0, "easeOut()"}, {10, 10, "bezier()"}});
  auto both = MakeCurve({{0, 0, "ease()"}, {10, 10, "bezier()"}});
  EXPECT_NEAR(both->eval(5), 5, 1e-12);
  EXPECT_LT(in->eval(5), 5);
  EXPECT_GT(out->eval(5), 5);
  EXPECT_NEAR(GetFirstDerivative(*both, 0), 0, 1e-12);
  EXPECT_NEAR(GetFirstDerivative(*in, 0), 0, 1e-12);
  EXPECT_NEAR(GetFirstDerivative(*out, 10 - 1e-12), 0, 1e-9);
}

TEST(Interpolators, constantStepsAtTheRightKey) {
  auto c = MakeCurve({{0, 1, "constant()"}, {10, 4, "constant()"}});
  EXPECT_EQ(c->eval(9.999), 1);
  EXPECT_EQ(c->eval(10), 4);
}

// ---------------------------------------------------------------- bezier oracle

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
    for (auto it = std::next(c->begin()); it != c->end(); ++it) {
      Keyframe* key = it.key();
      key->setTangentsUnified(false);
      for (auto t : {key->getInTangent(), key->getOutTangent()}) {
        t->setType(TangentType::Fixed);
        t->setWeighted(trial % 2 == 0);
        const double hx = (t->isInTangent() ? -1 : 1) * (0.1 + 2.5 * ut(rng));
        t->set(hx, uh(rng) * 3);
      }
    }
    for (auto it = std::next(c->begin()); std::next(it) != c->end(); ++it) {
      SegmentShape s;
      ASSERT_TRUE(it->getShape(s));
      // Conditioned handles stay inside the span so x(t) is monotonic.
      EXPECT_GE(s.p1.x, s.p0.x);
      EXPECT_LE(s.p1.x, s.p3.x);
      EXPECT_GE(s.p2.x, s.p0.x);
      EXPECT_LE(s.p2.x, s.p3.x);
      const double span = s.p3.x - s.p0.x;
      for (int i = 0; i <= 20; ++i) {
        const double qx = s.p0.x + span * i / 20.0;
        const double got = c->eval(qx);
        // Always: the value is the curve's at that x.
        const auto onCurve = DeCasteljau(s, Bezier::SolveParameter(s, qx));
        EXPECT_NEAR(onCurve.x, qx, 1e-9 * (1 + std::fabs(qx))) << "trial " << trial;
        EXPECT_NEAR(onCurve.y, got, 1e-9 * (1 + std::fabs(got))) << "trial " << trial;
        // Where x'(t) nearly vanishes y(x) is ill-conditioned (t is only
        // known to the cube root of the rounding), so compare values with
        // the oracle only where the curve is well-conditioned.
        double lo = 0, hi = 1;
        for (int k = 0; k < 200; ++k) {
          const double mid = 0.5 * (lo + hi);
          (DeCasteljau(s, mid).x < qx ? lo : hi) = mid;
        }
        const double t = 0.5 * (lo + hi), u = 1 - t;
        const double dxdt = 3 * (u * u * (s.p1.x - s.p0.x) + 2 * u * t * (s.p2.x - s.p1.x) + t * t * (s.p3.x - s.p2.x));
        if (dxdt < 0.05 * span) continue;
        const double want = OracleY(s, qx);
        EXPECT_NEAR(got, want, 1e-8 * (1 + std::fabs(want))) << "trial " << trial << " x " << qx;
      }
    }
  }
}

TEST(BezierOracle, derivativesMatchFiniteDifferences) {
  std::mt19937 rng(99);
  std::uniform_real_distribution<double> uy(-5, 5), ut(0.05, 0.95);
  auto c = FCurve::create("d");
  double x = 0;
  for (int k = 0; k < 8; ++k) {
    x += 1 + 2 * ut(rng);
    c->insertSegment(Keyframe(x, uy(rng)), k % 3 == 2 ? Ease::create() : Bezier::create());
  }
  for (auto it = std::next(c->begin()); it != c->end(); ++it) {
    auto out = it.key()->getOutTangent();
    out->setType(TangentType::Fixed);
    out->setWeighted(true);
    it.key()->setTangentsUnified(false);
    out->set(0.4, uy(rng));
  }
  for (auto it = std::next(c->begin()); std::next(it) != c->end(); ++it) {
    const double x0 = it.key()->getX(), x1 = std::next(it).key()->getX();
    for (int i = 0; i < 10; ++i) {
      const double q = x0 + (x1 - x0) * ut(rng);
      const double h = 1e-5;
      const double d1 = (c->eval(q + h) - c->eval(q - h)) / (2 * h);
      const double d2 = (c->eval(q + h) - 2 * c->eval(q) + c->eval(q - h)) / (h * h);
      EXPECT_NEAR(GetFirstDerivative(*c, q), d1, 1e-4 * (1 + std::fabs(d1))) << q;
      EXPECT_NEAR(GetSecondDerivative(*c, q), d2, 2e-2 * (1 + std::fabs(d2))) << q;
    }
  }
}

TEST(BezierOracle, degenerateWeightedHandlesStayFinite) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {1, 1, "bezier()"}}, TangentType::Fixed);
  auto k0 = std::next(c->begin()).key();
  auto k1 = std::prev(c->end()).key();
  k0->setTangentsUnified(false);
  k1->setTangentsUnified(false);
  // Handles lying on the opposite end, and vertical ones: x'(t) vanishes.
  k0->getOutTangent()->setWeighted(true);
  k0->getOutTangent()->set(5, 3);
  k1->getInTangent()->setWeighted(true);
  k1->getInTangent()->set(-5, -3);
  for (double x = 0; x <= 1; x += 0.01) {
    EXPECT_TRUE(std::isfinite(c->eval(x)));
    EXPECT_TRUE(std::isfinite(GetFirstDerivative(*c, x)));
    EXPECT_TRUE(std::isfinite(GetSecondDerivative(*c, x)));
  }
  k0->getOutTangent()->setWeighted(false);
  k0->getOutTangent()->set(0, 7);  // vertical
  for (double x = 0; x <= 1; x += 0.01) EXPECT_TRUE(std::isfinite(c->eval(x))) << x;
}

TEST(BezierOracle, samplingLiesOnTheCurveFromEndToEnd) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 5, "bezier()"}, {20, 0, "bezier()"}});
  auto seg = std::next(c->begin());
  auto key = seg.key();
  key->getOutTangent()->setType(TangentType::Fixed);
  key->getOutTangent()->setWeighted(true);
  key->setTangentsUnified(false);
  key->getOutTangent()->set(6, 9);
  std::vector<Vector2D<double>> pts(50), d1(50);
  seg->sample(2, 8, pts.size(), pts.data());
  seg->sampleFirstDerivative(2, 8, d1.size(), d1.data());
  EXPECT_EQ(pts.front().x, 2);
  EXPECT_EQ(pts.back().x, 8);
  for (std::size_t i = 0; i < pts.size(); ++i) {
    EXPECT_NEAR(pts[i].y, c->eval(pts[i].x), 1e-9);
    EXPECT_NEAR(d1[i].y, GetFirstDerivative(*c, d1[i].x), 1e-6 * (1 + std::fabs(d1[i].y)));
    if (i) {
      EXPECT_GT(pts[i].x, pts[i - 1].x);
    }
  }
  seg->sample(0, 1, 0, nullptr);  // nothing to write
}

// ---------------------------------------------------------------- tangent types

namespace {
double OutSlope(const FCurve& c, int keyIndex) {
  auto t = std::next(c.begin(), keyIndex + 1).key()->getOutTangent()->get();
  return t.y / t.x;
}
double InSlope(const FCurve& c, int keyIndex) {
  auto t = std::next(c.begin(), keyIndex + 1).key()->getInTangent()->get();
  return t.y / t.x;
}
}  // namespace

TEST(TangentTypes, eachTypeOnAnUnevenRise) {
  // x:  0    1    4
  // y:  0    2    3
  const std::vector<KeySpec> keys{{0, 0, "bezier()"}, {1, 2, "bezier()"}, {4, 3, "bezier()"}};
  EXPECT_EQ(OutSlope(*MakeCurve(keys, TangentType::Flat), 1), 0);
  auto lin = MakeCurve(keys, TangentType::Linear);
  EXPECT_NEAR(InSlope(*lin, 1), 2, 1e-12);
  EXPECT_NEAR(OutSlope(*lin, 1), 1.0 / 3, 1e-12);
  EXPECT_NEAR(InSlope(*lin, 0), 0, 1e-12) << "flat without a neighbour";
  auto smooth = MakeCurve(keys, TangentType::Smooth);
  EXPECT_NEAR(OutSlope(*smooth, 1), 0.75, 1e-12);
  EXPECT_NEAR(InSlope(*smooth, 1), 0.75, 1e-12);
  EXPECT_NEAR(OutSlope(*smooth, 0), 2, 1e-12) << "end: towards the one neighbour";
  auto normal = MakeCurve(keys, TangentType::SmoothNormal);
  EXPECT_NEAR(OutSlope(*normal, 1), (3 * 2 + 1 * (1.0 / 3)) / 4, 1e-12);
  auto clamped = MakeCurve(keys, TangentType::Clamped);
  EXPECT_NEAR(OutSlope(*clamped, 1), 0.75, 1e-12) << "within three times the smaller secant";
  auto plateau = MakeCurve(keys, TangentType::Plateau);
  EXPECT_EQ(OutSlope(*plateau, 0), 0) << "flat at the ends";
  EXPECT_EQ(InSlope(*plateau, 2), 0);
  // Handles are a third of the span on their side.
  auto k1 = std::next(smooth->begin(), 2).key();
  EXPECT_NEAR(k1->getInTangent()->get().x, -1.0 / 3, 1e-12);
  EXPECT_NEAR(k1->getOutTangent()->get().x, 1.0, 1e-12);
}

TEST(TangentTypes, clampedNeverOvershootsAStep) {
  // A step: hold, jump, hold.
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 0, "bezier()"}, {11, 10, "bezier()"}, {20, 10, "bezier()"}},
                     TangentType::Clamped);
  for (double x = 0; x <= 20; x += 0.01) {
    const double y = c->eval(x);
    EXPECT_GE(y, -1e-9) << x;
    EXPECT_LE(y, 10 + 1e-9) << x;
  }
  // Smooth does overshoot here, which is why Clamped exists.
  auto s = MakeCurve({{0, 0, "bezier()"}, {10, 0, "bezier()"}, {11, 10, "bezier()"}, {20, 10, "bezier()"}},
                     TangentType::Smooth);
  double lo = 0;
  for (double x = 0; x <= 20; x += 0.01) lo = std::min(lo, s->eval(x));
  EXPECT_LT(lo, -0.1);
}

TEST(TangentTypes, plateauStaysMonotoneOnMonotoneKeys) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> step(0.05, 3), rise(0, 4);
  for (int trial = 0; trial < 30; ++trial) {
    std::vector<KeySpec> keys;
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

TEST(TangentTypes, automaticHandlesFollowMovesInsertsAndRemovals) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 10, "bezier()"}, {20, 0, "bezier()"}}, TangentType::Linear);
  auto k1 = std::next(c->begin(), 2).key();
  EXPECT_NEAR(InSlope(*c, 1), 1, 1e-12);
  k1->set(10, 20);
  EXPECT_NEAR(InSlope(*c, 1), 2, 1e-12);
  EXPECT_NEAR(OutSlope(*c, 0), 2, 1e-12) << "neighbour follows too";
  auto it = c->insertSegment(Keyframe(5, 0), nullptr);
  it.key()->getInTangent()->setType(TangentType::Linear);
  EXPECT_NEAR(InSlope(*c, 2), 4, 1e-12);
  c->removeSegment(it);
  EXPECT_NEAR(InSlope(*c, 1), 2, 1e-12);
  // Fixed keeps whatever it was given; set() never changes the type.
  k1->getOutTangent()->setType(TangentType::Fixed);
  k1->setTangentsUnified(false);
  k1->getOutTangent()->set(1, 5);
  k1->set(10, 30);
  EXPECT_EQ(k1->getOutTangent()->get(), Vector2D<double>(1, 5));
  EXPECT_EQ(k1->getOutTangent()->getType(), TangentType::Fixed);
}

TEST(TangentTypes, switchDefersAutomaticHandles) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 10, "bezier()"}}, TangentType::Linear);
  auto k1 = std::next(c->begin(), 2).key();
  {
    FCurve::Switch sw;
    k1->set(10, 20);
    EXPECT_NEAR(InSlope(*c, 1), 1, 1e-12) << "deferred";
  }
  EXPECT_NEAR(InSlope(*c, 1), 2, 1e-12);
}

TEST(TangentEditing, unifiedKeyTurnsTheOppositeKeepingItsLength) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 0, "bezier()"}, {20, 0, "bezier()"}}, TangentType::Fixed);
  auto k = std::next(c->begin(), 2).key();
  auto in = k->getInTangent(), out = k->getOutTangent();
  in->set(-3, 0);
  out->set(6, 8);  // length 10, direction (0.6, 0.8)
  EXPECT_EQ(out->get(), Vector2D<double>(6, 8));
  EXPECT_NEAR(in->get().x, -1.8, 1e-12);
  EXPECT_NEAR(in->get().y, -2.4, 1e-12);
  EXPECT_EQ(in->getOppositeTangent(), out);
  EXPECT_EQ(out->getOppositeTangent(), in);
  EXPECT_EQ(in->getOwningKeyframe().get(), k);
  // Setting a type on a unified key sets both.
  out->setType(TangentType::Flat);
  EXPECT_EQ(in->getType(), TangentType::Flat);
  EXPECT_EQ(in->get().y, 0);
  // Broken key: independent handles.
  k->setTangentsUnified(false);
  out->setType(TangentType::Fixed);
  EXPECT_EQ(in->getType(), TangentType::Flat);
  const auto inBefore = in->get();
  out->set(1, -1);
  EXPECT_EQ(in->get(), inBefore);
}

TEST(TangentEditing, weightLockedKeepsLengthAndBadInputIsIgnored) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 0, "bezier()"}}, TangentType::Fixed);
  auto out = std::next(c->begin()).key()->getOutTangent();
  out->set(3, 4);
  out->setWeightLocked(true);
  out->set(10, 0);
  EXPECT_NEAR(out->get().x, 5, 1e-12);
  EXPECT_NEAR(out->get().y, 0, 1e-12);
  out->set(0, 0);  // no direction
  EXPECT_NEAR(out->get().x, 5, 1e-12);
  out->set(kNaN, 1);
  out->set(1, std::numeric_limits<double>::infinity());
  EXPECT_NEAR(out->get().x, 5, 1e-12);
  // An unknown type code is kept but computes nothing.
  out->setWeightLocked(false);
  out->set(2, 2);
  out->setType(200);
  EXPECT_EQ(out->getType(), 200);
  EXPECT_EQ(out->get(), Vector2D<double>(2, 2));
}
