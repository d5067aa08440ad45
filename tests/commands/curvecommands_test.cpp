// Bake, smooth, flip and transform as undo commands: texts, effects, and undo and redo giving back curves and
// selections exactly. Expectations come from hand arithmetic or the curves before the command; the curve model's
// result on a copy stands in only where the point is which curves and spans the command hands it.
#include "editfixtures.h"

#include "commands/curvecommands.h"

#include <QUndoStack>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

using namespace Zentho::Arvelle;
using namespace Edit;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN(), kInf = std::numeric_limits<double>::infinity();
using Curves = std::vector<std::shared_ptr<T::FCurve>>;

// Every key and handle, and every segment's interpolator.
std::pair<std::vector<KeyState>, std::vector<std::string>> Of(const T::FCurve& c) {
  std::vector<std::string> segments;
  for (auto it = c.begin(); it != c.end(); ++it) segments.push_back(it->getInterpolator()->getExpression());
  return {StateOf(c), segments};
}
auto Of(const Curves& curves) {
  std::vector<decltype(Of(*curves[0]))> r;
  for (const auto& c : curves) r.push_back(Of(*c));
  return r;
}

bool Valid(const T::FCurve& c) {
  double last = -kInf;
  for (const auto& [p, in, out, inType, outType, unified] : StateOf(c)) {
    for (double v : {p.x, p.y, in.x, in.y, out.x, out.y}) {
      if (!std::isfinite(v)) return false;
    }
    if (p.x - std::exchange(last, p.x) < 0.0099) return false;
  }
  return true;
}

std::set<T::HitRecord, T::CompareRecord> Selected(const T::Selection& selection) {
  std::set<T::HitRecord, T::CompareRecord> s;
  return T::GetSelected(selection, s), s;
}

// p: seven keys 4 apart; q: four keys 3 apart; r: three keys 5 apart, locked; w: two million frames between its
// last two keys (more than a million keys at a step of 1); o: one key. Each pick selects the curve.
struct Stage {
  Stage() {
    for (const auto& c : all()) curves->addCurve(c);
    T::SetLocked(*r, true);
  }
  Curves all() const { return {p, q, r, w, o}; }
  void pick(const std::shared_ptr<T::FCurve>& c, std::initializer_list<int> keys = {},
            std::initializer_list<int> segmentsFrom = {}) {
    selection->select(*c);
    for (int i : keys) selection->select(*KeyAt(*c, i));
    for (int i : segmentsFrom) selection->select(*KeyAt(*c, i)->getRightSegment());
  }
  std::shared_ptr<T::FCurveContainer> curves = std::make_shared<T::FCurveContainer>();
  std::shared_ptr<T::Selection> selection = std::make_shared<T::Selection>(curves);
  std::shared_ptr<T::FCurve> p = MakeCurve("p", {V(0, 0), V(4, 3), V(8, -1), V(12, 2), V(16, 5), V(20, 1), V(24, 0)});
  std::shared_ptr<T::FCurve> q = MakeCurve("q", {V(0, 1), V(3, 4), V(6, 2), V(9, 0)});
  std::shared_ptr<T::FCurve> r = MakeCurve("r", {V(0, 2), V(5, 0), V(10, 2)});
  std::shared_ptr<T::FCurve> w = MakeCurve("w", {V(0, 0), V(5, 2), V(2e6, 1)});
  std::shared_ptr<T::FCurve> o = MakeCurve("o", {V(2, 3)});
};

std::vector<double> Frames(int last) {
  std::vector<double> r;
  for (int x = 0; x <= last; ++x) r.push_back(x);
  return r;
}
// Keys at exactly xs, each at the value the curve had there.
void ExpectBaked(const T::FCurve& now, const T::FCurve& was, const std::vector<double>& xs) {
  std::vector<double> got;
  for (const V& k : KeyPositions(now)) {
    got.push_back(k.x);
    EXPECT_NEAR(k.y, was.eval(k.x), 1e-9) << now.getName() << " at " << k.x;
  }
  EXPECT_EQ(got, xs) << now.getName();
}
// Keys at x' = sx x + tx, y' = sy y + ty, in reverse order when sx reverses them.
void ExpectMapped(const T::FCurve& now, const T::FCurve& was, double sx, double tx, double sy, double ty) {
  std::vector<V> want;
  for (const V& k : KeyPositions(was)) want.push_back(V(sx * k.x + tx, sy * k.y + ty));
  if (sx < 0) std::reverse(want.begin(), want.end());
  EXPECT_EQ(KeyPositions(now), want) << now.getName();
}
auto Model(const std::shared_ptr<T::FCurve>& was, const std::function<void(T::FCurve&)>& op) {
  auto c = T::FCurve::createCopy(was);
  op(*c);
  return Of(*c);
}

using Was = const Curves&;  // the stage's curves before the push
struct Row {
  const char* scenario;
  std::function<void(Stage&)> pick;
  // 'b' bake; 's' smooth: filter a, radius b, step c; 'f' flip: type a, centre (b, c); 't' transform: scale
  // (a, b), offset (c, d).
  char kind;
  double a, b, c, d;
  const char* text;
  std::function<void(Stage&, Was)> expect;  // without one, no curve changes
};

QUndoCommand* Make(const Row& row, const std::shared_ptr<T::Selection>& s) {
  switch (row.kind) {
    case 'b': return new BakeCurvesCommand(s);
    case 's': return new SmoothCurvesCommand(s, int(row.a), int(row.b), row.c);
    case 'f': return new FlipCurvesCommand(s, int(row.a), row.b, row.c);
    default: return new TransformCurvesCommand(s, V(row.a, row.b), V(row.c, row.d));
  }
}

// Each row's command is pushed as the only undo step with its text; each undo must then give back the curves and
// selection of construction and each redo those of the push, every curve valid.
void RunRows(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.scenario);
    Stage s;
    Curves was;
    for (const auto& c : s.all()) was.push_back(T::FCurve::createCopy(c));
    row.pick(s);
    const auto selectedBefore = Selected(*s.selection);
    QUndoStack stack;
    stack.push(Make(row, s.selection));
    EXPECT_EQ(stack.count(), 1);
    EXPECT_EQ(stack.text(0), row.text);
    const auto after = Of(s.all());
    const auto selectedAfter = Selected(*s.selection);
    for (int round = 0; round < 4; ++round) {
      s.selection->clear();
      round % 2 ? stack.redo() : stack.undo();
      EXPECT_EQ(Of(s.all()), round % 2 ? after : Of(was));
      EXPECT_EQ(Selected(*s.selection), round % 2 ? selectedAfter : selectedBefore);
      for (const auto& c : s.all()) EXPECT_TRUE(Valid(*c)) << c->getName();
    }
    if (row.expect) row.expect(s, was);
    // r is locked; w is picked by the bad-input rows only, o by them and the one-key flip.
    for (std::size_t i = row.expect ? 2 : 0; i < was.size(); ++i) {
      if (s.all()[i] == s.o && s.selection->isSelected(*s.o)) continue;
      EXPECT_EQ(Of(*s.all()[i]), Of(*was[i])) << i;
    }
  }
}

TEST(CurveCommands, TextEffectUndoAndRedoOfEachCommand) {
  auto pqr = [](Stage& s) { s.pick(s.p), s.pick(s.q), s.pick(s.r); };
  RunRows({
      {"two selected segments of one curve are baked one by one",
       [](Stage& s) { s.pick(s.p, {}, {1, 3}), s.pick(s.q); }, 'b', 0, 0, 0, 0, "Bake Curve Segments",
       [](Stage& s, Was w) {
         ExpectBaked(*s.p, *w[0], {0, 4, 5, 6, 7, 8, 12, 13, 14, 15, 16, 20, 24});
         EXPECT_EQ(Of(*s.q), Of(*w[1])) << "q has no selected segment: segment mode leaves it";
       }},
      {"without selected segments each unlocked curve is baked whole", pqr, 'b', 0, 0, 0, 0, "Bake Curves",
       [](Stage& s, Was w) { ExpectBaked(*s.p, *w[0], Frames(24)), ExpectBaked(*s.q, *w[1], Frames(9)); }},
      {"segments selected only on a locked curve leave the bake in curve mode",
       [](Stage& s) { s.pick(s.r, {}, {0}), s.pick(s.q); }, 'b', 0, 0, 0, 0, "Bake Curve", [](Stage& s, Was w) {
         EXPECT_EQ(Of(*s.p), Of(*w[0]));
         EXPECT_EQ(Of(*s.q), Model(w[1], [](T::FCurve& c) { T::BakeInterior(c, 1); }));
       }},
      {"three consecutive selected segments and one further on smooth as two spans",
       [](Stage& s) { s.pick(s.p, {}, {0, 1, 2, 4}); }, 's', 1, 2, 1, 0, "Smooth Curve Using Triangle Filter",
       [](Stage& s, Was w) {
         EXPECT_EQ(s.p->numKeys(), 19u) << "every frame from 0 to 12 and from 16 to 20, and 24";
         auto twoSpans = [](T::FCurve& c) { T::SmoothCurve(c, 0, 12, 1, 2, 1), T::SmoothCurve(c, 16, 20, 1, 2, 1); };
         EXPECT_EQ(Of(*s.p), Model(w[0], twoSpans));
       }},
      {"without selected segments each unlocked curve's interior is smoothed", pqr, 's', 0, 1, 2, 0,
       "Smooth Curves Using Box Filter", [](Stage& s, Was w) {
         EXPECT_EQ(s.q->numKeys(), 6u) << "0, 2, 4, 6, 8 and 9";
         auto interior = [](T::FCurve& c) { T::SmoothCurveInterior(c, 2, 1, 0); };
         EXPECT_EQ(Of(*s.p), Model(w[0], interior));
         EXPECT_EQ(Of(*s.q), Model(w[1], interior));
       }},
      {"a horizontal flip mirrors x about the centre and keeps keys and handles selected",
       [](Stage& s) { s.pick(s.p, {1, 2}), s.selection->select(*KeyAt(*s.p, 1)->getOutTangent()); },
       'f', 0, 10, 99, 0, "Flip Curve Horizontally", [](Stage& s, Was w) {
         ExpectMapped(*s.p, *w[0], -1, 20, 1, 0);
         const auto k16 = s.p->findSegment(16).key();
         EXPECT_TRUE(s.selection->isSelected(*k16) && s.selection->isSelected(*s.p->findSegment(12).key()));
         EXPECT_TRUE(s.selection->isSelected(*k16->getInTangent()) && !s.selection->isSelected(*k16->getOutTangent()));
       }},
      {"a vertical flip mirrors y about the centre", [](Stage& s) { s.pick(s.p, {3}), s.pick(s.q); },
       'f', 1, 99, 1, 0, "Flip Curves Vertically", [](Stage& s, Was w) {
         ExpectMapped(*s.p, *w[0], 1, 0, -1, 2), ExpectMapped(*s.q, *w[1], 1, 0, -1, 2);
         EXPECT_TRUE(s.selection->isSelected(*KeyAt(*s.p, 3)));
       }},
      {"a flip in both axes mirrors through the centre", [](Stage& s) { s.pick(s.q); }, 'f', 2, 1.5, -2, 0,
       "Flip Curve In Both Axes", [](Stage& s, Was w) {
         ExpectMapped(*s.q, *w[1], -1, 3, -1, -4);
         EXPECT_EQ(Of(*s.p), Of(*w[0]));
       }},
      {"a flip of a one-key curve moves its key about the centre", [](Stage& s) { s.pick(s.o); }, 'f', 2, 7, 1, 0,
       "Flip Curve In Both Axes", [](Stage& s, Was w) { ExpectMapped(*s.o, *w[4], -1, 14, -1, 2); }},
      {"smooth radius zero resamples without filtering", [](Stage& s) { s.pick(s.q); }, 's', 0, 0, 1, 0,
       "Smooth Curve Using Box Filter", [](Stage& s, Was w) { ExpectBaked(*s.q, *w[1], Frames(9)); }},
      {"a transform scales and offsets each unlocked curve", pqr, 't', 2, -0.5, 3, 1, "Transform Curves",
       [](Stage& s, Was w) { ExpectMapped(*s.p, *w[0], 2, 3, -0.5, 1), ExpectMapped(*s.q, *w[1], 2, 3, -0.5, 1); }},
  });
}

TEST(CurveCommands, IdentityTransformStillSwapsCopiesInAndNotifies) {
  Stage s;
  s.pick(s.p);
  const auto before = Of(*s.p);
  const auto key = KeyAt(*s.p, 0);
  ChangeLog log;
  QUndoStack stack;
  stack.push(new TransformCurvesCommand(s.selection, V(1, 1), V(0, 0)));
  EXPECT_EQ(log.take(), (std::vector<std::string>{"p:1", "p:3"}));
  EXPECT_NE(KeyAt(*s.p, 0), key) << "the live curve holds the copy's elements";
  EXPECT_EQ(Of(*s.p), before);
}

TEST(CurveCommands, BadInputLeavesEveryCurveAsItWasInOneUndoStep) {
  auto p = [](Stage& s) { s.pick(s.p); };
  auto pSegment = [](Stage& s) { s.pick(s.p, {}, {0}); };
  auto w = [](Stage& s) { s.pick(s.w); };
  auto wSegment = [](Stage& s) { s.pick(s.w, {}, {1}); };
  RunRows({
      {"bake of two million frames", w, 'b', 0, 0, 0, 0, "Bake Curve", {}},
      {"bake of a selected two-million-frame segment", wSegment, 'b', 0, 0, 0, 0, "Bake Curve Segment", {}},
      {"smooth of two million frames", w, 's', 1, 2, 1, 0, "Smooth Curve Using Triangle Filter", {}},
      {"smooth of a selected two-million-frame span", wSegment, 's', 0, 2, 1, 0, "Smooth Curve Using Box Filter", {}},
      {"smooth step not a number", p, 's', 1, 2, kNaN, 0, "Smooth Curve Using Triangle Filter", {}},
      {"smooth step infinite", pSegment, 's', 1, 2, kInf, 0, "Smooth Curve Using Triangle Filter", {}},
      {"smooth radius negative", pSegment, 's', 1, -3, 1, 0, "Smooth Curve Using Triangle Filter", {}},
      {"unknown smooth filter", p, 's', 2, 2, 1, 0, "Smooth Curve Using  Filter", {}},
      {"flip centre not a number", p, 'f', 0, kNaN, 0, 0, "Flip Curve Horizontally", {}},
      {"flip centre infinite", p, 'f', 1, 0, kInf, 0, "Flip Curve Vertically", {}},
      {"unknown flip type", p, 'f', 3, 0, 0, 0, "Flip Curve", {}},
      {"negative flip type", p, 'f', -1, 0, 0, 0, "Flip Curve", {}},
      {"scale not a number", p, 't', kNaN, 1, 0, 0, "Transform Curve", {}},
      {"scale infinite", p, 't', 1, -kInf, 0, 0, "Transform Curve", {}},
      {"offset not a number", p, 't', 1, 1, 0, kNaN, "Transform Curve", {}},
      {"offset infinite", p, 't', 1, 1, kInf, 0, "Transform Curve", {}},
  });
}

}  // namespace
