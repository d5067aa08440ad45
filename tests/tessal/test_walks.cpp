// Selection walks over many keys, against a reference built from nothing but iteration and isSelected(). A walk reads
// a curve in key order when its selection is dense and looks elements up by identity when it is sparse; the
// identities it tests come from a compact range or not. Every mix of these must list exactly the reference, in the
// documented order, also after removals, undo-style swaps, and while a Switch defers a repair.
#include "curve_fixtures.h"
#include "idset.h"

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

// The chunked set against std::set: ids over four chunks, one of them crowded past the array limit and thinned out
// again (array, bitmap and back), quads inserted and read through a cursor, and copies that must not see each
// other's writes.
TEST(IdSet, matchesAModelThroughConversionsQuadsAndCopiesOnWrite) {
  Private::IdSet s;
  std::set<std::uint64_t> model;
  std::mt19937_64 rng(5);
  auto check = [](const Private::IdSet& set, const std::set<std::uint64_t>& want) {
    std::vector<std::uint64_t> got;
    set.forEach([&](std::uint64_t id) { got.push_back(id); });
    return set.size() == want.size() && got == std::vector<std::uint64_t>(want.begin(), want.end());
  };
  Private::IdSet copy;
  std::set<std::uint64_t> copyModel;
  for (int round = 0; round < 60000; ++round) {
    // Chunk 1 gets most of the traffic, so that it crosses 4096 members and then empties below 2048.
    const std::uint64_t chunk = rng() % 4 == 0 ? rng() % 4 : 1;
    const std::uint64_t id = (chunk << 16) + rng() % (round < 30000 ? 9000 : 60000);
    const int op = static_cast<int>(rng() % 8);
    if (op < 4 && round < 30000) {
      ASSERT_EQ(s.insert(id), model.insert(id).second);
    } else if (op < 6) {
      ASSERT_EQ(s.erase(id), model.erase(id) == 1);
    } else {
      const unsigned mask = static_cast<unsigned>(rng() % 16);
      unsigned added = 0;
      for (unsigned p = 0; p < 4; ++p)
        if (((mask >> p) & 1u) && model.insert((id / 4) * 4 + p).second) added |= 1u << p;
      ASSERT_EQ(s.insertQuad(id / 4, mask), added);
    }
    if (round == 20000) copy = s, copyModel = model;  // shares every chunk from here on
  }
  s.compact();
  EXPECT_TRUE(check(s, model));
  EXPECT_TRUE(check(copy, copyModel)) << "a copy saw writes made after it";
  EXPECT_EQ(s == copy, model == copyModel);
  Private::IdSet::Cursor cursor(s);
  for (std::uint64_t base = 0; base < (4u << 14); base += 1 + rng() % 7) {
    unsigned want = 0;
    for (unsigned p = 0; p < 4; ++p) want |= static_cast<unsigned>(model.count(base * 4 + p)) << p;
    ASSERT_EQ(cursor.quad(base), want) << base;
  }
  EXPECT_EQ(cursor.quad(0), static_cast<unsigned>(model.count(0))) << "a cursor asked backwards starts again";
}

TEST(IdSet, equalityHoldsAcrossArrayAndBitmapForms) {
  Private::IdSet array, bitmap;
  for (std::uint64_t id = 0; id < 5000; ++id) bitmap.insert(id * 2);  // past 4096 members: a bitmap
  for (std::uint64_t id = 0; id < 2000; ++id) array.insert(id * 2);
  for (std::uint64_t id = 2000; id < 5000; ++id) bitmap.erase(id * 2);  // 2000 left, still a bitmap or an array
  EXPECT_EQ(array, bitmap);
  bitmap.insertQuad(1, 0b0010);  // id 5
  EXPECT_NE(array, bitmap);
  for (std::uint64_t id = 0; id < 2000; ++id) bitmap.erase(id * 2), array.erase(id * 2);
  bitmap.erase(5);
  EXPECT_TRUE(bitmap.empty() && array.empty());
  EXPECT_EQ(bitmap, Private::IdSet());
}
