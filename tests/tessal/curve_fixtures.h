// Fixture curves and invariant checks shared by the curve-model suites.
#pragma once

#include <tessal/tessal.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace Fixtures {

using namespace Zentho::Tessal;

struct KeySpec {
  double x, y;
  const char* interp;  // interpolator of the segment starting at the key
};

// Builds a curve from a key table; every handle gets the given type.
inline std::shared_ptr<FCurve> MakeCurve(const std::vector<KeySpec>& keys,
                                         unsigned char type = TangentType::Smooth,
                                         const std::string& name = "curve") {
  auto c = FCurve::create(name);
  for (const auto& k : keys) {
    auto it = c->insertSegment(Keyframe(k.x, k.y), InterpolatorFactory::create(k.interp));
    EXPECT_NE(it, c->end()) << "key at " << k.x << " refused";
    if (it == c->end()) continue;
    it.key()->getOutTangent()->setType(type);
    it.key()->getInTangent()->setType(type);
  }
  return c;
}

// Every structural invariant a curve must keep outside a Switch.
inline ::testing::AssertionResult IsValidCurve(const FCurve& c) {
  std::size_t n = 0;
  double prevX = 0;
  bool havePrev = false;
  for (auto it = c.begin(); it != c.end(); ++it, ++n) {
    const Segment& s = *it.segment();
    if (n == 0) {
      if (it.key() || s.hasLeftKey()) return ::testing::AssertionFailure() << "leading entry has a key";
      if (s.getOutTangent()) return ::testing::AssertionFailure() << "leading entry has an out-tangent";
    } else {
      const Keyframe* k = it.key();
      if (!k) return ::testing::AssertionFailure() << "entry " << n << " has no key";
      if (!IsFinite(k->get())) return ::testing::AssertionFailure() << "non-finite key " << n;
      if (havePrev && !(k->getX() - prevX >= Keyframe::getMinSeparation() - 1e-9))
        return ::testing::AssertionFailure() << "keys " << n - 1 << " and " << n << " at " << prevX << ", "
                                             << k->getX();
      if (!s.getOutTangent() || !IsFinite(s.getOutTangent()->get()))
        return ::testing::AssertionFailure() << "bad out-tangent at " << n;
      prevX = k->getX();
      havePrev = true;
    }
    const bool last = std::next(it) == c.end();
    if (bool(s.getInTangent()) == last) return ::testing::AssertionFailure() << "in-tangent presence at " << n;
    if (!last && s.getRightKey().get() != std::next(it).key())
      return ::testing::AssertionFailure() << "right key of " << n;
    if (!s.getInterpolator()) return ::testing::AssertionFailure() << "no interpolator at " << n;
  }
  if (n != c.size()) return ::testing::AssertionFailure() << "size " << c.size() << " but walked " << n;
  return ::testing::AssertionSuccess();
}

// Keys, handles and interpolators, in order: what "the same curve" means.
struct Snapshot {
  std::vector<std::pair<double, double>> keys;
  std::vector<std::pair<double, double>> handles;  // out, in per entry
  std::vector<std::string> interps;
  bool operator==(const Snapshot& o) const {
    return keys == o.keys && handles == o.handles && interps == o.interps;
  }
};

inline Snapshot Capture(const FCurve& c) {
  Snapshot s;
  for (auto it = c.begin(); it != c.end(); ++it) {
    if (it.key()) s.keys.emplace_back(it.key()->getX(), it.key()->getY());
    if (auto t = it->getOutTangent()) s.handles.emplace_back(t->get().x, t->get().y);
    if (auto t = it->getInTangent()) s.handles.emplace_back(t->get().x, t->get().y);
    s.interps.push_back(it->getInterpolator()->getExpression());
  }
  return s;
}

}  // namespace Fixtures
