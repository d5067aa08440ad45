// Whole-curve commands at scale, each built over a selection of 10 curves and
// pushed onto a QUndoStack (the push runs the first redo); construction and
// push are timed together. Bake and smooth rewrite curves of 10,000 keys 10
// frames apart into a key per frame; the transform scales and offsets curves
// of 100,000 keys. Each run checks the result against the curves before the
// push, then undoes outside the measurement and checks they are back.
#include "commands/curvecommands.h"

#include <tessal/tessal.h>

#include <QUndoStack>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;

namespace {

constexpr int cCurves = 10;

// cCurves curves of `keys` bezier keys `spacing` frames apart with Smooth
// handles, every curve selected (no parts), and untouched copies to check
// against. Built once per size.
struct Curves {
  Curves(int keys, double spacing) : keys(keys), spacing(spacing) {
    container = std::make_shared<T::FCurveContainer>();
    selection = std::make_shared<T::Selection>(container);
    const auto bezier = T::Bezier::create();
    for (int c = 0; c < cCurves; ++c) {
      auto curve = T::FCurve::create("curve" + std::to_string(c));
      {
        T::FCurve::Switch hold(*curve);
        for (int k = 0; k < keys; ++k) {
          const double x = k * spacing;
          curve->insertSegment(T::Keyframe(x, 8.0 * std::sin(0.003 * x + c) + 0.5 * std::sin(0.7 * k)), bezier);
        }
      }
      container->addCurve(curve);
      selection->select(*curve);
      originals.push_back(T::FCurve::createCopy(curve));
    }
  }
  // Every curve has n keys and, at every sample x of the original's key range,
  // value(original, x) (within 1e-9).
  bool check(std::size_t n, const std::function<double(const T::FCurve&, double)>& value) const {
    std::size_t i = 0;
    for (const auto& curve : *container) {
      const T::FCurve& original = *originals[i++];
      if (curve->numKeys() != n) return false;
      const double last = (keys - 1) * spacing;
      for (double x : {0.0, 7.0, 1234.0, 0.5 * last, last - 3.0, last}) {
        if (!(std::fabs(curve->eval(x) - value(original, x)) <= 1e-9)) return false;
      }
    }
    return true;
  }
  bool unchanged() const {
    return check(keys, [](const T::FCurve& original, double x) { return original.eval(x); });
  }

  int keys;
  double spacing;
  std::shared_ptr<T::FCurveContainer> container;
  std::shared_ptr<T::Selection> selection;
  std::vector<std::shared_ptr<T::FCurve>> originals;
};

Curves& Sparse() {
  static Curves curves(10000, 10.0);
  return curves;
}

// Pushes what build makes, checks text and result, undoes and checks the
// curves are back; only build and push are timed.
void Run(benchmark::State& state, const Curves& curves, const std::function<QUndoCommand*()>& build,
         const QString& text, const std::function<bool()>& result) {
  if (!curves.unchanged()) return state.SkipWithError("the scene is not as built");
  QUndoStack stack;
  {
    // Once untimed: the first use of this much heap costs page faults that
    // later commands do not pay again.
    stack.push(build());
    stack.undo();
    stack.clear();
  }
  for (auto _ : state) {
    stack.push(build());
    state.PauseTiming();
    if (stack.text(0) != text) return state.SkipWithError("wrong undo text");
    if (!result()) return state.SkipWithError("wrong result after the push");
    stack.undo();
    if (!curves.unchanged()) return state.SkipWithError("undo did not give the curves back");
    stack.clear();
    state.ResumeTiming();
  }
}

// A key per frame over 0 .. 99,990.
constexpr std::size_t cBakedKeys = 99991;

void BM_BakeCommand(benchmark::State& state) {
  Curves& s = Sparse();
  Run(
      state, s, [&] { return new A::BakeCurvesCommand(s.selection); }, QStringLiteral("Bake Curves"),
      [&] { return s.check(cBakedKeys, [](const T::FCurve& original, double x) { return original.eval(x); }); });
  state.counters["keys_made"] = double(cCurves) * cBakedKeys;
}
BENCHMARK(BM_BakeCommand)->Unit(benchmark::kMillisecond);

void BM_SmoothCommand(benchmark::State& state) {
  Curves& s = Sparse();
  const double last = (s.keys - 1) * s.spacing;
  // Triangle of radius 5 over the original's values a frame apart, reads past
  // either end clamped to the end; the end keys keep their values.
  auto smoothed = [last](const T::FCurve& original, double x) {
    if (x == 0 || x == last) return original.eval(x);
    double sum = 0;
    for (int i = -5; i <= 5; ++i) sum += (6 - std::abs(i)) * original.eval(std::fmin(std::fmax(x + i, 0.0), last));
    return sum / 36;
  };
  Run(
      state, s, [&] { return new A::SmoothCurvesCommand(s.selection, 1, 5, 1.0); },
      QStringLiteral("Smooth Curves Using Triangle Filter"), [&] { return s.check(cBakedKeys, smoothed); });
  state.counters["keys_made"] = double(cCurves) * cBakedKeys;
}
BENCHMARK(BM_SmoothCommand)->Unit(benchmark::kMillisecond);

void BM_TransformCommand(benchmark::State& state) {
  static Curves s(100000, 1.0);
  // x' = 2 x + 10, y' = 0.5 y - 1.
  auto mapped = [](const T::FCurve& original, double x) { return 0.5 * original.eval((x - 10) / 2) - 1; };
  auto keysMapped = [&] {
    std::size_t i = 0;
    for (const auto& curve : *s.container) {
      const T::FCurve& original = *s.originals[i++];
      auto o = std::next(original.begin());
      for (auto it = std::next(curve->begin()); it != curve->end(); ++it, ++o) {
        if (o == original.end()) return false;
        const T::Keyframe &k = *it.key(), &ok = *o.key();
        if (k.getX() != 2 * ok.getX() + 10 || std::fabs(k.getY() - (0.5 * ok.getY() - 1)) > 1e-12) return false;
      }
      if (o != original.end()) return false;
    }
    // Between keys too: the handles were scaled with them.
    return s.check(std::size_t(s.keys), mapped);
  };
  Run(
      state, s,
      [&] {
        return new A::TransformCurvesCommand(s.selection, T::Vector2D<double>(2, 0.5), T::Vector2D<double>(10, -1));
      },
      QStringLiteral("Transform Curves"), keysMapped);
  state.counters["keys"] = double(cCurves) * s.keys;
}
BENCHMARK(BM_TransformCommand)->Unit(benchmark::kMillisecond);

}  // namespace
