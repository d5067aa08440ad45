// A hover move through a graph widget's whole layer tree over scene S: the
// focus layer, the user layers, the curve layer's pick and highlight and the
// grid below. Every answer is checked against the brute-force pick first.
#include "pickoracle.h"
#include "scene.h"

#include "layers/curvelayer.h"

#include <arvelle/graphwidget.h>
#include <arvelle/layer.h>

#include <QMouseEvent>

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;
using namespace SceneS;

namespace {

void BM_HoverMove(benchmark::State& state) {
  Scene& s = TheScene();
  A::GraphWidget widget;
  for (const auto& c : *s.curves) widget.getCurves()->addCurve(c);
  widget.getSelection()->assign(*s.selection);
  widget.getViewport()->setWindowBounds(s.viewport.getWindowBounds());
  widget.getViewport()->setWorldBounds(s.viewport.getWorldBounds());
  auto layer = std::dynamic_pointer_cast<A::CurveLayer>(widget.getRootLayer()->findLayer("Curve Layer"));
  if (!layer) return state.SkipWithError("no curve layer");

  // Half the points near keys of selected curves, half anywhere.
  const PickOracle::Map m(s.viewport);
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> ux(0, cWidth), uy(0, cHeight), near(-12, 12), key(4500, 5500);
  std::vector<QPointF> points;
  for (int i = 0; i < 512; ++i) {
    if (i % 2) {
      points.emplace_back(std::round(ux(rng)), std::round(uy(rng)));
    } else {
      const auto& curve = s.curves->at((rng() % cSelected) * (cCurves / cSelected));
      const auto p = m.px((*curve->findSegment(key(rng)))->getLeftKey()->get());
      points.emplace_back(std::round(p.x + near(rng)), std::round(p.y + near(rng)));
    }
  }
  auto hover = [&](const QPointF& p) {
    // With a screen position given, the event does not ask the window system
    // where the cursor is (a round trip to the X server).
    QMouseEvent e(QEvent::MouseMove, p, p, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    widget.delegateEventToLayerManager(&e);
  };
  int hits = 0;
  for (const QPointF& p : points) {
    hover(p);
    T::HitRecord want;
    const bool hit = PickOracle::PickItem(*widget.getCurves(), *widget.getSelection(), s.viewport,
                                          T::Vector2D<double>(p.x(), p.y()), want);
    if (!(layer->getHighlight() == want)) return state.SkipWithError("the highlight is not what lies under the pointer");
    hits += hit ? 1 : 0;
  }
  if (hits < 50) return state.SkipWithError("too few hits to tell anything");
  std::size_t i = 0;
  for (auto _ : state) hover(points[i++ & 511]);
  state.counters["hits_checked"] = hits;
}
BENCHMARK(BM_HoverMove)->Unit(benchmark::kMicrosecond);

}  // namespace
