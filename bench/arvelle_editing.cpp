// Editing at scale on scene S: one update of a keyframe drag (keys put back
// inside a Switch, moved by the whole displacement, curves notified), driven
// through the drag layer by mouse moves, with 10,000 selected keys (the
// first 1,000 keys of each of the 10 selected curves) and with 100,000 (the
// 10 curves whole); and an undo plus redo of a 100,000-key move through a
// QUndoStack. Each run checks where the keys end up and puts scene S back
// as it found it.
#include "scene.h"

#include "commands/movekeyframescommand.h"
#include "layers/dragkeyframelayer.h"

#include <arvelle/layer.h>
#include <arvelle/snapsettings.h>

#include <QMouseEvent>
#include <QUndoStack>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;
using namespace SceneS;
using V = T::Vector2D<double>;

namespace {

constexpr int cKeysPerCurveSelected = 1000;

std::vector<V> SelectedPositions(const T::Selection& selection) {
  std::vector<V> r;
  const auto end = T::EndSelectedKeyframes(selection);
  for (auto it = T::BeginSelectedKeyframes(selection); it != end; ++it) r.push_back(it->getKeyframe()->get());
  return r;
}

// Keys of the selection at start + delta, each exactly.
bool AllMovedBy(const T::Selection& selection, const std::vector<V>& start, const V& delta) {
  const std::vector<V> now = SelectedPositions(selection);
  if (now.size() != start.size()) return false;
  for (std::size_t i = 0; i < now.size(); ++i) {
    if (now[i].x != start[i].x + delta.x || now[i].y != start[i].y + delta.y) return false;
  }
  return true;
}

void PutBack(const T::Selection& selection, const std::vector<V>& start) {
  T::FCurve::Switch hold;
  A::RestoreKeyframePositions(T::BeginSelectedKeyframes(selection), T::EndSelectedKeyframes(selection), start);
}

V WorldOf(const A::Viewport& viewport, const V& p) {
  const auto& win = viewport.getWindowBounds();
  const auto& world = viewport.getWorldBounds();
  return V(world.x + (p.x - win.x) * world.width / win.width,
           world.y + (win.y + win.height - p.y) * world.height / win.height);
}

bool SendMouse(A::Layer& layer, A::Viewport& viewport, QEvent::Type type, const V& p) {
  // The screen position given: no round trip to the X server for the cursor.
  const QPointF at(p.x, p.y);
  QMouseEvent e(type, at, at, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Qt::LeftButton,
                Qt::NoModifier);
  return layer.handleEvent(&e, viewport);
}

void DragStep(benchmark::State& state, bool wholeCurves) {
  Scene& s = TheScene();
  std::shared_ptr<T::Selection> selection = s.selection;
  if (!wholeCurves) {
    selection = std::make_shared<T::Selection>(s.curves);
    for (int c = 0; c < cCurves; c += cCurves / cSelected) {
      const auto& curve = s.curves->at(static_cast<std::size_t>(c));
      selection->select(*curve);
      auto it = std::next(curve->begin());
      for (int k = 0; k < cKeysPerCurveSelected; ++k, ++it) selection->select(*it.key());
    }
  }
  const std::vector<V> start = SelectedPositions(*selection);
  const std::size_t expected = std::size_t(cSelected) * (wholeCurves ? cKeys : cKeysPerCurveSelected);
  if (start.size() != expected) return state.SkipWithError("unexpected number of selected keys");

  A::Layer::setSnapSettings(A::SnapSettings());
  auto layer = std::make_shared<A::DragKeyframeLayer>(selection, true);
  // Keys are 1 apart and a pixel is about half a world unit wide: cursor
  // moves of a few pixels keep every key clear of unselected neighbours.
  const V press(960, 540);
  if (!SendMouse(*layer, s.viewport, QEvent::MouseButtonPress, press)) return state.SkipWithError("press refused");
  // Past the 3-pixel threshold; later moves alternate between two points,
  // each one pixel right of the press once the threshold is taken off.
  const V points[] = {V(964, 530), V(964, 526)};
  SendMouse(*layer, s.viewport, QEvent::MouseMove, points[0]);

  std::size_t i = 0;
  for (auto _ : state) {
    SendMouse(*layer, s.viewport, QEvent::MouseMove, points[++i % 2]);
  }
  // The threshold delta (3, -3) stays subtracted.
  const V last = points[i % 2] - V(3, -3);
  const V delta = WorldOf(s.viewport, last) - WorldOf(s.viewport, press);
  const bool moved = AllMovedBy(*selection, start, delta);
  layer.reset();
  PutBack(*selection, start);
  if (!moved) return state.SkipWithError("keys are not at start + delta after the step");
  if (SelectedPositions(*selection) != start) return state.SkipWithError("scene S not restored");
  state.counters["keys"] = static_cast<double>(start.size());
}

void BM_DragKeyframesStep(benchmark::State& state) { DragStep(state, false); }
BENCHMARK(BM_DragKeyframesStep)->Unit(benchmark::kMillisecond);

const bool gDrag100k = [] {
  benchmark::RegisterBenchmark("BM_DragKeyframesStep/100k", [](benchmark::State& state) { DragStep(state, true); })
      ->Unit(benchmark::kMillisecond);
  return true;
}();

void BM_MoveKeyframesUndoRedo(benchmark::State& state) {
  Scene& s = TheScene();
  const std::shared_ptr<T::Selection>& selection = s.selection;
  const std::vector<V> start = SelectedPositions(*selection);
  if (start.size() != std::size_t(cSelected) * cKeys) return state.SkipWithError("unexpected number of selected keys");

  // A finished drag: keys moved under an open bracket, then the command.
  const V delta(0.25, -0.5);
  const A::SnapSettings snap;
  const V pixel(s.viewport.getWorldBounds().width / cWidth, s.viewport.getWorldBounds().height / cHeight);
  T::FCurve::setChangeType(T::FCurve::AboutToChange);
  T::NotifyCurveChanges(*selection);
  T::FCurve::setChangeType(T::FCurve::Changing);
  {
    T::FCurve::Switch hold;
    A::MoveSelectedKeyframes(T::BeginSelectedKeyframes(*selection), T::EndSelectedKeyframes(*selection), snap, pixel,
                             s.viewport.getWorldLimits(), delta.x, delta.y);
  }
  QUndoStack stack;
  stack.push(new A::MoveKeyframesCommand(selection, start, snap, pixel, s.viewport.getWorldLimits(), delta.x, delta.y));
  if (!AllMovedBy(*selection, start, delta)) return state.SkipWithError("the drag did not move every key");
  stack.undo();
  const bool undone = SelectedPositions(*selection) == start;
  stack.redo();
  if (!undone) return state.SkipWithError("undo did not restore the start positions");

  for (auto _ : state) {
    stack.undo();
    stack.redo();
  }
  const bool redone = AllMovedBy(*selection, start, delta);
  stack.undo();
  if (!redone) return state.SkipWithError("undo + redo did not end at the end positions");
  if (SelectedPositions(*selection) != start) return state.SkipWithError("scene S not restored");
  state.counters["keys"] = static_cast<double>(start.size());
}
BENCHMARK(BM_MoveKeyframesUndoRedo)->Unit(benchmark::kMillisecond);

}  // namespace
