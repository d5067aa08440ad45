// The menu and key commands on keyframes, tangents and segments, through the widget's trigger slots: undo texts,
// effects, and undo and redo back to the exact curves and selections. Handles of automatic types are worked out
// from the keys by the type's rule, a third of the span long.
#include "widget/showwidget.h"

#include "layers/curvelayer.h"

#include <arvelle/arvelle.h>

#include <tessal/tessal.h>

#include <QUndoStack>

#include <cmath>
#include <functional>
#include <iterator>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

using namespace Zentho::Arvelle;
namespace T = Zentho::Tessal;
using V = T::Vector2D<double>;

namespace {

struct Handle {
  V offset;
  int type;
  bool weighted = false, weightLocked = false;
  auto tie() const { return std::tie(offset.x, offset.y, type, weighted, weightLocked); }
  bool operator==(const Handle& o) const { return tie() == o.tie(); }
};
struct Key {
  V pos;
  bool breakdown, unified, locked;
  Handle in, out;
  std::string segment;  // the interpolator of the segment leaving the key
  auto tie() const { return std::tie(pos.x, pos.y, breakdown, unified, locked, in, out, segment); }
  bool operator==(const Key& o) const { return tie() == o.tie(); }
};
struct Curve {
  std::string leading;
  std::vector<Key> keys;
  bool operator==(const Curve& o) const { return leading == o.leading && keys == o.keys; }
};
// Both curves and the selection, its elements named by curve, key x and kind: "a2k" the key at x 2, "a2i" /
// "a2o" its in / out handle, "a2s" the segment leaving it, "a-s" the one before the first key, "a" the curve.
struct State {
  Curve a, b;
  std::set<std::string> selection;
  bool operator==(const State& o) const { return a == o.a && b == o.b && selection == o.selection; }
};
std::ostream& operator<<(std::ostream& os, const Handle& h) {
  return os << " (" << h.offset.x << ", " << h.offset.y << ") t" << h.type << (h.weighted ? " w" : "");
}
std::ostream& operator<<(std::ostream& os, const State& s) {
  for (const Curve* c : {&s.a, &s.b}) {
    os << "\n" << c->leading;
    for (const Key& k : c->keys)
      os << "\n  " << k.pos.x << "," << k.pos.y << (k.breakdown ? " B" : "") << (k.unified ? " U" : "")
         << (k.locked ? " L" : "") << " in" << k.in << " out" << k.out << " " << k.segment;
  }
  for (const auto& n : s.selection) os << " " << n;
  return os;
}

Handle Of(const T::Tangent& t) { return {t.get(), t.getType(), t.isWeighted(), t.isWeightLocked()}; }

// Curve "a": bezier keys (0,0) (1,2) (2,1) (3,3) (4,0), not unified, each with Fixed handles of its own; the
// segment after its last key is linear(). Curve "b": linear keys (0.5,1) (2.5,0), unified, Fixed handles.
class StateCommands : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void reset() {
    stack().clear();
    stack().setUndoLimit(10);
    widget.getCurves()->clear();
    a = T::FCurve::create("a");
    const double ys[] = {0, 2, 1, 3, 0};
    for (int x = 0; x < 5; ++x) {
      T::Keyframe* k = a->insertSegment(T::Keyframe(x, ys[x]), T::Bezier::create()).key();
      k->setTangentsUnified(false);
      k->setTangents(V(-0.25, 0.1 * x + 0.05), V(0.3, -0.1 * x - 0.02));
    }
    seg(a, 5)->setInterpolator(T::Linear::create());
    b = T::FCurve::create("b");
    b->insertSegment(T::Keyframe(0.5, 1), T::Linear::create())->getLeftKey()->setTangents(V(-0.5, 0.2), V(0.4, -0.3));
    b->insertSegment(T::Keyframe(2.5, 0), T::Linear::create())->getLeftKey()->setTangents(V(-0.6, 0.1), V(0.7, -0.2));
    widget.getCurves()->addCurve(a);
    widget.getCurves()->addCurve(b);
    pick("! a b");
  }

  // Entry i's segment: 0 is the one before the first key, i + 1 the one leaving key i.
  using Ptr = std::shared_ptr<T::FCurve>;
  static std::shared_ptr<T::Segment> seg(const Ptr& c, int i) { return *std::next(c->begin(), i); }
  static std::shared_ptr<T::Keyframe> key(const Ptr& c, int i) { return seg(c, i + 1)->getLeftKey(); }
  T::Selection& sel() { return *widget.getSelection(); }
  QUndoStack& stack() { return widget.getUndoStack()->getQUndoStack(); }

  // Selects the named elements; "!" clears the selection first.
  void pick(const std::string& names) {
    std::istringstream in(names);
    for (std::string n; in >> n;) {
      if (n == "!") sel().clear();
      const auto& c = n[0] == 'a' ? a : b;
      if (n.size() == 1 && n != "!") sel().select(*c);
      if (n.size() < 3) continue;
      const std::string x = n.substr(1, n.size() - 2);
      const auto entry = x == "-" ? c->begin() : c->findSegment(std::stod(x));
      if (n.back() == 'k') sel().select(*entry.key());
      if (n.back() == 'i') sel().select(*entry.key()->getInTangent());
      if (n.back() == 'o') sel().select(*entry.key()->getOutTangent());
      if (n.back() == 's') sel().select(*entry.segment());
    }
  }
  // The curves element by element (keys out of order or too close, or a curve that does not evaluate, fail
  // here) and the selection by name.
  State now() {
    State s{snap(*a), snap(*b), {}};
    std::set<T::HitRecord, T::CompareRecord> records;
    T::GetSelected(sel(), records);
    auto x = [](const std::shared_ptr<T::Keyframe>& k) { return k ? QString::number(k->getX()).toStdString() : "-"; };
    for (const T::HitRecord& h : records) {
      const std::string c = h.getCurve()->getName();
      if (h.getType() == T::HitRecord::Curve) s.selection.insert(c);
      if (auto k = h.getKeyframe()) s.selection.insert(c + x(k) + "k");
      if (auto g = h.getSegment()) s.selection.insert(c + x(g->getLeftKey()) + "s");
      if (auto t = h.getTangent()) s.selection.insert(c + x(t->getOwningKeyframe()) + (t->isInTangent() ? "i" : "o"));
    }
    return s;
  }
  static Curve snap(const T::FCurve& c) {
    Curve r{c.begin()->getInterpolator()->getExpression(), {}};
    for (auto it = std::next(c.begin()); it != c.end(); ++it) {
      const T::Keyframe& k = *it.key();
      EXPECT_TRUE(r.keys.empty() || k.getX() - r.keys.back().pos.x >= T::Keyframe::getMinSeparation() - 1e-12);
      EXPECT_TRUE(std::isfinite(c.eval(k.getX() + 0.5)));
      r.keys.push_back({k.get(), k.isBreakdown(), k.isTangentsUnified(), T::IsLocked(k), Of(*k.getInTangent()),
                        Of(*k.getOutTangent()), it->getInterpolator()->getExpression()});
    }
    return r;
  }

  struct Row {
    const char* what;
    std::function<void()> prepare;  // flags
    const char* picks;
    std::function<void()> trigger;
    const char* text;
    std::function<void(State&)> expect;  // turns the state before the command into the one after
  };

  // The row's command: its text and effect, then undo and redo twice, each after the selection was cleared,
  // giving back the curves and the selections of before and after exactly.
  void run(const Row& r) {
    SCOPED_TRACE(r.what);
    reset();
    if (r.prepare) r.prepare();
    pick(r.picks);
    const State before = now();
    r.trigger();
    ASSERT_EQ(stack().count(), 1);
    EXPECT_EQ(stack().text(0).toStdString(), r.text);
    State after = before;
    if (r.expect) r.expect(after);
    for (int step = 0; step < 4; ++step) {
      EXPECT_EQ(now(), step % 2 ? before : after);
      sel().clear();
      step % 2 ? stack().redo() : stack().undo();
    }
    EXPECT_EQ(now(), after);
    EXPECT_EQ(T::FCurve::getChangeType(), T::FCurve::Idle);
  }

  GraphWidget widget;
  std::shared_ptr<T::FCurve> a, b;
};

TEST_F(StateCommands, deleteKeyframes) {
  auto del = [&] { widget.triggerDeleteKeyframes(); };
  auto lock = [&](int i) { return [this, i] { T::SetLocked(*key(a, i), true); }; };
  // Keys from..to-1 of a gone, and with them their records from the selection.
  auto erase = [](int from, int to) {
    return [=](State& s) {
      s.a.keys.erase(s.a.keys.begin() + from, s.a.keys.begin() + to);
      for (int x = from; x < to; ++x) s.selection.erase("a" + std::to_string(x) + "k");
    };
  };
  const Row rows[] = {
      {"one key", {}, "a2k", del, "Delete Keyframe", erase(2, 3)},
      {"three consecutive keys in one walk", {}, "a1k a2k a3k", del, "Delete Keyframes", erase(1, 4)},
      {"a locked key is counted and survives", lock(2), "a1k a2k", del, "Delete Keyframes", erase(1, 2)},
      {"only locked keys: none goes", lock(3), "a3k", del, "Delete Keyframe", {}},
      {"keys on two curves", {}, "a4k b2.5k", del, "Delete Keyframes",
       [&](State& s) { erase(4, 5)(s); s.b.keys.pop_back(); s.selection.erase("b2.5k"); }},
      {"every key of a curve", {}, "a0k a1k a2k a3k a4k", del, "Delete Keyframes", erase(0, 5)},
      {"nothing selected", {}, "!", del, "Delete Keyframe", {}},
  };
  for (const Row& r : rows) run(r);
}

TEST_F(StateCommands, breakdownLockAndWeight) {
  auto flip = [](bool Key::*f, std::vector<int> keys) {
    return [=](State& s) { for (int i : keys) s.a.keys[i].*f = !(s.a.keys[i].*f); };
  };
  auto breakdown = [&] { widget.triggerBreakdownKeyframes(); };
  auto lock = [&] { widget.triggerLockKeyframes(); };
  auto weight = [&] { widget.triggerWeightedTangents(); };
  auto weighted = [&](int i) { return [this, i] { key(a, i)->getOutTangent()->setWeighted(true); }; };
  const Row rows[] = {
      {"breakdown on a mix", [&] { key(a, 1)->setBreakdown(true); }, "a1k a2k a3k", breakdown,
       "Toggle Breakdown on Keyframes", flip(&Key::breakdown, {1, 2, 3})},
      {"breakdown on normal keys", {}, "a0k a4k", breakdown, "Set Breakdown on Keyframes",
       flip(&Key::breakdown, {0, 4})},
      {"breakdown off, on a locked curve too", [&] { a->setLocked(true); key(a, 2)->setBreakdown(true); }, "a2k",
       breakdown, "Unset Breakdown on Keyframe", flip(&Key::breakdown, {2})},
      {"breakdown on nothing", {}, "!", breakdown, "Set Breakdown on Keyframe", {}},
      {"lock lists only keys that change", [&] { T::SetLocked(*key(a, 2), true); }, "a1k a2k", lock,
       "Lock Keyframe", flip(&Key::locked, {1})},
      {"lock falls back to every key of the selected curves; undo keeps the earlier lock",
       [&] { T::SetLocked(*key(a, 1), true); }, "a1k", lock, "Lock Keyframes",
       [](State& s) { for (auto* c : {&s.a, &s.b}) for (Key& k : c->keys) k.locked = true; }},
      {"unlock fallback over unlocked keys changes nothing, nor does its undo", {}, "! b",
       [&] { widget.triggerUnlockKeyframes(); }, "Unlock Keyframes", {}},
      {"keys of a locked curve are counted, not changed", [&] { a->setLocked(true); }, "a0k a1k", lock,
       "Lock Keyframes", {}},
      {"lock on nothing", {}, "!", lock, "Lock Keyframe", {}},
      {"weight two tangents", {}, "a1o a2i", weight, "Weight Tangents",
       [](State& s) { s.a.keys[1].out.weighted = s.a.keys[2].in.weighted = true; }},
      {"unweight one", weighted(1), "a1o", weight, "Unweight Tangent",
       [](State& s) { s.a.keys[1].out.weighted = false; }},
      {"a mix toggles each", weighted(1), "a1o a3o", weight, "Toggle Weight on Tangents",
       [](State& s) { s.a.keys[1].out.weighted = false; s.a.keys[3].out.weighted = true; }},
      {"locked and non-editable curves: neither counted nor toggled",
       [&] { a->setLocked(true); b->setEditable(false); }, "a1o b0.5o", weight, "Weight Tangent", {}},
      {"the eligible one counts alone", [&] { a->setLocked(true); }, "a1o a2o b0.5o", weight, "Weight Tangent",
       [](State& s) { s.b.keys[0].out.weighted = true; }},
  };
  for (const Row& r : rows) run(r);
}

TEST_F(StateCommands, tangentAndSegmentTypes) {
  auto type = [&](int code) { return [this, code] { widget.triggerSetTangentType(code); }; };
  auto segType = [&](const char* name) { return [this, name] { widget.triggerSetSegmentType(name); }; };
  const double third = 1.0 / 3, twoThirds = 2.0 / 3;
  const Row rows[] = {
      {"one of two already flat", [&] { key(a, 1)->getOutTangent()->setType(1); }, "a1o a2o", type(1),
       "Set Tangent Type To Flat", [&](State& s) { s.a.keys[2].out = {V(third, 0), 1}; }},
      {"a locked key is counted, not changed", [&] { T::SetLocked(*key(a, 1), true); }, "a1i a1o a3i", type(2),
       "Set Tangent Types To Linear", [&](State& s) { s.a.keys[3].in = {V(-third, -2 * third), 2}; }},  // from (2,1)
      {"a locked curve is counted, its copy unchanged", [&] { a->setLocked(true); }, "a0o a1o", type(3),
       "Set Tangent Types To Smooth", {}},
      {"on a unified key the opposite handle follows", {}, "b0.5o", type(1), "Set Tangent Type To Flat",
       [&](State& s) { s.b.keys[0].in = {V(-twoThirds, 0), 1}, s.b.keys[0].out = {V(twoThirds, 0), 1}; }},
      {"code 7 has no name and keeps the offsets", {}, "a2i a2o", type(7), "Set Tangent Types",
       [](State& s) { s.a.keys[2].in.type = s.a.keys[2].out.type = 7; }},
      {"-1 is 255", {}, "a2o", type(-1), "Set Tangent Type", [](State& s) { s.a.keys[2].out.type = 255; }},
      {"-255 is Flat", {}, "a2i", type(-255), "Set Tangent Type To Flat",
       [&](State& s) { s.a.keys[2].in = {V(-third, 0), 1}; }},
      {"262 is Plateau, flat at a minimum", {}, "a2i", type(262), "Set Tangent Type To Plateau",
       [&](State& s) { s.a.keys[2].in = {V(-third, 0), 6}; }},
      {"no tangent", {}, "!", type(0), "Set Tangent Type To Fixed", {}},
      {"bezier on a linear segment: both handles Smooth and selected", {}, "b0.5s", segType("bezier()"),
       "Set Segments To bezier()",
       [&](State& s) {
         // Slope -1/2 over a span of 2; unified keys, so each key's other handle follows.
         s.b.keys[0].segment = "bezier()";
         for (Key& k : s.b.keys)
           k.in = {V(-twoThirds, 0.5 * twoThirds), 3}, k.out = {V(twoThirds, -0.5 * twoThirds), 3};
         s.selection.insert({"b0.5o", "b2.5i"});
       }},
      {"exterior segments have one handle each", {}, "a-s a4s", segType("bezier()"), "Set Segments To bezier()",
       [&](State& s) {
         s.a.leading = s.a.keys[4].segment = "bezier()";
         s.a.keys[0].in = {V(-third, -2 * third), 3};  // towards (1,2)
         s.a.keys[4].out = {V(third, -3 * third), 3};  // from (3,3)
         s.selection.insert({"a0i", "a4o"});
       }},
      {"the same interpolator is counted, not changed", {}, "a1s", segType("bezier()"), "Set Segments To bezier()",
       {}},
      {"an unknown name changes nothing", {}, "a4s b0.5s", segType("spline()"), "Set Segments To spline()", {}},
      {"locked and non-editable curves are counted, not changed", [&] { a->setLocked(true); b->setEditable(false); },
       "a1s b0.5s", segType("ease()"), "Set Segments To ease()", {}},
      {"no segment", {}, "!", segType("bezier()"), "Set Segment To bezier()", {}},
  };
  for (const Row& r : rows) run(r);
}

// Commands of both shapes pushed in turn, two of them Delete key presses on a shown widget while a handle of
// the deleted key is the hover highlight. Undo of a command gives the state it was built in, redo the state
// right after its push, in any order.
TEST_F(StateCommands, undoAndRedoComposeInAnyOrder) {
  ASSERT_TRUE(ShowWidget(widget, 400, 300));
  widget.getViewport()->setWorldBounds(T::Rectangle<double>(-1, -1, 6, 5));
  auto& layer = dynamic_cast<CurveLayer&>(*widget.getRootLayer()->findLayer("Curve Layer"));
  const Handle in3 = Of(*key(a, 3)->getInTangent());
  auto deleteKey = [&] {
    const auto k = T::BeginSelectedKeyframes(sel())->getKeyframe();
    const T::HitRecord handle(*k->getInTangent());
    layer.setHighlight(handle);
    const double x = k->getX();
    QTest::keyClick(&widget, Qt::Key_Delete);
    // Drawn while the highlight names the handle that went with its key.
    layer.setHighlight(handle);
    EXPECT_FALSE(handle.getTangent());
    widget.grabFramebuffer();
    // The segment that ran to the deleted key now ends at (3,3) with that key's in-handle.
    EXPECT_EQ(a->findSegment(x)->getRightKey()->get(), V(3, 3));
    EXPECT_EQ(Of(*a->findSegment(x)->getInTangent()), in3);
  };
  const std::pair<const char*, std::function<void()>> steps[] = {
      {"a1k", [&] { widget.triggerBreakdownKeyframes(); }}, {"a2k", deleteKey}, {"a1k", deleteKey},
      {"b0.5s", [&] { widget.triggerSetSegmentType("bezier()"); }}, {"a3k", [&] { widget.triggerLockKeyframes(); }},
      {"b0.5i", [&] { widget.triggerWeightedTangents(); }}, {"a0o", [&] { widget.triggerSetTangentType(1); }},
  };
  std::vector<State> built, pushed;
  for (const auto& [picks, push] : steps) {
    pick(std::string("! a b ") + picks);
    built.push_back(now());
    push();
    pushed.push_back(now());
  }
  ASSERT_EQ(stack().count(), 7);
  EXPECT_EQ(stack().text(2).toStdString(), "Delete Keyframe");
  for (int move : {-1, -1, -1, 1, -1, -1, -1, -1, 1, 1, 1, 1, 1, -1, 1, 1, -1, -1, -1, -1, -1, -1, -1, 1, 1, 1, 1, 1,
                   1, 1}) {
    const int i = stack().index();
    sel().clear();
    move < 0 ? stack().undo() : stack().redo();
    widget.grabFramebuffer();
    EXPECT_EQ(now(), move < 0 ? built[i - 1] : pushed[i]) << "from index " << i << (move < 0 ? " undo" : " redo");
  }
  EXPECT_EQ(T::FCurve::getChangeType(), T::FCurve::Idle);
}

}  // namespace
