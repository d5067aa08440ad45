// The monkey's world: a seeded random number source, random curves of every
// interpolator and tangent type, an exact print of everything a curve holds,
// and the checks that must hold after every event.
#pragma once

#include <arvelle/graphwidget.h>

#include <tessal/tessal.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace Monkey {

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;
using V = T::Vector2D<double>;

// Every choice the monkey makes comes from here, so a seed replays a run.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : mEngine(seed) {}
  std::uint64_t next() { return mEngine(); }
  // 0 .. n - 1; 0 for n <= 0.
  int below(int n) { return n <= 0 ? 0 : static_cast<int>(mEngine() % static_cast<std::uint64_t>(n)); }
  int range(int lo, int hi) { return lo + below(hi - lo + 1); }
  double uniform(double lo, double hi) { return lo + (hi - lo) * (static_cast<double>(mEngine() >> 11) * 0x1.0p-53); }
  bool chance(double p) { return uniform(0, 1) < p; }
  template <class C>
  const typename C::value_type& pick(const C& c) {
    return c[static_cast<std::size_t>(below(static_cast<int>(c.size())))];
  }
  template <class E, std::size_t N>
  const E& pick(const E (&c)[N]) {
    return c[below(static_cast<int>(N))];
  }

 private:
  std::mt19937_64 mEngine;
};

// The interpolator names the factory lists.
std::vector<std::string> InterpolatorNames();

// A curve of n keys from x0 on, random spacing (now and then exactly the
// minimum separation), random interpolators, tangent types (codes above
// Plateau too), weights, unification, breakdown and locked keys, fixed
// handles with random offsets, and now and then a locked, non-editable or
// hidden curve.
std::shared_ptr<T::FCurve> RandomCurve(Rng& rng, const std::string& name, int n, double x0);

// Everything a curve holds, exactly: values in hexadecimal, flags, types,
// interpolator names, properties, and the identities of every element.
struct Print {
  std::string text;
  std::vector<T::HitRecord> ids;
  bool operator==(const Print& o) const { return text == o.text && ids == o.ids; }
  bool operator!=(const Print& o) const { return !(*this == o); }
};
Print PrintCurves(const T::FCurveContainer& curves);
std::vector<T::HitRecord> SelectedRecords(const T::Selection& selection);
// The first line where the texts differ, for a failure message.
std::string FirstDifference(const std::string& a, const std::string& b);

// Each returns an empty string when all holds, else what is wrong.
// Level 0: finite, in range, strictly ordered and separated keys and finite
// handles. 1: also the entries' segments, keys and handles pointing at each
// other. 2: also the tree finding every key at its own x and finite values at
// and between the keys.
std::string CheckCurve(const T::FCurve& curve, int level);
// Every record a walk gives resolves to a live element of its curve, a curve
// of the container, and is selected; with a curve, the keyframe walk lists
// exactly the keys of it that isSelected() answers for.
std::string CheckSelection(const T::Selection& selection, const T::FCurve* keyByKey);
// The standard layers in their order, the insertion layer on top of them
// when it is on, the focus layer and the user layers in the root, and view
// animations; gesture counts every other layer (set to their number).
std::string CheckLayers(A::GraphWidget& widget, int& gestureLayers);

}  // namespace Monkey
