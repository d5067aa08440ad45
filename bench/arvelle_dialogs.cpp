// One parameter change of a preview dialog over scene S's selection (10
// curves of 10,000 keys): fresh copies of the selected curves, then the
// operation on them. The dialog needs a widget but not a shown one. Each
// run checks the preview curves it produced.
#include "scene.h"

#include "dialogs/curvedialogs.h"

#include <arvelle/graphwidget.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <iterator>

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;
using namespace SceneS;

namespace {

// A widget holding scene S, with its selection.
struct SceneWidget {
  SceneWidget() {
    Scene& s = TheScene();
    for (const auto& c : *s.curves) widget.getCurves()->addCurve(c);
    widget.getSelection()->assign(*s.selection);
  }
  A::GraphWidget widget;
};

// The k-th key of the i-th preview curve.
const T::Keyframe& PreviewKey(const A::PrevizDialog& d, std::size_t i, int k) {
  return *std::next(d.getPreviewCurves()->at(i)->begin(), k + 1).key();
}

bool PreviewHasSelection(const A::PrevizDialog& d) {
  if (d.getPreviewCurves()->size() != std::size_t(cSelected)) return false;
  for (const auto& c : *d.getPreviewCurves())
    if (c->numKeys() != std::size_t(cKeys)) return false;
  return true;
}

void BM_TransformPreview(benchmark::State& state) {
  SceneWidget w;
  A::TransformCurvesDialog dialog(&w.widget);
  const double pivot = dialog.getPivot().x;
  double scale = 1.5;
  for (auto _ : state) {
    scale = scale == 1.5 ? 2.0 : 1.5;
    dialog.scaleXSliderChanged(scale);
    state.PauseTiming();
    // The live curves are untouched; their copies are mapped once.
    const auto& live = *w.widget.getSelection()->getContainer();
    if (!PreviewHasSelection(dialog)) return state.SkipWithError("the preview does not hold the selection");
    for (int k : {0, 1234, cKeys - 1}) {
      const double x = std::next(live.at(0)->begin(), k + 1).key()->getX();
      if (PreviewKey(dialog, 0, k).getX() != scale * x + (1 - scale) * pivot)
        return state.SkipWithError("a preview key is not where the scale puts it");
    }
    state.ResumeTiming();
  }
  state.counters["keys"] = double(cSelected) * cKeys;
}
BENCHMARK(BM_TransformPreview)->Unit(benchmark::kMillisecond);

void BM_SmoothPreview(benchmark::State& state) {
  SceneWidget w;
  A::SmoothCurvesDialog dialog(&w.widget);
  dialog.stepSizeSliderChanged(2);  // step 1
  dialog.radiusSliderChanged(5);
  if (dialog.getStepSize() != 1.0 || dialog.getRadius() != 5) return state.SkipWithError("parameters not taken");
  const T::FCurve& original = *TheScene().curves->at(0);
  bool box = false;
  for (auto _ : state) {
    box = !box;
    dialog.filterChanged(box ? "Box" : "Triangle");
    state.PauseTiming();
    // A key per frame over the keys' range, key 5000 the filtered values of
    // frames 4995 to 5005.
    if (!PreviewHasSelection(dialog)) return state.SkipWithError("the preview does not hold the selection");
    double sum = 0, total = 0;
    for (int i = -5; i <= 5; ++i) {
      const double weight = box ? 1 : 6 - std::abs(i);
      sum += weight * original.eval(5000 + i);
      total += weight;
    }
    if (std::fabs(PreviewKey(dialog, 0, 5000).getY() - sum / total) > 1e-9)
      return state.SkipWithError("a preview key is not the filtered value");
    state.ResumeTiming();
  }
  state.counters["keys"] = double(cSelected) * cKeys;
}
BENCHMARK(BM_SmoothPreview)->Unit(benchmark::kMillisecond);

}  // namespace
