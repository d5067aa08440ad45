// A rubber-band move at scale, scene S, plain mode: the band, already over a
// fifth of the window (1152 x 360 pixels), is dragged to a quarter of it
// (960 x 540) in one move, so records both leave it and enter it. Before
// timing, the selection after that move is compared record by record with
// the one a fresh selection gets from the covered records directly.
#include "scene.h"

#include "layers/hittest.h"
#include "layers/rubberbandlayer.h"

#include <arvelle/viewport.h>

#include <tessal/tessal.h>

#include <QMouseEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <set>

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;
using namespace SceneS;

namespace {

using Records = std::set<T::HitRecord, T::CompareRecord>;

// The press maps to world (4750, 5) and back to this very pixel, so these
// are exactly the rectangles the layer picks.
const QPointF cPress(480, 270), cFifth(480 + 1152, 270 + 360), cQuarter(480 + 960, 270 + 540);
const T::Rectangle<double> cFifthRect(480, 270, 1152, 360), cQuarterRect(480, 270, 960, 540);

void Send(A::RubberbandLayer& layer, QEvent::Type type, const QPointF& at) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  // The screen position given: no round trip to the X server for the cursor.
  QMouseEvent e(type, at, at, button, Qt::LeftButton, Qt::NoModifier);
  layer.handleEvent(&e, TheScene().viewport);
}

// Pressed and dragged over the fifth.
std::shared_ptr<A::RubberbandLayer> Started(const std::shared_ptr<T::Selection>& selection) {
  Scene& s = TheScene();
  auto layer = std::make_shared<A::RubberbandLayer>(s.curves, selection, s.colors);
  Send(*layer, QEvent::MouseButtonPress, cPress);
  Send(*layer, QEvent::MouseMove, cFifth);
  return layer;
}

// What the band must leave selected: the items of the quarter as a band
// selects them, and every curve the fifth touched (the band never takes a
// curve back).
bool MatchesDirectSelection(const T::Selection& selection, std::size_t& covered) {
  Scene& s = TheScene();
  T::Selection expected(s.curves);
  Records fifth, quarter;
  A::PickItems(*s.curves, expected, s.viewport, cFifthRect, fifth);
  A::PickItems(*s.curves, expected, s.viewport, cQuarterRect, quarter);
  for (const auto& r : quarter) A::SelectHitRecord(expected, r, true);
  for (const auto& r : fifth)
    if (r.getType() == T::HitRecord::Curve) expected.select(*r.getCurve());
  Records want, got;
  T::GetSelected(expected, want);
  T::GetSelected(selection, got);
  covered = quarter.size();
  return want.size() == got.size() && std::equal(want.begin(), want.end(), got.begin());
}

void BM_RubberbandMove(benchmark::State& state) {
  Scene& s = TheScene();
  // A selection of its own: the scene's stays as the other benchmarks use it.
  auto selection = std::make_shared<T::Selection>(s.curves);
  selection->assign(*s.selection);
  {
    auto layer = Started(selection);
    Send(*layer, QEvent::MouseMove, cQuarter);
    std::size_t covered = 0;
    if (!MatchesDirectSelection(*selection, covered))
      return state.SkipWithError("the band's selection differs from the covered items' selection");
    if (covered < 10000) return state.SkipWithError("the quarter covers too few records to tell anything");
    state.counters["records_covered"] = static_cast<double>(covered);
  }
  for (auto _ : state) {
    auto layer = Started(selection);
    const auto t0 = std::chrono::steady_clock::now();
    Send(*layer, QEvent::MouseMove, cQuarter);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
}
BENCHMARK(BM_RubberbandMove)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
