// Bulk rewrites against the same edits made one public call at a time: a
// bake or smooth replaces its span in one run, a copy is built in one pass,
// and each must leave exactly what the step-by-step edits leave, with the
// identities the documented rules give.
#include "curve_state.h"

#include "internal.h"

#include <random>

using namespace Zentho::Tessal;
using namespace Fixtures;

namespace {

// The documented bake, one call at a time: the keys strictly inside
// (x0, x1) removed, a key every step from x0 and one at x1, each with the
// original value and slope as a Fixed, unified, non-weighted handle pair
// (a key already there keeps its handles), and bezier segments over the
// span.
void BakeByHand(FCurve& c, double x0, double x1, double step) {
  const double sep = Keyframe::getMinSeparation();
  std::vector<double> xs;
  for (int k = 0;; ++k) {
    const double x = x0 + k * step;
    if (!(x < x1 - sep)) break;
    xs.push_back(x);
  }
  xs.push_back(x1);
  std::vector<std::pair<double, double>> samples;
  for (double x : xs) samples.emplace_back(c.eval(x), GetFirstDerivative(c, x));

  FCurve::Switch hold(c);
  for (auto it = std::next(c.begin()); it != c.end();) {
    auto next = std::next(it);
    if (it.key()->getX() > x0 && it.key()->getX() < x1) c.removeSegment(it);
    it = next;
  }
  const double h = step / 3;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    auto it = c.insertSegment(Keyframe(xs[i], samples[i].first), Bezier::create());
    if (it == c.end()) continue;
    Keyframe& k = *it.key();
    const double m = samples[i].second;
    k.setTangentsUnified(false);
    for (auto t : {k.getInTangent(), k.getOutTangent()}) {
      t->setType(TangentType::Fixed);
      t->setWeighted(false);
    }
    k.getInTangent()->set(-h, -m * h);
    k.getOutTangent()->set(h, m * h);
    k.setTangentsUnified(true);
  }
  for (auto it = c.findSegment(x0); it != c.end(); ++it) {
    if (it.key() && it.key()->getX() >= x1 - sep / 2) break;
    if (!it->isExterior()) it->setInterpolator(Bezier::create());
  }
}

// The keys of a curve as records: what a selection answers for.
std::vector<HitRecord> KeyRecords(const FCurve& c) {
  std::vector<HitRecord> v;
  for (auto it = std::next(c.begin()); it != c.end(); ++it) v.emplace_back(*it.key());
  return v;
}

// n keys, one apart, with a few interpolators and handle types.
std::shared_ptr<FCurve> Long(int n) {
  auto c = FCurve::create("long");
  const char* interps[] = {"bezier()", "linear()", "ease()", "bezier()"};
  FCurve::Switch hold(*c);
  for (int i = 0; i < n; ++i) {
    auto it = c->insertSegment(Keyframe(i, std::sin(i * 0.3) * 4), InterpolatorFactory::create(interps[i % 4]));
    if (i % 5 == 0) it.key()->getOutTangent()->setType(TangentType::Clamped);
  }
  return c;
}

}  // namespace

TEST(BulkBake, equalsTheOneKeyAtATimeBakeOverManySpans) {
  struct Span {
    double x0, x1, step;
    const char* what;
  };
  const double sep = Keyframe::getMinSeparation();
  const Span spans[] = {
      {0, 45, 1, "interior, ends on keys"},
      {3.3, 27.1, 0.7, "ends between keys"},
      {10 + 0.4 * sep, 30 - 0.4 * sep, 2, "ends within the separation of keys"},
      {-6, 52, 4, "ends beyond the first and last key"},
      {20, 20.05, sep, "a few keys at the smallest step"},
      {30, 45, 16, "one step: only the ends"},
  };
  for (const Span& s : spans) {
    auto bulk = Mixed();
    auto byHand = FCurve::createCopy(bulk);
    ASSERT_TRUE(BakeCurve(*bulk, s.x0, s.x1, s.step)) << s.what;
    BakeByHand(*byHand, s.x0, s.x1, s.step);
    EXPECT_TRUE(IsValidCurve(*bulk)) << s.what;
    EXPECT_TRUE(SameCurve(*bulk, *byHand)) << s.what;
    EXPECT_TRUE(Private::TreeCheck(*Private::Access::data(*bulk)).empty()) << s.what;
  }
}

TEST(BulkBake, aShortSpanOfALongCurveGoesThroughTheIndexKeyByKey) {
  // Few edits in many keys take the path that edits the index in place;
  // a span over most of the curve rebuilds it.
  for (auto span : {std::make_pair(1000.5, 1010.5), std::make_pair(10.0, 5990.0)}) {
    auto bulk = Long(6000);
    auto byHand = FCurve::createCopy(bulk);
    ASSERT_TRUE(BakeCurve(*bulk, span.first, span.second, 0.25));
    BakeByHand(*byHand, span.first, span.second, 0.25);
    EXPECT_TRUE(SameCurve(*bulk, *byHand)) << span.first;
    EXPECT_TRUE(Private::TreeCheck(*Private::Access::data(*bulk)).empty());
    // Searches still land where a scan says.
    for (double q : {span.first - 3, span.first, span.first + 1.1, span.second - 0.01, span.second + 2}) {
      auto want = std::prev(bulk->end());
      while (want != bulk->begin() && want.key()->getX() > q) --want;
      EXPECT_EQ(bulk->findSegment(q), want) << q;
    }
  }
}

TEST(BulkBake, keptKeysKeepTheirIdentitiesAndNewKeysGetFreshOnes) {
  auto c = Mixed();
  auto box = std::make_shared<FCurveContainer>();
  box->addCurve(c);
  Selection sel(box);
  const std::vector<HitRecord> before = KeyRecords(*c);
  for (const HitRecord& r : before) sel.select(r);
  auto backup = FCurve::createCopy(c);
  // A key in the span, held across the bake: it is detached like a removed
  // key, and an iterator to it leads nowhere.
  auto heldIt = c->findSegment(20);
  auto held = heldIt.key()->getOutTangent()->getOwningKeyframe();
  ASSERT_TRUE(BakeCurve(*c, 5, 40, 0.5));
  EXPECT_EQ(held->getX(), 20);
  EXPECT_EQ(held->getOwningCurve(), nullptr);
  EXPECT_EQ(held->getLeftSegment(), nullptr);
  EXPECT_EQ(held->getRightSegment(), nullptr);
  EXPECT_EQ(std::next(heldIt), c->end());
  // The keys at 0 and 45 stayed (outside the span); those at 10, 20 and 30
  // are gone; every baked key is new to the selection and to the others.
  std::size_t kept = 0;
  for (const HitRecord& r : KeyRecords(*c)) {
    const bool old = std::find(before.begin(), before.end(), r) != before.end();
    EXPECT_EQ(sel.isSelected(r), old);
    kept += old;
  }
  EXPECT_EQ(kept, 2u);
  const std::vector<HitRecord> now = KeyRecords(*c);
  for (std::size_t i = 0; i < now.size(); ++i)
    for (std::size_t j = i + 1; j < now.size(); ++j) ASSERT_FALSE(now[i] == now[j]) << i << " and " << j;
  std::size_t walked = 0;
  for (auto it = BeginSelectedKeyframes(sel), e = EndSelectedKeyframes(sel); it != e; ++it) ++walked;
  EXPECT_EQ(walked, 2u);
  // An undo by swap brings the removed keys, and their selection, back.
  FCurve::swap(*c, *backup);
  walked = 0;
  for (auto it = BeginSelectedKeyframes(sel), e = EndSelectedKeyframes(sel); it != e; ++it) ++walked;
  EXPECT_EQ(walked, before.size());
  EXPECT_TRUE(SameCurve(*c, *Mixed()));
}

TEST(BulkBake, aCurveWithABrokenOrderInsideASwitchStillBakesSafely) {
  auto c = Long(300);
  auto reference = FCurve::createCopy(c);
  {
    FCurve::Switch hold(*c);
    std::next(c->begin(), 51).key()->set(200.5, 1);  // past many neighbours
    EXPECT_TRUE(BakeCurve(*c, 10, 100, 0.5));
  }
  EXPECT_TRUE(IsValidCurve(*c));
  EXPECT_TRUE(Private::TreeCheck(*Private::Access::data(*c)).empty());
  EXPECT_GT(c->numKeys(), 150u);
  // Outside the span the curve is what it was, but for the moved key.
  for (double x : {5.0, 150.0, 250.0}) EXPECT_NEAR(c->eval(x), reference->eval(x), 1e-9) << x;
}

TEST(BulkSmooth, radiusZeroEqualsInsertingTheSamplesWithClampedHandles) {
  // With radius 0 a smooth bakes the samples; the handles are Clamped and
  // computed by the upkeep once the run is in place.
  auto bulk = Mixed();
  auto byHand = FCurve::createCopy(bulk);
  ASSERT_TRUE(SmoothCurve(*bulk, 3.5, 41.5, 0.5, 0, BoxFilter));
  {
    const double sep = Keyframe::getMinSeparation();
    std::vector<std::pair<double, double>> keys;
    for (int k = 0;; ++k) {
      const double x = 3.5 + k * 0.5;
      if (!(x < 41.5 - sep)) break;
      keys.emplace_back(x, byHand->eval(x));
    }
    keys.emplace_back(41.5, byHand->eval(41.5));
    FCurve::Switch hold(*byHand);
    for (auto it = std::next(byHand->begin()); it != byHand->end();) {
      auto next = std::next(it);
      if (it.key()->getX() > 3.5 && it.key()->getX() < 41.5) byHand->removeSegment(it);
      it = next;
    }
    for (auto& k : keys) {
      auto it = byHand->insertSegment(Keyframe(k.first, k.second), Bezier::create());
      if (it == byHand->end()) continue;
      it.key()->getInTangent()->setType(TangentType::Clamped);
      it.key()->getOutTangent()->setType(TangentType::Clamped);
    }
    for (auto it = byHand->findSegment(3.5); it != byHand->end(); ++it) {
      if (it.key() && it.key()->getX() >= 41.5 - sep / 2) break;
      if (!it->isExterior()) it->setInterpolator(Bezier::create());
    }
  }
  EXPECT_TRUE(IsValidCurve(*bulk));
  EXPECT_TRUE(SameCurve(*bulk, *byHand));
}

TEST(BulkCopy, aCopyIsItsSourceElementByElementAndEditsStayApart) {
  auto source = Long(5000);
  source->setProperty("owner", "rig");
  std::next(source->begin(), 700)->setProperty("tag", "seven hundred");
  SetLocked(*std::next(source->begin(), 33).key(), true);
  std::next(source->begin(), 34).key()->setBreakdown(true);
  auto copy = FCurve::createCopy(source);
  ASSERT_TRUE(SameCurve(*copy, *source));
  EXPECT_EQ(copy->getProperty("owner"), "rig");
  EXPECT_TRUE(Private::TreeCheck(*Private::Access::data(*copy)).empty());
  // Element by element: the same identities, shared interpolators, but
  // separate objects.
  auto a = source->begin(), b = copy->begin();
  for (; a != source->end(); ++a, ++b) {
    ASSERT_NE(b, copy->end());
    EXPECT_EQ(HitRecord(*a.segment()), HitRecord(*b.segment()));
    EXPECT_EQ(a->getInterpolator(), b->getInterpolator());
    EXPECT_NE(a.segment(), b.segment());
  }
  EXPECT_EQ(b, copy->end());
  // Edits of the copy, then a swap round trip, leave the source as it was.
  auto pristine = FCurve::createCopy(source);
  std::mt19937 rng(8);
  for (int i = 0; i < 500; ++i) {
    if (i % 2) copy->removeSegment(std::next(copy->begin(), 1 + static_cast<long>(rng() % copy->numKeys())));
    else copy->insertSegment(Keyframe(rng() % 5000 + 0.5, 1), nullptr);
  }
  EXPECT_TRUE(SameCurve(*source, *pristine));
  FCurve::swap(*source, *copy);
  FCurve::swap(*source, *copy);
  EXPECT_TRUE(SameCurve(*source, *pristine));
  EXPECT_TRUE(Private::TreeCheck(*Private::Access::data(*copy)).empty());
  EXPECT_TRUE(IsValidCurve(*copy));
}
