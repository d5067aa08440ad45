// Selection walks over many keys, against a reference built from nothing but iteration and isSelected(). A walk reads
// a curve in key order when its selection is dense and looks elements up by identity when it is sparse; the
// identities it tests come from a compact range or not. Every mix of these must list exactly the reference, in the
// documented order, also after removals, undo-style swaps, and while a Switch defers a repair.
#include "curve_fixtures.h"

#include <algorithm>
#include <set>

using namespace Fixtures;

namespace {

// n keys one apart, with identities handed out in one run.
std::shared_ptr<FCurve> Row(const std::string& name, int n, double x0 = 0) {
  auto c = FCurve::create(name);
  FCurve::Switch hold(*c);
  for (int i = 0; i < n; ++i) c->insertSegment(Keyframe(x0 + i, i % 7), Linear::create());
  return c;
}

// The walks against the reference: keys in list order; per entry its out-tangent, then its in-tangent; every record
// in record order; all curve by curve in container order.
AssertionResult WalksAgree(const Selection& s) {
  std::vector<const void*> keys, tangents, wantKeys, wantTangents;
  std::set<HitRecord, CompareRecord> wantAll;
  for (const auto& c : *s.getContainer()) {
    if (s.isSelected(*c)) wantAll.insert(HitRecord(c));
    for (auto it = c->begin(); it != c->end(); ++it) {
      if (it.key() && s.isSelected(*it.key())) {
        wantKeys.push_back(it.key());
        wantAll.insert(HitRecord(*it.key()));
      }
      if (s.isSelected(*it.segment())) wantAll.insert(HitRecord(*it.segment()));
      for (auto t : {it->getOutTangent(), it->getInTangent()}) {
        if (!t || !s.isSelected(*t)) continue;
        wantTangents.push_back(t.get());
        wantAll.insert(HitRecord(t));
      }
    }
  }
  for (auto it = BeginSelectedKeyframes(s); it != EndSelectedKeyframes(s); ++it) keys.push_back(it->getKeyframe().get());
  for (auto it = BeginSelectedTangents(s); it != EndSelectedTangents(s); ++it) tangents.push_back(it->getTangent().get());
  if (keys != wantKeys) return AssertionFailure() << "key walk: " << keys.size() << " of " << wantKeys.size();
  if (tangents != wantTangents)
    return AssertionFailure() << "tangent walk: " << tangents.size() << " of " << wantTangents.size();
  const std::vector<HitRecord> all(s.begin(), s.end()), want(wantAll.begin(), wantAll.end());
  if (all.size() != want.size()) return AssertionFailure() << "full walk: " << all.size() << " of " << want.size();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (!(all[i] == want[i])) return AssertionFailure() << "full walk differs at record " << i;
    if (CompareRecord()(all[i], want[i]) || CompareRecord()(want[i], all[i]))
      return AssertionFailure() << "record " << i << " sorts differently from a fresh record";
  }
  return AssertionSuccess();
}

struct Walks : ::testing::Test {
  std::shared_ptr<FCurveContainer> box = std::make_shared<FCurveContainer>();
  Selection sel{box};
};

}  // namespace

TEST_F(Walks, denseSparseAndMixedSelectionsOverLeafBoundariesAndInterleavedIdentities) {
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
  // Keys added round-robin: each curve's identities are spread over a range many times its size.
  std::vector<std::shared_ptr<FCurve>> mixed;
  for (int c = 0; c < 40; ++c) box->addCurve(mixed.emplace_back(FCurve::create("c" + std::to_string(c))));
  for (int k = 0; k < 150; ++k)
    for (auto& c : mixed) c->insertSegment(Keyframe(k, k % 3), Bezier::create());
  std::mt19937 rng(3);
  for (auto& c : mixed)
    for (auto it = std::next(c->begin()); it != c->end(); ++it)
      if (rng() % 2) sel.select(*it.key());
  EXPECT_TRUE(WalksAgree(sel));
  // Selected in the reverse of key order: the walks still come out in key order.
  Selection backwards(box);
  for (auto it = std::prev(dense->end()); it != dense->begin(); --it) backwards.select(*it.key());
  EXPECT_TRUE(WalksAgree(backwards));
}

TEST_F(Walks, denseAndSparseWalksFollowTheListWhileASwitchDefersARepair) {
  auto c = Row("c", 200);
  box->addCurve(c);
  SelectCurveCompletely(sel, *c);
  Selection sparse(box);
  for (std::size_t i : {3, 10, 11, 150, 151}) {
    sparse.select(KeyAt(*c, i));
    sparse.select(*KeyAt(*c, i).getOutTangent());
  }
  auto older = std::next(BeginSelectedKeyframes(sparse));  // key 10
  {
    FCurve::Switch hold(*c);
    // Key 10 moved past key 150: the list keeps its order until the Switch ends.
    KeyAt(*c, 10).set(150.5, 9);
    EXPECT_EQ(KeyAt(*c, 10).getX(), 150.5);
    EXPECT_TRUE(WalksAgree(sel));
    EXPECT_TRUE(WalksAgree(sparse));
  }
  EXPECT_EQ(KeyAt(*c, 10).getX(), 11);
  EXPECT_TRUE(WalksAgree(sel));
  EXPECT_TRUE(WalksAgree(sparse));
  EXPECT_EQ(older->getKeyframe()->getX(), 150.5) << "an older walk stays usable";
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
