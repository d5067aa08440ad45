#include <tessal/queries.h>

#include "internal.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

ZENTHO_TESSAL_NAMESPACE_BEGIN

namespace {

using Private::Access;
using Private::CurveData;
using Private::Entry;

// Running bounding box of points.
struct Bounds {
  double x0 = std::numeric_limits<double>::infinity();
  double y0 = std::numeric_limits<double>::infinity();
  double x1 = -std::numeric_limits<double>::infinity();
  double y1 = -std::numeric_limits<double>::infinity();
  bool any = false;

  void add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    x0 = std::min(x0, x);
    y0 = std::min(y0, y);
    x1 = std::max(x1, x);
    y1 = std::max(y1, y);
    any = true;
  }
  void add(const Vector2D<double>& p) { add(p.x, p.y); }
  void add(const Rectangle<double>& r) {
    add(r.x, r.y);
    add(r.x + r.width, r.y + r.height);
  }
  Rectangle<double> rect() const { return Rectangle<double>(x0, y0, x1 - x0, y1 - y0); }
};

double CubicAt(double a, double b, double c, double d, double t) {
  const double u = 1.0 - t;
  return u * u * u * a + 3.0 * u * u * t * b + 3.0 * u * t * t * c + t * t * t * d;
}

// Adds the extrema of y(t) of a cubic bezier shape on (0, 1).
void AddBezierExtrema(const SegmentShape& s, Bounds& b) {
  // y'(t) / 3 = qa t^2 + qb t + qc
  const double a = s.p0.y, p = s.p1.y, q = s.p2.y, d = s.p3.y;
  const double qa = -a + 3.0 * p - 3.0 * q + d;
  const double qb = 2.0 * (a - 2.0 * p + q);
  const double qc = p - a;
  auto addT = [&](double t) {
    if (t > 0.0 && t < 1.0) b.add(CubicAt(s.p0.x, s.p1.x, s.p2.x, s.p3.x, t), CubicAt(a, p, q, d, t));
  };
  const double scale = std::max({std::fabs(qa), std::fabs(qb), std::fabs(qc)});
  if (scale == 0.0) return;
  if (std::fabs(qa) <= 1e-12 * scale) {
    if (qb != 0.0) addT(-qc / qb);
    return;
  }
  const double disc = qb * qb - 4.0 * qa * qc;
  if (disc < 0.0) return;
  const double sq = std::sqrt(disc);
  // Numerically stable pair of roots.
  const double k = -0.5 * (qb + (qb >= 0.0 ? sq : -sq));
  if (k != 0.0) {
    addT(k / qa);
    addT(qc / k);
  } else {
    addT(0.0);  // both roots zero
  }
}

// The built-in interpolators other than the bezier never leave the range of
// their two keys.
bool StaysBetweenKeys(const Interpolator& i) {
  static const Interpolator* const within[] = {Linear::create().get(), Constant::create().get(),
                                               Ease::create(Ease::InOut).get(), Ease::create(Ease::In).get(),
                                               Ease::create(Ease::Out).get()};
  return std::find(std::begin(within), std::end(within), &i) != std::end(within);
}

bool IsBezier(const Interpolator& i) {
  static const Interpolator* const bezier = Bezier::create().get();
  return &i == bezier || i.getExpression() == "bezier()";
}

void AddSegment(const Segment& seg, Bounds& b) {
  SegmentShape shape;
  if (!seg.getShape(shape)) return;
  b.add(shape.p0);
  b.add(shape.p3);
  const auto& interp = seg.getInterpolator();
  if (interp && IsBezier(*interp)) {
    // A bezier lies within its control points: a segment whose control
    // points the bounds hold already cannot widen them.
    const double lo = std::min(std::min(shape.p1.y, shape.p2.y), std::min(shape.p0.y, shape.p3.y));
    const double hi = std::max(std::max(shape.p1.y, shape.p2.y), std::max(shape.p0.y, shape.p3.y));
    if (b.any && lo >= b.y0 && hi <= b.y1) return;
    AddBezierExtrema(shape, b);
    return;
  }
  if (interp && StaysBetweenKeys(*interp)) return;
  constexpr std::size_t cSamples = 64;
  Vector2D<double> pts[cSamples];
  seg.sample(shape.p0.x, shape.p3.x, cSamples, pts);
  for (const auto& pt : pts) b.add(pt);
}

bool InteriorBounds(const FCurve& curve, Bounds& b) {
  if (curve.numKeys() == 0) return false;
  for (auto it = curve.begin(); it != curve.end(); ++it) {
    if (const Keyframe* k = it.key()) b.add(k->get());
    AddSegment(*it.segment(), b);
  }
  return true;
}

// The curve's interior extents, measured once per shape of the curve:
// framing asks for them of every curve, and most curves did not change.
bool CachedExtents(const FCurve& curve, Rectangle<double>& rect) {
  const CurveData& d = *Access::data(curve);
  if (d.extents.version != d.shapeVersion) {
    Bounds b;
    InteriorBounds(curve, b);
    d.extents.version = d.shapeVersion;
    d.extents.any = b.any;
    if (b.any) d.extents.rect = b.rect();
  }
  if (!d.extents.any) return false;
  rect = d.extents.rect;
  return true;
}

// Position of the entry in its curve, or npos when it is not in this curve.
constexpr std::size_t npos = static_cast<std::size_t>(-1);
std::size_t RankIn(const FCurve& curve, const Entry* e) {
  const CurveData* data = Access::data(curve);
  if (!e || !data || e->curve != data) return npos;
  return data->rank(e);
}

}  // namespace

bool GetInteriorExtents(const FCurve& curve, Rectangle<double>& rect) { return CachedExtents(curve, rect); }

bool GetVisibleExtents(const FCurveContainer& container, const Selection& /*selection*/,
                       Rectangle<double>& rect) {
  Bounds b;
  for (const auto& curve : container) {
    Rectangle<double> r;
    if (curve && curve->isVisible() && CachedExtents(*curve, r)) b.add(r);
  }
  if (!b.any) return false;
  rect = b.rect();
  return true;
}

bool GetSelectedExtents(const Selection& selection, Rectangle<double>& rect) {
  Bounds keys;
  Bounds curves;
  for (auto it = selection.begin(); it != selection.end(); ++it) {
    const HitRecord& r = *it;
    switch (r.getType()) {
      case HitRecord::KeyframeRecord:
        if (auto k = r.getKeyframe()) keys.add(k->get());
        break;
      case HitRecord::SegmentRecord:
        if (auto s = r.getSegment()) {
          if (auto k = s->getLeftKey()) keys.add(k->get());
          if (auto k = s->getRightKey()) keys.add(k->get());
        }
        break;
      case HitRecord::TangentRecord:
      case HitRecord::TangentRecord2:
        if (auto t = r.getTangent()) {
          if (auto k = t->getOwningKeyframe()) keys.add(k->get());
        }
        break;
      case HitRecord::Curve:
        if (auto c = r.getCurve()) {
          Rectangle<double> e;
          if (CachedExtents(*c, e)) curves.add(e);
        }
        break;
      default:
        break;
    }
  }
  const Bounds& chosen = keys.any ? keys : curves;
  if (!chosen.any) return false;
  rect = chosen.rect();
  return true;
}

// In the walk an entry's in-tangent is its right key's in-handle, so a key's
// in-handle comes right before its out-handle: in-handle of the key at
// position p (p >= 1) is 2 p - 2, its out-handle 2 p - 1.
int GetTangentIndex(const FCurve& curve, const Tangent& tangent) {
  const Entry* e = Access::entryOf(tangent);
  const std::size_t p = RankIn(curve, e);
  if (p == npos || p == 0 || e->leading) return -1;
  return static_cast<int>(tangent.isInTangent() ? 2 * p - 2 : 2 * p - 1);
}

std::shared_ptr<Tangent> GetIndexedTangent(const FCurve& curve, int index) {
  const CurveData* data = Access::data(curve);
  if (!data || index < 0) return nullptr;
  const std::size_t i = static_cast<std::size_t>(index);
  const std::size_t p = i / 2 + 1;
  if (p >= data->size()) return nullptr;
  const Entry* e = data->at(p);
  if (!e || e->leading) return nullptr;
  return i % 2 == 0 ? Access::inPtr(e) : Access::outPtr(e);
}

int GetSegmentIndex(const FCurve& curve, const Segment& segment) {
  const std::size_t p = RankIn(curve, Access::entryOf(segment));
  return p == npos ? -1 : static_cast<int>(p);
}

FCurve::Projection GetIndexedSegmentIterator(FCurve& curve, int index) {
  const CurveData* data = Access::data(curve);
  if (!data || index < 0 || static_cast<std::size_t>(index) >= data->size()) return curve.end();
  Entry* e = data->at(static_cast<std::size_t>(index));
  if (!e) return curve.end();
  return Access::iteratorOf(data, e);
}

double GetHandleReach(const FCurve& curve) { return Access::data(curve)->handleReach; }

bool GetNewKeyframe(const FCurve& curve, double x, Vector2D<double>& point) {
  if (!std::isfinite(x)) return false;
  const double y = curve.eval(x);
  if (!std::isfinite(y)) return false;
  point = Vector2D<double>(x, y);
  return true;
}

bool ComputeBezierInsertion(const FCurve& curve, double x, Vector2D<double>& p,
                            Vector2D<double>& h1, Vector2D<double>& h2, Vector2D<double>& h3,
                            Vector2D<double>& h4) {
  if (!std::isfinite(x)) return false;
  auto it = curve.findSegment(x);
  if (it == curve.end()) return false;
  const Segment& seg = *it.segment();
  if (seg.isExterior()) return false;
  const auto& interp = seg.getInterpolator();
  if (!interp || interp->getExpression() != "bezier()") return false;
  SegmentShape s;
  if (!seg.getShape(s)) return false;
  if (!(x > s.p0.x && x < s.p3.x)) return false;
  const double t = Bezier::SolveParameter(s, x);
  auto lerp = [t](const Vector2D<double>& a, const Vector2D<double>& b) { return a + (b - a) * t; };
  const Vector2D<double> a = lerp(s.p0, s.p1);
  const Vector2D<double> e = lerp(s.p1, s.p2);
  const Vector2D<double> d = lerp(s.p2, s.p3);
  const Vector2D<double> b = lerp(a, e);
  const Vector2D<double> c = lerp(e, d);
  const Vector2D<double> m = lerp(b, c);
  if (!IsFinite(m) || !IsFinite(a) || !IsFinite(d)) return false;
  p = m;
  h1 = a - s.p0;
  h2 = b - m;
  h3 = c - m;
  h4 = d - s.p3;
  return true;
}

ZENTHO_TESSAL_NAMESPACE_END
