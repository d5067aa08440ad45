// The x index under a curve's entries: long random runs of inserts, removals and moves checked against a plain sorted
// list of x, with the index's own links, counts and first-x records verified after every phase. Sizes are chosen so
// that leaves and inner nodes split, merge, borrow, and the root grows and collapses.
#include "curve_fixtures.h"

#include <algorithm>

using namespace Fixtures;

namespace {

// findSegment, segment positions and the positions' inverse against the reference list of key x.
AssertionResult AgreesWith(FCurve& c, const std::vector<double>& xs, std::mt19937& rng) {
  if (c.numKeys() != xs.size()) return AssertionFailure() << c.numKeys() << " keys, expected " << xs.size();
  std::uniform_real_distribution<double> uq(xs.empty() ? 0 : xs.front() - 5, xs.empty() ? 1 : xs.back() + 5);
  for (int i = 0; i < 300; ++i) {
    const double q = uq(rng);
    auto ub = std::upper_bound(xs.begin(), xs.end(), q);
    auto it = c.findSegment(q);
    const double want = ub == xs.begin() ? -1 : *(ub - 1);
    const double got = it.key() ? it.key()->getX() : -1;
    if (ub == xs.begin() ? it != c.begin() : got != want)
      return AssertionFailure() << "findSegment(" << q << ") gave " << got << ", expected " << want;
  }
  std::uniform_int_distribution<std::size_t> up(0, xs.size());
  for (int i = 0; i < 100; ++i) {
    const std::size_t p = up(rng);
    auto it = GetIndexedSegmentIterator(c, static_cast<int>(p));
    if (it == c.end()) return AssertionFailure() << "no segment at position " << p;
    if (p > 0 && it.key()->getX() != xs[p - 1])
      return AssertionFailure() << "segment " << p << " starts at " << it.key()->getX();
    if (GetSegmentIndex(c, *it.segment()) != static_cast<int>(p))
      return AssertionFailure() << "segment " << p << " reports index " << GetSegmentIndex(c, *it.segment());
  }
  if (GetIndexedSegmentIterator(c, static_cast<int>(xs.size() + 1)) != c.end())
    return AssertionFailure() << "a segment past the end";
  return AssertionSuccess();
}

bool Insert(FCurve& c, std::vector<double>& xs, double x) {
  if (c.insertSegment(Keyframe(x, 0), Linear::create()) == c.end()) return false;
  xs.insert(std::upper_bound(xs.begin(), xs.end(), x), x);
  return true;
}

void RemoveAt(FCurve& c, std::vector<double>& xs, std::size_t p) {
  ASSERT_TRUE(c.removeSegment(GetIndexedSegmentIterator(c, static_cast<int>(p + 1))));
  xs.erase(xs.begin() + static_cast<std::ptrdiff_t>(p));
}

}  // namespace

TEST(XIndex, randomInsertsAndRemovalsThroughGrowthAndShrinkage) {
  std::mt19937 rng(11);
  auto c = FCurve::create("random");
  std::vector<double> xs;
  std::uniform_int_distribution<int> ux(0, 2000000);
  // Grow to three levels, shrink to a single leaf, grow again.
  for (int phase = 0; phase < 4; ++phase) {
    const bool grow = phase % 2 == 0;
    const std::size_t target = grow ? 20000 : 10;
    while (grow ? xs.size() < target : xs.size() > target) {
      if (grow || std::uniform_int_distribution<int>(0, 9)(rng) == 0) {
        Insert(*c, xs, ux(rng) * 0.05);
      } else {
        RemoveAt(*c, xs, std::uniform_int_distribution<std::size_t>(0, xs.size() - 1)(rng));
      }
      if (xs.size() % 997 == 0) { ASSERT_TRUE(IndexSound(*c)) << "phase " << phase << " at " << xs.size(); }
    }
    ASSERT_TRUE(IndexSound(*c)) << "after phase " << phase;
    ASSERT_TRUE(AgreesWith(*c, xs, rng)) << "after phase " << phase;
  }
  ASSERT_TRUE(IsValidCurve(*c));
}

TEST(XIndex, runsAtEitherEndAndEmptyingFromEitherSide) {
  std::mt19937 rng(12);
  for (int order = 0; order < 4; ++order) {
    auto c = FCurve::create("runs");
    std::vector<double> xs;
    // Ascending appends, descending prepends, alternating ends, one spot.
    for (int i = 0; i < 9000; ++i) {
      const double x[] = {double(i), 9000.0 - i, i % 2 ? 10000.0 + i : 10000.0 - i,
                          5000 + (i % 2 ? 1 : -1) * (1.0 - 1.0 / (i + 2))};
      Insert(*c, xs, x[order]);
    }
    ASSERT_TRUE(IndexSound(*c)) << "built in order " << order;
    ASSERT_TRUE(AgreesWith(*c, xs, rng)) << "order " << order;
    // Empty it again from the front, the back or the middle.
    while (!xs.empty()) {
      RemoveAt(*c, xs, order == 0 ? 0 : order == 1 ? xs.size() - 1 : xs.size() / 2);
      if (xs.size() % 1499 == 0) { ASSERT_TRUE(IndexSound(*c)) << "order " << order << " at " << xs.size(); }
    }
    EXPECT_EQ(c->size(), 1u);
    EXPECT_EQ(c->findSegment(3), c->begin());
    EXPECT_TRUE(IsValidCurve(*c));
  }
}

TEST(XIndex, bulkBuiltCopyTakesEditsAndMovesLikeItsSource) {
  std::mt19937 rng(14);
  auto c = FCurve::create("source");
  std::vector<double> xs;
  for (int i = 0; i < 6000; ++i) Insert(*c, xs, i * 2.0);
  auto copy = FCurve::createCopy(c);
  ASSERT_TRUE(IndexSound(*copy));
  std::vector<double> cxs = xs;
  // The same edits on both: the copy's full leaves split and merge on the way, the source's were grown one key at a
  // time.
  std::uniform_int_distribution<int> ux(0, 24000);
  for (int i = 0; i < 8000; ++i) {
    if (i % 3 == 2 && !xs.empty()) {
      const std::size_t p = std::uniform_int_distribution<std::size_t>(0, xs.size() - 1)(rng);
      RemoveAt(*c, xs, p);
      RemoveAt(*copy, cxs, p);
    } else {
      const double x = ux(rng) * 0.5 + 0.25;
      EXPECT_EQ(Insert(*c, xs, x), Insert(*copy, cxs, x));
    }
  }
  EXPECT_EQ(xs, cxs);
  EXPECT_TRUE(SameCurve(*c, *copy, 0));
  // Every key nudged within its neighbours, so that every leaf's first and last entries move.
  for (FCurve* curve : {c.get(), copy.get()}) {
    std::vector<double> moved;
    for (auto it = std::next(curve->begin()); it != curve->end(); ++it) {
      const double x = it.key()->getX() + (moved.size() % 2 ? 0.1 : -0.1);
      it.key()->set(x, 1);
      moved.push_back(x);
    }
    ASSERT_TRUE(IndexSound(*curve));
    ASSERT_TRUE(AgreesWith(*curve, moved, rng));
  }
}

TEST(XIndex, aRepairedOrderRebuildsASoundIndex) {
  std::mt19937 rng(15);
  auto c = FCurve::create("repair");
  std::vector<double> xs;
  for (int i = 0; i < 3000; ++i) Insert(*c, xs, i);
  {
    FCurve::Switch hold(*c);
    // Reverse the keys' x in place: the order is broken until the Switch ends.
    double x = 3000;
    for (auto it = std::next(c->begin()); it != c->end(); ++it) it.key()->set(x--, 0);
    EXPECT_TRUE(IndexSound(*c));  // the index lists the entries as they are
    EXPECT_NE(c->findSegment(10), c->end());
  }
  ASSERT_TRUE(IndexSound(*c));
  for (double& x : xs) x += 1;  // 3000 down to 1, in order
  ASSERT_TRUE(AgreesWith(*c, xs, rng));
}
