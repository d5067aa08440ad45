// Menu commands at scale, each built over a selection and pushed onto a
// QUndoStack (the push runs the first redo): deleting every other key of 10
// curves of 100,000 keys, with its undo and redo timed apart; Flat on both
// handles of every key of scene S's 10 selected curves (200,000 tangents);
// the breakdown toggle on those curves' 100,000 keys. Each run checks the
// curves after the push and after the undo that puts them back.
#include "scene.h"

#include "commands/deletekeyframescommand.h"
#include "commands/keyframestatecommands.h"
#include "commands/typecommands.h"

#include <tessal/tessal.h>

#include <QUndoStack>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;

namespace {

constexpr int cDeleteCurves = 10;
constexpr int cDeleteKeys = 100000;

// The curves of the delete benchmark, keys at x = 0, 1, 2, ...; every curve
// and every key at an even x selected. Built once per process.
struct DeleteScene {
  DeleteScene() {
    curves = std::make_shared<T::FCurveContainer>();
    selection = std::make_shared<T::Selection>(curves);
    const auto bezier = T::Bezier::create();
    for (int c = 0; c < cDeleteCurves; ++c) {
      auto curve = T::FCurve::create("delete" + std::to_string(c));
      {
        T::FCurve::Switch hold(*curve);
        for (int k = 0; k < cDeleteKeys; ++k) curve->insertSegment(T::Keyframe(k, std::sin(0.01 * k + c)), bezier);
      }
      curves->addCurve(curve);
      selection->select(*curve);
      int k = 0;
      const auto end = curve->end();
      for (auto it = std::next(curve->begin()); it != end; ++it, ++k) {
        if (k % 2 == 0) selection->select(*it.key());
      }
    }
  }
  std::shared_ptr<T::FCurveContainer> curves;
  std::shared_ptr<T::Selection> selection;
};

// Every curve holds the keys x = first, first + step, ... below cDeleteKeys.
bool KeysAre(const T::FCurveContainer& curves, int first, int step) {
  for (const auto& curve : curves) {
    int x = first;
    const auto end = curve->end();
    for (auto it = std::next(curve->begin()); it != end; ++it, x += step) {
      if (it.key()->getX() != x) return false;
    }
    if (x < cDeleteKeys) return false;
  }
  return true;
}

double MillisecondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void BM_DeleteKeyframes(benchmark::State& state) {
  static DeleteScene scene;
  const T::FCurveContainer& curves = *scene.curves;
  QUndoStack stack;
  {
    // Once untimed: the first use of this much heap costs page faults that
    // later commands do not pay again.
    stack.push(new A::DeleteKeyframesCommand(scene.selection));
    stack.undo();
    stack.clear();
  }
  if (!KeysAre(curves, 0, 1)) return state.SkipWithError("the scene does not hold every key");
  double undoMs = 0, redoMs = 0;
  for (auto _ : state) {
    stack.push(new A::DeleteKeyframesCommand(scene.selection));
    state.PauseTiming();
    if (stack.text(0) != QStringLiteral("Delete Keyframes")) return state.SkipWithError("wrong undo text");
    if (!KeysAre(curves, 1, 2)) return state.SkipWithError("the push did not leave exactly the odd keys");
    auto t0 = std::chrono::steady_clock::now();
    stack.undo();
    undoMs += MillisecondsSince(t0);
    if (!KeysAre(curves, 0, 1)) return state.SkipWithError("undo did not bring every key back");
    t0 = std::chrono::steady_clock::now();
    stack.redo();
    redoMs += MillisecondsSince(t0);
    if (!KeysAre(curves, 1, 2)) return state.SkipWithError("redo did not leave exactly the odd keys");
    stack.undo();
    // The command and its copies go outside the measurement.
    stack.clear();
    state.ResumeTiming();
  }
  if (!KeysAre(curves, 0, 1)) return state.SkipWithError("the scene was not put back");
  const double n = static_cast<double>(state.iterations());
  state.counters["undo_ms"] = undoMs / n;
  state.counters["redo_ms"] = redoMs / n;
  state.counters["deleted"] = cDeleteCurves * cDeleteKeys / 2.0;
}
BENCHMARK(BM_DeleteKeyframes)->Unit(benchmark::kMillisecond);

// The selected tangents of the selection: how many, and whether every one
// has the type (and, for Flat, a level handle).
bool SelectedTangentsAre(const T::Selection& selection, unsigned char type, std::size_t expected) {
  std::size_t n = 0;
  const auto end = T::EndSelectedTangents(selection);
  for (auto it = T::BeginSelectedTangents(selection); it != end; ++it, ++n) {
    const auto tangent = it->getTangent();
    if (tangent->getType() != type) return false;
    if (type == T::TangentType::Flat && tangent->get().y != 0) return false;
  }
  return n == expected;
}

void BM_SetTangentType(benchmark::State& state) {
  SceneS::Scene& s = SceneS::TheScene();
  const std::size_t tangents = std::size_t(2) * SceneS::cSelected * SceneS::cKeys;
  if (!SelectedTangentsAre(*s.selection, T::TangentType::Smooth, tangents))
    return state.SkipWithError("scene S's selected tangents are not all Smooth");
  QUndoStack stack;
  for (auto _ : state) {
    stack.push(new A::SetTangentTypeCommand(s.selection, T::TangentType::Flat));
    state.PauseTiming();
    if (stack.text(0) != QStringLiteral("Set Tangent Types To Flat")) return state.SkipWithError("wrong undo text");
    const bool flat = SelectedTangentsAre(*s.selection, T::TangentType::Flat, tangents);
    stack.undo();
    stack.clear();
    if (!flat) return state.SkipWithError("a selected tangent is not Flat after the push");
    if (!SelectedTangentsAre(*s.selection, T::TangentType::Smooth, tangents))
      return state.SkipWithError("undo did not make every tangent Smooth again");
    state.ResumeTiming();
  }
  state.counters["tangents"] = static_cast<double>(tangents);
}
BENCHMARK(BM_SetTangentType)->Unit(benchmark::kMillisecond);

// Whether every selected key has the breakdown flag b, and there are n.
bool SelectedBreakdownsAre(const T::Selection& selection, bool b, std::size_t expected) {
  std::size_t n = 0;
  const auto end = T::EndSelectedKeyframes(selection);
  for (auto it = T::BeginSelectedKeyframes(selection); it != end; ++it, ++n) {
    if (it->getKeyframe()->isBreakdown() != b) return false;
  }
  return n == expected;
}

void BM_BreakdownKeyframes(benchmark::State& state) {
  SceneS::Scene& s = SceneS::TheScene();
  const std::size_t keys = std::size_t(SceneS::cSelected) * SceneS::cKeys;
  if (!SelectedBreakdownsAre(*s.selection, false, keys)) return state.SkipWithError("scene S has breakdown keys");
  QUndoStack stack;
  for (auto _ : state) {
    stack.push(new A::BreakdownKeyframesCommand(s.selection));
    state.PauseTiming();
    if (stack.text(0) != QStringLiteral("Set Breakdown on Keyframes")) return state.SkipWithError("wrong undo text");
    const bool set = SelectedBreakdownsAre(*s.selection, true, keys);
    stack.undo();
    stack.clear();
    if (!set) return state.SkipWithError("a selected key is not a breakdown after the push");
    if (!SelectedBreakdownsAre(*s.selection, false, keys)) return state.SkipWithError("undo left a breakdown");
    state.ResumeTiming();
  }
  state.counters["keys"] = static_cast<double>(keys);
}
BENCHMARK(BM_BreakdownKeyframes)->Unit(benchmark::kMillisecond);

}  // namespace
