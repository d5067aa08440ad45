// The curve model as editing commands use it: handles a user set stay set, recorded handles and keys go back exactly,
// identities follow their elements through edits and flips, values stay finite at any accepted magnitude, and
// automatic handles do not overshoot.
#include "curve_fixtures.h"

#include <functional>

using namespace Fixtures;

namespace {

// x:   0    10    20    30
// y:   0     5     0     5
std::shared_ptr<FCurve> Zigzag() {
  return MakeCurve({{0, 0, "bezier()"}, {10, 5, "bezier()"}, {20, 0, "bezier()"}, {30, 5, "bezier()"}});
}

std::shared_ptr<Keyframe> Key(FCurve& c, double x) { return c.findSegment(x)->getLeftKey(); }

}  // namespace

// Edits that run the upkeep of the key at 10 after its out-handle was set to (0.3, 0.6): the offset stays, and on a
// unified key the in-handle stays turned against it.
TEST(SetHandles, anOffsetTheUserSetSurvivesEveryLaterUpkeep) {
  const struct { const char* what; std::function<void(FCurve&)> edit; } rows[] = {
      {"unification restored", [](FCurve& c) { Key(c, 10)->setTangentsUnified(true); }},
      {"left neighbour moved", [](FCurve& c) { Key(c, 0)->set(-4, 3); }},
      {"key itself moved", [](FCurve& c) { Key(c, 10)->set(12, 8); }},
      {"key inserted on the curve", [](FCurve& c) { c.insertSegment(Keyframe(15, c.eval(15)), Bezier::create()); }},
      {"right neighbour removed", [](FCurve& c) { c.removeSegment(c.findSegment(20)); }},
      {"time scaled", [](FCurve& c) { TransformCurve(c, Vector2D<double>(1, 1), Vector2D<double>(0, 0)); }},
  };
  for (const auto& r : rows) {
    for (bool unified : {false, true}) {
      SCOPED_TRACE(std::string(r.what) + (unified ? ", unified" : ", broken"));
      auto c = Zigzag();
      auto k = Key(*c, 10);
      k->setTangentsUnified(unified);
      const Vector2D<double> in = k->getInTangent()->get();
      k->getOutTangent()->set(0.3, 0.6);
      if (!unified) k->setTangentsUnified(false);
      r.edit(*c);
      EXPECT_EQ(k->getOutTangent()->get(), Vector2D<double>(0.3, 0.6));
      EXPECT_EQ(k->getOutTangent()->getType(), TangentType::Fixed);
      if (unified) {
        // Turned to the opposite direction, keeping its length.
        const Vector2D<double> want = Vector2D<double>(0.3, 0.6) * (-in.length() / Vector2D<double>(0.3, 0.6).length());
        EXPECT_TRUE(Near(k->getInTangent()->get(), want, 1e-12));
        EXPECT_EQ(k->getInTangent()->getType(), TangentType::Fixed);
      } else if (std::string(r.what) != "unification restored") {
        EXPECT_EQ(k->getInTangent()->getType(), TangentType::Smooth) << "the other handle stays automatic";
      }
    }
  }
  // A type set afterwards makes the handle automatic again.
  auto c = Zigzag();
  auto k = Key(*c, 10);
  k->getOutTangent()->set(0.3, 0.6);
  k->getOutTangent()->setType(TangentType::Flat);
  EXPECT_TRUE(Near(k->getOutTangent()->get(), Vector2D<double>(10.0 / 3, 0), 1e-12));
}

TEST(SetHandles, setTangentsPutsBackBothHandlesExactlyWhateverUnificationAndWeightLocks) {
  auto c = Zigzag();
  auto k = Key(*c, 10);
  k->getOutTangent()->setWeightLocked(true);
  // One by one, each set turns the other handle: the first ends up moved.
  k->getInTangent()->set(-0.5, 0.1);
  k->getOutTangent()->set(0.3, 0.4);
  k->setTangents(Vector2D<double>(-0.5, 0.1), Vector2D<double>(0.3, 0.4));
  EXPECT_EQ(k->getInTangent()->get(), Vector2D<double>(-0.5, 0.1));
  EXPECT_EQ(k->getOutTangent()->get(), Vector2D<double>(0.3, 0.4));
  EXPECT_EQ(k->getInTangent()->getType(), TangentType::Fixed);
  EXPECT_TRUE(k->isTangentsUnified());
  // With types: an automatic one is recomputed, a Fixed one keeps the offset.
  k->setTangents(Vector2D<double>(-9, 9), Vector2D<double>(2, 2), TangentType::Flat, TangentType::Fixed);
  EXPECT_TRUE(Near(k->getInTangent()->get(), Vector2D<double>(-10.0 / 3, 0), 1e-12));
  EXPECT_EQ(k->getOutTangent()->get(), Vector2D<double>(2, 2));
  EXPECT_EQ(k->getInTangent()->getType(), TangentType::Flat);
  // Refused as a whole: nothing changes.
  k->setTangents(Vector2D<double>(-1, 1), Vector2D<double>(kNaN, 0));
  EXPECT_EQ(k->getOutTangent()->get(), Vector2D<double>(2, 2));
  EXPECT_EQ(k->getInTangent()->getType(), TangentType::Flat);
}

TEST(SetHandles, keysRestoredOneByOneInsideASwitchLandExactly) {
  auto c = MakeCurve({{0, 0, "bezier()"}, {1, 0, "bezier()"}, {2, 0, "bezier()"}, {3, 0, "bezier()"}});
  const auto before = State(*c);
  std::vector<std::shared_ptr<Keyframe>> keys;
  for (double x : {0.0, 1.0, 2.0, 3.0}) keys.push_back(Key(*c, x));
  // Moved right by 0.995 as a drag would, from the right.
  for (int i = 3; i >= 0; --i) keys[i]->set(keys[i]->getX() + 0.995, 0);
  // Put back from the left: on the way key 1 meets the moved key 0 at 0.995.
  {
    FCurve::Switch hold(*c);
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i]->set(static_cast<double>(i), 0);
  }
  EXPECT_TRUE(Unchanged(*c, before));
}

// A tangent record follows its key and side: edits of other keys never move it onto another key's handle, and it
// goes with its key.
TEST(Identities, aSelectedHandleStaysWithItsKeyThroughEditsOfOtherKeys) {
  auto box = std::make_shared<FCurveContainer>();
  auto c = Zigzag();
  box->addCurve(c);
  Selection sel(box);
  sel.select(*Key(*c, 20)->getInTangent());
  auto selectedTangents = [&] {
    std::vector<std::pair<double, bool>> v;  // (key x, is in-handle)
    for (auto it = BeginSelectedTangents(sel); it != EndSelectedTangents(sel); ++it)
      v.emplace_back(it->getTangent()->getOwningKeyframe()->getX(), it->getTangent()->isInTangent());
    return v;
  };
  const std::vector<std::pair<double, bool>> in20{{20, true}};
  c->insertSegment(Keyframe(15, 1), Bezier::create());
  EXPECT_EQ(selectedTangents(), in20) << "a key inserted before it";
  c->removeSegment(c->findSegment(10));
  EXPECT_EQ(selectedTangents(), in20) << "the key before it removed";
  {
    FCurve::Switch hold(*c);
    Key(*c, 0)->set(25, 0);  // passes it, and is put back in order when the Switch ends
  }
  EXPECT_EQ(selectedTangents(), in20) << "a key moved past it";
  c->removeSegment(c->findSegment(20));
  EXPECT_TRUE(selectedTangents().empty()) << "removed with its key, not handed to the next one";
  EXPECT_FALSE(sel.isSelected(*Key(*c, 30)->getInTangent()));
}

TEST(Identities, aCurveBuiltKeyByKeyGetsBothHandlesOfEverySpan) {
  // As a clipboard is built: each span's in-handle is set once its right key exists.
  auto clip = FCurve::create("clip");
  const Vector2D<double> outs[] = {{1, 2}, {0.5, -1}, {2, 0}}, ins[] = {{-1, 1}, {-0.25, 3}};
  for (int i = 0; i < 3; ++i) {
    Keyframe k(10.0 * i, i);
    k.setTangentsUnified(false);
    auto it = clip->insertSegment(k, Bezier::create());
    ASSERT_NE(it, clip->end());
    it->getOutTangent()->set(outs[i]);
    if (i > 0) std::prev(it)->getInTangent()->set(ins[i - 1]);
  }
  const auto built = State(*clip);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(built.keys[i].out.offset, outs[i]);
  for (int i = 1; i < 3; ++i) EXPECT_EQ(built.keys[i].in.offset, ins[i - 1]);
  // A key inserted into a span leaves the handles of both keys around it as they were.
  ASSERT_NE(clip->insertSegment(Keyframe(15, 9), Bezier::create()), clip->end());
  EXPECT_EQ(Key(*clip, 20)->getInTangent()->get(), ins[1]);
  EXPECT_EQ(Key(*clip, 10)->getOutTangent()->get(), outs[1]);
}

TEST(Identities, aRemovedKeyPutBackKeepsItsHandlesSegmentAndIdentities) {
  auto box = std::make_shared<FCurveContainer>();
  auto c = Zigzag();
  box->addCurve(c);
  Selection sel(box);
  SetHandle(*Key(*c, 10), false, 2, 3, true);
  std::next(c->begin(), 2)->setProperty("tag", "from ten");
  const auto before = State(*c);
  auto key = Key(*c, 10);
  sel.select(*key);
  sel.select(*key->getOutTangent());
  sel.select(*key->getRightSegment());
  ASSERT_TRUE(c->removeSegment(c->findSegment(10)));
  EXPECT_EQ(c->restoreSegment(Key(*c, 20)), c->end()) << "a key still in a curve";
  const auto back = c->restoreSegment(key);
  ASSERT_NE(back, c->end());
  EXPECT_TRUE(Unchanged(*c, before));
  EXPECT_TRUE(IsValidCurve(*c));
  EXPECT_TRUE(sel.isSelected(*key) && sel.isSelected(*key->getOutTangent()) && sel.isSelected(*key->getRightSegment()));
  EXPECT_EQ(c->restoreSegment(key), c->end()) << "already back";
  // A key put where another now stands does not fit.
  ASSERT_TRUE(c->removeSegment(c->findSegment(10)));
  c->insertSegment(Keyframe(10.005, 0), Bezier::create());
  EXPECT_EQ(c->restoreSegment(key), c->end());
  EXPECT_TRUE(IsValidCurve(*c));
}

TEST(Identities, flipsAndNegativeScalesKeepEverySelectedElementSelected) {
  const struct { const char* what; std::function<bool(FCurve&)> op; } rows[] = {
      {"flip horizontal", [](FCurve& c) { return FlipCurve(c, FlipHorizontal, 15, 0); }},
      {"flip both", [](FCurve& c) { return FlipCurve(c, FlipBoth, 15, 2); }},
      {"negative x scale", [](FCurve& c) { return TransformCurve(c, Vector2D<double>(-2, 1), {100, 0}); }},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    auto box = std::make_shared<FCurveContainer>();
    auto c = Zigzag();
    box->addCurve(c);
    Selection sel(box);
    auto k10 = Key(*c, 10), k20 = Key(*c, 20);
    sel.select(*k10);
    sel.select(*k10->getInTangent());
    sel.select(*k10->getRightSegment());  // from 10 to 20
    sel.select(*c->begin().segment());  // the leading segment
    auto copy = FCurve::createCopy(c);
    ASSERT_TRUE(r.op(*c));
    ASSERT_TRUE(IsValidCurve(*c));
    EXPECT_TRUE(sel.isSelected(*k10) && !sel.isSelected(*k20));
    // The in-handle became the out-handle of the same key.
    EXPECT_TRUE(sel.isSelected(*k10->getOutTangent()) && !sel.isSelected(*k10->getInTangent()));
    // The segment between the two keys now starts at the key that was at 20; the old leading one is last.
    EXPECT_TRUE(sel.isSelected(*k20->getRightSegment()) && !sel.isSelected(*k10->getRightSegment()));
    EXPECT_TRUE(sel.isSelected(**std::prev(c->end())) && !sel.isSelected(**c->begin()));
    std::vector<int> types;
    for (auto it = sel.begin(); it != sel.end(); ++it) types.push_back(it->getType());
    EXPECT_EQ(types, (std::vector<int>{2, 2, 3, 4}));
    EXPECT_EQ(BeginSelectedTangents(sel)->getTangent(), k10->getOutTangent());
    // Undone by a swap with the copy taken before, the selection is as it was.
    FCurve::swap(*c, *copy);
    EXPECT_TRUE(sel.isSelected(*Key(*c, 10)->getInTangent()) && sel.isSelected(*c->begin().segment()));
  }
}

TEST(Identities, aCurvesPlaceInOneContainerIgnoresOtherContainers) {
  auto box = std::make_shared<FCurveContainer>();
  auto a = Zigzag(), b = Zigzag();
  box->addCurve(a);
  box->addCurve(b);
  Selection sel(box);
  sel.select(*b);
  sel.select(*a);
  {
    // A preview keeps the selected live curves in a container of its own, in another order.
    FCurveContainer preview;
    preview.addCurve(b);
    preview.addCurve(a);
    std::vector<std::shared_ptr<FCurve>> order;
    for (auto it = BeginSelectedCurves(sel); it != EndSelectedCurves(sel); ++it) order.push_back(it->getCurve());
    EXPECT_EQ(order, (std::vector<std::shared_ptr<FCurve>>{a, b}));
    EXPECT_EQ(sel.begin()->getCurve(), a);
    EXPECT_TRUE(CompareRecord()(HitRecord(a), HitRecord(b)));
  }
  EXPECT_EQ(std::next(sel.begin())->getCurve(), b);
}

TEST(Identities, walksStayBuiltWhileOnlyCurvesOutsideTheirContainerChange) {
  auto box = std::make_shared<FCurveContainer>();
  auto c = Zigzag();
  box->addCurve(c);
  Selection sel(box);
  SelectCurveCompletely(sel, *c);
  auto copy = FCurve::createCopy(c);
  const auto walk = BeginSelectedKeyframes(sel);
  copy->insertSegment(Keyframe(5, 1), Bezier::create());
  copy->removeSegment(copy->findSegment(20));
  FCurve::create("clipboard")->insertSegment(Keyframe(1, 1), Bezier::create());
  EXPECT_EQ(BeginSelectedKeyframes(sel), walk) << "the walk was rebuilt for edits elsewhere";
  c->insertSegment(Keyframe(5, 1), Bezier::create());
  EXPECT_NE(BeginSelectedKeyframes(sel), walk) << "an edit of the container's curve must be seen";
}

// Keys (0,0), (3,0), (6,0) with the middle key's in-handle vertical: the curve arrives from above, as it does for a
// handle a hair left of vertical, and stays finite.
TEST(Values, anExactlyVerticalHandleIsTheLimitOfNearlyVerticalOnes) {
  auto eval = [](bool in, Vector2D<double> h, double x) {
    auto c = MakeCurve({{0, 0, "bezier()"}, {3, 0, "bezier()"}, {6, 0, "bezier()"}});
    SetHandle(*Key(*c, 3), in, h.x, h.y, false);
    return std::make_pair(c->eval(x), GetFirstDerivative(*c, x));
  };
  for (double y : {1.0, -2.0}) {
    for (bool in : {true, false}) {
      const double x = in ? 1.5 : 4.5, side = in ? -1 : 1;
      const auto nearly = eval(in, Vector2D<double>(side * 1e-13, y), x);
      for (double zero : {0.0, -0.0}) {
        const auto vertical = eval(in, Vector2D<double>(zero, y), x);
        EXPECT_TRUE(std::isfinite(vertical.first) && std::isfinite(vertical.second));
        EXPECT_EQ(vertical, nearly) << (in ? "in" : "out") << " handle (" << zero << ", " << y << ")";
        EXPECT_GT(vertical.first * y, 0) << "on the handle's side";
      }
    }
  }
}

TEST(Values, valuesStayFiniteAndOrderHoldsAtEveryAcceptedMagnitude) {
  // Keys at base + {0, 1, 2}, the first set onto the second outside a Switch: the repair steps in values the
  // magnitude can represent.
  for (double base : {5e13, 1e15, 1e17, 2e299, -1e300}) {
    auto c = MakeCurve({{base, 0, "bezier()"}, {base + 4096 * std::fabs(base) * 1e-15, 1, "bezier()"},
                        {base + 8192 * std::fabs(base) * 1e-15, 0, "bezier()"}});
    ASSERT_EQ(c->numKeys(), 3u) << base;
    KeyAt(*c, 0).set(KeyAt(*c, 1).getX(), 2);
    EXPECT_TRUE(IsValidCurve(*c)) << base;
    EXPECT_TRUE(IsValidCurve(*FCurve::createCopy(c))) << base;
  }
  // At the top of the range the repair cannot push right: keys stay in range, where their own positions can be
  // set again.
  auto top = MakeCurve({{1e300 - 2e285, 0, "bezier()"}, {1e300, 1, "bezier()"}});
  KeyAt(*top, 0).set(1e300, 0);
  EXPECT_TRUE(IsValidCurve(*top));
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_LE(KeyAt(*top, i).getX(), cMaxCoordinate);
    const Vector2D<double> at = KeyAt(*top, i).get();
    KeyAt(*top, i).set(at.x, 5);
    EXPECT_EQ(KeyAt(*top, i).getY(), 5);
  }
  // Values beyond the accepted range are refused; at its edge every result is finite.
  auto c = MakeCurve({{-1e300, -1e300, "bezier()"}, {0, 1e300, "bezier()"}, {1e300, -1e300, "bezier()"}});
  ASSERT_EQ(c->numKeys(), 3u);
  const auto before = State(*c);
  EXPECT_EQ(c->insertSegment(Keyframe(5, 3e307), Bezier::create()), c->end());
  KeyAt(*c, 1).set(0, -3e307);
  KeyAt(*c, 1).getOutTangent()->set(1, 5e307);
  EXPECT_TRUE(Unchanged(*c, before));
  SetHandle(KeyAt(*c, 1), false, 1e300, 1e300, true);
  SetHandle(KeyAt(*c, 1), true, 0, -1e300, false);
  SetHandle(KeyAt(*c, 2), true, -1e-300, 1e300, false);
  for (double x = -1.5e300; x <= 1.5e300; x += 1e298) {
    for (double v : {c->eval(x), GetFirstDerivative(*c, x), GetSecondDerivative(*c, x)})
      ASSERT_TRUE(std::isfinite(v)) << x;
  }
  for (double x : {-std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), 1e-300})
    EXPECT_TRUE(std::isfinite(c->eval(x)) && std::isfinite(GetFirstDerivative(*c, x))) << x;
}

// Keys (0,0), (0.5,10), (20,10.5): SmoothNormal exists to keep uneven spacing from overshooting; it must stay within
// the neighbours' values on the long span, as Clamped does, where Smooth rises above them.
TEST(Values, smoothNormalDoesNotOvershootOnUnevenSpacing) {
  auto peak = [](unsigned char type) {
    auto c = MakeCurve({{0, 0, "bezier()"}, {0.5, 10, "bezier()"}, {20, 10.5, "bezier()"}}, type);
    return WorstOver(0.5, 20, [&](double x) { return c->eval(x); });
  };
  EXPECT_GT(peak(TangentType::Smooth), 11);
  EXPECT_LE(peak(TangentType::SmoothNormal), 10.5 + 1e-9);
  EXPECT_LE(peak(TangentType::Clamped), 10.5 + 1e-9);
}
