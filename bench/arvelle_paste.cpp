// Pasting 10,000 copied keys (consecutive, so 9,999 copied spans) into the
// middle of a 1,000,000-key bezier curve: the command built over the target's
// selection and pushed onto a QUndoStack (its first redo swaps the edited
// copy in). The copied keys sit half-way between the target's, so the paste
// clears the 9,999 target keys inside the run and keeps its neighbours. Each
// round checks every pasted key and the key count, then the undo.
#include "commands/pastekeyframescommand.h"

#include <tessal/tessal.h>

#include <QUndoStack>

#include <benchmark/benchmark.h>

#include <cmath>
#include <iterator>
#include <memory>

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;

namespace {

constexpr int cTargetKeys = 1000000;
constexpr int cCopiedKeys = 10000;
constexpr double cFirstCopied = 400000.5;

double SourceY(int i) { return 5.0 * std::cos(0.01 * i); }

// Built once per process.
struct PasteScene {
  PasteScene() {
    const auto bezier = T::Bezier::create();
    curves = std::make_shared<T::FCurveContainer>();
    selection = std::make_shared<T::Selection>(curves);
    target = T::FCurve::create("target");
    {
      T::FCurve::Switch hold(*target);
      for (int k = 0; k < cTargetKeys; ++k) target->insertSegment(T::Keyframe(k, 8.0 * std::sin(0.05 * k)), bezier);
    }
    curves->addCurve(target);
    selection->select(*target);

    // The source lives in a container of its own, as another widget's would.
    auto sourceCurves = std::make_shared<T::FCurveContainer>();
    T::Selection sourceSelection(sourceCurves);
    auto source = T::FCurve::create("source");
    const auto linear = T::Linear::create();
    for (int i = 0; i < cCopiedKeys; ++i) source->insertSegment(T::Keyframe(cFirstCopied + i, SourceY(i)), linear);
    sourceCurves->addCurve(source);
    T::SelectCurveCompletely(sourceSelection, *source);
    clipboard = A::CopyKeyframes(sourceSelection);
  }
  std::shared_ptr<T::FCurveContainer> curves;
  std::shared_ptr<T::Selection> selection;
  std::shared_ptr<T::FCurve> target;
  std::shared_ptr<T::FCurve> clipboard;
};

// The target's keys around the run: its own up to 400000, the pasted ones,
// its own again from 410000; and the total count.
bool Pasted(T::FCurve& target) {
  if (target.numKeys() != std::size_t(cTargetKeys) - (cCopiedKeys - 1) + cCopiedKeys) return false;
  auto entry = target.findSegment(cFirstCopied - 0.25);
  if (!entry.key() || entry.key()->getX() != cFirstCopied - 0.5) return false;
  ++entry;
  const auto end = target.end();
  for (int i = 0; i < cCopiedKeys; ++i, ++entry) {
    if (entry == end || entry.key()->getX() != cFirstCopied + i || entry.key()->getY() != SourceY(i)) return false;
    // Spans carry the copied interpolator; the one after the run is the target's.
    const char* expected = i + 1 < cCopiedKeys ? "linear()" : "bezier()";
    if (entry->getInterpolator()->getExpression() != expected) return false;
  }
  return entry != end && entry.key()->getX() == cFirstCopied + cCopiedKeys - 0.5;
}

bool Untouched(T::FCurve& target) {
  if (target.numKeys() != std::size_t(cTargetKeys)) return false;
  auto entry = target.findSegment(cFirstCopied);
  return entry.key() && entry.key()->getX() == cFirstCopied - 0.5 &&
         std::next(entry).key()->getX() == cFirstCopied + 0.5;
}

void BM_PasteKeyframes(benchmark::State& state) {
  static PasteScene scene;
  if (!scene.clipboard || scene.clipboard->numKeys() != std::size_t(cCopiedKeys))
    return state.SkipWithError("the copy did not take every key");
  if (!Untouched(*scene.target)) return state.SkipWithError("the target does not hold every key");
  QUndoStack stack;
  {
    // Once untimed: the first use of this much heap costs page faults that
    // later commands do not pay again.
    stack.push(new A::PasteKeyframesCommand(scene.selection, scene.target, scene.clipboard, 0.0));
    stack.undo();
    stack.clear();
  }
  for (auto _ : state) {
    stack.push(new A::PasteKeyframesCommand(scene.selection, scene.target, scene.clipboard, 0.0));
    state.PauseTiming();
    if (stack.text(0) != QStringLiteral("Paste Keframes")) return state.SkipWithError("wrong undo text");
    if (!Pasted(*scene.target)) return state.SkipWithError("the pasted keys are not where the copy put them");
    stack.undo();
    if (!Untouched(*scene.target)) return state.SkipWithError("undo did not bring the target back");
    // The command and its copy go outside the measurement.
    stack.clear();
    state.ResumeTiming();
  }
  state.counters["pasted"] = cCopiedKeys;
}
BENCHMARK(BM_PasteKeyframes)->Unit(benchmark::kMillisecond);

}  // namespace
