// Fixture curves, whole-curve comparisons and invariant checks shared by the curve-model suites.
#pragma once

#include <tessal/tessal.h>

#include "internal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace Fixtures {

using namespace Zentho::Tessal;
using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// A key and the interpolator of the segment starting at it.
struct KeyRow { double x, y; const char* interp; };

// Builds a curve from a key table; every handle gets the given type.
inline std::shared_ptr<FCurve> MakeCurve(const std::vector<KeyRow>& keys, unsigned char type = TangentType::Smooth,
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

// The i-th key (0 is the first).
inline Keyframe& KeyAt(FCurve& c, std::size_t i) { return *std::next(c.begin(), static_cast<long>(i + 1)).key(); }

// A Fixed handle, set without the key's unification turning the other one.
inline void SetHandle(Keyframe& key, bool in, double x, double y, bool weighted) {
  const bool unified = key.isTangentsUnified();
  key.setTangentsUnified(false);
  auto t = in ? key.getInTangent() : key.getOutTangent();
  t->setType(TangentType::Fixed);
  t->setWeighted(weighted);
  t->set(x, y);
  key.setTangentsUnified(unified);
}

// Slope of the i-th key's in- or out-handle.
inline double HandleSlope(FCurve& c, std::size_t i, bool in) {
  const auto h = (in ? KeyAt(c, i).getInTangent() : KeyAt(c, i).getOutTangent())->get();
  return h.y / h.x;
}

inline bool Near(const Vector2D<double>& a, const Vector2D<double>& b, double tol) {
  return std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol;
}

// Largest |f(x)| over n + 1 points spread over [x0, x1].
template <class F>
double WorstOver(double x0, double x1, F&& f, int n = 3000) {
  double worst = 0;
  for (int i = 0; i <= n; ++i) worst = std::max(worst, std::fabs(f(x0 + (x1 - x0) * i / n)));
  return worst;
}

// Every structural invariant a curve must keep outside a Switch.
inline AssertionResult IsValidCurve(const FCurve& c) {
  std::size_t n = 0;
  double prevX = 0;
  for (auto it = c.begin(); it != c.end(); ++it, ++n) {
    const Segment& s = *it.segment();
    const Keyframe* k = it.key();
    if (n == 0 && (k || s.hasLeftKey() || s.getOutTangent())) return AssertionFailure() << "leading entry has a key";
    if (n > 0) {
      if (!k || !IsFinite(k->get())) return AssertionFailure() << "missing or non-finite key " << n;
      if (n > 1 && !(k->getX() - prevX >= Keyframe::getMinSeparation() - 1e-9))
        return AssertionFailure() << "keys " << n - 1 << " and " << n << " at " << prevX << ", " << k->getX();
      if (!s.getOutTangent() || !IsFinite(s.getOutTangent()->get())) return AssertionFailure() << "handle at " << n;
      prevX = k->getX();
    }
    const bool last = std::next(it) == c.end();
    if (bool(s.getInTangent()) == last) return AssertionFailure() << "in-tangent presence at " << n;
    if (!last && s.getRightKey().get() != std::next(it).key()) return AssertionFailure() << "right key of " << n;
    if (!s.getInterpolator()) return AssertionFailure() << "no interpolator at " << n;
  }
  if (n != c.size()) return AssertionFailure() << "size " << c.size() << " but walked " << n;
  return AssertionSuccess();
}

// The x index's own structure checked against the entry list.
inline AssertionResult IndexSound(const FCurve& c) {
  const std::string err = Private::TreeCheck(*Private::Access::data(c));
  return err.empty() ? AssertionSuccess() : AssertionFailure() << err;
}

// Everything that makes two curves the same: keys with their flags and handles, interpolators, and the segment
// property "tag" per entry.
struct HandleState { Vector2D<double> offset; int type; bool weighted; };
struct KeyState { Vector2D<double> pos; bool breakdown, unified, locked; HandleState in, out; };
struct CurveState { std::vector<KeyState> keys; std::vector<std::string> interps, tags; };

inline CurveState State(const FCurve& c) {
  auto read = [](const Tangent& t) { return HandleState{t.get(), t.getType(), t.isWeighted()}; };
  CurveState s;
  for (auto it = c.begin(); it != c.end(); ++it) {
    s.interps.push_back(it->getInterpolator()->getExpression());
    s.tags.push_back(it->getProperty("tag"));
    if (const Keyframe* k = it.key())
      s.keys.push_back({k->get(), k->isBreakdown(), k->isTangentsUnified(), IsLocked(*k), read(*k->getInTangent()),
                        read(*k->getOutTangent())});
  }
  return s;
}

// Positions and offsets compared within tol; a tol of 0 asks for identity.
inline AssertionResult Same(const CurveState& x, const CurveState& y, double tol) {
  if (x.keys.size() != y.keys.size()) return AssertionFailure() << x.keys.size() << " keys against " << y.keys.size();
  if (x.interps != y.interps || x.tags != y.tags) return AssertionFailure() << "interpolators or segment tags differ";
  auto str = [](const Vector2D<double>& v) {
    std::ostringstream o;
    o.precision(17);
    o << v.x << ", " << v.y;
    return o.str();
  };
  for (std::size_t i = 0; i < x.keys.size(); ++i) {
    const KeyState &p = x.keys[i], &q = y.keys[i];
    if (!Near(p.pos, q.pos, tol))
      return AssertionFailure() << "key " << i << " at " << str(p.pos) << " against " << str(q.pos);
    if (p.breakdown != q.breakdown || p.unified != q.unified || p.locked != q.locked)
      return AssertionFailure() << "flags of key " << i;
    for (auto [g, h] : {std::make_pair(p.in, q.in), std::make_pair(p.out, q.out)}) {
      if (!Near(g.offset, h.offset, tol) || g.type != h.type || g.weighted != h.weighted)
        return AssertionFailure() << "handle of key " << i << ": " << str(g.offset) << " type " << g.type << " against "
                                  << str(h.offset) << " type " << h.type;
    }
  }
  return AssertionSuccess();
}

inline AssertionResult SameCurve(const FCurve& a, const FCurve& b, double tol = 1e-9) {
  return Same(State(a), State(b), tol);
}
inline AssertionResult Unchanged(const FCurve& c, const CurveState& before) { return Same(State(c), before, 0); }

// x:   0     10     20     30     45
// y:   0      5     -3      2      2
// Mixed interpolators and handle types; the first bezier segment has a weighted fixed handle, the key at 20 is a
// locked breakdown, and the segments from 10 and the leading one carry a "tag".
inline std::shared_ptr<FCurve> Mixed(const char* secondInterp = "linear()") {
  auto c = MakeCurve({{0, 0, "bezier()"}, {10, 5, secondInterp}, {20, -3, "ease()"}, {30, 2, "bezier()"},
                      {45, 2, "linear()"}});
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

// The walks against the reference: keys in list order; per entry its out-tangent, then its in-tangent; every record
// in record order; all curve by curve in container order.
inline AssertionResult WalksAgree(const Selection& s) {
  std::vector<const void*> keys, tangents, wantKeys, wantTangents;
  std::set<HitRecord, CompareRecord> wantAll;
  for (const auto& c : *s.getContainer()) {
    if (s.isSelected(*c)) wantAll.insert(HitRecord(c));
    for (auto it = c->begin(); it != c->end(); ++it) {
      if (it.key() && s.isSelected(*it.key())) {
        wantKeys.push_back(it.key());
        wantAll.insert(HitRecord(*it.key()));
      }
      if (s.isSelected(*it.segment())) wantAll.insert(HitRecord(*it.segment()));
      for (auto t : {it->getOutTangent(), it->getInTangent()}) {
        if (!t || !s.isSelected(*t)) continue;
        wantTangents.push_back(t.get());
        wantAll.insert(HitRecord(t));
      }
    }
  }
  for (auto it = BeginSelectedKeyframes(s); it != EndSelectedKeyframes(s); ++it) keys.push_back(it->getKeyframe().get());
  for (auto it = BeginSelectedTangents(s); it != EndSelectedTangents(s); ++it) tangents.push_back(it->getTangent().get());
  if (keys != wantKeys) return AssertionFailure() << "key walk: " << keys.size() << " of " << wantKeys.size();
  if (tangents != wantTangents)
    return AssertionFailure() << "tangent walk: " << tangents.size() << " of " << wantTangents.size();
  const std::vector<HitRecord> all(s.begin(), s.end()), want(wantAll.begin(), wantAll.end());
  if (all.size() != want.size()) return AssertionFailure() << "full walk: " << all.size() << " of " << want.size();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (!(all[i] == want[i])) return AssertionFailure() << "full walk differs at record " << i;
    if (CompareRecord()(all[i], want[i]) || CompareRecord()(want[i], all[i]))
      return AssertionFailure() << "record " << i << " sorts differently from a fresh record";
  }
  return AssertionSuccess();
}

// The keys' x in order.
inline std::vector<double> KeyXs(const FCurve& c) {
  std::vector<double> xs;
  for (auto it = std::next(c.begin()); it != c.end(); ++it) xs.push_back(it.key()->getX());
  return xs;
}

}  // namespace Fixtures
