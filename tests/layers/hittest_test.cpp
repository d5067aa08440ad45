// Picking tolerances and priorities at their edges, region picks, the
// selection expansions of clicks and rubber bands, and the selection summary.
#include "curvefixtures.h"

#include "layers/hittest.h"

#include <gtest/gtest.h>

#include <set>

using namespace Zentho::Arvelle;
using namespace Fixtures;
using R = T::Rectangle<double>;

namespace {

// Window 200 x 100 pixels over x 0..10, y -2..2: 20 px per unit across,
// 25 px per unit up.
class Pick : public ::testing::Test {
 protected:
  Pick() : viewport(R(0, 0, 200, 100), R(0, -2, 10, 4)) {
    curves = std::make_shared<T::FCurveContainer>();
    selection = std::make_shared<T::Selection>(curves);
  }
  std::shared_ptr<T::FCurve> add(std::shared_ptr<T::FCurve> c) {
    curves->addCurve(c);
    return c;
  }
  bool pick(const V& p, T::HitRecord& r) { return PickItem(*curves, *selection, viewport, p, r); }
  std::set<T::HitRecord, T::CompareRecord> region(const R& r) {
    std::set<T::HitRecord, T::CompareRecord> out;
    PickItems(*curves, *selection, viewport, r, out);
    return out;
  }

  Viewport viewport;
  std::shared_ptr<T::FCurveContainer> curves;
  std::shared_ptr<T::Selection> selection;
};

// Flat at y = 0 through x = 2, 5, 8: a horizontal line on pixel row 50.
std::shared_ptr<T::FCurve> Flat(const char* name = "flat") {
  return MakeCurve(name, {{2, 0, "linear()", 1}, {5, 0, "linear()", 1}, {8, 0, "linear()", 1}});
}

TEST_F(Pick, KeyBoxReachesEightPixelsAndNotNine) {
  auto c = add(Flat());
  selection->select(*c);
  const V k = ToPixel(viewport, KeyAt(*c, 1)->get());  // (100, 50)
  T::HitRecord r;
  ASSERT_TRUE(pick(k + V(8, 8), r));
  EXPECT_EQ(r, T::HitRecord(KeyAt(*c, 1)));
  ASSERT_TRUE(pick(k + V(-8, -8), r));
  EXPECT_EQ(r.getType(), T::HitRecord::KeyframeRecord);
  // Nine pixels off along the curve: the segment, not the key.
  ASSERT_TRUE(pick(k + V(9, 0), r));
  EXPECT_EQ(r.getType(), T::HitRecord::SegmentRecord);
  // Nine pixels above: neither the key (8) nor the line (5) reaches.
  EXPECT_FALSE(pick(k + V(0, -9), r));
}

TEST_F(Pick, CurveLineReachesFivePixels) {
  auto c = add(Flat());
  const V on = ToPixel(viewport, V(3.5, 0));
  T::HitRecord r;
  ASSERT_TRUE(pick(on + V(0, -5), r));
  // Unselected curves are only ever hit whole.
  EXPECT_EQ(r, T::HitRecord(c));
  EXPECT_FALSE(pick(on + V(0, -6), r));
  // The box around each sample pair is open at its bottom edge, so below
  // the line the reach ends a pixel earlier.
  EXPECT_TRUE(pick(on + V(0, 4), r));
  EXPECT_FALSE(pick(on + V(0, 5), r));
}

TEST_F(Pick, PointsOutsideTheWindowNeverHit) {
  add(Flat());
  T::HitRecord r;
  // World x 10 is still on the curve's exterior line, but pixel 200 is past
  // the window's right edge.
  EXPECT_TRUE(pick(V(199, 50), r));
  EXPECT_FALSE(pick(V(200, 50), r));
  EXPECT_FALSE(pick(V(-1, 50), r));
}

TEST_F(Pick, SelectedCurvesComeBeforeUnselectedOnes) {
  auto under = add(Flat("under"));
  auto over = add(Flat("over"));
  selection->select(*over);
  T::HitRecord r;
  ASSERT_TRUE(pick(ToPixel(viewport, V(3.5, 0)), r));
  EXPECT_EQ(r.getType(), T::HitRecord::SegmentRecord);
  EXPECT_EQ(r.getCurve(), over);
  // Two selected curves: container order decides.
  selection->select(*under);
  ASSERT_TRUE(pick(ToPixel(viewport, V(5, 0)), r));
  EXPECT_EQ(r, T::HitRecord(KeyAt(*under, 1)));
}

TEST_F(Pick, AShownHandleWinsOverTheKeyUnderIt) {
  auto c = add(MakeCurve("bez", {{2, 0, "bezier()", 0}, {5, 0, "bezier()", 0}, {8, 0, "bezier()", 0}}));
  auto key = KeyAt(*c, 1);
  key->getOutTangent()->set(1, 0);
  selection->select(*c);
  const V k = ToPixel(viewport, key->get());
  T::HitRecord r;
  // Without anything related selected, the handles do not show: the key.
  ASSERT_TRUE(pick(k, r));
  EXPECT_EQ(r, T::HitRecord(key));
  selection->select(*key);
  ASSERT_TRUE(pick(k, r));
  EXPECT_EQ(r.getType(), T::HitRecord::TangentRecord);
  // The in-handle comes first in segment order (it belongs to the segment
  // before); both pass through the key.
  EXPECT_TRUE(r == T::HitRecord(key->getInTangent()) || r == T::HitRecord(key->getOutTangent()));
}

TEST_F(Pick, FixedHandleIsPickedAtItsDrawnLengthAtAnyZoom) {
  // The last key's out-handle points right along the flat exterior.
  auto c = add(MakeCurve("bez", {{2, 0, "bezier()", 0}, {5, 0, "bezier()", 0}}));
  auto key = KeyAt(*c, 1);
  key->setTangentsUnified(false);
  key->getOutTangent()->set(1, 0);  // 20 px at zoom 1, 80 px at zoom 4
  selection->select(*c);
  selection->select(*key->getOutTangent());
  for (double zoom : {1.0, 4.0}) {
    viewport.setWorldBounds(R(5 - 5 / zoom, -2 / zoom, 10 / zoom, 4 / zoom));
    const V k = ToPixel(viewport, key->get());
    // Drawn 24 px long; the box centre 8 px beyond, reaching 8 px further.
    T::HitRecord r;
    ASSERT_TRUE(pick(k + V(40, 0), r)) << zoom;
    EXPECT_EQ(r, T::HitRecord(key->getOutTangent())) << zoom;
    ASSERT_TRUE(pick(k + V(41, 0), r)) << zoom;
    EXPECT_EQ(r.getType(), T::HitRecord::SegmentRecord) << zoom;
  }
}

TEST_F(Pick, RegionTouchingPartOfASegmentTakesSegmentAndCurveButNotItsKeys) {
  auto c = add(Flat());
  // Around x 3..4 (pixels 60..80), rows 40..60: crosses the line between
  // the first two keys only.
  const auto found = region(R(60, 40, 20, 20));
  auto seg = *c->findSegment(3.5);
  EXPECT_EQ(found, (std::set<T::HitRecord, T::CompareRecord>{T::HitRecord(c), T::HitRecord(seg)}));
  // Growing it over the middle key adds the key and the next segment.
  const auto wider = region(R(60, 40, 50, 20));
  EXPECT_EQ(wider.count(T::HitRecord(KeyAt(*c, 1))), 1u);
  EXPECT_EQ(wider.count(T::HitRecord(*c->findSegment(6.0))), 1u);
  EXPECT_EQ(wider.count(T::HitRecord(KeyAt(*c, 0))), 0u);
}

TEST_F(Pick, RegionEdgesAreHalfOpenForKeys) {
  auto c = add(Flat());
  const V k = ToPixel(viewport, KeyAt(*c, 1)->get());  // (100, 50)
  EXPECT_EQ(region(R(k.x, k.y, 5, 5)).count(T::HitRecord(KeyAt(*c, 1))), 1u);
  EXPECT_EQ(region(R(k.x - 5, k.y - 5, 5, 5)).count(T::HitRecord(KeyAt(*c, 1))), 0u);
  // Entirely outside the window: nothing at all.
  EXPECT_TRUE(region(R(300, 40, 20, 20)).empty());
}

TEST_F(Pick, RegionTakesHandlesAtTheirRealLength) {
  auto c = add(MakeCurve("bez", {{2, 0, "bezier()", 0}, {5, 0, "bezier()", 0}, {8, 0, "bezier()", 0}}));
  auto key = KeyAt(*c, 1);
  key->setTangentsUnified(false);
  key->getOutTangent()->setWeighted(true);
  // From pixel (100, 50) to (110, 10); the segment itself stays below row 32.
  key->getOutTangent()->set(0.5, 1.6);
  const auto found = region(R(95, 12, 20, 5));
  EXPECT_EQ(found, (std::set<T::HitRecord, T::CompareRecord>{T::HitRecord(key->getOutTangent())}));
  EXPECT_TRUE(region(R(95, 2, 20, 5)).empty());
}

// ---------------------------------------------------------------- selection

TEST_F(Pick, ClickingAHandleTakesItsKeyAndTheInteriorSegmentAfter) {
  auto c = add(Flat());
  auto key = KeyAt(*c, 1);
  SelectHitRecord(*selection, T::HitRecord(key->getOutTangent()), false);
  EXPECT_TRUE(selection->isSelected(*c));
  EXPECT_TRUE(selection->isSelected(*key->getOutTangent()));
  EXPECT_TRUE(selection->isSelected(*key));
  EXPECT_TRUE(selection->isSelected(*key->getRightSegment()));
  EXPECT_FALSE(selection->isSelected(*key->getInTangent()));
  EXPECT_FALSE(selection->isSelected(*key->getLeftSegment()));
}

TEST_F(Pick, ARubberBandOverAHandleTakesOnlyTheCurve) {
  auto c = add(Flat());
  SelectHitRecord(*selection, T::HitRecord(KeyAt(*c, 1)->getOutTangent()), true);
  EXPECT_TRUE(selection->isSelected(*c));
  EXPECT_EQ(std::distance(selection->begin(), selection->end()), 1);
}

TEST_F(Pick, KeysTakeTheirHandlesOnlyFromARubberBand) {
  auto c = add(Flat());
  auto last = KeyAt(*c, 2);
  SelectHitRecord(*selection, T::HitRecord(last), true);
  EXPECT_TRUE(selection->isSelected(*last));
  EXPECT_TRUE(selection->isSelected(*last->getInTangent()));
  // The last key's right segment is exterior: not taken.
  EXPECT_FALSE(selection->isSelected(*last->getRightSegment()));
  selection->clear();
  SelectHitRecord(*selection, T::HitRecord(last), false);
  EXPECT_FALSE(selection->isSelected(*last->getInTangent()));
}

TEST_F(Pick, ClickingAnInteriorSegmentTakesItsLeftKey) {
  auto c = add(Flat());
  auto seg = *c->findSegment(3);
  SelectHitRecord(*selection, T::HitRecord(seg), false);
  EXPECT_TRUE(selection->isSelected(*seg));
  EXPECT_TRUE(selection->isSelected(*KeyAt(*c, 0)));
  DeselectHitRecord(*selection, T::HitRecord(seg), false);
  EXPECT_FALSE(selection->isSelected(*seg));
  EXPECT_FALSE(selection->isSelected(*KeyAt(*c, 0)));
  EXPECT_TRUE(selection->isSelected(*c));
}

TEST_F(Pick, DeselectingAKeyDropsItsHandlesAndInteriorSegment) {
  auto c = add(Flat());
  T::SelectCurveCompletely(*selection, *c);
  auto key = KeyAt(*c, 1);
  DeselectHitRecord(*selection, T::HitRecord(key), true);
  EXPECT_FALSE(selection->isSelected(*key));
  EXPECT_FALSE(selection->isSelected(*key->getInTangent()));
  EXPECT_FALSE(selection->isSelected(*key->getOutTangent()));
  EXPECT_FALSE(selection->isSelected(*key->getRightSegment()));
  EXPECT_TRUE(selection->isSelected(*key->getLeftSegment()));
}

class LockedPick : public Pick, public ::testing::WithParamInterface<int> {};

TEST_P(LockedPick, SelectsOnlyTheCurve) {
  auto c = add(Flat());
  T::SetLocked(*c, true);
  auto key = KeyAt(*c, 1);
  const T::HitRecord records[] = {T::HitRecord(c), T::HitRecord(*c->findSegment(3)), T::HitRecord(key),
                                  T::HitRecord(key->getOutTangent())};
  SelectHitRecord(*selection, records[GetParam()], false);
  EXPECT_TRUE(selection->isSelected(*c));
  EXPECT_EQ(std::distance(selection->begin(), selection->end()), 1);
}
INSTANTIATE_TEST_SUITE_P(EveryRecordType, LockedPick, ::testing::Values(0, 1, 2, 3));

TEST_F(Pick, SummaryCountsEachKindOnce) {
  auto a = add(Flat("a"));
  auto b = add(Flat("b"));
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
