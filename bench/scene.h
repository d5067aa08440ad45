// Scene S of the widget benchmarks: 100 curves of 10,000 bezier keys with
// Smooth handles, a 1920 x 1080 window showing the middle tenth of the key
// range, 10 curves selected completely. Built once per process.
#pragma once

#include <arvelle/graphviewcolors.h>
#include <arvelle/viewport.h>

#include <tessal/tessal.h>

#include <cmath>
#include <memory>
#include <string>

namespace SceneS {

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;

constexpr int cCurves = 100;
constexpr int cKeys = 10000;
constexpr int cSelected = 10;
constexpr int cWidth = 1920, cHeight = 1080;

struct Scene {
  Scene() {
    curves = std::make_shared<T::FCurveContainer>();
    selection = std::make_shared<T::Selection>(curves);
    colors = std::make_shared<A::GraphViewColors>();
    const auto bezier = T::Bezier::create();
    for (int c = 0; c < cCurves; ++c) {
      auto curve = T::FCurve::create("curve" + std::to_string(c));
      {
        T::FCurve::Switch hold(*curve);
        for (int k = 0; k < cKeys; ++k) {
          const double x = k;
          const double y = 8.0 * std::sin(0.05 * x + 0.3 * c) + 0.02 * c;
          auto it = curve->insertSegment(T::Keyframe(x, y), bezier);
          it->getLeftKey()->getInTangent()->setType(T::TangentType::Smooth);
        }
      }
      curves->addCurve(curve);
      if (c % (cCurves / cSelected) == 0) T::SelectCurveCompletely(*selection, *curve);
    }
    // The middle tenth of the keys.
    viewport.setWindowBounds(T::Rectangle<double>(0, 0, cWidth, cHeight));
    viewport.setWorldBounds(T::Rectangle<double>(4500, -10, 1000, 20));
  }
  std::shared_ptr<T::FCurveContainer> curves;
  std::shared_ptr<T::Selection> selection;
  std::shared_ptr<A::GraphViewColors> colors;
  A::Viewport viewport;
};

inline Scene& TheScene() {
  static Scene scene;
  return scene;
}

}  // namespace SceneS
