// Selection walks over many keys, against a reference built from nothing but
// iteration and isSelected(). A walk reads a curve in key order when its
// selection is dense and looks elements up by identity when it is sparse;
// the identities it tests come from a compact range or not. Every mix of
// these must list exactly the reference, in the documented order, also
// after removals, undo-style swaps, and while a Switch defers a repair.
#include "curve_fixtures.h"

#include <algorithm>
#include <random>
#include <set>
#include <vector>

using namespace Zentho::Tessal;

namespace {

// n keys one apart, with identities handed out in one run.
std::shared_ptr<FCurve> Row(const std::string& name, int n, double x0 = 0) {
  auto c = FCurve::create(name);
  FCurve::Switch hold(*c);
  for (int i = 0; i < n; ++i) c->insertSegment(Keyframe(x0 + i, i % 7), Linear::create());
  return c;
}

// Keyframes of every selected key, curve by curve in container order, then
// in key order.
std::vector<const Keyframe*> ExpectedKeys(const Selection& s) {
  std::vector<const Keyframe*> v;
  for (const auto& c : *s.getContainer())
    for (auto it = c->begin(); it != c->end(); ++it)
      if (it.key() && s.isSelected(*it.key())) v.push_back(it.key());
  return v;
}

// Per entry its out-tangent, then its in-tangent.
std::vector<const Tangent*> ExpectedTangents(const Selection& s) {
  std::vector<const Tangent*> v;
  for (const auto& c : *s.getContainer())
    for (auto it = c->begin(); it != c->end(); ++it) {
      if (auto t = it->getOutTangent(); t && s.isSelected(*t)) v.push_back(t.get());
      if (auto t = it->getInTangent(); t && s.isSelected(*t)) v.push_back(t.get());
    }
  return v;
}

// Every selected element as a record, in record order.
std::vector<HitRecord> ExpectedRecords(const Selection& s) {
  std::set<HitRecord, CompareRecord> all;
  for (const auto& c : *s.getContainer()) {
    if (s.isSelected(*c)) all.insert(HitRecord(c));
    for (auto it = c->begin(); it != c->end(); ++it) {
      if (it.key() && s.isSelected(*it.key())) all.insert(HitRecord(*it.key()));
      if (s.isSelected(*it.segment())) all.insert(HitRecord(*it.segment()));
      if (auto t = it->getOutTangent(); t && s.isSelected(*t)) all.insert(HitRecord(t));
      if (auto t = it->getInTangent(); t && s.isSelected(*t)) all.insert(HitRecord(t));
    }
  }
  return {all.begin(), all.end()};
}

::testing::AssertionResult WalksAgree(const Selection& s) {
  std::vector<const Keyframe*> keys;
  for (auto it = BeginSelectedKeyframes(s), e = EndSelectedKeyframes(s); it != e; ++it) keys.push_back(it->getKeyframe().get());
  if (keys != ExpectedKeys(s)) return ::testing::AssertionFailure() << "key walk: " << keys.size() << " records, expected " << ExpectedKeys(s).size();
  std::vector<const Tangent*> tangents;
  for (auto it = BeginSelectedTangents(s), e = EndSelectedTangents(s); it != e; ++it) tangents.push_back(it->getTangent().get());
  if (tangents != ExpectedTangents(s))
    return ::testing::AssertionFailure() << "tangent walk: " << tangents.size() << " records, expected " << ExpectedTangents(s).size();
  const std::vector<HitRecord> all(s.begin(), s.end());
  const std::vector<HitRecord> want = ExpectedRecords(s);
  if (all.size() != want.size()) return ::testing::AssertionFailure() << "full walk: " << all.size() << " records, expected " << want.size();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (!(all[i] == want[i])) return ::testing::AssertionFailure() << "full walk differs at record " << i;
    if (CompareRecord()(all[i], want[i]) || CompareRecord()(want[i], all[i]))
      return ::testing::AssertionFailure() << "record " << i << " sorts differently from a fresh record";
  }
  return ::testing::AssertionSuccess();
}

struct Walks : ::testing::Test {
  std::shared_ptr<FCurveContainer> box = std::make_shared<FCurveContainer>();
  Selection sel{box};
};

}  // namespace

TEST_F(Walks, denseSparseAndMixedSelectionsOverLeafBoundaries) {
  // 300 keys: several index leaves, so selected elements sit on leaf edges.
  auto dense = Row("dense", 300);
  auto sparse = Row("sparse", 3000, 1000);
  auto whole = Row("whole", 200, 5000);
  auto empty = FCurve::create("empty");
  for (auto c : {dense, sparse, whole, empty}) box->addCurve(c);
  int i = 0;
  for (auto it = std::next(dense->begin()); it != dense->end(); ++it, ++i) {
    if (i % 2 == 0) sel.select(*it.key());
    if (i % 3 == 0) sel.select(*it->getOutTangent());
    if (auto t = it->getInTangent(); t && i % 5 == 0) sel.select(*t);
    if (i % 4 == 1) sel.select(*it.segment());
  }
  for (double x : {1000.0, 2500.0, 3999.0}) {
    auto k = sparse->findSegment(x).key();
    sel.select(*k);
    sel.select(*k->getInTangent());
  }
  SelectCurveCompletely(sel, *whole);
  sel.select(*empty);
  EXPECT_TRUE(WalksAgree(sel));
  // Selected in the reverse of key order: the walks still come out in key
  // order.
  Selection backwards(box);
  for (auto it = std::prev(dense->end()); it != dense->begin(); --it) backwards.select(*it.key());
  EXPECT_TRUE(WalksAgree(backwards));
}

TEST_F(Walks, curvesWhoseIdentitiesInterleaveWithOtherCurves) {
  // Keys added round-robin: each curve's identities are spread over a range
  // many times its size.
  std::vector<std::shared_ptr<FCurve>> curves;
  for (int c = 0; c < 40; ++c) {
    curves.push_back(FCurve::create("c" + std::to_string(c)));
    box->addCurve(curves.back());
  }
  for (int i = 0; i < 150; ++i)
    for (auto& c : curves) c->insertSegment(Keyframe(i, i % 3), Bezier::create());
  std::mt19937 rng(3);
  for (auto& c : curves)
    for (auto it = std::next(c->begin()); it != c->end(); ++it)
      if (rng() % 2) sel.select(*it.key());
  EXPECT_TRUE(WalksAgree(sel));
}

TEST_F(Walks, removalsAndAnUndoBySwapComeBackInPlace) {
  auto c = Row("c", 500);
  box->addCurve(c);
  SelectCurveCompletely(sel, *c);
  auto undo = FCurve::createCopy(c);
  // Remove every third key, a run across a leaf boundary, and the last key.
  std::vector<FCurve::Projection> doomed;
  int i = 0;
  for (auto it = std::next(c->begin()); it != c->end(); ++it, ++i)
    if (i % 3 == 0 || (i >= 60 && i < 70) || std::next(it) == c->end()) doomed.push_back(it);
  for (auto it : doomed) ASSERT_TRUE(c->removeSegment(it));
  ASSERT_TRUE(Fixtures::IsValidCurve(*c));
  EXPECT_TRUE(WalksAgree(sel));
  std::size_t keys = 0;
  for (auto it = BeginSelectedKeyframes(sel), e = EndSelectedKeyframes(sel); it != e; ++it) ++keys;
  EXPECT_EQ(keys, c->numKeys());
  // The undo puts the removed keys back: the identities still selected
  // find them again.
  FCurve::swap(*c, *undo);
  EXPECT_TRUE(WalksAgree(sel));
  keys = 0;
  for (auto it = BeginSelectedKeyframes(sel), e = EndSelectedKeyframes(sel); it != e; ++it) ++keys;
  EXPECT_EQ(keys, 500u);
  // Back to the edited state, then keys inserted afterwards are not selected.
  FCurve::swap(*c, *undo);
  c->insertSegment(Keyframe(0.5, 3), nullptr);
  EXPECT_TRUE(WalksAgree(sel));
}

TEST_F(Walks, keyAndTangentWalksFollowTheListWhileASwitchDefersARepair) {
  auto c = Row("c", 200);
  box->addCurve(c);
  SelectCurveCompletely(sel, *c);
  FCurve::Switch hold(*c);
  // Key 10 moved past key 150: the list keeps its order until the Switch ends.
  auto moved = std::next(c->begin(), 11).key();
  moved->set(150.5, 9);
  std::vector<const Keyframe*> listed;
  for (auto it = std::next(c->begin()); it != c->end(); ++it) listed.push_back(it.key());
  std::vector<const Keyframe*> walked;
  for (auto it = BeginSelectedKeyframes(sel), e = EndSelectedKeyframes(sel); it != e; ++it) walked.push_back(it->getKeyframe().get());
  EXPECT_EQ(walked, listed);
  std::vector<const Tangent*> tangents;
  for (auto it = BeginSelectedTangents(sel), e = EndSelectedTangents(sel); it != e; ++it) tangents.push_back(it->getTangent().get());
  EXPECT_EQ(tangents, ExpectedTangents(sel));
}

TEST(IdSet, keepsInsertionOrderThroughRemovalsAndCompaction) {
  Private::IdSet s;
  std::vector<std::uint64_t> order;
  std::mt19937_64 rng(5);
  std::set<std::uint64_t> model;
  for (int round = 0; round < 20000; ++round) {
    const std::uint64_t id = 1 + rng() % 3000;
    if (rng() % 3) {
      EXPECT_EQ(s.insert(id), model.insert(id).second);
      if (std::find(order.begin(), order.end(), id) == order.end()) order.push_back(id);
    } else {
      EXPECT_EQ(s.erase(id), model.erase(id) == 1);
      order.erase(std::remove(order.begin(), order.end(), id), order.end());
    }
  }
  EXPECT_EQ(s.size(), model.size());
  EXPECT_EQ(std::vector<std::uint64_t>(s.begin(), s.end()), order);
  for (std::uint64_t id = 0; id <= 3001; ++id) EXPECT_EQ(s.contains(id), model.count(id) == 1) << id;
  EXPECT_FALSE(s.insert(0));
  EXPECT_FALSE(s.erase(0));
}

TEST(IdSet, equalityIgnoresOrderAndEmptiedSetsAreEmpty) {
  Private::IdSet a, b;
  for (std::uint64_t id : {5, 9, 1, 7}) a.insert(id);
  for (std::uint64_t id : {7, 1, 9}) b.insert(id);
  EXPECT_NE(a, b);
  b.insert(5);
  EXPECT_EQ(a, b);
  b.erase(9);
  b.insert(10);
  EXPECT_NE(a, b);
  for (std::uint64_t id : {5, 9, 1, 7}) a.erase(id);
  EXPECT_TRUE(a.empty());
  EXPECT_EQ(a.begin(), a.end());
  EXPECT_EQ(a, Private::IdSet());
}
