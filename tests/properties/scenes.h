// Seeded random scenes and selections: a few curves of 0 to a few dozen
// keys with every interpolator, every tangent type (and codes above them),
// weighted and weight-locked handles, broken and unified pairs, breakdowns,
// locked keys, locked and non-editable curves, properties; selections of
// curves, keys, segments (single ones and runs) and handles.
#pragma once

#include <tessal/tessal.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace Props {

namespace T = Zentho::Tessal;
using V = T::Vector2D<double>;

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : mEngine(seed) {}
  double real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(mEngine); }
  // 0 .. n - 1; 0 for n == 0.
  std::size_t below(std::size_t n) { return n ? std::size_t(mEngine() % n) : 0; }
  int between(int lo, int hi) { return lo + int(below(std::size_t(hi - lo + 1))); }
  bool chance(double p) { return real(0, 1) < p; }
  template <class C>
  const typename C::value_type& pick(const C& c) {
    return *std::next(c.begin(), long(below(c.size())));
  }

 private:
  std::mt19937_64 mEngine;
};

// The factory's interpolator names, the built-ins first.
const std::vector<std::string>& InterpolatorNames();

// Fills the container with 1 to 4 random curves.
void MakeScene(Rng& rng, T::FCurveContainer& curves);

// Replaces the selection by a random one over the container's curves.
void MakeSelection(Rng& rng, T::Selection& selection);

// A random key of the curve; null when it has none.
std::shared_ptr<T::Keyframe> RandomKey(Rng& rng, const T::FCurve& curve);

}  // namespace Props
