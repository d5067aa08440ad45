// Named fixture curves built from key tables, and the world/pixel mapping
// written out again from its formulas for computing expected positions.
#pragma once

#include <arvelle/viewport.h>

#include <tessal/tessal.h>

#include <initializer_list>
#include <memory>
#include <string>

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

// The i-th key (0-based) of a curve.
inline std::shared_ptr<T::Keyframe> KeyAt(T::FCurve& curve, int i) {
  auto it = curve.begin();
  for (int k = 0; k <= i; ++k) ++it;
  return it->getLeftKey();
}

// pixel = win.x + (world x - world.x) * win.width / world.width, y downwards.
inline V ToPixel(const Zentho::Arvelle::Viewport& v, const V& w) {
  const auto& win = v.getWindowBounds();
  const auto& world = v.getWorldBounds();
  return {win.x + (w.x - world.x) * win.width / world.width,
          win.y + win.height - (w.y - world.y) * win.height / world.height};
}

}  // namespace Fixtures
