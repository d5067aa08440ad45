// Fixture curves built from key tables, and readable names of geometry in
// test output.
#pragma once

#include "core/mapping.h"

#include <tessal/tessal.h>

#include <initializer_list>
#include <ostream>
#include <memory>
#include <string>

ZENTHO_TESSAL_NAMESPACE_BEGIN
inline void PrintTo(const Rectangle<double>& r, std::ostream* os) {
  *os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}
inline void PrintTo(const Vector2D<double>& v, std::ostream* os) { *os << "(" << v.x << ", " << v.y << ")"; }
ZENTHO_TESSAL_NAMESPACE_END

namespace Fixtures {

namespace T = Zentho::Tessal;
using V = T::Vector2D<double>;

struct Key {
  double x, y;
  const char* segment;  // interpolator of the segment starting here
  unsigned char type;   // tangent type of both handles
};

inline std::shared_ptr<T::FCurve> MakeCurve(const std::string& name, std::initializer_list<Key> keys) {
  auto curve = T::FCurve::create(name);
  T::FCurve::Switch hold(*curve);
  for (const Key& k : keys) {
    auto it = curve->insertSegment(T::Keyframe(k.x, k.y), T::InterpolatorFactory::create(k.segment));
    it->getLeftKey()->getInTangent()->setType(k.type);
    it->getLeftKey()->getOutTangent()->setType(k.type);
  }
  return curve;
}

// Keys at x = 2, 5 and 8, all at height y.
inline std::shared_ptr<T::FCurve> Flat(const char* name, double y, const char* interpolator = "linear()") {
  const unsigned char type = std::string(interpolator) == "bezier()" ? 0 : 1;
  return MakeCurve(name, {{2, y, interpolator, type}, {5, y, interpolator, type}, {8, y, interpolator, type}});
}

// The i-th key (0-based) of a curve.
inline std::shared_ptr<T::Keyframe> KeyAt(T::FCurve& curve, int i) {
  auto it = curve.begin();
  for (int k = 0; k <= i; ++k) ++it;
  return it->getLeftKey();
}

}  // namespace Fixtures
