// Structure of curves: entries, insertion and removal, the x order under
// every kind of edit, copies, swaps and change notification.
#include "curve_fixtures.h"

#include <cmath>
#include <limits>
#include <map>

using namespace Zentho::Tessal;
using namespace Fixtures;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// x:   0    10    20    30
// y:   0     5     5     0
std::shared_ptr<FCurve> Plateau4() {
  return MakeCurve({{0, 0, "bezier()"}, {10, 5, "linear()"}, {20, 5, "bezier()"}, {30, 0, "bezier()"}});
}

}  // namespace

TEST(FCurveStructure, newCurveHoldsOnlyTheLeadingSegment) {
  auto c = FCurve::create("tx");
  EXPECT_EQ(c->getName(), "tx");
  EXPECT_EQ(c->size(), 1u);
  EXPECT_EQ(c->numKeys(), 0u);
  auto lead = *c->begin();
  ASSERT_TRUE(lead);
  EXPECT_FALSE(lead->getLeftKey());
  EXPECT_FALSE(lead->getRightKey());
  EXPECT_FALSE(lead->getInTangent());
  EXPECT_FALSE(lead->getOutTangent());
  EXPECT_EQ(lead->getOwningCurve(), c);
  EXPECT_EQ(c->eval(0), 0.0);
  EXPECT_EQ(c->eval(-1e9), 0.0);
  EXPECT_EQ(GetFirstDerivative(*c, 3), 0.0);
  EXPECT_TRUE(IsValidCurve(*c));
}

TEST(FCurveStructure, insertSplitsCoveringSegmentKeepingItsObject) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 10, "linear()"}});
  auto left = *c->findSegment(0);
  auto oldRightKey = left->getRightKey();
  oldRightKey->getInTangent()->setType(TangentType::Fixed);
  oldRightKey->getInTangent()->set(-2, -7);

  auto it = c->insertSegment(Keyframe(4, 1), Constant::create());
  ASSERT_NE(it, c->end());
  EXPECT_TRUE(IsValidCurve(*c));
  EXPECT_EQ(*c->findSegment(0), left) << "the left part keeps the old segment object";
  EXPECT_EQ(left->getRightKey()->getX(), 4);
  EXPECT_EQ(it->getInterpolator()->getExpression(), "constant()");
  EXPECT_EQ(it->getRightKey(), oldRightKey);
  // The old right key's handle is untouched by the split.
  EXPECT_EQ(oldRightKey->getInTangent()->get(), Vector2D<double>(-2, -7));
  EXPECT_EQ(oldRightKey->getInTangent()->getType(), TangentType::Fixed);
  EXPECT_EQ(it.key()->getInTangent(), left->getInTangent());
}

TEST(FCurveStructure, nullInterpolatorMeansBezier) {
  auto c = FCurve::create("c");
  auto it = c->insertSegment(Keyframe(1, 1), nullptr);
  ASSERT_NE(it, c->end());
  EXPECT_EQ(it->getInterpolator()->getExpression(), "bezier()");
}

TEST(FCurveStructure, insertRefusesKeysWithinMinimumSeparation) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {1, 1, "bezier()"}});
  const auto before = Capture(*c);
  for (double x : {0.0, 0.005, -0.0099, 1.0, 0.995, 1.009}) {
    EXPECT_EQ(c->insertSegment(Keyframe(x, 3), nullptr), c->end()) << x;
  }
  EXPECT_EQ(Capture(*c), before);
  // Exactly the separation away is allowed.
  EXPECT_NE(c->insertSegment(Keyframe(1.01, 3), nullptr), c->end());
  EXPECT_NE(c->insertSegment(Keyframe(-0.01, 3), nullptr), c->end());
  EXPECT_TRUE(IsValidCurve(*c));
}

TEST(FCurveStructure, insertRefusesNonFiniteKeys) {
  auto c = Plateau4();
  const auto before = Capture(*c);
  for (auto p : {Vector2D<double>(kNaN, 0), Vector2D<double>(0.5, kNaN), Vector2D<double>(kInf, 1),
                 Vector2D<double>(-kInf, 1), Vector2D<double>(3, -kInf)}) {
    EXPECT_EQ(c->insertSegment(Keyframe(p.x, p.y), nullptr), c->end());
  }
  EXPECT_EQ(Capture(*c), before);
}

TEST(FCurveStructure, removeJoinsSegmentsAndRefusesLeadingAndForeignEntries) {
  auto c = Plateau4();
  auto other = Plateau4();
  EXPECT_FALSE(c->removeSegment(c->begin()));
  EXPECT_FALSE(c->removeSegment(c->end()));
  EXPECT_FALSE(c->removeSegment(std::next(other->begin())));
  EXPECT_EQ(c->numKeys(), 4u);

  auto second = std::next(c->begin(), 2);  // key at 10
  auto prevSeg = *std::next(c->begin());
  auto rightKey = second->getRightKey();
  EXPECT_TRUE(c->removeSegment(second));
  EXPECT_TRUE(IsValidCurve(*c));
  EXPECT_EQ(prevSeg->getRightKey(), rightKey);
  EXPECT_EQ(rightKey->getInTangent()->getOwningSegment(), prevSeg);
  EXPECT_EQ(rightKey->getInTangent()->getType(), TangentType::Smooth);
  // Removing the last key leaves an open end.
  EXPECT_TRUE(c->removeSegment(std::prev(c->end())));
  EXPECT_FALSE((*std::prev(c->end()))->getInTangent());
  EXPECT_TRUE(IsValidCurve(*c));
}

TEST(FCurveStructure, removedKeyStaysUsableButDetached) {
  auto c = Plateau4();
  auto it = std::next(c->begin(), 2);
  auto key = std::shared_ptr<Keyframe>(*it, it.key());
  auto out = key->getOutTangent();
  ASSERT_TRUE(c->removeSegment(it));
  EXPECT_FALSE(key->getOwningCurve());
  EXPECT_FALSE(key->getLeftSegment());
  EXPECT_FALSE(out->getOwningKeyframe());
  EXPECT_FALSE(out->getOppositeTangent());
  key->set(100, 100);  // must not touch the curve
  out->set(1, 1);
  out->setType(TangentType::Flat);
  EXPECT_EQ(c->numKeys(), 3u);
  EXPECT_TRUE(IsValidCurve(*c));
}

TEST(FCurveStructure, insertThenRemoveGivesTheCurveBack) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> ux(-50, 150), uy(-10, 10);
  auto c = Plateau4();
  std::next(c->begin(), 2).key()->getOutTangent()->setType(TangentType::Fixed);
  std::next(c->begin(), 2).key()->getOutTangent()->set(1, 4);
  for (int i = 0; i < 200; ++i) {
    const auto before = Capture(*c);
    auto it = c->insertSegment(Keyframe(ux(rng), uy(rng)), nullptr);
    if (it == c->end()) continue;
    ASSERT_TRUE(c->removeSegment(it));
    ASSERT_EQ(Capture(*c), before) << "round " << i;
  }
}

TEST(FCurveStructure, findSegmentCoversHalfOpenSpans) {
  auto c = Plateau4();
  auto lead = c->begin();
  EXPECT_EQ(c->findSegment(-1), lead);
  EXPECT_EQ(c->findSegment(-kInf), lead);
  EXPECT_EQ(c->findSegment(kNaN), lead);
  EXPECT_EQ(c->findSegment(0).key()->getX(), 0);
  EXPECT_EQ(c->findSegment(9.999999).key()->getX(), 0);
  EXPECT_EQ(c->findSegment(10).key()->getX(), 10);
  EXPECT_EQ(c->findSegment(30).key()->getX(), 30);
  EXPECT_EQ(c->findSegment(kInf).key()->getX(), 30);
}

TEST(FCurveStructure, findSegmentAgreesWithLinearScanOnLargeCurve) {
  auto c = FCurve::create("big");
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> ux(0, 10000);
  std::vector<double> xs;
  for (int i = 0; i < 3000; ++i) {
    double x = std::round(ux(rng) * 10) / 10;
    if (c->insertSegment(Keyframe(x, 0), nullptr) != c->end()) xs.push_back(x);
  }
  std::sort(xs.begin(), xs.end());
  ASSERT_EQ(c->numKeys(), xs.size());
  ASSERT_TRUE(IsValidCurve(*c));
  for (int i = 0; i < 2000; ++i) {
    const double q = ux(rng);
    auto ub = std::upper_bound(xs.begin(), xs.end(), q);
    auto it = c->findSegment(q);
    if (ub == xs.begin()) {
      EXPECT_EQ(it, c->begin());
    } else {
      ASSERT_TRUE(it.key());
      EXPECT_EQ(it.key()->getX(), *(ub - 1));
    }
  }
}

TEST(FCurveStructure, iteratorsSurviveEditsOfOtherEntries) {
  auto c = Plateau4();
  auto held = std::next(c->begin(), 2);  // key 10
  for (int i = 0; i < 100; ++i) c->insertSegment(Keyframe(40 + i, i), nullptr);
  for (int i = 0; i < 50; ++i) c->removeSegment(std::prev(c->end()));
  EXPECT_EQ(held.key()->getX(), 10);
  EXPECT_EQ(std::next(held).key()->getX(), 20);
  EXPECT_EQ(std::prev(held).key()->getX(), 0);
  EXPECT_EQ(std::prev(c->end()).key()->getX(), 89);
}

TEST(FCurveStructure, clearLeavesAValidEmptyCurve) {
  auto c = Plateau4();
  auto key = *std::next(c->begin());
  c->clear();
  EXPECT_EQ(c->size(), 1u);
  EXPECT_EQ(c->eval(5), 0.0);
  EXPECT_TRUE(IsValidCurve(*c));
  EXPECT_FALSE(key->getOwningCurve());
  EXPECT_NE(c->insertSegment(Keyframe(1, 2), nullptr), c->end());
  EXPECT_EQ(c->eval(1), 2.0);
}

// ---------------------------------------------------------------- order

TEST(FCurveOrder, keySetPastItsNeighbourIsReorderedAtOnce) {
  auto c = Plateau4();
  auto k10 = std::next(c->begin(), 2).key();
  auto keep = c->begin()->getOwningCurve();
  k10->set(25, 7);
  EXPECT_TRUE(IsValidCurve(*c));
  std::vector<double> xs;
  for (auto it = std::next(c->begin()); it != c->end(); ++it) xs.push_back(it.key()->getX());
  EXPECT_EQ(xs, (std::vector<double>{0, 20, 25, 30}));
  EXPECT_EQ(c->eval(25), 7.0);
}

TEST(FCurveOrder, keySetOntoItsNeighbourIsPushedRightBySeparation) {
  auto c = Plateau4();
  std::next(c->begin(), 2).key()->set(20, 1);  // onto the key at 20
  EXPECT_TRUE(IsValidCurve(*c));
  EXPECT_EQ(c->numKeys(), 4u);
  auto third = std::next(c->begin(), 3).key();
  EXPECT_NEAR(third->getX(), 20.01, 1e-12);
}

TEST(FCurveOrder, nonFiniteSetIsIgnored) {
  auto c = Plateau4();
  const auto before = Capture(*c);
  auto k = std::next(c->begin(), 2).key();
  k->set(kNaN, 1);
  k->set(1, kInf);
  k->set(Vector2D<double>(-kInf, 0));
  EXPECT_EQ(Capture(*c), before);
}

TEST(FCurveOrder, switchDefersRepairUntilTheLastOneEnds) {
  auto c = Plateau4();
  auto k0 = std::next(c->begin()).key();
  auto k30 = std::prev(c->end()).key();
  {
    FCurve::Switch all;
    {
      FCurve::Switch one(*c);
      // Swap the outer keys through a crossing state, as an undo might.
      k0->set(30, 0);
      k30->set(0, 0);
    }
    EXPECT_EQ(k0->getX(), 30) << "still deferred by the outer switch";
  }
  EXPECT_TRUE(IsValidCurve(*c));
  EXPECT_EQ(c->numKeys(), 4u);
  EXPECT_EQ(std::next(c->begin()).key()->getX(), 0);
  EXPECT_EQ(std::prev(c->end()).key()->getX(), 30);
}

TEST(FCurveOrder, keysNeverCrossUnderRandomOperations) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> ux(-20, 20), uy(-5, 5);
  std::uniform_int_distribution<int> op(0, 9);
  auto c = FCurve::create("fuzz");
  for (int round = 0; round < 3000; ++round) {
    const int o = op(rng);
    const std::size_t n = c->numKeys();
    auto nth = [&](std::size_t i) { return std::next(c->begin(), static_cast<long>(1 + i % std::max<std::size_t>(n, 1))); };
    if (o < 3 || n == 0) {
      c->insertSegment(Keyframe(ux(rng), uy(rng)), o == 0 ? Linear::create() : nullptr);
    } else if (o < 5) {
      c->removeSegment(nth(rng()));
    } else if (o < 7) {
      nth(rng()).key()->set(ux(rng), uy(rng));
    } else if (o == 7) {
      FCurve::Switch sw(*c);
      for (int i = 0; i < 4 && c->numKeys(); ++i) nth(rng()).key()->set(ux(rng), uy(rng));
    } else if (o == 8) {
      auto t = nth(rng())->getOutTangent();
      if (t) {
        t->setType(static_cast<unsigned char>(rng() % 7));
        t->set(uy(rng), uy(rng));
      }
    } else {
      auto copy = FCurve::createCopy(c);
      FCurve::swap(*c, *copy);
    }
    ASSERT_TRUE(IsValidCurve(*c)) << "after round " << round << " op " << o;
    ASSERT_TRUE(std::isfinite(c->eval(uy(rng) * 4)));
  }
}

// ---------------------------------------------------------------- copy and swap

TEST(FCurveCopy, copyIsDeepAndShareInterpolators) {
  auto c = Plateau4();
  c->setProperty("colour", "1 2 3");
  c->setLocked(true);
  c->setVisible(false);
  c->setVelocityVisible(true);
  std::next(c->begin())->setProperty("fc_nocopy", "1");
  auto copy = FCurve::createCopy(c);
  EXPECT_EQ(Capture(*copy), Capture(*c));
  EXPECT_EQ(copy->getName(), "curve");
  EXPECT_EQ(copy->getProperty("colour"), "1 2 3");
  EXPECT_TRUE(copy->isLocked());
  EXPECT_FALSE(copy->isVisible());
  EXPECT_TRUE(copy->isVelocityVisible());
  EXPECT_FALSE(copy->isAccelerationVisible());
  EXPECT_EQ(std::next(copy->begin())->getProperty("fc_nocopy"), "1");
  EXPECT_EQ(std::next(copy->begin())->getInterpolator(), std::next(c->begin())->getInterpolator());
  EXPECT_TRUE(IsValidCurve(*copy));
  // Independent: edits of the copy leave the source alone.
  const auto before = Capture(*c);
  std::next(copy->begin()).key()->set(5, 50);
  copy->removeSegment(std::prev(copy->end()));
  std::next(copy->begin())->setProperty("fc_nocopy", "");
  EXPECT_EQ(Capture(*c), before);
  EXPECT_EQ(std::next(c->begin())->getProperty("fc_nocopy"), "1");
  EXPECT_EQ(FCurve::createCopy(std::shared_ptr<FCurve>()), nullptr);
}

TEST(FCurveCopy, swapExchangesContentAndBackRestores) {
  auto a = Plateau4();
  auto b = MakeCurve({{100, 1, "linear()"}}, TangentType::Flat, "other");
  const auto sa = Capture(*a), sb = Capture(*b);
  auto keyOfA = *std::next(a->begin());
  FCurve::swap(*a, *b);
  EXPECT_EQ(Capture(*a), sb);
  EXPECT_EQ(Capture(*b), sa);
  EXPECT_EQ(a->getName(), "other");
  EXPECT_EQ(keyOfA->getOwningCurve(), b) << "elements move with the content";
  EXPECT_TRUE(IsValidCurve(*a));
  EXPECT_TRUE(IsValidCurve(*b));
  FCurve::swap(*a, *b);
  EXPECT_EQ(Capture(*a), sa);
  EXPECT_EQ(keyOfA->getOwningCurve(), a);
  FCurve::swap(*a, *a);
  EXPECT_EQ(Capture(*a), sa);
}

TEST(FCurveCopy, pendingRepairTravelsWithSwappedContent) {
  auto a = Plateau4();
  auto spare = FCurve::create("spare");
  {
    FCurve::Switch sw(*a);
    std::next(a->begin()).key()->set(40, 0);  // crosses every key
    FCurve::swap(*a, *spare);                 // the broken content leaves the switched curve
    EXPECT_TRUE(IsValidCurve(*spare)) << "no switch holds the spare: repaired at once";
  }
  EXPECT_TRUE(IsValidCurve(*a));
  EXPECT_EQ(std::prev(spare->end()).key()->getX(), 40);
}

// ---------------------------------------------------------------- notification

namespace {
struct Recorder : FCurveObserver {
  std::vector<std::pair<FCurve*, int>> calls;
  std::function<void(FCurve&)> hook;
  void curveChanged(FCurve& c) override {
    calls.emplace_back(&c, FCurve::getChangeType());
    if (hook) hook(c);
  }
};
}  // namespace

TEST(FCurveNotify, mutatorsNeverNotifyThemselves) {
  auto c = Plateau4();
  Recorder r;
  c->subscribe(r);
  c->insertSegment(Keyframe(50, 1), nullptr);
  std::next(c->begin()).key()->set(1, 1);
  c->removeSegment(std::prev(c->end()));
  EXPECT_TRUE(r.calls.empty());
  FCurve::setChangeType(FCurve::Changed);
  c->notifyChanged();
  FCurve::setChangeType(FCurve::Idle);
  ASSERT_EQ(r.calls.size(), 1u);
  EXPECT_EQ(r.calls[0].second, FCurve::Changed);
}

TEST(FCurveNotify, curveObserversThenGlobalOnesExactlyOnce) {
  auto c = Plateau4();
  std::vector<std::string> order;
  Recorder local, global;
  local.hook = [&](FCurve&) { order.push_back("local"); };
  global.hook = [&](FCurve&) { order.push_back("global"); };
  c->subscribe(local);
  c->subscribe(local);  // twice keeps one entry
  FCurve::subscribeGlobal(global);
  c->notifyChanged();
  FCurve::unsubscribeGlobal(global);
  EXPECT_EQ(order, (std::vector<std::string>{"local", "global"}));
  c->notifyChanged();
  EXPECT_EQ(global.calls.size(), 1u);
  EXPECT_EQ(local.calls.size(), 2u);
}

TEST(FCurveNotify, observerUnsubscribingOthersDuringNotificationIsSafe) {
  auto c = Plateau4();
  auto first = std::make_unique<Recorder>();
  auto second = std::make_unique<Recorder>();
  Recorder* lower = first.get() < second.get() ? first.get() : second.get();
  Recorder* higher = lower == first.get() ? second.get() : first.get();
  c->subscribe(*first);
  c->subscribe(*second);
  // The observer visited first removes the one visited next.
  lower->hook = [&](FCurve& curve) { curve.unsubscribe(*higher); };
  c->notifyChanged();
  EXPECT_EQ(lower->calls.size(), 1u);
  EXPECT_EQ(higher->calls.size(), 0u);
  c->notifyChanged();
  EXPECT_EQ(lower->calls.size(), 2u);
  EXPECT_EQ(higher->calls.size(), 0u);
}

TEST(FCurveNotify, observerDestroyedDuringNotificationIsSkipped) {
  auto c = Plateau4();
  auto a = std::make_unique<Recorder>();
  auto b = std::make_unique<Recorder>();
  Recorder* lower = a.get() < b.get() ? a.get() : b.get();
  auto& victim = lower == a.get() ? b : a;
  lower->hook = [&](FCurve&) { victim.reset(); };
  c->subscribe(*a);
  c->subscribe(*b);
  c->notifyChanged();  // must not call the destroyed one
  EXPECT_EQ(lower->calls.size(), 1u);
  EXPECT_FALSE(victim);
  c->notifyChanged();
  EXPECT_EQ(lower->calls.size(), 2u);
}

TEST(FCurveNotify, destroyedCurveTellsItsObservers) {
  Recorder r;
  {
    auto c = Plateau4();
    c->subscribe(r);
    EXPECT_EQ(r.numSubscriptions(), 1u);
  }
  EXPECT_EQ(r.numSubscriptions(), 0u);
}

TEST(FCurveNotify, observerDroppingLastReferenceDuringNotification) {
  auto c = Plateau4();
  Recorder r;
  r.hook = [&](FCurve&) { c.reset(); };
  c->subscribe(r);
  FCurve* raw = c.get();
  raw->notifyChanged();
  EXPECT_FALSE(c);
  EXPECT_EQ(r.calls.size(), 1u);
}

// ---------------------------------------------------------------- flags

TEST(FCurveFlags, defaultsAndKeyFlags) {
  auto c = FCurve::create("f");
  EXPECT_TRUE(IsEditable(*c));
  EXPECT_FALSE(IsLocked(*c));
  EXPECT_TRUE(IsVisible(*c));
  EXPECT_FALSE(IsVelocityVisible(*c));
  EXPECT_FALSE(IsAccelerationVisible(*c));
  Keyframe k;
  EXPECT_EQ(k.get(), Vector2D<double>(0, 0));
  EXPECT_TRUE(k.isTangentsUnified());
  EXPECT_FALSE(k.isBreakdown());
  EXPECT_FALSE(IsLocked(k));
  k.setBreakdown(true);
  SetLocked(k, true);
  k.setTangentsUnified(false);
  auto it = c->insertSegment(k, nullptr);
  EXPECT_TRUE(it.key()->isBreakdown());
  EXPECT_TRUE(IsLocked(*it.key()));
  EXPECT_FALSE(it.key()->isTangentsUnified());
  EXPECT_TRUE(it.key()->isInCurve());
  EXPECT_FALSE(k.isInCurve());
  EXPECT_EQ(c->getProperty("missing"), "");
  EXPECT_EQ(it->getProperty("missing"), "");
}

TEST(FCurveStructure, lookupStaysRightWhileKeysMoveAndCross) {
  // Enough keys and searches that lookups go through the flat index.
  auto c = FCurve::create("moving");
  for (int i = 0; i < 1000; ++i) c->insertSegment(Keyframe(i, 0), Linear::create());
  auto check = [&](const char* when) {
    std::vector<double> xs;
    for (auto it = std::next(c->begin()); it != c->end(); ++it) xs.push_back(it.key()->getX());
    for (double q = -1.5; q < 1001; q += 0.25) {
      auto ub = std::upper_bound(xs.begin(), xs.end(), q);
      auto it = c->findSegment(q);
      if (ub == xs.begin()) {
        ASSERT_EQ(it, c->begin()) << when << " at " << q;
      } else {
        ASSERT_TRUE(it.key()) << when;
        ASSERT_EQ(it.key()->getX(), *(ub - 1)) << when << " at " << q;
      }
    }
  };
  check("built");
  check("warm");
  // Moves within the neighbours, including block boundaries (every 64th).
  for (int i : {0, 63, 64, 65, 128, 500, 999}) std::next(c->begin(), i + 1).key()->set(i + 0.4, 1);
  check("after moves");
  // A move across many keys reorders the curve.
  std::next(c->begin(), 11).key()->set(700.7, 3);
  EXPECT_TRUE(IsValidCurve(*c));
  check("after a crossing move");
  {
    FCurve::Switch all;
    std::next(c->begin(), 21).key()->set(-5, 3);
    EXPECT_TRUE(std::isfinite(c->eval(3)));  // a broken order is still searchable
  }
  EXPECT_TRUE(IsValidCurve(*c));
  EXPECT_EQ(std::next(c->begin()).key()->getX(), -5);
  check("after a deferred repair");
}
