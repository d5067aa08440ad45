// Structure of curves: entries, insertion and removal, the x order under every kind of edit, swaps and change
// notification.
#include "curve_fixtures.h"

#include <algorithm>
#include <functional>

using namespace Fixtures;

namespace {

// x:   0    10    20    30
// y:   0     5     5     0
std::shared_ptr<FCurve> Plateau4() {
  return MakeCurve({{0, 0, "bezier()"}, {10, 5, "linear()"}, {20, 5, "bezier()"}, {30, 0, "bezier()"}});
}

}  // namespace

// Elements held past their curve, from a copy (one block of entries) and from a curve edited key by key (entries
// in several blocks, out of list order): usable and detached, and their neighbours freed with the curve.
TEST(FCurveStructure, elementsOutliveTheirCurve) {
  for (bool copied : {true, false}) {
    SCOPED_TRACE(copied);
    auto c = Plateau4();
    c->removeSegment(std::next(c->begin(), 2));
    c->insertSegment(Keyframe(15, 1), Bezier::create());
    if (copied) c = FCurve::createCopy(c);
    auto segment = *std::next(c->begin(), 2);
    auto key = segment->getLeftKey();
    std::weak_ptr<Segment> last = *std::next(c->begin(), 3);
    c.reset();
    EXPECT_TRUE(last.expired() || !last.lock()->getOwningCurve());
    EXPECT_EQ(key->get(), Vector2D<double>(15, 1));
    EXPECT_FALSE(key->getOwningCurve() || segment->getOwningCurve() || segment->getRightKey());
  }
}

TEST(FCurveStructure, newAndClearedCurvesHoldOnlyTheLeadingSegment) {
  auto fresh = FCurve::create("new");
  EXPECT_TRUE(IsEditable(*fresh) && IsVisible(*fresh));
  EXPECT_FALSE(IsLocked(*fresh) || IsVelocityVisible(*fresh) || IsAccelerationVisible(*fresh));
  auto cleared = Plateau4();
  auto key = *std::next(cleared->begin());
  cleared->clear();
  EXPECT_FALSE(key->getOwningCurve()) << "cleared keys are detached";
  for (const auto& c : {fresh, cleared}) {
    SCOPED_TRACE(c->getName());
    EXPECT_EQ(c->size(), 1u);
    auto lead = *c->begin();
    EXPECT_FALSE(lead->getLeftKey() || lead->getRightKey() || lead->getInTangent() || lead->getOutTangent());
    EXPECT_EQ(lead->getOwningCurve(), c);
    EXPECT_EQ(c->eval(-1e9), 0.0);
    EXPECT_EQ(GetFirstDerivative(*c, 3), 0.0);
    EXPECT_TRUE(IsValidCurve(*c));
    EXPECT_NE(c->insertSegment(Keyframe(1, 2), Bezier::create()), c->end());
    EXPECT_EQ(c->eval(1), 2.0);
    EXPECT_TRUE(IndexSound(*c));
  }
}

TEST(FCurveStructure, insertSplitsCoveringSegmentKeepingItsObjectAndTheKeysFlags) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 10, "linear()"}});
  auto left = *c->findSegment(0);
  auto oldRightKey = left->getRightKey();
  SetHandle(*oldRightKey, true, -2, -7, false);
  Keyframe k(4, 1);
  k.setBreakdown(true);
  SetLocked(k, true);
  k.setTangentsUnified(false);

  auto it = c->insertSegment(k, Constant::create());
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
  EXPECT_TRUE(it.key()->isBreakdown() && IsLocked(*it.key()) && it.key()->isInCurve());
  EXPECT_FALSE(it.key()->isTangentsUnified() || k.isInCurve());
  EXPECT_EQ(c->insertSegment(Keyframe(7, 1), Bezier::create())->getInterpolator()->getExpression(), "bezier()");
}

TEST(FCurveStructure, insertRefusesKeysOutOfRangeOrWithinTheSeparationAndNullInterpolators) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {1, 1, "bezier()"}});
  const auto before = State(*c);
  for (auto p : {Vector2D<double>(0, 3), Vector2D<double>(0.005, 3), Vector2D<double>(-0.0099, 3),
                 Vector2D<double>(1, 3), Vector2D<double>(0.995, 3), Vector2D<double>(1.009, 3),
                 Vector2D<double>(kNaN, 0), Vector2D<double>(0.5, kNaN), Vector2D<double>(kInf, 1),
                 Vector2D<double>(-kInf, 1), Vector2D<double>(3, -kInf), Vector2D<double>(2, 1.01e300),
                 Vector2D<double>(-2e300, 0)}) {
    EXPECT_EQ(c->insertSegment(Keyframe(p.x, p.y), Bezier::create()), c->end()) << p.x << ", " << p.y;
  }
  EXPECT_EQ(c->insertSegment(Keyframe(0.5, 1), nullptr), c->end());
  EXPECT_EQ(c->insertSegment(Keyframe(0.5, 1), InterpolatorFactory::create("unknown()")), c->end());
  c->begin()->setInterpolator(nullptr);
  EXPECT_TRUE(Unchanged(*c, before));
  // Exactly the separation away is allowed.
  EXPECT_NE(c->insertSegment(Keyframe(1.01, 3), Bezier::create()), c->end());
  EXPECT_NE(c->insertSegment(Keyframe(-0.01, 3), Bezier::create()), c->end());
  EXPECT_TRUE(IsValidCurve(*c));
}

TEST(FCurveStructure, removeJoinsSegmentsDetachesTheKeyAndRefusesLeadingAndForeignEntries) {
  auto c = Plateau4();
  auto other = Plateau4();
  EXPECT_FALSE(c->removeSegment(c->begin()));
  EXPECT_FALSE(c->removeSegment(c->end()));
  EXPECT_FALSE(c->removeSegment(std::next(other->begin())));
  EXPECT_EQ(c->numKeys(), 4u);

  auto second = std::next(c->begin(), 2);  // key at 10
  auto prevSeg = *std::next(c->begin());
  auto rightKey = second->getRightKey();
  SetHandle(*rightKey, true, -2, 7, false);
  auto key = std::shared_ptr<Keyframe>(*second, second.key());
  auto out = key->getOutTangent();
  EXPECT_TRUE(c->removeSegment(second));
  EXPECT_TRUE(IsValidCurve(*c));
  EXPECT_EQ(prevSeg->getRightKey(), rightKey);
  EXPECT_EQ(rightKey->getInTangent()->getOwningSegment(), prevSeg);
  EXPECT_EQ(rightKey->getInTangent()->get(), Vector2D<double>(-2, 7)) << "the arriving handle stays";
  // The removed key stays usable, but edits of it no longer reach the curve.
  EXPECT_FALSE(key->getOwningCurve() || key->getLeftSegment() || out->getOwningKeyframe() || out->getOppositeTangent());
  const auto before = State(*c);
  key->set(100, 100);
  out->set(1, 1);
  out->setType(TangentType::Flat);
  EXPECT_TRUE(Unchanged(*c, before));
  // Removing the last key leaves an open end.
  EXPECT_TRUE(c->removeSegment(std::prev(c->end())));
  EXPECT_FALSE((*std::prev(c->end()))->getInTangent());
  EXPECT_TRUE(IsValidCurve(*c));
}

TEST(FCurveStructure, insertThenRemoveGivesTheCurveBack) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> ux(-50, 150), uy(-10, 10);
  auto c = Plateau4();
  SetHandle(KeyAt(*c, 1), false, 1, 4, false);
  SetHandle(KeyAt(*c, 1), true, -3, 1, true);
  for (int i = 0; i < 200; ++i) {
    const auto before = State(*c);
    auto it = c->insertSegment(Keyframe(ux(rng), uy(rng)), Bezier::create());
    if (it == c->end()) continue;
    ASSERT_TRUE(c->removeSegment(it));
    ASSERT_TRUE(Unchanged(*c, before)) << "round " << i;
  }
}

TEST(FCurveStructure, findSegmentCoversHalfOpenSpans) {
  auto c = Plateau4();
  for (double x : {-1.0, -kInf, kNaN}) EXPECT_EQ(c->findSegment(x), c->begin()) << x;
  const std::pair<double, double> rows[] = {{0, 0}, {9.999999, 0}, {10, 10}, {30, 30}, {kInf, 30}};
  for (auto [x, keyX] : rows) EXPECT_EQ(c->findSegment(x).key()->getX(), keyX) << x;
}

TEST(FCurveOrder, keySetPastOrOntoItsNeighbourIsReorderedAtOnceAndNonFiniteSetsIgnored) {
  // Past the key at 20, and onto it: then pushed right just by the separation.
  const double sep = Keyframe::getMinSeparation();
  for (auto [to, at] : {std::make_pair(Vector2D<double>(25, 7), 25.0),
                        std::make_pair(Vector2D<double>(20, 1), 20 + sep)}) {
    auto c = Plateau4();
    KeyAt(*c, 1).set(to);
    EXPECT_TRUE(IsValidCurve(*c));
    EXPECT_EQ(KeyXs(*c), (std::vector<double>{0, 20, at, 30})) << "moved to " << to.x;
    EXPECT_EQ(c->eval(to.x), to.y) << "the moved key lands where it was set";
  }
  auto c = Plateau4();
  const auto before = State(*c);
  for (auto to : {Vector2D<double>(kNaN, 1), Vector2D<double>(1, kInf), Vector2D<double>(-kInf, 0)}) KeyAt(*c, 1).set(to);
  EXPECT_TRUE(Unchanged(*c, before));
}

TEST(FCurveOrder, switchDefersRepairUntilTheLastOneEnds) {
  auto c = Plateau4();
  Keyframe &k0 = KeyAt(*c, 0), &k30 = KeyAt(*c, 3);
  {
    FCurve::Switch all;
    {
      FCurve::Switch one(*c);
      // Swap the outer keys through a crossing state, as an undo might.
      k0.set(30, 0);
      k30.set(0, 0);
    }
    EXPECT_EQ(k0.getX(), 30) << "still deferred by the outer switch";
    EXPECT_EQ(&KeyAt(*c, 0), &k0);
  }
  EXPECT_TRUE(IsValidCurve(*c));
  EXPECT_EQ(KeyXs(*c), (std::vector<double>{0, 10, 20, 30}));
}

TEST(FCurveSwap, swapExchangesContentWithItsPendingRepairAndBackRestores) {
  auto a = Plateau4();
  auto b = MakeCurve({{100, 1, "linear()"}}, TangentType::Flat, "other");
  const auto sa = State(*a), sb = State(*b);
  auto keyOfA = *std::next(a->begin());
  FCurve::swap(*a, *b);
  EXPECT_TRUE(Unchanged(*a, sb));
  EXPECT_TRUE(Unchanged(*b, sa));
  EXPECT_EQ(a->getName(), "other");
  EXPECT_EQ(keyOfA->getOwningCurve(), b) << "elements move with the content";
  FCurve::swap(*a, *b);
  FCurve::swap(*a, *a);
  EXPECT_TRUE(Unchanged(*a, sa));
  EXPECT_EQ(keyOfA->getOwningCurve(), a);
  {
    FCurve::Switch sw(*a);
    KeyAt(*a, 0).set(40, 0);  // crosses every key
    FCurve::swap(*a, *b);     // the broken content leaves the switched curve
    EXPECT_TRUE(IsValidCurve(*b)) << "no switch holds b: repaired at once";
  }
  EXPECT_TRUE(IsValidCurve(*a));
  EXPECT_EQ(KeyXs(*b), (std::vector<double>{10, 20, 30, 40}));
}

namespace {
struct Recorder : FCurveObserver {
  std::vector<int> calls;  // the change type of each call
  int left = 0;            // unsubscribed() calls
  std::function<void()> once;
  void curveChanged(FCurve&) override {
    calls.push_back(FCurve::getChangeType());
    if (once) std::exchange(once, nullptr)();
  }
  void unsubscribed(SubjectBase& s) override {
    ++left;
    FCurveObserver::unsubscribed(s);
  }
};
}  // namespace

TEST(FCurveNotify, onlyNotifyChangedCallsCurveObserversThenGlobalOnesOnceEach) {
  auto c = Plateau4();
  std::vector<std::string> order;
  Recorder local, global;
  c->subscribe(local);
  c->subscribe(local);  // twice keeps one entry
  FCurve::subscribeGlobal(global);
  c->insertSegment(Keyframe(50, 1), Bezier::create());
  KeyAt(*c, 0).set(1, 1);
  c->removeSegment(std::prev(c->end()));
  EXPECT_TRUE(local.calls.empty() && global.calls.empty()) << "mutators never notify by themselves";
  local.once = [&] { order.push_back("local"); };
  global.once = [&] { order.push_back("global"); };
  FCurve::setChangeType(FCurve::Changed);
  c->notifyChanged();
  FCurve::setChangeType(FCurve::Idle);
  FCurve::unsubscribeGlobal(global);
  EXPECT_EQ(order, (std::vector<std::string>{"local", "global"}));
  EXPECT_EQ(global.calls, std::vector<int>{FCurve::Changed});
  c->notifyChanged();
  EXPECT_EQ(local.calls, (std::vector<int>{FCurve::Changed, FCurve::Idle}));
}

TEST(FCurveNotify, observersAndTheCurveItselfMayGoDuringNotification) {
  auto c = Plateau4();
  std::unique_ptr<Recorder> r[5];
  for (auto& p : r) p = std::make_unique<Recorder>();
  // Observers are visited in address order.
  std::sort(std::begin(r), std::end(r), [](const auto& a, const auto& b) { return a.get() < b.get(); });
  for (auto& p : r) c->subscribe(*p);
  // The first removes the second and destroys the third; the fourth leaves by itself.
  r[0]->once = [&] {
    c->unsubscribe(*r[1]);
    r[2].reset();
  };
  r[3]->once = [&] { c->unsubscribe(*r[3]); };
  c->notifyChanged();
  EXPECT_EQ(r[0]->calls.size(), 1u);
  EXPECT_TRUE(r[1]->calls.empty());
  EXPECT_EQ(r[3]->calls.size(), 1u);
  EXPECT_EQ(r[4]->calls.size(), 1u);
  r[4].reset();  // destroyed outside a notification
  c->notifyChanged();
  EXPECT_EQ(r[0]->calls.size(), 2u);
  EXPECT_EQ(r[3]->calls.size(), 1u);
  // An observer may drop the last reference to the curve; the destroyed curve tells each observer still subscribed,
  // and only those.
  r[0]->once = [&] { c.reset(); };
  FCurve* raw = c.get();
  raw->notifyChanged();
  EXPECT_FALSE(c);
  EXPECT_EQ(r[0]->calls.size(), 3u);
  for (int i : {0, 1, 3}) {
    EXPECT_EQ(r[i]->left, 1) << i;
    EXPECT_EQ(r[i]->numSubscriptions(), 0u) << i;
  }
}
