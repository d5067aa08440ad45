// One keyframe insertion on a 1,000,000-key bezier curve with Smooth handles,
// as the insertion mode's click makes it: InsertKeyframeAt for a window point
// on the curve, the command pushed through a layer manager onto a
// QUndoStack (its first redo inserts), then undone. Each round checks the new
// key before the undo and the key count after it.
#include "layers/insertkeyframelayer.h"

#include <arvelle/layer.h>
#include <arvelle/snapsettings.h>
#include <arvelle/viewport.h>

#include <tessal/tessal.h>

#include <QObject>
#include <QUndoStack>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;
using V = T::Vector2D<double>;

namespace {

constexpr int cKeys = 1000000;
constexpr double cWidth = 1920, cHeight = 1080;
// Ten units around the middle of the keys, and the snapped x a click at
// window x 1000 lands on (the 0.1 grid at this zoom).
constexpr double cLeft = 500000, cSpan = 10, cBottom = -10, cRise = 20;
constexpr double cClickX = 1000, cKeyX = 500005.2;

struct Scene {
  Scene() {
    curves = std::make_shared<T::FCurveContainer>();
    selection = std::make_shared<T::Selection>(curves);
    curve = T::FCurve::create("million");
    {
      T::FCurve::Switch hold(*curve);
      const auto bezier = T::Bezier::create();
      for (int k = 0; k < cKeys; ++k) curve->insertSegment(T::Keyframe(k, 8.0 * std::sin(0.05 * k)), bezier);
    }
    curves->addCurve(curve);
    selection->select(*curve);
    viewport.setWindowBounds(T::Rectangle<double>(0, 0, cWidth, cHeight));
    viewport.setWorldBounds(T::Rectangle<double>(cLeft, cBottom, cSpan, cRise));
    snap.setSnappingX(true);
  }
  std::shared_ptr<T::FCurveContainer> curves;
  std::shared_ptr<T::Selection> selection;
  std::shared_ptr<T::FCurve> curve;
  A::Viewport viewport;
  A::SnapSettings snap;
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

void BM_InsertKeyframe(benchmark::State& state) {
  Scene& s = TheScene();
  QUndoStack stack;
  stack.setUndoLimit(1);
  const auto root = std::make_shared<A::LayerManager>("Root Layer");
  QObject::connect(root.get(), &A::LayerManager::undoCommandGenerated, &stack,
                   [&](QUndoCommand* command) { stack.push(command); });
  // On the curve: the point where the curve crosses window x 1000.
  const double y = s.curve->eval(cKeyX);
  const V click(cClickX, std::floor(cHeight - (y - cBottom) * cHeight / cRise + 0.5));
  const std::size_t keys = s.curve->numKeys();

  for (auto _ : state) {
    A::InsertKeyframeAt(click, s.snap, s.curves, s.selection, s.viewport, *root);
    const T::Keyframe* added = s.curve->findSegment(cKeyX + 0.05).key();
    if (s.curve->numKeys() != keys + 1 || !added || std::fabs(added->getX() - cKeyX) > 1e-6 ||
        std::fabs(added->getY() - y) > 1e-6 || !s.selection->isSelected(*added)) {
      state.SkipWithError("the key is not where the click put it");
      break;
    }
    stack.undo();
    if (s.curve->numKeys() != keys || s.curve->findSegment(cKeyX).key()->getX() != std::floor(cKeyX)) {
      state.SkipWithError("undo did not take the key out");
      break;
    }
  }
  // The curve as it was for the next run.
  while (stack.canUndo()) stack.undo();
}
BENCHMARK(BM_InsertKeyframe)->Unit(benchmark::kMicrosecond);

}  // namespace
