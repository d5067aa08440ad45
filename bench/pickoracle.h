// Brute-force picking for checking the optimised hit tests: every handle of
// every curve is looked at, written straight from the picking rules with its
// own mapping and geometry, and shares no code with the library's path.
#pragma once

#include <arvelle/viewport.h>

#include <tessal/tessal.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace PickOracle {

namespace T = Zentho::Tessal;
using V = T::Vector2D<double>;

struct Map {
  explicit Map(const Zentho::Arvelle::Viewport& v) : win(v.getWindowBounds()), world(v.getWorldBounds()) {}
  V px(const V& w) const {
    return {win.x + (w.x - world.x) * win.width / world.width,
            win.y + win.height - (w.y - world.y) * win.height / world.height};
  }
  double wx(double px) const { return world.x + (px - win.x) * world.width / win.width; }
  T::Rectangle<double> win, world;
};

// The visible part of a segment, one sample per pixel, in pixels.
inline std::vector<V> Polyline(const T::Segment& s, const Map& m) {
  const double l = m.world.x, r = m.world.x + m.world.width;
  double x0 = l, x1 = r;
  if (s.getLeftKey()) x0 = std::max(l, s.getLeftKey()->getX());
  if (s.getRightKey()) x1 = std::min(r, s.getRightKey()->getX());
  if (x0 >= r || x1 <= l) return {};
  const double exact = (x1 - x0) * static_cast<float>(m.win.width) / static_cast<float>(m.world.width);
  const std::size_t n = std::max<std::size_t>(2, static_cast<std::size_t>(exact));
  std::vector<V> pts(n);
  s.sample(x0, x1, n, pts.data());
  for (auto& p : pts) p = m.px(p);
  return pts;
}

inline double Dist2(const V& p, const V& a, const V& b) {
  const V ab = b - a;
  const double l2 = ab.dot(ab);
  double t = T::NearZero(l2) ? 0.0 : (p - a).dot(ab) / l2;
  t = std::max(0.0, std::min(1.0, t));
  const V q = a + ab * t;
  return (p - q).dot(p - q);
}

inline bool NearPolyline(const V& p, const std::vector<V>& s) {
  for (std::size_t i = 1; i < s.size(); ++i) {
    const V &a = s[i - 1], &b = s[i];
    if (p.x < std::min(a.x, b.x) - 5 || p.x >= std::max(a.x, b.x) + 5) continue;
    if (p.y < std::min(a.y, b.y) - 5 || p.y >= std::max(a.y, b.y) + 5) continue;
    if (static_cast<float>(Dist2(p, a, b)) <= 25.0f) return true;
  }
  return false;
}

inline bool Shown(const T::Selection& sel, const T::Segment& seg, const T::Tangent& t) {
  auto other = t.isInTangent() ? seg.getOutTangent() : seg.getInTangent();
  if (sel.isSelected(t) || sel.isSelected(seg)) return true;
  if (seg.getLeftKey() && sel.isSelected(*seg.getLeftKey())) return true;
  if (seg.getRightKey() && sel.isSelected(*seg.getRightKey())) return true;
  if (other && (sel.isSelected(*other) || (other->getOppositeTangent() && sel.isSelected(*other->getOppositeTangent()))))
    return true;
  return t.getOppositeTangent() && sel.isSelected(*t.getOppositeTangent());
}

// part 0: the grip beyond the end, 1: the line from the key.
inline bool HandleHit(const V& p, const T::Keyframe& k, const T::Tangent& t, const Map& m, int part) {
  V v = t.get();
  if (T::NearZero(v.length())) v = V(t.isInTangent() ? -0.0001 : 0.0001, 0);
  const V kp = m.px(k.get());
  V ep = m.px(k.get() + v);
  const V u = (ep - kp) / (ep - kp).length();
  if (!t.isWeighted() && t.getType() == 0) ep = kp + u * 24.0;
  const V c = ep + u * 8.0;
  if (part == 0) return std::fabs(p.x - c.x) <= 8 && std::fabs(p.y - c.y) <= 8;
  return Dist2(p, kp, c) <= 25.0;
}

inline bool PickItem(T::FCurveContainer& curves, T::Selection& sel, const Zentho::Arvelle::Viewport& vp, const V& p,
                     T::HitRecord& out) {
  const Map m(vp);
  if (p.x < m.win.x || p.x >= m.win.x + m.win.width || p.y < m.win.y || p.y >= m.win.y + m.win.height) return false;
  std::vector<T::FCurve*> later;
  for (const auto& c : curves) {
    if (!T::IsVisible(*c)) continue;
    if (!sel.isSelected(*c)) {
      later.push_back(c.get());
      continue;
    }
    // Grips, then the keys under the point, then handle lines.
    auto handles = [&](int part) {
      for (auto it = c->begin(); it != c->end(); ++it) {
        const T::Segment& s = *it.operator->();
        if (!s.getInterpolator()->usesTangents()) continue;
        if (s.getLeftKey() && Shown(sel, s, *s.getOutTangent()) &&
            HandleHit(p, *s.getLeftKey(), *s.getOutTangent(), m, part)) {
          out = T::HitRecord(s.getOutTangent());
          return true;
        }
        if (s.getRightKey() && Shown(sel, s, *s.getInTangent()) &&
            HandleHit(p, *s.getRightKey(), *s.getInTangent(), m, part)) {
          out = T::HitRecord(s.getInTangent());
          return true;
        }
      }
      return false;
    };
    if (handles(0)) return true;
    const auto seg = *c->findSegment(m.wx(p.x));
    for (const auto& k : {seg->getLeftKey(), seg->getRightKey()}) {
      if (!k) continue;
      const V kp = m.px(k->get());
      if (std::fabs(p.x - kp.x) <= 8 && std::fabs(p.y - kp.y) <= 8) {
        out = T::HitRecord(k);
        return true;
      }
    }
    if (handles(1)) return true;
    if (NearPolyline(p, Polyline(*seg, m))) {
      out = T::HitRecord(seg);
      return true;
    }
  }
  for (T::FCurve* c : later) {
    if (NearPolyline(p, Polyline(**c->findSegment(m.wx(p.x)), m))) {
      out = T::HitRecord(*c);
      return true;
    }
  }
  return false;
}

inline bool InRect(const V& p, const T::Rectangle<double>& r) {
  return p.x >= r.x && p.x < r.x + r.width && p.y >= r.y && p.y < r.y + r.height;
}

// An end inside the half-open rectangle, or a strict crossing of an edge
// line within that edge.
inline bool Touches(const V& a, const V& b, const T::Rectangle<double>& r) {
  if (InRect(a, r) || InRect(b, r)) return true;
  const double xs[2] = {r.x, r.x + r.width}, ys[2] = {r.y, r.y + r.height};
  for (double e : xs) {
    if ((a.x - e) * (b.x - e) < 0) {
      const double y = a.y + (e - a.x) * (b.y - a.y) / (b.x - a.x);
      if (y >= ys[0] && y <= ys[1]) return true;
    }
  }
  for (double e : ys) {
    if ((a.y - e) * (b.y - e) < 0) {
      const double x = a.x + (e - a.y) * (b.x - a.x) / (b.y - a.y);
      if (x >= xs[0] && x <= xs[1]) return true;
    }
  }
  return false;
}

inline bool PickItems(T::FCurveContainer& curves, const Zentho::Arvelle::Viewport& vp, const T::Rectangle<double>& r,
                      std::set<T::HitRecord, T::CompareRecord>& out) {
  out.clear();
  const Map m(vp);
  if (std::min(r.x + r.width, m.win.x + m.win.width) <= std::max(r.x, m.win.x)) return false;
  if (std::min(r.y + r.height, m.win.y + m.win.height) <= std::max(r.y, m.win.y)) return false;
  for (const auto& c : curves) {
    if (!T::IsVisible(*c)) continue;
    for (auto it = c->begin(); it != c->end(); ++it) {
      const T::Segment& s = *it.operator->();
      if (!s.getInterpolator()->usesTangents()) continue;
      if (s.getLeftKey() && Touches(m.px(s.getLeftKey()->get()), m.px(s.getLeftKey()->get() + s.getOutTangent()->get()), r))
        out.insert(T::HitRecord(s.getOutTangent()));
      if (s.getRightKey() && Touches(m.px(s.getRightKey()->get()), m.px(s.getRightKey()->get() + s.getInTangent()->get()), r))
        out.insert(T::HitRecord(s.getInTangent()));
    }
    auto it = c->findSegment(m.wx(r.x));
    const auto last = c->findSegment(m.wx(r.x + r.width));
    bool touched = false;
    if (it->getLeftKey() && InRect(m.px(it->getLeftKey()->get()), r)) out.insert(T::HitRecord(it->getLeftKey()));
    for (;; ++it) {
      const auto pts = Polyline(*it.operator->(), m);
      for (std::size_t i = 1; i < pts.size(); ++i) {
        if (Touches(pts[i - 1], pts[i], r)) {
          out.insert(T::HitRecord(*it));
          touched = true;
          break;
        }
      }
      if (it->getRightKey() && InRect(m.px(it->getRightKey()->get()), r)) out.insert(T::HitRecord(it->getRightKey()));
      if (it == last) break;
    }
    if (touched) out.insert(T::HitRecord(*c));
  }
  return !out.empty();
}

}  // namespace PickOracle
