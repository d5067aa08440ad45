// Bulk rewrites against the same edits made one public call at a time: a bake or smooth replaces its span in one run,
// a copy is built in one pass, and each must leave exactly what the step-by-step edits leave, with the identities the
// documented rules give.
#include "curve_fixtures.h"

#include <algorithm>
#include <functional>

using namespace Fixtures;

namespace {

// The sample points of a rewrite: every step from x0 while short of x1 by the separation, then x1.
std::vector<double> Grid(double x0, double x1, double step) {
  std::vector<double> xs;
  for (int k = 0; x0 + k * step < x1 - Keyframe::getMinSeparation(); ++k) xs.push_back(x0 + k * step);
  xs.push_back(x1);
  return xs;
}

// A rewrite one call at a time: the keys strictly inside (x0, x1) removed, a key inserted at each sample (a key
// already within the separation keeps its place and handles) and given its handles, and bezier segments over the
// span.
void RewriteByHand(FCurve& c, double x0, double x1, const std::vector<double>& xs, const std::vector<double>& ys,
                   const std::function<void(Keyframe&, std::size_t)>& handles) {
  FCurve::Switch hold(c);
  for (auto it = std::next(c.begin()); it != c.end();) {
    auto next = std::next(it);
    if (it.key()->getX() > x0 && it.key()->getX() < x1) c.removeSegment(it);
    it = next;
  }
  for (std::size_t i = 0; i < xs.size(); ++i) {
    auto it = c.insertSegment(Keyframe(xs[i], ys[i]), Bezier::create());
    if (it != c.end()) handles(*it.key(), i);
  }
  for (auto it = c.findSegment(x0); it != c.end(); ++it) {
    if (it.key() && it.key()->getX() >= x1 - Keyframe::getMinSeparation() / 2) break;
    if (!it->isExterior()) it->setInterpolator(Bezier::create());
  }
}

// The keys standing at the span's ends: their outer handles become Fixed where they were automatic, so the curve
// beyond the span keeps its shape. A bake also turns their inner handles into baked ones (h long, along the slope
// the curve had there from inside the span).
void HoldEnds(FCurve& c, double x0, double x1, const double* bakedStep, double startSlope) {
  auto fix = [](const Tangent& t) { return t.getType() <= TangentType::Plateau && t.getType() != TangentType::Fixed
                                               ? static_cast<unsigned char>(TangentType::Fixed) : t.getType(); };
  const std::shared_ptr<Keyframe> left = c.findSegment(x0)->getLeftKey(), right = c.findSegment(x1)->getLeftKey();
  if (left && left->getX() == x0) {
    auto in = left->getInTangent(), out = left->getOutTangent();
    Vector2D<double> outOffset = out->get();
    unsigned char outType = out->getType();
    if (bakedStep) outOffset = Vector2D<double>(*bakedStep / 3, startSlope * *bakedStep / 3), outType = TangentType::Fixed;
    left->setTangents(in->get(), outOffset, fix(*in), outType);
    if (bakedStep) out->setWeighted(false);
  }
  if (right && right->getX() == x1) {
    auto in = right->getInTangent(), out = right->getOutTangent();
    Vector2D<double> inOffset = in->get();
    unsigned char inType = in->getType();
    if (bakedStep && right->getLeftSegment()->hasLeftKey()) {
      const double m = right->getLeftSegment()->evalFirstDerivative(x1);
      inOffset = Vector2D<double>(-*bakedStep / 3, -m * *bakedStep / 3), inType = TangentType::Fixed;
    }
    right->setTangents(inOffset, out->get(), inType, fix(*out));
    if (inType == TangentType::Fixed && bakedStep && right->getLeftSegment()->hasLeftKey()) in->setWeighted(false);
  }
}

// Bake: each sample keeps the curve's value and slope as a Fixed, unified, non-weighted handle pair a third of the
// step long.
void BakeByHand(FCurve& c, double x0, double x1, double step) {
  const std::vector<double> xs = Grid(x0, x1, step);
  std::vector<double> ys, slopes;
  for (double x : xs) {
    ys.push_back(c.eval(x));
    slopes.push_back(GetFirstDerivative(c, x));
  }
  HoldEnds(c, x0, x1, &step, slopes.front());
  const double h = step / 3;
  RewriteByHand(c, x0, x1, xs, ys, [&](Keyframe& k, std::size_t i) {
    SetHandle(k, true, -h, -slopes[i] * h, false);
    SetHandle(k, false, h, slopes[i] * h, false);
  });
}

// Smooth: the inner samples replaced by the weighted mean of the 2 r + 1 samples around them (reads past either end
// take the end sample), summed naively; Clamped handles.
void SmoothByHand(FCurve& c, double x0, double x1, double step, int r, int filter) {
  const std::vector<double> xs = Grid(x0, x1, step);
  std::vector<double> y, ys;
  for (double x : xs) y.push_back(c.eval(x));
  const long n = static_cast<long>(y.size());
  for (long k = 0; k < n; ++k) {
    double acc = 0, total = 0;
    for (long i = -r; i <= r; ++i) {
      const double w = filter == BoxFilter ? 1.0 : r + 1.0 - std::labs(i);
      acc += w * y[static_cast<std::size_t>(std::clamp(k + i, 0L, n - 1))];
      total += w;
    }
    ys.push_back(k == 0 || k + 1 == n ? y[static_cast<std::size_t>(k)] : acc / total);
  }
  HoldEnds(c, x0, x1, nullptr, 0);
  RewriteByHand(c, x0, x1, xs, ys, [](Keyframe& k, std::size_t) {
    k.getInTangent()->setType(TangentType::Clamped);
    k.getOutTangent()->setType(TangentType::Clamped);
  });
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

// The keys of a curve as records: what a selection answers for.
std::vector<HitRecord> KeyRecords(const FCurve& c) {
  std::vector<HitRecord> v;
  for (auto it = std::next(c.begin()); it != c.end(); ++it) v.emplace_back(*it.key());
  return v;
}

}  // namespace

TEST(BulkRewrite, bakeAndSmoothEqualTheOneKeyAtATimeEditsOverManySpans) {
  const double sep = Keyframe::getMinSeparation();
  enum { Bake = -1 };
  struct Row {
    const char* what;
    std::shared_ptr<FCurve> (*make)();
    double x0, x1, step;
    int radius, filter;  // radius: Bake, or the smoothing radius
    bool interior;       // over the first to the last key
  } rows[] = {
      {"bake, ends between keys", [] { return Mixed(); }, 3.3, 27.1, 0.7, Bake, 0, false},
      {"bake, ends within the separation of keys", [] { return Mixed(); }, 10 + 0.4 * sep, 30 - 0.4 * sep, 2, Bake, 0,
       false},
      {"bake, ends beyond the first and last key", [] { return Mixed(); }, -6, 52, 4, Bake, 0, false},
      {"bake, a few keys at the smallest step", [] { return Mixed(); }, 20, 20.05, sep, Bake, 0, false},
      {"bake, one step: only the ends", [] { return Mixed(); }, 30, 45, 16, Bake, 0, false},
      {"bake interior: ends on keys with fixed handles", [] { return Mixed(); }, 0, 45, 4, Bake, 0, true},
      // Few edits in many keys edit the index in place; most of the curve rebuilds it.
      {"bake a short span of a long curve", [] { return Long(6000); }, 1000.5, 1010.5, 0.25, Bake, 0, false},
      {"bake most of a long curve", [] { return Long(6000); }, 10, 5990, 0.25, Bake, 0, false},
      {"smooth radius 0", [] { return Mixed(); }, 3.5, 41.5, 0.5, 0, BoxFilter, false},
      {"smooth triangle, ends between keys", [] { return Mixed(); }, 2.5, 37.5, 0.5, 3, TriangleFilter, false},
      {"smooth box, ends within the separation of keys", [] { return Mixed(); }, 10 + 0.4 * sep, 30 - 0.4 * sep, 1.5,
       1, BoxFilter, false},
      {"smooth triangle, ends beyond the keys", [] { return Mixed(); }, -6, 52, 2, 2, TriangleFilter, false},
      {"smooth interior box: ends on keys", [] { return Mixed("ease()"); }, 0, 45, 1, 4, BoxFilter, true},
      {"smooth a short span of a long curve", [] { return Long(6000); }, 2000.25, 2030.25, 0.5, 2, TriangleFilter,
       false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    auto bulk = r.make();
    auto byHand = FCurve::createCopy(bulk);
    if (r.radius == Bake) {
      ASSERT_TRUE(r.interior ? BakeInterior(*bulk, r.step) : BakeCurve(*bulk, r.x0, r.x1, r.step));
      BakeByHand(*byHand, r.x0, r.x1, r.step);
    } else {
      ASSERT_TRUE(r.interior ? SmoothCurveInterior(*bulk, r.step, r.radius, r.filter)
                             : SmoothCurve(*bulk, r.x0, r.x1, r.step, r.radius, r.filter));
      SmoothByHand(*byHand, r.x0, r.x1, r.step, r.radius, r.filter);
    }
    EXPECT_TRUE(IsValidCurve(*bulk));
    EXPECT_TRUE(SameCurve(*bulk, *byHand));
    EXPECT_TRUE(IndexSound(*bulk));
  }
}

TEST(BulkRewrite, keptKeysKeepTheirIdentitiesAndNewKeysGetFreshOnes) {
  auto c = Mixed();
  auto box = std::make_shared<FCurveContainer>();
  box->addCurve(c);
  Selection sel(box);
  const std::vector<HitRecord> before = KeyRecords(*c);
  for (const HitRecord& r : before) sel.select(r);
  auto backup = FCurve::createCopy(c);
  // A key in the span, held across the bake: it is detached like a removed key, and an iterator to it leads nowhere.
  auto heldIt = c->findSegment(20);
  auto held = heldIt.key()->getOutTangent()->getOwningKeyframe();
  ASSERT_TRUE(BakeCurve(*c, 5, 40, 0.5));
  EXPECT_EQ(held->getX(), 20);
  EXPECT_FALSE(held->getOwningCurve() || held->getLeftSegment() || held->getRightSegment());
  EXPECT_EQ(std::next(heldIt), c->end());
  // The keys at 0 and 45 stayed (outside the span); those at 10, 20 and 30 are gone; every baked key is new to the
  // selection and to the others.
  std::size_t kept = 0;
  const std::vector<HitRecord> now = KeyRecords(*c);
  for (std::size_t i = 0; i < now.size(); ++i) {
    const bool old = std::find(before.begin(), before.end(), now[i]) != before.end();
    EXPECT_EQ(sel.isSelected(now[i]), old);
    kept += old;
    for (std::size_t j = i + 1; j < now.size(); ++j) ASSERT_FALSE(now[i] == now[j]) << i << " and " << j;
  }
  EXPECT_EQ(kept, 2u);
  EXPECT_EQ(std::distance(BeginSelectedKeyframes(sel), EndSelectedKeyframes(sel)), 2);
  // An undo by swap brings the removed keys, and their selection, back.
  FCurve::swap(*c, *backup);
  EXPECT_EQ(std::distance(BeginSelectedKeyframes(sel), EndSelectedKeyframes(sel)), static_cast<long>(before.size()));
  EXPECT_TRUE(SameCurve(*c, *Mixed()));
}

TEST(BulkRewrite, aCurveWithABrokenOrderInsideASwitchStillBakesSafely) {
  auto c = Long(300);
  auto reference = FCurve::createCopy(c);
  {
    FCurve::Switch hold(*c);
    KeyAt(*c, 50).set(200.5, 1);  // past many neighbours
    EXPECT_TRUE(BakeCurve(*c, 10, 100, 0.5));
  }
  EXPECT_TRUE(IsValidCurve(*c));
  EXPECT_TRUE(IndexSound(*c));
  EXPECT_GT(c->numKeys(), 150u);
  // Outside the span the curve is what it was, but for the moved key.
  for (double x : {5.0, 150.0, 250.0}) EXPECT_NEAR(c->eval(x), reference->eval(x), 1e-9) << x;
}

TEST(BulkCopy, aCopyIsItsSourceElementByElementAndEditsStayApart) {
  auto source = Long(5000);
  source->setProperty("owner", "rig");
  source->setLocked(true);
  source->setVisible(false);
  source->setVelocityVisible(true);
  std::next(source->begin(), 700)->setProperty("tag", "seven hundred");
  SetLocked(KeyAt(*source, 32), true);
  KeyAt(*source, 33).setBreakdown(true);
  auto copy = FCurve::createCopy(source);
  ASSERT_TRUE(SameCurve(*copy, *source, 0));
  EXPECT_EQ(copy->getName(), "long");
  EXPECT_EQ(copy->getProperty("owner"), "rig");
  EXPECT_TRUE(copy->isLocked() && !copy->isVisible() && copy->isVelocityVisible() && !copy->isAccelerationVisible());
  EXPECT_TRUE(IndexSound(*copy));
  EXPECT_EQ(HitRecord(*copy), HitRecord(*source));
  // Element by element: the same identities, shared interpolators, but separate objects.
  for (auto a = source->begin(), b = copy->begin(); a != source->end(); ++a, ++b) {
    EXPECT_EQ(HitRecord(*a.segment()), HitRecord(*b.segment()));
    EXPECT_TRUE(a->getInterpolator() == b->getInterpolator() && a.segment() != b.segment());
  }
  // Edits of the copy, then a swap round trip, leave the source as it was.
  auto pristine = FCurve::createCopy(source);
  copy->removeSegment(std::next(copy->begin(), 40));
  copy->insertSegment(Keyframe(100.5, 1), Bezier::create());
  KeyAt(*copy, 7).set(7.25, 9);
  std::next(copy->begin(), 700)->setProperty("tag", "");
  EXPECT_TRUE(SameCurve(*source, *pristine, 0));
  FCurve::swap(*source, *copy);
  FCurve::swap(*source, *copy);
  EXPECT_TRUE(SameCurve(*source, *pristine, 0));
  EXPECT_TRUE(IndexSound(*copy));
  EXPECT_TRUE(IsValidCurve(*copy));
  EXPECT_EQ(FCurve::createCopy(std::shared_ptr<FCurve>()), nullptr);
}
