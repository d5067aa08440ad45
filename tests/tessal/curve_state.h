// Whole-curve comparisons for the suites that rewrite curves, and the mixed
// curve they rewrite.
#pragma once

#include "curve_fixtures.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace Fixtures {

inline Keyframe& KeyAt(FCurve& c, std::size_t i) { return *std::next(c.begin(), static_cast<long>(i + 1)).key(); }

inline void SetHandle(Keyframe& key, bool in, double x, double y, bool weighted) {
  const bool unified = key.isTangentsUnified();
  key.setTangentsUnified(false);
  auto t = in ? key.getInTangent() : key.getOutTangent();
  t->setType(TangentType::Fixed);
  t->setWeighted(weighted);
  t->set(x, y);
  key.setTangentsUnified(unified);
}

inline double Slope(const Vector2D<double>& v) { return v.y / v.x; }

// Everything that makes two curves the same, compared with a tolerance on
// positions and offsets.
struct HandleState {
  Vector2D<double> offset;
  int type;
  bool weighted;
};
struct KeyState {
  Vector2D<double> pos;
  bool breakdown, unified, locked;
  HandleState in, out;
};
struct CurveState {
  std::vector<KeyState> keys;
  std::vector<std::string> interps;
  std::vector<std::string> props;  // segment property "tag" per entry
};

inline HandleState Read(const Tangent& t) { return {t.get(), t.getType(), t.isWeighted()}; }

inline CurveState State(const FCurve& c) {
  CurveState s;
  for (auto it = c.begin(); it != c.end(); ++it) {
    s.interps.push_back(it->getInterpolator()->getExpression());
    s.props.push_back(it->getProperty("tag"));
    if (const Keyframe* k = it.key())
      s.keys.push_back({k->get(), k->isBreakdown(), k->isTangentsUnified(), IsLocked(*k), Read(*k->getInTangent()),
                        Read(*k->getOutTangent())});
  }
  return s;
}

inline bool Near(const Vector2D<double>& a, const Vector2D<double>& b, double tol) {
  return std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol;
}

inline ::testing::AssertionResult SameCurve(const FCurve& a, const FCurve& b, double tol = 1e-9) {
  const CurveState x = State(a), y = State(b);
  if (x.keys.size() != y.keys.size())
    return ::testing::AssertionFailure() << x.keys.size() << " keys against " << y.keys.size();
  if (x.interps != y.interps) return ::testing::AssertionFailure() << "interpolators differ";
  if (x.props != y.props) return ::testing::AssertionFailure() << "segment properties differ";
  for (std::size_t i = 0; i < x.keys.size(); ++i) {
    const KeyState &p = x.keys[i], &q = y.keys[i];
    if (!Near(p.pos, q.pos, tol))
      return ::testing::AssertionFailure() << "key " << i << " at " << p.pos.x << ", " << p.pos.y << " against "
                                           << q.pos.x << ", " << q.pos.y;
    if (p.breakdown != q.breakdown || p.unified != q.unified || p.locked != q.locked)
      return ::testing::AssertionFailure() << "flags of key " << i;
    for (auto h : {std::make_pair(p.in, q.in), std::make_pair(p.out, q.out)}) {
      if (!Near(h.first.offset, h.second.offset, tol) || h.first.type != h.second.type ||
          h.first.weighted != h.second.weighted)
        return ::testing::AssertionFailure() << "handle of key " << i << ": " << h.first.offset.x << ", "
                                             << h.first.offset.y << " type " << h.first.type << " against "
                                             << h.second.offset.x << ", " << h.second.offset.y << " type "
                                             << h.second.type;
    }
  }
  return ::testing::AssertionSuccess();
}

// x:   0     10     20     30     45
// y:   0      5     -3      2      2
// Mixed interpolators and handle types; the first bezier segment has a
// weighted fixed handle, the key at 20 is a locked breakdown.
inline std::shared_ptr<FCurve> Mixed(const char* secondInterp = "linear()") {
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 5, secondInterp}, {20, -3, "ease()"}, {30, 2, "bezier()"},
                      {45, 2, "linear()"}},
                     TangentType::Smooth);
  SetHandle(KeyAt(*c, 0), false, 4, 7, true);
  KeyAt(*c, 1).getInTangent()->setType(TangentType::Clamped);
  KeyAt(*c, 2).setBreakdown(true);
  SetLocked(KeyAt(*c, 2), true);
  KeyAt(*c, 3).getOutTangent()->setType(TangentType::Plateau);
  SetHandle(KeyAt(*c, 4), true, -2, 1, false);
  KeyAt(*c, 4).getOutTangent()->setType(TangentType::SmoothNormal);
  c->setProperty("owner", "rig");
  std::next(c->begin(), 2)->setProperty("tag", "ten-twenty");
  c->begin()->setProperty("tag", "leading");
  return c;
}

}  // namespace Fixtures
