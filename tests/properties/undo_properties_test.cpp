// Undo and redo of every edit command over seeded random scenes and
// selections, each under an undo limit a host may set (1 to 1000): undo gives
// back the scene and selection of the moment the command was made, exactly;
// redo the state right after its push; a run of commands of mixed kinds
// unwinds and replays step by step as far as the limit reaches. Every curve
// stays sound after every push, undo and redo.
//
// PROPS_CASES sets the cases per kind; PROPS_CASE runs one case alone, as a
// failure message names it.
#include "properties/actions.h"
#include "properties/oracle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace Props;

// Sized so the suite stays within about a minute in the sanitizer build;
// an optimised build runs four times as many.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultCases = 500;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kDefaultCases = 500;
#else
constexpr int kDefaultCases = 2000;
#endif
#else
constexpr int kDefaultCases = 2000;
#endif

int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

// 1 to 7 around the run lengths below, the widest a host may set, and
// anything between.
int UndoLimit(int index, Rng& rng) {
  if (index % 4 != 3) return 1 + index % 7;
  return index % 8 == 7 ? 1000 : rng.between(8, 999);
}

struct Run {
  explicit Run(int limit) : stage(limit) {}

  Dump now() const { return TakeDump(*stage.curves, *stage.selection); }
  // Empty when every curve is sound and no change bracket is left open.
  std::string sound() const {
    if (T::FCurve::getChangeType() != T::FCurve::Idle) return "change type not idle";
    return CheckCurves(*stage.curves);
  }
  // Empty when the scene is sound and equals want.
  std::string expect(const Dump& want) const {
    const std::string e = sound();
    return e.empty() ? Compare(want, now()) : e;
  }

  Stage stage;
  std::vector<Dump> before, after;  // per pushed command
  std::vector<Kind> kinds;
};

// One case: a scene, a run of one to six edits, the first of the kind under
// test and the others of it or of any kind. Empty when every property holds.
std::string RunCase(Kind kind, std::uint64_t seed, int index) {
  Rng rng(seed);
  Run run(UndoLimit(index, rng));
  Stage& stage = run.stage;
  QUndoStack& stack = stage.stack();
  MakeScene(rng, *stage.curves);
  MakeSelection(rng, *stage.selection);

  const int steps = rng.between(1, 6);
  for (int step = 0; step < steps; ++step) {
    const Kind k = step == 0 || rng.chance(0.5) ? kind : Kind(rng.below(kKinds));
    if (step > 0 && rng.chance(0.5)) MakeSelection(rng, *stage.selection);
    const std::string where = "step " + std::to_string(step) + " (" + Name(k) + "), ";
    Dump mark;
    bool marked = false;
    const bool pushed = Perform(k, stage, rng, [&] {
      mark = run.now();
      marked = true;
    });
    if (!pushed) {
      // An edit with nothing to undo must have changed nothing.
      if (marked) {
        const std::string e = run.expect(mark);
        if (!e.empty()) return where + "no command, yet: " + e;
      }
      continue;
    }
    if (!marked) return where + "pushed without reaching its mark";
    if (const std::string e = run.sound(); !e.empty()) return where + "after the push: " + e;
    const Dump pushedState = run.now();
    // Later undos and redos come with the undo all and redo all below.
    stack.undo();
    if (const std::string e = run.expect(mark); !e.empty()) return where + "undo: " + e;
    stack.redo();
    if (const std::string e = run.expect(pushedState); !e.empty()) return where + "redo: " + e;
    run.before.push_back(std::move(mark));
    run.after.push_back(pushedState);
    run.kinds.push_back(k);
  }

  const int pushed = int(run.before.size());
  const int reach = std::min(pushed, stack.undoLimit());
  if (stack.count() != reach)
    return "the stack holds " + std::to_string(stack.count()) + " commands, not " + std::to_string(reach);
  for (int i = pushed - 1; i >= pushed - reach; --i) {
    stack.undo();
    if (const std::string e = run.expect(run.before[i]); !e.empty())
      return "undo all, at command " + std::to_string(i) + " (" + Name(run.kinds[i]) + "): " + e;
  }
  if (stack.canUndo()) return "undo all left a command to undo";
  for (int i = pushed - reach; i < pushed; ++i) {
    stack.redo();
    if (const std::string e = run.expect(run.after[i]); !e.empty())
      return "redo all, at command " + std::to_string(i) + " (" + Name(run.kinds[i]) + "): " + e;
  }
  return {};
}

class UndoProperties : public ::testing::TestWithParam<Kind> {};

TEST_P(UndoProperties, UndoGivesBackAndRedoReplaysExactly) {
  const Kind kind = GetParam();
  const int only = EnvInt("PROPS_CASE", -1);
  const int cases = EnvInt("PROPS_CASES", kDefaultCases);
  for (int index = only >= 0 ? only : 0; index < (only >= 0 ? only + 1 : cases); ++index) {
    const std::uint64_t seed = std::uint64_t(kind) << 32 | std::uint64_t(index);
    const std::string failure = RunCase(kind, seed, index);
    if (!failure.empty()) {
      // The first failure of a kind; the rest would mostly repeat it.
      FAIL() << Name(kind) << " case " << index << " (seed " << seed << "; rerun with PROPS_CASE=" << index
             << " --gtest_filter=*" << Name(kind) << "): " << failure;
    }
  }
}

std::vector<Kind> AllKinds() {
  std::vector<Kind> kinds;
  for (int k = 0; k < kKinds; ++k) kinds.push_back(Kind(k));
  return kinds;
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, UndoProperties, ::testing::ValuesIn(AllKinds()),
                         [](const ::testing::TestParamInfo<Kind>& info) { return std::string(Name(info.param)); });

}  // namespace
