// Copy and paste of keyframes through the widget's slots: pasted keys, their spans' interpolators and handles
// checked against the source, the target keys a paste clears, replaces or keeps, and undo and redo back to the
// exact curves and selections. Bad input pushes nothing, or a step that changes nothing.
#include "commands/pastekeyframescommand.h"

#include <arvelle/arvelle.h>

#include <tessal/tessal.h>

#include <QUndoStack>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

using namespace Zentho::Arvelle;
namespace T = Zentho::Tessal;
using V = T::Vector2D<double>;

namespace {

// A handle as text: type code, "w" weighted, "L" weight-locked and, for a Fixed one (the only kind whose
// offset is its own), the offset.
std::string Text(const T::Tangent& h, bool lock = true) {
  std::ostringstream os;
  os.precision(17);
  os << int(h.getType()) << (h.isWeighted() ? "w" : "") << (lock && h.isWeightLocked() ? "L" : "");
  if (h.getType() == T::TangentType::Fixed) os << ':' << h.get().x << ',' << h.get().y;
  return os.str();
}
std::string Text(const T::Keyframe& k, const std::string& in, const std::string& out, const std::string& segment) {
  return std::to_string(k.getY()) + (k.isBreakdown() ? " B" : " -") + (k.isTangentsUnified() ? "U " : "- ") + in +
         ' ' + out + ' ' + segment;
}
// Keys by x. Keys out of order or too close, or a curve that does not evaluate, fail here.
using Curve = std::map<double, std::string>;
Curve Snap(const T::FCurve& c) {
  Curve r;
  for (auto it = std::next(c.begin()); it != c.end(); ++it) {
    const T::Keyframe& k = *it.key();
    EXPECT_TRUE(r.empty() || k.getX() - r.rbegin()->first >= T::Keyframe::getMinSeparation() - 1e-12);
    EXPECT_TRUE(std::isfinite(c.eval(k.getX() + 0.3)));
    r[k.getX()] = Text(k, Text(*k.getInTangent()), Text(*k.getOutTangent()), it->getInterpolator()->getExpression());
  }
  return r;
}
using State = std::pair<Curve, std::set<double>>;  // the target and its selected keys

// Source "s", keys at x 1..6: a Fixed pair; a breakdown with a weighted Fixed in-handle and a Flat out-handle;
// unified Clamped; a weight-locked Fixed in-handle and a weighted Fixed out-handle; a unified Fixed pair out
// of line; a weighted Fixed in-handle. Target "t": keys with Fixed handles of their own, an interpolator each.
class CopyPaste : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void reset() {
    stack().clear();
    widget.getCurves()->clear();
    widget.triggerCopyKeyframes();  // nothing selected: the clipboard empties
    s = T::FCurve::create("s");
    t = T::FCurve::create("t");
    key(*s, 1, 1, "bezier()").setTangents(V(-0.3, 0.1), V(0.3, -0.1));
    key(*s, 2, 3, "linear()").setTangents(V(-0.2, 0.4), V(0.1, 0), T::TangentType::Fixed, T::TangentType::Flat);
    s->findSegment(2).key()->setBreakdown(true);
    key(*s, 3, 2, "ease()", true).getOutTangent()->setType(T::TangentType::Clamped);
    key(*s, 4, 0, "bezier()").setTangents(V(-0.25, -0.5), V(0.4, 0.2));
    key(*s, 5, 1, "easeOut()", true).setTangents(V(-0.2, 0.3), V(0.5, 0.1));
    key(*s, 6, 2, "bezier()").setTangents(V(-0.1, 0.3), V(0.2, 0.2));
    for (double x : {2, 6}) s->findSegment(x).key()->getInTangent()->setWeighted(true);
    s->findSegment(4).key()->getInTangent()->setWeightLocked(true);
    s->findSegment(4).key()->getOutTangent()->setWeighted(true);
    const std::pair<double, const char*> keys[] = {{0, "linear()"},   {0.995, "constant()"}, {1.5, "easeIn()"},
                                                   {2.5, "bezier()"}, {3.5, "easeOut()"},    {4, "ease()"},
                                                   {5.995, "bezier()"}, {8, "linear()"}};
    for (const auto& [x, interpolator] : keys) key(*t, x, -x, interpolator).setTangents(V(-0.1, x), V(0.2, -x));
    widget.getCurves()->addCurve(s);
    widget.getCurves()->addCurve(t);
    original = T::FCurve::createCopy(s);
  }
  static T::Keyframe& key(T::FCurve& c, double x, double y, const char* interpolator, bool unified = false) {
    T::Keyframe& k = *c.insertSegment(T::Keyframe(x, y), T::InterpolatorFactory::create(interpolator)).key();
    k.setTangentsUnified(unified);
    return k;
  }
  T::Selection& sel() { return *widget.getSelection(); }
  QUndoStack& stack() { return widget.getUndoStack()->getQUndoStack(); }
  void pick(const std::shared_ptr<T::FCurve>& c, const std::vector<double>& xs) {
    sel().clear();
    sel().select(*c);
    for (double x : xs) sel().select(*c->findSegment(x).key());
  }
  // Copies the source keys at xs through the slot, then selects the target and two of its keys. A target key
  // selected with them is not copied: its curve is not selected as a whole.
  void copy(const std::vector<double>& xs) {
    pick(s, xs);
    sel().select(*t->findSegment(2.5).key());
    widget.triggerCopyKeyframes();
    pick(t, {0, 2.5});
  }
  State now() {
    State st{Snap(*t), {}};
    EXPECT_TRUE(sel().isSelected(*t));
    for (auto it = T::BeginSelectedKeyframes(sel()); it != T::EndSelectedKeyframes(sel()); ++it)
      st.second.insert(it->getKeyframe()->getX());
    return st;
  }
  // `before` with the source keys xs pasted at x + offset and the cleared keys gone. A copied span's side is
  // as copied but for its weight lock; a gap side takes the copied side's type on a unified key and is a
  // fresh Smooth handle otherwise. gaps: the interpolator the target has at each key before a gap.
  State afterPaste(State st, const std::vector<double>& xs, const std::vector<double>& cleared,
                   const std::map<double, std::string>& gaps, double offset = 0) {
    for (double x : cleared) st.first.erase(x), st.second.erase(x);
    const std::set<double> copied(xs.begin(), xs.end());
    for (double x : xs) {
      const T::Keyframe& k = *original->findSegment(x).key();
      const bool spanIn = copied.count(x - 1), spanOut = copied.count(x + 1);
      const auto side = [&](const T::Tangent& h, bool span, const T::Tangent& other, bool otherSpan) {
        return span ? Text(h, false) : std::to_string(otherSpan && k.isTangentsUnified() ? other.getType() : 3);
      };
      const T::Tangent &in = *k.getInTangent(), &out = *k.getOutTangent();
      st.first[x + offset] = Text(k, side(in, spanIn, out, spanOut), side(out, spanOut, in, spanIn),
                                  spanOut ? k.getRightSegment()->getInterpolator()->getExpression() : gaps.at(x));
    }
    return st;
  }
  // Pushes one step, then undoes and redoes it twice, clearing the selection before each.
  void roundTrip(const std::function<void()>& push, const State& before, const State& after) {
    const int count = stack().count();
    push();
    ASSERT_EQ(stack().count(), count + 1);
    EXPECT_EQ(stack().text(count).toStdString(), "Paste Keframes");
    for (int step = 0;; ++step) {
      EXPECT_EQ(now(), step % 2 ? before : after) << "step " << step;
      if (step == 4) break;
      sel().clear();
      step % 2 ? stack().redo() : stack().undo();
    }
    EXPECT_TRUE(!s || Snap(*s) == Snap(*original));
    EXPECT_EQ(T::FCurve::getChangeType(), T::FCurve::Idle);
  }

  GraphWidget widget;
  std::shared_ptr<T::FCurve> s, t, original;  // original: the source as built
};

TEST_F(CopyPaste, pastedKeysSpansAndTheTargetKeysTheyClear) {
  struct Row {
    const char* what;
    std::vector<double> picks, cleared;  // source keys copied, target keys gone
    std::map<double, std::string> gaps;
    bool dropSource = false;
  };
  const Row rows[] = {
      {"three consecutive keys clear their spans, the target key at the last one's x too", {2, 3, 4},
       {2.5, 3.5, 4}, {{4, "ease()"}}},
      {"two non-adjacent keys go into the target's segments and clear nothing", {3, 5}, {},
       {{3, "bezier()"}, {5, "ease()"}}},
      {"the segment after a run keeps the target's interpolator there; the last target key inside goes", {2, 3},
       {2.5}, {{3, "bezier()"}}},
      {"keys within the separation of kept keys replace them", {1, 2, 6}, {0.995, 1.5, 5.995},
       {{2, "easeIn()"}, {6, "bezier()"}}},
      {"a key onto a target key at exactly its x", {4}, {4}, {{4, "ease()"}}},
      {"every key", {1, 2, 3, 4, 5, 6}, {0.995, 1.5, 2.5, 3.5, 4, 5.995}, {{6, "bezier()"}}},
      {"the source curve destroyed after the copy", {2, 3, 4}, {2.5, 3.5, 4}, {{4, "ease()"}}, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    reset();
    copy(r.picks);
    if (r.dropSource) {
      const std::weak_ptr<T::FCurve> gone = s;
      widget.getCurves()->removeCurve(s);
      s.reset();
      ASSERT_TRUE(gone.expired());
    }
    const State before = now();
    roundTrip([&] { widget.triggerPasteKeyframes(); }, before, afterPaste(before, r.picks, r.cleared, r.gaps));
  }
}

TEST_F(CopyPaste, badInputPushesNothingOrAStepThatChangesNothing) {
  const auto paste = [&] { widget.triggerPasteKeyframes(); };
  // Given to the command directly: the source keys 2, 3 and 4 moved by offset; 1 a curve without keys, 2 none.
  const auto direct = [&](double offset, int other = 0) {
    return [=] {
      pick(s, {2, 3, 4});
      const auto clip = other == 0 ? CopyKeyframes(sel()) : other == 1 ? T::FCurve::create("empty") : nullptr;
      pick(t, {0, 2.5});
      widget.pushUndoStack(new PasteKeyframesCommand(widget.getSelection(), t, clip, offset));
    };
  };
  const std::tuple<const char*, std::function<void()>, bool> rows[] = {
      {"nothing copied yet", paste, false},
      {"a copy without keys", [&] { copy({}), paste(); }, false},
      {"a failed copy with two curves selected empties the clipboard",
       [&] {
         copy({2, 3}), pick(s, {2}), sel().select(*t), widget.triggerCopyKeyframes();
         pick(t, {0, 2.5}), paste();
       },
       false},
      {"a copy from a locked curve", [&] { s->setLocked(true), copy({2, 3}), paste(); }, false},
      {"a locked target", [&] { copy({2, 3}), t->setLocked(true), paste(); }, false},
      {"two curves selected to paste into", [&] { copy({2}), sel().select(*s), paste(); }, false},
      {"a NaN offset", direct(std::nan("")), true},
      {"an infinite offset", direct(std::numeric_limits<double>::infinity()), true},
      {"an offset beyond the accepted range", direct(2 * T::cMaxCoordinate), true},
      {"an offset so far out that the keys round together", direct(1e17), true},
      {"a clipboard without keys", direct(0, 1), true},
      {"no clipboard", direct(0, 2), true},
  };
  for (const auto& [what, act, pushes] : rows) {
    SCOPED_TRACE(what);
    reset();
    pick(t, {0, 2.5});
    const State before = now();
    if (pushes) {
      roundTrip(act, before, before);
    } else {
      act();
      EXPECT_EQ(stack().count(), 0);
      EXPECT_EQ(now(), before);
    }
  }
  // A usable offset moves every key; past the target's last key nothing is cleared.
  reset();
  pick(t, {0, 2.5});
  const State before = now();
  roundTrip(direct(10), before, afterPaste(before, {2, 3, 4}, {}, {{4, "linear()"}}, 10));
}

}  // namespace
