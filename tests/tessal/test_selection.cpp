// Selections: identity records across copies and swaps, walk order, caching against edits, notification counts and
// the record order.
#include "curve_fixtures.h"

using namespace Fixtures;

namespace {

struct Counter : SelectionObserver {
  int n = 0;
  void selectionChanged(Selection&) override { ++n; }
};

// The key whose segment covers x.
std::shared_ptr<Keyframe> Key(FCurve& c, double x) { return c.findSegment(x)->getLeftKey(); }

// (curve name, key x) of every record of a keyframe walk.
using KeyList = std::vector<std::pair<std::string, double>>;
KeyList Keys(const Selection& s) {
  KeyList v;
  for (auto it = BeginSelectedKeyframes(s), e = EndSelectedKeyframes(s); it != e; ++it)
    v.emplace_back(it->getCurve()->getName(), it->getKeyframe()->getX());
  return v;
}

struct Scene : ::testing::Test {
  std::shared_ptr<FCurveContainer> box = std::make_shared<FCurveContainer>();
  std::shared_ptr<FCurve> a = MakeCurve({{0, 0, "bezier()"}, {1, 1, "bezier()"}, {2, 0, "bezier()"}, {3, 1, "bezier()"}},
                                        TangentType::Smooth, "a");
  std::shared_ptr<FCurve> b = MakeCurve({{0, 0, "linear()"}, {10, 1, "linear()"}, {20, 0, "linear()"}},
                                        TangentType::Smooth, "b");
  Selection sel{box};
  Counter seen;
  Scene() {
    box->addCurve(a);
    box->addCurve(b);
    sel.subscribe(seen);
  }
};

}  // namespace

TEST_F(Scene, selectAndDeselectReportEffectiveChangesAndNotifyOnceEach) {
  auto k = Key(*a, 1);
  EXPECT_TRUE(sel.select(*k));
  EXPECT_FALSE(sel.select(*k));
  EXPECT_TRUE(sel.select(*k->getInTangent()));
  EXPECT_TRUE(sel.select(HitRecord(k->getRightSegment())));
  EXPECT_TRUE(sel.select(*a));
  EXPECT_EQ(seen.n, 4);
  EXPECT_TRUE(sel.isSelected(*k) && sel.isSelected(*k->getInTangent()) && sel.isSelected(*a));
  EXPECT_FALSE(sel.isSelected(*k->getOutTangent()) || sel.isSelected(*k->getLeftSegment()) || sel.isSelected(*b));
  EXPECT_TRUE(sel.deselect(*k));
  EXPECT_FALSE(sel.deselect(*k));
  EXPECT_FALSE(sel.deselect(*b));
  EXPECT_EQ(seen.n, 5);
  Keyframe loose(1, 1);
  EXPECT_FALSE(sel.select(loose)) << "a standalone key is not selectable";
  EXPECT_TRUE(HitRecord(loose).isEmpty());
  EXPECT_EQ(seen.n, 5);
}

TEST_F(Scene, recordsOfRemovedElementsGiveNothingAndCannotBeSelected) {
  auto k = Key(*a, 2);
  const HitRecord key(k), seg(k->getRightSegment()), tan(k->getInTangent()), curve(a);
  EXPECT_EQ(key.getKeyframe(), k);
  EXPECT_EQ(seg.getSegment(), k->getRightSegment());
  EXPECT_EQ(tan.getTangent(), k->getInTangent());
  EXPECT_FALSE(key.getSegment() || key.getTangent() || seg.getKeyframe() || curve.getKeyframe());
  Private::SelectionFilter pass;
  EXPECT_TRUE(pass(key) && pass(seg) && pass(tan) && pass(curve));
  a->removeSegment(a->findSegment(2));
  EXPECT_FALSE(key.getKeyframe() || seg.getSegment());
  EXPECT_FALSE(pass(key) || pass(seg) || pass(HitRecord()));
  EXPECT_FALSE(sel.select(key) || sel.select(*k) || sel.isSelected(*k));
  EXPECT_EQ(seen.n, 0);
  HitRecord copy = curve;
  copy.reset();
  EXPECT_TRUE(copy.isEmpty());
}

TEST_F(Scene, copiesAnswerLikeTheirSourceAndSwapsKeepTheSelection) {
  sel.select(*Key(*a, 1));
  sel.select(*Key(*a, 3));
  sel.select(*Key(*a, 3)->getInTangent());
  const HitRecord old(Key(*a, 1));
  auto backup = FCurve::createCopy(a);
  EXPECT_TRUE(sel.isSelected(*Key(*backup, 1)));
  EXPECT_FALSE(sel.isSelected(*Key(*backup, 2)));
  EXPECT_FALSE(sel.select(*Key(*backup, 3)));  // the same identity: nothing to do
  EXPECT_EQ(HitRecord(Key(*backup, 1)), old);

  // Edit: the selected key at 1 goes, a new key comes.
  a->removeSegment(a->findSegment(1));
  a->insertSegment(Keyframe(1.5, 0), Bezier::create());
  EXPECT_EQ(Keys(sel), (KeyList{{"a", 3}}));
  EXPECT_FALSE(sel.isSelected(old));
  EXPECT_FALSE(sel.isSelected(*Key(*a, 1.5)));

  // Undo swaps the old content back in: the record returns, in the live curve.
  FCurve::swap(*a, *backup);
  EXPECT_EQ(Keys(sel), (KeyList{{"a", 1}, {"a", 3}}));
  EXPECT_EQ(BeginSelectedKeyframes(sel)->getKeyframe()->getOwningCurve(), a);
  EXPECT_TRUE(sel.isSelected(old));
  EXPECT_EQ(old.getKeyframe(), Key(*a, 1));
  EXPECT_EQ(BeginSelectedTangents(sel)->getTangent(), Key(*a, 3)->getInTangent());
  // Redo, and undo once more.
  FCurve::swap(*a, *backup);
  EXPECT_EQ(Keys(sel), (KeyList{{"a", 3}}));
  FCurve::swap(*a, *backup);
  EXPECT_EQ(Keys(sel), (KeyList{{"a", 1}, {"a", 3}}));
  EXPECT_EQ(seen.n, 3);  // none of this changed the selection
}

TEST_F(Scene, walksGoCurveByCurveInContainerOrderThenKeyOrder) {
  for (double x : {20.0, 0.0}) sel.select(*Key(*b, x));
  for (double x : {3.0, 0.0, 2.0}) sel.select(*Key(*a, x));
  EXPECT_EQ(Keys(sel), (KeyList{{"a", 0}, {"a", 2}, {"a", 3}, {"b", 0}, {"b", 20}}));
  // Re-added curves go last; records of a curve outside the container wait.
  box->removeCurve(a);
  EXPECT_EQ(Keys(sel), (KeyList{{"b", 0}, {"b", 20}}));
  box->addCurve(a);
  EXPECT_EQ(Keys(sel), (KeyList{{"b", 0}, {"b", 20}, {"a", 0}, {"a", 2}, {"a", 3}}));

  sel.select(*a);
  auto c = MakeCurve({{5, 5, "linear()"}}, TangentType::Smooth, "c");
  sel.select(*c);
  std::vector<std::shared_ptr<FCurve>> curves;
  for (auto it = BeginSelectedCurves(sel); it != EndSelectedCurves(sel); ++it) curves.push_back(it->getCurve());
  EXPECT_EQ(curves, (std::vector<std::shared_ptr<FCurve>>{a}));
  box->addCurve(c);
  EXPECT_EQ(std::prev(EndSelectedCurves(sel))->getCurve(), c);
}

TEST_F(Scene, fullWalkIsSortedBidirectionalSharedAndNeverStale) {
  SelectCurveCompletely(sel, *b);
  sel.select(*Key(*a, 2));
  std::vector<HitRecord> fwd(sel.begin(), sel.end());
  ASSERT_EQ(fwd.size(), 1u + 3 + 4 + 6 + 1);
  EXPECT_TRUE(std::is_sorted(fwd.begin(), fwd.end(), CompareRecord()));
  EXPECT_EQ(fwd.front(), HitRecord(Key(*a, 2)));
  std::vector<HitRecord> back;
  for (auto it = sel.end(); it != sel.begin();) back.push_back(*--it);
  EXPECT_TRUE(std::equal(back.rbegin(), back.rend(), fwd.begin()));
  EXPECT_EQ(BeginSelectedKeyframes(sel), BeginSelectedKeyframes(sel));  // one walk, shared

  // Every kind of edit is seen by the next walk.
  sel.deselect(*Key(*b, 10));
  EXPECT_EQ(Keys(sel), (KeyList{{"a", 2}, {"b", 0}, {"b", 20}}));
  b->removeSegment(b->findSegment(20));
  EXPECT_EQ(Keys(sel), (KeyList{{"a", 2}, {"b", 0}}));
  auto other = FCurve::createCopy(b);
  other->clear();
  FCurve::swap(*b, *other);
  EXPECT_EQ(Keys(sel), (KeyList{{"a", 2}}));
  box->clear();
  EXPECT_TRUE(sel.empty());
}

TEST_F(Scene, bulkOperationsNotifyAtMostOnce) {
  SelectCurveCompletely(sel, *a);
  EXPECT_EQ(seen.n, 1);
  SelectCurveCompletely(sel, *a);
  EXPECT_EQ(seen.n, 1);
  sel.select(*Key(*b, 10));
  DeselectSelectedParts(sel);
  EXPECT_EQ(seen.n, 3);
  EXPECT_TRUE(sel.isSelected(*a));
  EXPECT_EQ(std::distance(sel.begin(), sel.end()), 1);
  DeselectSelectedParts(sel);
  DeselectCurveCompletely(sel, *b);
  EXPECT_EQ(seen.n, 3);
  DeselectCurveCompletely(sel, *a);
  sel.clear();
  EXPECT_EQ(seen.n, 4);
  EXPECT_TRUE(sel.empty());
}

TEST_F(Scene, assignMirrorsOntoContainerOfCopiesAndSnapshotsRestore) {
  auto previewBox = std::make_shared<FCurveContainer>();
  auto ca = FCurve::createCopy(a), cb = FCurve::createCopy(b);
  previewBox->addCurve(ca);
  previewBox->addCurve(cb);
  Selection preview(previewBox);
  Counter heard;
  preview.subscribe(heard);

  sel.select(*b);
  sel.select(*Key(*a, 1)->getOutTangent());
  sel.select(*Key(*b, 10));
  preview.assign(sel);
  preview.assign(sel);
  EXPECT_EQ(heard.n, 1);
  EXPECT_EQ(Keys(preview), (KeyList{{"b", 10}}));
  EXPECT_EQ(BeginSelectedKeyframes(preview)->getKeyframe(), Key(*cb, 10));
  EXPECT_EQ(BeginSelectedTangents(preview)->getTangent(), Key(*ca, 1)->getOutTangent());
  EXPECT_EQ(BeginSelectedCurves(preview)->getCurve(), cb);

  std::set<HitRecord, CompareRecord> first, now;
  GetSelected(sel, first);
  SelectionSnapshot snap(sel);
  sel.clear();
  sel.select(*Key(*a, 3));
  const int count = seen.n;
  snap.select();
  GetSelected(sel, now);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), now.begin(), now.end()));
  snap.select();
  EXPECT_EQ(seen.n, count + 1);
  sel.clear();
  snap.capture();
  sel.select(*a);
  snap.select();
  EXPECT_TRUE(sel.empty());
}

TEST_F(Scene, compareRecordIsAStrictWeakOrderOnSnapshots) {
  std::vector<HitRecord> r{HitRecord(b), HitRecord(a), HitRecord(*a->begin())};
  for (auto* c : {a.get(), b.get()}) {
    for (auto it = std::next(c->begin()); it != c->end(); ++it) {
      r.emplace_back(*it.key());
      r.emplace_back(*it);
      r.emplace_back(it->getOutTangent());
      r.emplace_back(it.key()->getInTangent());
    }
  }
  r.emplace_back(Key(*a, 2));  // a second record of one element
  CompareRecord less;
  for (auto& x : r) {
    EXPECT_FALSE(less(x, x));
    for (auto& y : r) {
      EXPECT_FALSE(less(x, y) && less(y, x));
      EXPECT_EQ(!less(x, y) && !less(y, x), x == y);
      for (auto& z : r) EXPECT_FALSE(less(x, y) && less(y, z) && !less(x, z));
    }
  }
  // Curve a first, then by type; at a key the in-handle before the out-handle, as the tangent walk lists them.
  std::sort(r.begin(), r.end(), less);
  EXPECT_EQ(r[0], HitRecord(a));
  EXPECT_EQ(r[1], HitRecord(*a->begin()));
  EXPECT_EQ(r[13], HitRecord(Key(*a, 1)->getInTangent()));
  EXPECT_EQ(r[14], HitRecord(Key(*a, 1)->getOutTangent()));

  // Keys moving leave a set of records ordered and searchable.
  std::set<HitRecord, CompareRecord> set(r.begin(), r.end());
  Key(*a, 0)->set(2.5, 0);
  EXPECT_TRUE(std::is_sorted(set.begin(), set.end(), less));
  EXPECT_EQ(set.count(r[2]), 1u);
}

TEST_F(Scene, notifyCurveChangesReachesEachTouchedCurveOnce) {
  struct Heard : FCurveObserver {
    int n = 0;
    void curveChanged(FCurve&) override { ++n; }
  } ha, hb;
  a->subscribe(ha);
  b->subscribe(hb);
  SelectCurveCompletely(sel, *a);
  sel.deselect(*a);
  sel.select(*Key(*b, 10));
  NotifyCurveChanges(sel);
  EXPECT_EQ(ha.n, 1);
  EXPECT_EQ(hb.n, 1);
  b->removeSegment(b->findSegment(10));  // b keeps only a record of a removed key
  NotifyCurveChanges(sel);
  EXPECT_EQ(ha.n, 2);
  EXPECT_EQ(hb.n, 1);
}

TEST(SelectionEdges, noContainerAndCurvesGoneAreHarmless) {
  Selection none(nullptr);
  auto c = MakeCurve({{1, 1, "linear()"}});
  EXPECT_TRUE(none.select(KeyAt(*c, 0)));
  EXPECT_TRUE(none.isSelected(KeyAt(*c, 0)));
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(BeginSelectedKeyframes(none), EndSelectedKeyframes(none));
  NotifyCurveChanges(none);

  auto box = std::make_shared<FCurveContainer>();
  Selection sel(box);
  box->addCurve(c);
  SelectCurveCompletely(sel, *c);
  std::weak_ptr<FCurve> weak = c;
  EXPECT_NE(BeginSelectedCurves(sel), EndSelectedCurves(sel));
  EXPECT_NE(BeginSelectedKeyframes(sel), EndSelectedKeyframes(sel));
  box->clear();
  c.reset();
  EXPECT_TRUE(sel.empty());
  EXPECT_TRUE(weak.expired());  // stale walks do not keep the curve alive
  EXPECT_EQ(BeginSelectedTangents(sel), EndSelectedTangents(sel));
}
