// The library's upkeep of curves: automatic handles recomputed from the
// neighbouring keys, and the repair of an x order broken by Keyframe::set.
// Both wait while an FCurve::Switch is held.
#include "internal.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

ZENTHO_TESSAL_NAMESPACE_BEGIN
namespace Private {

namespace {

// Curves whose upkeep waits for a Switch to end. Never destroyed, so curves
// destroyed during static destruction can still forget themselves.
std::unordered_set<CurveData*>& Pending() {
  static auto* pending = new std::unordered_set<CurveData*>();
  return *pending;
}

void RunUpkeep(CurveData& c) {
  c.upkeepPending = false;
  if (c.orderSuspect) {
    RepairOrder(c);
    return;
  }
  // Handles are computed from key positions only, so nothing below marks
  // entries again. A small list keeps its capacity for the next edit; the
  // one a long deferred edit grew is given back.
  for (auto& e : c.dirtyEntries) {
    e->dirty = false;
    if (e->curve == &c && !e->leading) ComputeAutoHandles(e.get());
  }
  if (c.dirtyEntries.capacity() > 64) std::vector<std::shared_ptr<Entry>>().swap(c.dirtyEntries);
  else c.dirtyEntries.clear();
}

// How far the two slopes either side of a key allow its handle to tilt
// without the bezier leaving the neighbours' value range: a handle one third
// of the span long rises m h / 3, which stays within the rise s h of the
// segment as long as |m| <= 3 |s|.
double Limit(double m, double sp, double sn) {
  const double bound = 3.0 * std::min(std::fabs(sp), std::fabs(sn));
  return std::max(-bound, std::min(bound, m));
}

double SideSlope(unsigned char type, bool inSide, const Entry* p, const Entry* k, const Entry* n) {
  const double kx = k->get().x, ky = k->get().y;
  const bool hasP = p != nullptr, hasN = n != nullptr;
  const double sp = hasP ? (ky - p->get().y) / (kx - p->get().x) : 0.0;
  const double sn = hasN ? (n->get().y - ky) / (n->get().x - kx) : 0.0;
  auto smooth = [&] {
    if (hasP && hasN) return (n->get().y - p->get().y) / (n->get().x - p->get().x);
    return hasP ? sp : sn;
  };
  switch (type) {
    case TangentType::Flat:
      return 0.0;
    case TangentType::Linear:
      return inSide ? sp : sn;
    case TangentType::Smooth:
      return smooth();
    case TangentType::SmoothNormal: {
      if (!(hasP && hasN)) return hasP ? sp : sn;
      // The weighted harmonic mean of the two secants, as monotone cubic
      // interpolation takes it: it leans to the flatter side, so a key close
      // to one neighbour does not overshoot on the long span beyond it, and
      // it is flat where the secants change sign.
      if (!(sp * sn > 0)) return 0.0;
      const double hp = kx - p->get().x, hn = n->get().x - kx;
      const double wp = 2 * hn + hp, wn = hn + 2 * hp;
      return (wp + wn) / (wp / sp + wn / sn);
    }
    case TangentType::Clamped:
    case TangentType::Plateau: {
      if (!(hasP && hasN)) return type == TangentType::Plateau ? 0.0 : (hasP ? sp : sn);
      if (NearEqual(ky, p->get().y) || NearEqual(ky, n->get().y)) return 0.0;
      if (sp * sn <= 0) return 0.0;  // a local extremum
      return Limit(smooth(), sp, sn);
    }
    default:
      return 0.0;
  }
}

// Slopes are finite for separated keys; guard against overflow of extreme
// values all the same, since a non-finite handle would poison every eval.
double Finite(double v) { return std::isfinite(v) ? v : 0.0; }

// An automatic handle of the given length along slope m. Keys in range give
// offsets in range; the clamp is the last guard of that promise.
Vector2D<double> AutoOffset(double length, double m) {
  const double y = Finite(m * length);
  return Vector2D<double>(length, std::max(-cMaxCoordinate, std::min(cMaxCoordinate, y)));
}

}  // namespace


int& GlobalSwitchDepth() {
  static int depth = 0;
  return depth;
}

bool IsDeferred(const CurveData& c) {
  return GlobalSwitchDepth() > 0 || (c.owner && Access::switchDepth(*c.owner) > 0);
}

void MarkDirty(CurveData& c, Entry* e) {
  if (!e || e->leading || e->dirty) return;
  e->dirty = true;
  c.dirtyEntries.push_back(e->self);
}

void MarkAround(CurveData& c, Entry* e) {
  MarkDirty(c, e);
  if (e) {
    MarkDirty(c, e->prev());
    MarkDirty(c, e->next());
  }
}

void RequestUpkeep(CurveData& c) {
  if (IsDeferred(c)) {
    if (!c.upkeepPending) {
      c.upkeepPending = true;
      Pending().insert(&c);
    }
    return;
  }
  RunUpkeep(c);
}

void ForgetPending(CurveData* c) { Pending().erase(c); }

void SwitchReleased(FCurve* curve) {
  if (curve) {
    CurveData* c = Access::data(*curve);
    if (c && c->upkeepPending && !IsDeferred(*c)) {
      Pending().erase(c);
      RunUpkeep(*c);
    }
    return;
  }
  if (GlobalSwitchDepth() > 0) return;
  // Copy: upkeep never opens a Switch, but stay safe against re-entry.
  std::vector<CurveData*> ready;
  for (CurveData* c : Pending())
    if (!IsDeferred(*c)) ready.push_back(c);
  for (CurveData* c : ready) {
    Pending().erase(c);
    RunUpkeep(*c);
  }
}

void ComputeAutoHandles(Entry* e) {
  Entry* p = e->prev();
  Entry* pk = p && !p->leading ? p : nullptr;
  Entry* n = e->next();
  const double spanP = pk ? e->get().x - pk->get().x : 0.0;
  const double spanN = n ? n->get().x - e->get().x : 0.0;
  // A handle without a neighbour on its side borrows the other side's span.
  const double inLen = (pk ? spanP : (n ? spanN : 1.0)) / 3.0;
  const double outLen = (n ? spanN : (pk ? spanP : 1.0)) / 3.0;
  Tangent& in = e->in();
  if (IsAutomatic(in.getType())) {
    const double m = Finite(SideSlope(in.getType(), true, pk, e, n));
    Access::setOffset(in, -AutoOffset(inLen, m));
  }
  Tangent& out = e->out();
  if (IsAutomatic(out.getType())) {
    const double m = Finite(SideSlope(out.getType(), false, pk, e, n));
    Access::setOffset(out, AutoOffset(outLen, m));
  }
}

void RefreshAllHandles(CurveData& c) {
  if (IsDeferred(c)) {
    for (Entry* e = c.first(); e; e = e->next()) MarkDirty(c, e);
    RequestUpkeep(c);
    return;
  }
  // All at once: no dirty list to fill and empty again.
  for (Entry* e = c.first(); e; e = e->next())
    if (!e->leading) ComputeAutoHandles(e);
}

void RepairOrder(CurveData& c) {
  c.orderSuspect = false;
  std::vector<Entry*> v = TreeEntries(c);
  std::stable_sort(v.begin() + 1, v.end(), [](const Entry* a, const Entry* b) { return a->get().x < b->get().x; });
  // Push keys right just as far as the separation needs. Far from zero the
  // doubles are coarser than the separation: x + sep may round back to x or
  // to less than sep beyond it, so step up to the next representable value
  // until the gap holds.
  const double sep = Keyframe::getMinSeparation();
  for (std::size_t i = 2; i < v.size(); ++i) {
    const double prevX = v[i - 1]->get().x;
    if (!TooClose(v[i]->get().x - prevX)) continue;
    double x = prevX + sep;
    while (TooClose(x - prevX)) x = std::nextafter(x, std::numeric_limits<double>::infinity());
    Access::setPosition(v[i]->key(), Vector2D<double>(x, v[i]->get().y));
  }
  // Pushed past the accepted range at the top: the last key goes to its
  // edge and the keys before it step left as far as they must, so that
  // every key stays where a later set() of its own position is accepted.
  if (v.size() > 1 && v.back()->get().x > cMaxCoordinate) {
    Access::setPosition(v.back()->key(), Vector2D<double>(cMaxCoordinate, v.back()->get().y));
    for (std::size_t i = v.size() - 2; i >= 1; --i) {
      const double nextX = v[i + 1]->get().x;
      if (!TooClose(nextX - v[i]->get().x)) break;
      double x = nextX - sep;
      while (TooClose(nextX - x)) x = std::nextafter(x, -std::numeric_limits<double>::infinity());
      Access::setPosition(v[i]->key(), Vector2D<double>(x, v[i]->get().y));
    }
  }
  TreeBuild(c, v);
  StructureChanged(c);
  for (Entry* e : v) e->dirty = false;
  c.dirtyEntries.clear();
  for (std::size_t i = 1; i < v.size(); ++i) ComputeAutoHandles(v[i]);
}

}  // namespace Private
ZENTHO_TESSAL_NAMESPACE_END
