// Picking tolerances and priorities at their edges, region picks, the
// selection expansions of clicks and rubber bands, and the selection summary.
#include "curvefixtures.h"

#include "layers/hittest.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

using namespace Zentho::Arvelle;
using namespace Fixtures;
using R = T::Rectangle<double>;
using Records = std::set<T::HitRecord, T::CompareRecord>;

namespace {

// Window 200 x 100 pixels over x 0..10, y -2..2: 20 px per unit across,
// 25 px per unit up. Flat curves at y = 0 lie on pixel row 50, their keys at
// pixel x 40, 100 and 160.
class Pick : public ::testing::Test {
 protected:
  std::shared_ptr<T::FCurve> add(std::shared_ptr<T::FCurve> c) {
    curves->addCurve(c);
    return c;
  }
  bool pick(const V& p, T::HitRecord& r) { return PickItem(*curves, *selection, viewport, p, r); }
  Records region(const R& r) {
    Records out;
    PickItems(*curves, *selection, viewport, r, out);
    return out;
  }

  Viewport viewport{R(0, 0, 200, 100), R(0, -2, 10, 4)};
  std::shared_ptr<T::FCurveContainer> curves = std::make_shared<T::FCurveContainer>();
  std::shared_ptr<T::Selection> selection = std::make_shared<T::Selection>(curves);
};

TEST_F(Pick, TolerancesEndAtTheirLastPixel) {
  auto c = add(Flat("flat", 0));
  const T::HitRecord key(KeyAt(*c, 1)), segment(*c->findSegment(5.45)), curve(c), none;
  const struct {
    const char* what;
    bool selected;
    V point;
    const T::HitRecord& hit;
  } rows[] = {
      {"key box corner", true, V(108, 58), key},
      {"key box other corner", true, V(92, 42), key},
      {"past the key box, on the line", true, V(109, 50), segment},
      {"past the key box, off the line", true, V(100, 41), none},
      {"line, 5 px above", false, V(70, 45), curve},
      {"line, 6 px above", false, V(70, 44), none},
      // The box around each sample pair is open at its bottom edge.
      {"line, 4 px below", false, V(70, 54), curve},
      {"line, 5 px below", false, V(70, 55), none},
      {"last pixel column", false, V(199, 50), curve},
      {"right of the window", false, V(200, 50), none},
      {"left of the window", false, V(-1, 50), none},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    selection->clear();
    if (r.selected) selection->select(*c);
    T::HitRecord got;
    EXPECT_EQ(pick(r.point, got), !r.hit.isEmpty());
    EXPECT_EQ(got, r.hit);
  }
}

TEST_F(Pick, SelectedCurvesComeBeforeUnselectedOnesInContainerOrder) {
  auto under = add(Flat("under", 0));
  auto over = add(Flat("over", 0));
  selection->select(*over);
  T::HitRecord r;
  ASSERT_TRUE(pick(V(70, 50), r));
  EXPECT_EQ(r.getType(), T::HitRecord::SegmentRecord);
  EXPECT_EQ(r.getCurve(), over);
  selection->select(*under);
  ASSERT_TRUE(pick(V(100, 50), r));
  EXPECT_EQ(r, T::HitRecord(KeyAt(*under, 1)));
}

TEST_F(Pick, AKeyWinsOverItsHandleLinesAGripOverAKeyAndAFixedHandleIsPickedAtItsDrawnLength) {
  // The last key's out-handle points right along the flat exterior.
  auto c = add(MakeCurve("bez", {{2, 0, "bezier()", 0}, {5, 0, "bezier()", 0}}));
  auto key = KeyAt(*c, 1);
  key->setTangentsUnified(false);
  key->getOutTangent()->set(1, 0);  // 20 px at zoom 1, 80 px at zoom 4
  selection->select(*c);
  T::HitRecord r;
  // Nothing related selected: the handles do not show, the key is hit.
  ASSERT_TRUE(pick(V(100, 50), r));
  EXPECT_EQ(r, T::HitRecord(key));
  // Shown, the handles' lines start at the key: a press there still takes the key, one beside it the line.
  selection->select(*key);
  ASSERT_TRUE(pick(V(100, 50), r));
  EXPECT_EQ(r, T::HitRecord(key));
  ASSERT_TRUE(pick(V(112, 50), r));
  EXPECT_EQ(r, T::HitRecord(key->getOutTangent()));
  for (double zoom : {1.0, 4.0}) {
    SCOPED_TRACE(zoom);
    viewport.setWorldBounds(R(5 - 5 / zoom, -2 / zoom, 10 / zoom, 4 / zoom));
    const V k = ToPixel(viewport, key->get());
    // Drawn 24 px long; the box centre 8 px beyond, reaching 8 px further.
    ASSERT_TRUE(pick(k + V(40, 0), r));
    EXPECT_EQ(r, T::HitRecord(key->getOutTangent()));
    ASSERT_TRUE(pick(k + V(41, 0), r));
    EXPECT_EQ(r.getType(), T::HitRecord::SegmentRecord);
  }
  // The grip 32 px out (24 drawn, 8 beyond) wins over a key lying under it.
  viewport.setWorldBounds(R(0, -2, 10, 4));
  auto under = c->insertSegment(T::Keyframe(6.6, 0), T::Bezier::create());
  ASSERT_NE(under, c->end());
  ASSERT_TRUE(pick(V(132, 50), r));
  EXPECT_EQ(r, T::HitRecord(key->getOutTangent()));
}

TEST_F(Pick, RegionTakesTouchedSegmentsTheCurveAndKeysInsideHalfOpenEdges) {
  auto c = add(Flat("flat", 0));
  // Across x 3..4, crossing the line between the first two keys only.
  EXPECT_EQ(region(R(60, 40, 20, 20)), (Records{T::HitRecord(c), T::HitRecord(*c->findSegment(3.5))}));
  const Records wider = region(R(60, 40, 50, 20));  // over the middle key
  EXPECT_EQ(wider.count(T::HitRecord(KeyAt(*c, 1))), 1u);
  EXPECT_EQ(wider.count(T::HitRecord(*c->findSegment(6.0))), 1u);
  EXPECT_EQ(wider.count(T::HitRecord(KeyAt(*c, 0))), 0u);
  EXPECT_EQ(region(R(100, 50, 5, 5)).count(T::HitRecord(KeyAt(*c, 1))), 1u);
  EXPECT_EQ(region(R(95, 45, 5, 5)).count(T::HitRecord(KeyAt(*c, 1))), 0u);
  EXPECT_TRUE(region(R(300, 40, 20, 20)).empty());
}

TEST_F(Pick, RegionTakesHandlesAtTheirRealLength) {
  auto c = add(Flat("bez", 0, "bezier()"));
  auto key = KeyAt(*c, 1);
  key->setTangentsUnified(false);
  key->getOutTangent()->setWeighted(true);
  key->getOutTangent()->set(0.5, 1.6);  // (100, 50) to (110, 10); the segment stays below row 32
  EXPECT_EQ(region(R(95, 12, 20, 5)), (Records{T::HitRecord(key->getOutTangent())}));
  EXPECT_TRUE(region(R(95, 2, 20, 5)).empty());
}

// Parts of a flat curve by name: c, k0..k2, k1.in, k1.out, and s0..s3 in
// entry order (s0 and s3 the exteriors).
class Expansion : public Pick {
 protected:
  std::shared_ptr<T::FCurve> c = add(Flat("flat", 0));
  T::HitRecord part(const std::string& name) {
    if (name == "c") return T::HitRecord(c);
    if (name[0] == 's') {
      auto it = c->begin();
      for (int i = 0; i < name[1] - '0'; ++i) ++it;
      return T::HitRecord(*it);
    }
    auto key = KeyAt(*c, name[1] - '0');
    if (name.size() == 2) return T::HitRecord(key);
    return T::HitRecord(name.substr(3) == "in" ? key->getInTangent() : key->getOutTangent());
  }
  void expect(const std::string& names, bool selected) {
    std::istringstream in(names);
    for (std::string n; in >> n;) EXPECT_EQ(selection->isSelected(part(n)), selected) << n;
  }
};

TEST_F(Expansion, ClicksAndRubberBandsTakeTheRelatedParts) {
  // Un-clicks and un-bands start from the whole curve selected.
  const struct {
    bool locked;
    const char *action, *selected, *unselected;
  } rows[] = {
      {false, "click k1.out", "c k1.out k1 s2", "k1.in s1"},
      {false, "band k1.out", "c", "k1.out k1 s2 k1.in"},
      {false, "click k2", "k2", "k2.in s3"},
      {false, "band k2", "k2 k2.in k2.out", "s3"},
      {false, "click s1", "s1 k0", "k1"},
      {false, "unclick s1", "c s2", "s1 k0"},
      {false, "unband k1", "s1 k0", "k1 k1.in k1.out s2"},
      {true, "click c", "c", "s1 k1 k1.out"},
      {true, "click s1", "c", "s1 k0 k1 k1.out"},
      {true, "click k1", "c", "s1 k1 k1.out s2"},
      {true, "click k1.out", "c", "s1 k1 k1.out s2"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.locked ? "locked: " : "") + r.action);
    std::istringstream in(r.action);
    std::string verb, record;
    in >> verb >> record;
    const bool un = verb.rfind("un", 0) == 0;
    selection->clear();
    T::SetLocked(*c, r.locked);
    if (un) T::SelectCurveCompletely(*selection, *c);
    (un ? DeselectHitRecord : SelectHitRecord)(*selection, part(record), verb.find("band") != std::string::npos);
    expect(r.selected, true);
    expect(r.unselected, false);
  }
}

TEST_F(Pick, SummaryCountsEachKindOnce) {
  auto a = add(Flat("a", 0));
  auto b = add(Flat("b", 0));
  T::SetEditable(*b, false);
  T::SetVelocityVisible(*a, true);
  T::SetLocked(*KeyAt(*a, 2), true);
  T::SelectCurveCompletely(*selection, *a);
  selection->select(*b);
  selection->select(*KeyAt(*b, 0));
  selection->select(*KeyAt(*b, 1)->getInTangent());
  SelectionSummary s;
  s.curves = 99;  // reset first
  SummarizeSelection(s, selection->begin(), selection->end());
  EXPECT_EQ(s.curves, 2);
  EXPECT_EQ(s.nonEditableCurves, 1);
  EXPECT_EQ(s.lockedCurves, 0);
  EXPECT_EQ(s.keysOfSelectedCurves, 6);
  EXPECT_EQ(s.lockedKeysOfSelectedCurves, 1);
  EXPECT_EQ(s.velocityCurves, 1);
  EXPECT_EQ(s.accelerationCurves, 0);
  EXPECT_EQ(s.segments, 4);  // all of a's, exteriors included
  EXPECT_EQ(s.editableSegments, 4);
  EXPECT_EQ(s.keyframes, 4);
  EXPECT_EQ(s.keyframesOfFixedCurves, 1);
  EXPECT_EQ(s.lockedKeyframes, 1);
  EXPECT_EQ(s.editableKeyframes, 2);
  EXPECT_EQ(s.inTangents, 4);  // a's three and b's one
  EXPECT_EQ(s.editableInTangents, 2);
  EXPECT_EQ(s.fixedInTangents, 2);  // behind a's locked key, and b's
  EXPECT_FALSE(s.anyLockedCurve());
  EXPECT_TRUE(s.anyEditableKeyframe());
}

}  // namespace
