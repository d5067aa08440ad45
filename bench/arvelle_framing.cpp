// Framing all of scene S: the target triggerFrameAll works out for a
// million keys (the extents of every visible curve, overshoot included, plus
// margins), checked against extents gathered from dense samples.
#include "scene.h"

#include "widget/framing.h"

#include <arvelle/graphwidget.h>
#include <arvelle/layer.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;
using namespace SceneS;

namespace {

// The animation the widget started, if any.
std::shared_ptr<A::AnimationMonitor> Running(A::GraphWidget& widget) {
  for (const auto& layer : *widget.getRootLayer())
    if (auto m = std::dynamic_pointer_cast<A::AnimationMonitor>(layer)) return m;
  return nullptr;
}

void BM_FrameAll(benchmark::State& state) {
  Scene& s = TheScene();
  A::GraphWidget widget;
  for (const auto& c : *s.curves) widget.getCurves()->addCurve(c);
  widget.getViewport()->setWindowBounds(s.viewport.getWindowBounds());
  const T::Rectangle<double> start = s.viewport.getWorldBounds();
  widget.getViewport()->setWorldBounds(start);

  // Independent extents: the keys and ten samples per segment bound the
  // curves from inside; the target must hold them with its margins.
  double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
  for (const auto& c : *s.curves) {
    for (auto it = std::next(c->begin()); it != c->end(); ++it) {
      const double x = it.key()->getX();
      const double next = std::next(it) == c->end() ? x : std::next(it).key()->getX();
      for (int i = 0; i < 10; ++i) {
        const double xi = x + (next - x) * i / 10.0, y = c->eval(xi);
        x0 = std::min(x0, xi), x1 = std::max(x1, xi), y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
    }
  }
  widget.triggerFrameAll();
  const auto monitor = Running(widget);
  if (!monitor) return state.SkipWithError("frame all started no animation");
  const auto& t = monitor->getTarget();
  const double mx = 0.05 * (x1 - x0);
  if (std::fabs(t.x - (x0 - mx)) > 1e-9 || std::fabs(t.width - 1.1 * (x1 - x0)) > 1e-6)
    return state.SkipWithError("the horizontal target is not the keys' span with margins");
  if (!(t.y <= y0 - 0.05 * (y1 - y0) + 1e-9 && t.y + t.height >= y1 + 0.05 * (y1 - y0) - 1e-9 &&
        t.height < 1.1 * (y1 - y0) * 1.05))
    return state.SkipWithError("the vertical target does not hold the curves with their margins");

  // With the argument 1, one curve changes before each framing (an edit,
  // then a frame): its extents are measured anew, the others' kept.
  const bool edit = state.range(0) == 1;
  std::size_t round = 0;
  for (auto _ : state) {
    // Each round frames from the same view, so the target is worked out anew.
    state.PauseTiming();
    monitor->stop();
    widget.getViewport()->setWorldBounds(start);
    if (edit) {
      auto& curve = *widget.getCurves()->at(round++ % widget.getCurves()->size());
      T::Keyframe& key = *std::next(curve.begin(), 5000).key();
      key.set(key.get());
    }
    state.ResumeTiming();
    widget.triggerFrameAll();
  }
}
BENCHMARK(BM_FrameAll)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
