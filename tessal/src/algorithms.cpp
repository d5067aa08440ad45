#include <tessal/algorithms.h>

#include "internal.h"

#include <cmath>
#include <iterator>
#include <utility>
#include <vector>

ZENTHO_TESSAL_NAMESPACE_BEGIN

namespace {

using Private::Access;

double MinSep() { return Keyframe::getMinSeparation(); }

// Value (and slope) of the curve at the points' ascending x, walking the
// entries in order instead of looking each point up.
void SampleCurve(const FCurve& curve, std::vector<Vector2D<double>>& points, std::vector<double>* slopes) {
  if (slopes) slopes->assign(points.size(), 0.0);
  if (points.empty()) return;
  const Private::CurveData& c = *Access::data(curve);
  const Private::Entry* e = c.cover(points.front().x);
  const Private::Entry* next = e->next();
  SegmentShape shape;
  bool interior = false, bezier = false, linearX = false, shapeReady = false;
  double span = 0;
  const Interpolator* interp = nullptr;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const double x = points[i].x;
    while (next && next->x() <= x) {
      e = next;
      next = e->next();
      shapeReady = false;
    }
    const Segment& seg = e->segment();
    if (!shapeReady) {
      interior = seg.getShape(shape);
      interp = seg.getInterpolator().get();
      bezier = interior && interp && interp->getExpression() == "bezier()";
      interior = interior && interp;
      // Handles at the thirds of the span make x(t) linear: t is the
      // fraction of the span, as Bezier::SolveParameter finds it too.
      span = shape.p3.x - shape.p0.x;
      const double third = span / 3.0;
      linearX = bezier && span > 0 && std::fabs(shape.p1.x - shape.p0.x - third) <= 1e-12 * span &&
                std::fabs(shape.p3.x - shape.p2.x - third) <= 1e-12 * span;
      shapeReady = true;
    }
    double y = 0, d = 0;
    if (bezier) {
      const double t = !linearX ? Bezier::SolveParameter(shape, x)
                       : x <= shape.p0.x ? 0.0
                       : x >= shape.p3.x ? 1.0
                                         : (x - shape.p0.x) / span;
      const double u = 1.0 - t;
      const double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
      y = b0 * shape.p0.y + b1 * shape.p1.y + b2 * shape.p2.y + b3 * shape.p3.y;
      if (slopes) {
        const double d0 = 3 * u * u, d1 = 6 * u * t, d2 = 3 * t * t;
        const double dx = d0 * (shape.p1.x - shape.p0.x) + d1 * (shape.p2.x - shape.p1.x) +
                          d2 * (shape.p3.x - shape.p2.x);
        const double dy = d0 * (shape.p1.y - shape.p0.y) + d1 * (shape.p2.y - shape.p1.y) +
                          d2 * (shape.p3.y - shape.p2.y);
        d = std::fabs(dx) > 1e-12 ? dy / dx : interp->firstDerivative(shape, x);
      }
    } else if (interior) {
      y = interp->value(shape, x);
      if (slopes) d = interp->firstDerivative(shape, x);
    } else {
      y = seg.eval(x);
      if (slopes) d = seg.evalFirstDerivative(x);
    }
    points[i].y = std::isfinite(y) ? y : 0.0;
    if (slopes) (*slopes)[i] = std::isfinite(d) ? d : 0.0;
  }
}

// Removes every key strictly inside (x0, x1).
void RemoveInner(FCurve& curve, double x0, double x1) {
  auto it = curve.findSegment(x0);
  if (it.key() && it.key()->getX() > x0) {
    // cannot happen (the covering entry's key is at or below x0); be safe
  } else {
    ++it;
  }
  while (it != curve.end() && it.key() && it.key()->getX() < x1) {
    auto next = std::next(it);
    if (it.key()->getX() > x0) curve.removeSegment(it);
    it = next;
  }
}

// Every interior segment from the one covering x0 up to the key at x1
// becomes a bezier segment.
void MakeBezier(FCurve& curve, double x0, double x1, const std::shared_ptr<Interpolator>& bez) {
  const double stop = x1 - 0.5 * MinSep();
  for (auto it = curve.findSegment(x0); it != curve.end(); ++it) {
    if (it.key() && it.key()->getX() >= stop) break;
    if (!it->isExterior() && it->getInterpolator() != bez) it->setInterpolator(bez);
  }
}

// Inserts a key unless one is within the minimum separation; returns the
// entry or end().
FCurve::Projection InsertKey(FCurve& curve, double x, double y,
                             const std::shared_ptr<Interpolator>& bez) {
  Keyframe k(x, y);
  return curve.insertSegment(k, bez);
}

// Fixed, non-weighted, unified handle pair along the slope.
void SetBakedHandles(Keyframe& key, double slope, double step) {
  auto in = key.getInTangent();
  auto out = key.getOutTangent();
  key.setTangentsUnified(false);
  const double h = step / 3.0;
  if (in) {
    in->setType(TangentType::Fixed);
    in->setWeighted(false);
    in->set(-h, -slope * h);
  }
  if (out) {
    out->setType(TangentType::Fixed);
    out->setWeighted(false);
    out->set(h, slope * h);
  }
  key.setTangentsUnified(true);
}

bool Finite(double v) { return std::isfinite(v); }

// Sample points x0 + k step below x1 - min separation, then x1 itself.
bool GridWithEnd(double x0, double x1, double step, std::vector<Vector2D<double>>& points) {
  const double span = x1 - x0;
  if (span / step + 2.0 > static_cast<double>(cMaxGeneratedKeys)) return false;
  const std::size_t n = static_cast<std::size_t>(std::floor(span / step)) + 2;
  points.reserve(n);
  const double limit = x1 - MinSep();
  for (std::size_t k = 0;; ++k) {
    const double x = x0 + static_cast<double>(k) * step;
    if (!(x < limit)) break;
    points.emplace_back(x, 0.0);
    if (points.size() > cMaxGeneratedKeys) return false;
  }
  points.emplace_back(x1, 0.0);
  return points.size() <= cMaxGeneratedKeys;
}

bool CheckSpan(double x0, double x1, double step) {
  if (!Finite(x0) || !Finite(x1) || !Finite(step)) return false;
  if (!(step > 0.0) || step < MinSep()) return false;
  if (!(x1 - x0 >= MinSep())) return false;
  return std::isfinite(x1 - x0);
}

bool FirstLastKey(const FCurve& curve, double& x0, double& x1) {
  if (curve.numKeys() < 2) return false;
  auto first = std::next(curve.begin());
  auto last = std::prev(curve.end());
  x0 = first.key()->getX();
  x1 = last.key()->getX();
  return true;
}

// ---------------------------------------------------------------- mapping

// A handle's offset scaled by (sx, sy) stays in range; automatic handles
// are recomputed afterwards and need no check.
bool ScaleHandle(const Tangent& t, double sx, double sy) {
  return Private::IsAutomatic(t.getType()) || InRange(Vector2D<double>(sx * t.get().x, sy * t.get().y));
}

// x' = sx x + tx, y' = sy y + ty with handles scaled, in place, so that
// every element keeps its identity and every pointer to it stays valid. A
// negative sx reverses the keys: each key's handles exchange sides (and
// identities, so a selected handle stays selected as the handle it
// becomes), and each segment moves with its span to the key that now starts
// it; the exterior segments exchange ends. Everything is checked before
// anything changes.
bool MapCurve(FCurve& curve, double sx, double tx, double sy, double ty) {
  if (!Finite(sx) || !Finite(tx) || !Finite(sy) || !Finite(ty) || sx == 0.0) return false;
  using Private::Entry;
  Private::CurveData& c = *Access::data(curve);
  auto position = [&](const Entry& e) { return Vector2D<double>(sx * e.getX() + tx, sy * e.getY() + ty); };
  // Checked in one pass before anything changes; the new values are worked
  // out again when they are written rather than stored for a million keys.
  std::size_t n = 0;
  double lastX = 0;
  for (const Entry* e = c.first()->next(); e; e = e->next(), ++n) {
    const Vector2D<double> p = position(*e);
    if (!InRange(p) || !ScaleHandle(e->in(), sx, sy) || !ScaleHandle(e->out(), sx, sy)) return false;
    // The same tolerance the curve itself applies, so a curve is never
    // refused a mapping that keeps its own key gaps.
    if (n > 0 && Private::TooClose(std::fabs(p.x - lastX))) return false;
    lastX = p.x;
  }
  if (n == 0) return true;

  auto map = [&](Entry& e) {
    Access::setPosition(e.key(), position(e));
    // Automatic handles are recomputed from the keys below.
    for (Tangent* t : {&e.in(), &e.out()}) {
      if (!Private::IsAutomatic(t->getType()))
        Access::setOffset(*t, Vector2D<double>(sx * t->get().x, sy * t->get().y));
    }
  };
  if (sx > 0) {
    if (Private::IsDeferred(c)) {
      for (Entry* e = c.first()->next(); e; e = e->next()) map(*e);
      Private::RefreshAllHandles(c);
    } else {
      // One pass: a key's automatic handles follow its neighbours, so they
      // are worked out one key behind the mapping.
      Entry* behind = nullptr;
      for (Entry* e = c.first()->next(); e; e = e->next()) {
        map(*e);
        if (behind) Private::ComputeAutoHandles(behind);
        behind = e;
      }
      Private::ComputeAutoHandles(behind);
    }
    Private::TreeRefreshXs(c);
    Private::StructureChanged(c);
    return true;
  }

  const std::vector<Entry*> v = Private::TreeEntries(c);  // the leading entry first
  for (std::size_t i = 1; i < v.size(); ++i) {
    Entry& e = *v[i];
    map(e);
    const Access::TangentValue in = Access::value(e.in());
    Access::assign(e.in(), Access::value(e.out()));
    Access::assign(e.out(), in);
    e.swapped = !e.swapped;
  }

  // Reversed: the segment of entry i (running from key i to key i + 1 in
  // list order) now runs from key i + 1 to key i, so it moves to entry
  // i + 1; the segment after the last key becomes the leading one.
  struct SegmentContent {
    std::shared_ptr<Interpolator> interpolator;
    std::remove_reference_t<decltype(Access::properties(std::declval<Segment&>()))> properties;
    std::uint64_t segId;
  };
  auto take = [](Entry* e) {
    return SegmentContent{e->getInterpolator(), Access::properties(e->segment()), e->segId};
  };
  auto put = [](Entry* e, const SegmentContent& s) {
    Access::setInterpolator(e->segment(), s.interpolator);
    Access::properties(e->segment()) = s.properties;
    e->segId = s.segId;
  };
  const SegmentContent last = take(v[n]);
  for (std::size_t i = n; i >= 1; --i) put(v[i], take(v[i - 1]));
  put(v[0], last);

  std::vector<Entry*> reversed{v[0]};
  reversed.insert(reversed.end(), v.rbegin(), v.rend() - 1);
  Private::TreeBuild(c, reversed);
  c.remapped = false;
  for (const Entry* e : v) c.remapped = c.remapped || e->swapped || e->segId != e->id;
  c.indexReset();
  Private::EntriesChanged(c);
  Private::RefreshAllHandles(c);
  return true;
}

// The kernel over the samples with reads past either end clamped to the end
// sample, in O(n) whatever the radius: prefix sums of y and of j y give each
// window's inner part, and the clamped reads collapse into one weight per end.
// Box weights are 1 over 2r + 1 reads; triangle weights r + 1 - |i| sum to
// (r + 1)^2. Long double keeps radii up to INT_MAX exact enough.
std::vector<double> FilterClamped(const std::vector<Vector2D<double>>& samples, long double r, int filter) {
  const std::size_t n = samples.size();
  if (n == 0) return {};
  std::vector<long double> sy(n + 1, 0.0L), sjy(n + 1, 0.0L);
  for (std::size_t j = 0; j < n; ++j) {
    sy[j + 1] = sy[j] + samples[j].y;
    sjy[j + 1] = sjy[j] + static_cast<long double>(j) * samples[j].y;
  }
  const bool box = filter == BoxFilter;
  const long double total = box ? 2 * r + 1 : (r + 1) * (r + 1);
  const long double last = static_cast<long double>(n) - 1;
  const long double y0 = samples.front().y, yn = samples.back().y;
  std::vector<double> out(n);
  for (std::size_t k = 0; k < n; ++k) {
    const long double kk = static_cast<long double>(k);
    const long double lo = std::max(kk - r, 0.0L), hi = std::min(kk + r, last);
    const std::size_t a = static_cast<std::size_t>(lo), b = static_cast<std::size_t>(hi);
    const long double below = std::max(r - kk, 0.0L);         // reads left of sample 0
    const long double above = std::max(kk + r - last, 0.0L);  // reads right of the last
    long double acc;
    if (box) {
      acc = (sy[b + 1] - sy[a]) + below * y0 + above * yn;
    } else {
      // Inner reads weigh r + 1 - |j - k|; the clamped ones 1 .. below (and
      // 1 .. above), summed as triangular numbers.
      const long double left = kk * (sy[k] - sy[a]) - (sjy[k] - sjy[a]);
      const long double right = (sjy[b + 1] - sjy[k]) - kk * (sy[b + 1] - sy[k]);
      acc = (r + 1) * (sy[b + 1] - sy[a]) - left - right + below * (below + 1) / 2 * y0 +
            above * (above + 1) / 2 * yn;
    }
    out[k] = static_cast<double>(acc / total);
  }
  return out;
}

// What MakeBezier does after a run was replaced: the new segments already
// are bezier, so only the one covering x0, when it is an old one, may not be.
void BezierBeforeRun(Private::CurveData& c, double x0, const std::shared_ptr<Interpolator>& bez) {
  Private::Entry* e = c.cover(x0);
  if (!e->isExterior() && e->getInterpolator() != bez) e->setInterpolator(bez);
}

// The keys standing at a rewritten span's ends keep the handles that face
// away from the span: automatic ones would follow the new keys inside and
// bend the curve beyond the span. Returns the key at x1, if any.
Private::Entry* HoldOuterHandles(Private::CurveData& c, double x0, double x1) {
  auto hold = [](Tangent& t) {
    if (Private::IsAutomatic(t.getType())) Access::setType(t, TangentType::Fixed);
  };
  Private::Entry* left = c.cover(x0);
  if (!left->leading && left->getX() == x0) hold(left->in());
  Private::Entry* right = c.cover(x1);
  if (right->leading || right->getX() != x1) return nullptr;
  hold(right->out());
  return right;
}

}  // namespace

// ---------------------------------------------------------------- bake

// The new keys go in as one run: the list and the index are built once and
// the upkeep runs once, instead of one search, link and upkeep per sample.
// A curve whose order waits for repair (inside a Switch) has no reliable
// run to replace; it takes the keys one at a time.
bool BakeCurve(FCurve& curve, double x0, double x1, double step) {
  if (!CheckSpan(x0, x1, step)) return false;
  std::vector<Vector2D<double>> points;
  if (!GridWithEnd(x0, x1, step, points)) return false;
  std::vector<double> slopes;
  SampleCurve(curve, points, &slopes);

  const auto bez = Bezier::create();
  FCurve::Switch hold(curve);
  Private::CurveData& c = *Access::data(curve);
  const double h = step / 3.0;
  // The span's end keys keep its outside as it is, and face into the span
  // along the curve as the baked keys do.
  Private::Entry* right = HoldOuterHandles(c, x0, x1);
  Private::Entry* left = c.cover(x0);
  if (!left->leading && left->getX() == x0)
    Access::assign(left->out(), Access::handle(false, TangentType::Fixed, Vector2D<double>(h, slopes.front() * h)));
  if (right && right->prev() && !right->prev()->leading) {
    const double m = right->prev()->segment().evalFirstDerivative(x1);
    if (std::isfinite(m)) Access::assign(right->in(), Access::handle(true, TangentType::Fixed, Vector2D<double>(-h, -m * h)));
  }
  if (!c.orderSuspect) {
    // A key already at either end keeps its handles.
    Private::ReplaceRun(c, x0, x1, points, bez, [&](std::size_t k, Access::TangentValue& in, Access::TangentValue& out) {
      const double m = slopes[k];
      in = Access::handle(true, TangentType::Fixed, Vector2D<double>(-h, -m * h));
      out = Access::handle(false, TangentType::Fixed, Vector2D<double>(h, m * h));
    });
    Private::RequestUpkeep(c);
    BezierBeforeRun(c, x0, bez);
    return true;
  }
  RemoveInner(curve, x0, x1);
  // The last sample is x1: a key is added there only when none is near.
  for (std::size_t k = 0; k < points.size(); ++k) {
    auto it = InsertKey(curve, points[k].x, points[k].y, bez);
    if (it == curve.end()) continue;  // an existing key keeps its handles
    SetBakedHandles(*it.key(), slopes[k], step);
  }
  MakeBezier(curve, x0, x1, bez);
  return true;
}

bool BakeInterior(FCurve& curve, double step) {
  if (!Finite(step) || !(step > 0.0) || step < MinSep()) return false;
  double x0, x1;
  if (!FirstLastKey(curve, x0, x1)) return curve.numKeys() == 1;
  return BakeCurve(curve, x0, x1, step);
}

// ---------------------------------------------------------------- smooth

bool SmoothCurve(FCurve& curve, double x0, double x1, double step, int radius, int filter) {
  if (!CheckSpan(x0, x1, step)) return false;
  if (radius < 0 || (filter != BoxFilter && filter != TriangleFilter)) return false;
  std::vector<Vector2D<double>> points;
  if (!GridWithEnd(x0, x1, step, points)) return false;
  SampleCurve(curve, points, nullptr);

  // End keys keep their values: a missing one is added with the curve's.
  const std::size_t n = points.size();
  const std::vector<double> smooth = FilterClamped(points, radius, filter);
  for (std::size_t k = 1; k + 1 < n; ++k) points[k].y = smooth[k];

  const auto bez = Bezier::create();
  FCurve::Switch hold(curve);
  Private::CurveData& c = *Access::data(curve);
  HoldOuterHandles(c, x0, x1);
  if (!c.orderSuspect) {
    // As in BakeCurve: one run. Clamped handles are computed by the upkeep.
    Private::ReplaceRun(c, x0, x1, points, bez, [](std::size_t, Access::TangentValue& in, Access::TangentValue& out) {
      in = Access::handle(true, TangentType::Clamped, {});
      out = Access::handle(false, TangentType::Clamped, {});
    });
    Private::RequestUpkeep(c);
    BezierBeforeRun(c, x0, bez);
    return true;
  }
  RemoveInner(curve, x0, x1);
  auto clampKey = [](Keyframe& key) {
    if (auto t = key.getInTangent()) t->setType(TangentType::Clamped);
    if (auto t = key.getOutTangent()) t->setType(TangentType::Clamped);
  };
  for (const Vector2D<double>& p : points) {
    auto it = InsertKey(curve, p.x, p.y, bez);
    if (it == curve.end()) continue;
    clampKey(*it.key());
  }
  MakeBezier(curve, x0, x1, bez);
  return true;
}

bool SmoothCurveInterior(FCurve& curve, double step, int radius, int filter) {
  if (!Finite(step) || !(step > 0.0) || step < MinSep()) return false;
  if (radius < 0 || (filter != BoxFilter && filter != TriangleFilter)) return false;
  double x0, x1;
  if (!FirstLastKey(curve, x0, x1)) return curve.numKeys() == 1;
  return SmoothCurve(curve, x0, x1, step, radius, filter);
}

// ---------------------------------------------------------------- flip, transform

bool FlipCurve(FCurve& curve, int type, double cx, double cy) {
  if (!Finite(cx) || !Finite(cy)) return false;
  switch (type) {
    case FlipHorizontal: return MapCurve(curve, -1.0, 2.0 * cx, 1.0, 0.0);
    case FlipVertical: return MapCurve(curve, 1.0, 0.0, -1.0, 2.0 * cy);
    case FlipBoth: return MapCurve(curve, -1.0, 2.0 * cx, -1.0, 2.0 * cy);
    default: return false;
  }
}

// MapCurve refuses a scale that squeezes keys closer than the separation.
bool TransformCurve(FCurve& curve, const Vector2D<double>& scale, const Vector2D<double>& translation) {
  if (!IsFinite(scale) || !IsFinite(translation) || scale.x == 0.0) return false;
  return MapCurve(curve, scale.x, translation.x, scale.y, translation.y);
}

ZENTHO_TESSAL_NAMESPACE_END
