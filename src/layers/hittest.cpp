#include "layers/hittest.h"

#include "layers/curvegeometry.h"

#include <arvelle/viewport.h>

#include <tessal/queries.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <unordered_map>
#include <vector>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

using Tessal::FCurve;
using Tessal::HitRecord;
using Tessal::Keyframe;
using Tessal::Rectangle;
using Tessal::Segment;
using Tessal::Tangent;
using Tessal::Vector2D;

namespace {

using Samples = std::vector<Vector2D<double>>;

bool Finite(const Vector2D<double>& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// ---------------------------------------------------------------- handle reach

// Curves up to this many entries have every handle tested; longer ones only
// the handles whose key lies within the curve's handle reach of the point.
constexpr std::size_t cScanAllEntries = 256;

// A zero-length handle still reaches its substitute length.
constexpr double cSubstituteReach = 0.0001;

// Calls f(segment, key, tangent) for every handle of a segment that uses
// tangents, in key order, out-tangent before in-tangent; on a long curve only
// for keys with x in [lo, hi]. Stops when f returns true.
template <class F>
bool ForEachHandle(const FCurve& curve, double lo, double hi, bool limited, F f) {
  FCurve::ConstProjection first = curve.begin(), last = curve.end();
  if (limited) {
    if (!(lo <= hi)) return false;
    // From the segment ending at the first key in range to the one starting
    // at the last.
    first = curve.findSegment(lo);
    if (first != curve.begin()) --first;
    last = curve.findSegment(hi);
  } else {
    --last;
  }
  auto inRange = [&](const Keyframe* key) { return !limited || (key->getX() >= lo && key->getX() <= hi); };
  return ForEachEntry(first, last, curve.end(), [&](const Segment& segment, const Keyframe* left, const Keyframe* right) {
    const auto& interpolator = segment.getInterpolator();
    if (!interpolator || !interpolator->usesTangents()) return false;
    if (left && inRange(left) && f(segment, *left, *segment.getOutTangent())) return true;
    return right && inRange(right) && f(segment, *right, *segment.getInTangent());
  });
}

// ---------------------------------------------------------------- pixel tests

bool KeyHit(const Vector2D<double>& p, const Vector2D<double>& k) {
  return std::fabs(p.x - k.x) <= cKeyPickTolerance && std::fabs(p.y - k.y) <= cKeyPickTolerance;
}

double SquaredDistanceToSegment(const Vector2D<double>& p, const Vector2D<double>& a, const Vector2D<double>& b) {
  const Vector2D<double> ab = b - a;
  const double len2 = ab.dot(ab);
  if (Tessal::NearZero(len2)) return (p - a).dot(p - a);
  const double t = (p - a).dot(ab) / len2;
  if (t < 0) return (p - a).dot(p - a);
  if (t > 1) return (p - b).dot(p - b);
  const Vector2D<double> q = a + ab * t;
  return (p - q).dot(p - q);
}

// The square around the point just beyond a handle's end: the handle's grip.
bool HandleEndHit(const Vector2D<double>& p, const HandlePixels& h) {
  const Vector2D<double> c = h.end + h.dir * cHandleExtension;
  return std::fabs(p.x - c.x) <= cHandleBoxTolerance && std::fabs(p.y - c.y) <= cHandleBoxTolerance;
}

// The line from the key to that point.
bool HandleLineHit(const Vector2D<double>& p, const HandlePixels& h) {
  const Vector2D<double> c = h.end + h.dir * cHandleExtension;
  return SquaredDistanceToSegment(p, h.key, c) <= cHandleLineTolerance * cHandleLineTolerance;
}

// Samples converted to pixels in place.
void ToPixels(const PixelMap& map, Samples& samples, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) samples[i] = map.toPixel(samples[i]);
}

bool PolylineHit(const Vector2D<double>& p, const Samples& s, std::size_t n) {
  const double tol = cCurveLineTolerance;
  for (std::size_t i = 1; i < n; ++i) {
    const Vector2D<double>& a = s[i - 1];
    const Vector2D<double>& b = s[i];
    if (!Finite(a) || !Finite(b)) continue;
    // Box first: left and top edges inclusive, right and bottom exclusive.
    if (p.x < std::min(a.x, b.x) - tol || p.x >= std::max(a.x, b.x) + tol) continue;
    if (p.y < std::min(a.y, b.y) - tol || p.y >= std::max(a.y, b.y) + tol) continue;
    if (static_cast<float>(SquaredDistanceToSegment(p, a, b)) <= static_cast<float>(tol * tol)) return true;
  }
  return false;
}

bool Inside(const Vector2D<double>& p, const Rectangle<double>& r) {
  return p.x >= r.x && p.x < r.x + r.width && p.y >= r.y && p.y < r.y + r.height;
}

bool LineTouches(const Vector2D<double>& a, const Vector2D<double>& b, const Rectangle<double>& r) {
  if (!Finite(a) || !Finite(b)) return false;
  if (Inside(a, r) || Inside(b, r)) return true;
  const double x0 = r.x, x1 = r.x + r.width, y0 = r.y, y1 = r.y + r.height;
  for (double e : {x0, x1}) {
    if ((a.x < e && b.x > e) || (a.x > e && b.x < e)) {
      const double y = a.y + (e - a.x) * (b.y - a.y) / (b.x - a.x);
      if (y >= y0 && y <= y1) return true;
    }
  }
  for (double e : {y0, y1}) {
    if ((a.y < e && b.y > e) || (a.y > e && b.y < e)) {
      const double x = a.x + (e - a.y) * (b.x - a.x) / (b.y - a.y);
      if (x >= x0 && x <= x1) return true;
    }
  }
  return false;
}

bool PolylineTouches(const Samples& s, std::size_t n, const Rectangle<double>& r) {
  for (std::size_t i = 1; i < n; ++i) {
    if (LineTouches(s[i - 1], s[i], r)) return true;
  }
  return false;
}

// The handle window of a point pick on a long curve: keys further than this
// from the point (in x) cannot reach it with any of their handles.
void HandleKeyRange(const FCurve& curve, const PixelMap& map, double px0, double px1, double extraPixels,
                    bool& limited, double& lo, double& hi) {
  limited = curve.size() > cScanAllEntries;
  if (!limited) return;
  const double reachX = std::max(cSubstituteReach, Tessal::GetHandleReach(curve));
  // A pixel of slack absorbs rounding between the two mappings.
  const double pixels = std::max(cFixedHandleLength, reachX * map.sx) + extraPixels + 2.0;
  const double margin = std::max(reachX, pixels * map.upx);
  lo = map.toWorldX(px0) - margin;
  hi = map.toWorldX(px1) + margin;
  if (!std::isfinite(lo) || !std::isfinite(hi)) limited = false;
}

}  // namespace

// ---------------------------------------------------------------- PickItem

bool PickItem(Tessal::FCurveContainer& curves, Tessal::Selection& selection, const Viewport& viewport,
              const Vector2D<double>& point, HitRecord& result) {
  const PixelMap map(viewport);
  if (!map.valid || !Finite(point)) return false;
  if (point.x < map.winX || point.x >= map.winX + map.winWidth || point.y < map.winY || point.y >= map.winBottom)
    return false;
  const double wx = map.toWorldX(point.x);
  Samples samples;
  std::vector<const FCurve*> unselected;

  for (const auto& curvePtr : curves) {
    if (!curvePtr || !Tessal::IsVisible(*curvePtr)) continue;
    const FCurve& curve = *curvePtr;
    if (!selection.isSelected(curve)) {
      unselected.push_back(&curve);
      continue;
    }

    // Tangent handles that the curve shows: their grips first, then, after
    // the keys, their lines. Every shown line starts at its key, so a press
    // on a selected key would otherwise always take one of its handles.
    bool limited;
    double lo = 0, hi = 0;
    HandleKeyRange(curve, map, point.x, point.x,
                   cHandleExtension + std::max(cHandleBoxTolerance, cHandleLineTolerance), limited, lo, hi);
    // One pass: the first grip hit wins at once; the first line hit waits
    // for the keys.
    const Tangent* lineHit = nullptr;
    const Tangent* gripHit = nullptr;
    ForEachHandle(curve, lo, hi, limited, [&](const Segment& segment, const Keyframe& key, const Tangent& tangent) {
      HandlePixels h;
      if (!ComputeHandle(key, tangent, map, true, h)) return false;
      const bool grip = HandleEndHit(point, h);
      if (!grip && (lineHit || !HandleLineHit(point, h))) return false;
      if (!IsTangentShown(selection, segment, tangent)) return false;
      if (!grip) {
        lineHit = &tangent;
        return false;
      }
      gripHit = &tangent;
      return true;
    });
    if (gripHit) {
      result = HitRecord(*gripHit);
      return true;
    }

    // The keys of the segment under the point, left first.
    const auto it = curve.findSegment(wx);
    const Segment& segment = *it.operator->();
    for (const auto& key : {segment.getLeftKey(), segment.getRightKey()}) {
      if (key && KeyHit(point, map.toPixel(key->get()))) {
        result = HitRecord(*key);
        return true;
      }
    }
    if (lineHit) {
      result = HitRecord(*lineHit);
      return true;
    }

    // That segment's polyline.
    const std::size_t n = SampleVisible(segment, map, SampleKind::Value, samples);
    ToPixels(map, samples, n);
    if (PolylineHit(point, samples, n)) {
      result = HitRecord(segment);
      return true;
    }
  }

  for (const FCurve* curve : unselected) {
    const Segment& segment = *curve->findSegment(wx).operator->();
    const std::size_t n = SampleVisible(segment, map, SampleKind::Value, samples);
    ToPixels(map, samples, n);
    if (PolylineHit(point, samples, n)) {
      result = HitRecord(*curve);
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------- PickItems

bool PickItems(Tessal::FCurveContainer& curves, Tessal::Selection&, const Viewport& viewport,
               const Rectangle<double>& r, std::set<HitRecord, Tessal::CompareRecord>& result) {
  result.clear();
  const PixelMap map(viewport);
  if (!map.valid) return false;
  const double ix0 = std::max(r.x, map.winX), ix1 = std::min(r.x + r.width, map.winX + map.winWidth);
  const double iy0 = std::max(r.y, map.winY), iy1 = std::min(r.y + r.height, map.winBottom);
  if (!(ix1 > ix0) || !(iy1 > iy0)) return false;

  const double left = map.toWorldX(r.x), right = map.toWorldX(r.x + r.width);
  // Each curve's records are gathered kind by kind, which is their order in
  // the set, and added at its end: tens of thousands of records are common,
  // and insertion in order is linear. A record out of order still lands in
  // its place, only slower.
  std::vector<HitRecord> segments, keys, tangents;
  Samples samples;
  for (const auto& curvePtr : curves) {
    if (!curvePtr || !Tessal::IsVisible(*curvePtr)) continue;
    const FCurve& curve = *curvePtr;

    // Handles at their real length.
    bool limited;
    double lo = 0, hi = 0;
    HandleKeyRange(curve, map, r.x, r.x + r.width, 0.0, limited, lo, hi);
    // Handles come segment by segment, a key's in-handle before its
    // out-handle: the order of their records.
    ForEachHandle(curve, lo, hi, limited, [&](const Segment&, const Keyframe& key, const Tangent& tangent) {
      const Vector2D<double> k = map.toPixel(key.get());
      const Vector2D<double> e = map.toPixel(key.get() + tangent.get());
      if (LineTouches(k, e, r)) tangents.emplace_back(tangent);
      return false;
    });

    // Segments and keys over the rectangle's width; the curve when any
    // segment is touched.
    const SegmentRange range = FindSegmentRange(curve, left, right);
    bool curveTouched = false;
    bool firstSegment = true;
    ForEachEntry(range.first, range.last, curve.end(),
                 [&](const Segment& segment, const Keyframe* leftKey, const Keyframe* rightKey) {
                   if (firstSegment && leftKey && Inside(map.toPixel(leftKey->get()), r)) keys.emplace_back(*leftKey);
                   firstSegment = false;
                   const std::size_t n =
                       SampleVisible(segment, leftKey, rightKey, map, SampleKind::Value, samples);
                   ToPixels(map, samples, n);
                   if (PolylineTouches(samples, n, r)) {
                     segments.emplace_back(segment);
                     curveTouched = true;
                   }
                   if (rightKey && Inside(map.toPixel(rightKey->get()), r)) keys.emplace_back(*rightKey);
                   return false;
                 });
    if (curveTouched) result.emplace_hint(result.end(), curve);
    for (auto* part : {&segments, &keys, &tangents}) {
      for (auto& record : *part) result.emplace_hint(result.end(), std::move(record));
      part->clear();
    }
  }
  return !result.empty();
}

// ---------------------------------------------------------------- selection

void SelectHitRecord(Tessal::Selection& selection, const HitRecord& record, bool region) {
  const auto curve = record.getCurve();
  if (!curve) return;
  selection.select(*curve);
  // A locked curve can be selected, none of its parts.
  if (Tessal::IsLocked(*curve)) return;

  std::shared_ptr<Keyframe> key;
  switch (record.getType()) {
    case HitRecord::TangentRecord:
    case HitRecord::TangentRecord2:
      if (region) return;
      selection.select(record);
      if (const auto tangent = record.getTangent()) key = tangent->getOwningKeyframe();
      break;
    case HitRecord::KeyframeRecord:
      key = record.getKeyframe();
      break;
    case HitRecord::SegmentRecord:
      if (!region) {
        if (const auto segment = record.getSegment()) {
          selection.select(*segment);
          if (segment->hasLeftKey() && segment->hasRightKey()) selection.select(*segment->getLeftKey());
        }
      }
      return;
    default: return;
  }
  if (!key) return;
  selection.select(*key);
  const auto right = key->getRightSegment();
  if (right && right->hasRightKey()) selection.select(*right);
  if (region) {
    if (const auto in = key->getInTangent()) selection.select(*in);
    if (const auto out = key->getOutTangent()) selection.select(*out);
  }
}

void DeselectHitRecord(Tessal::Selection& selection, const HitRecord& record, bool region) {
  switch (record.getType()) {
    case HitRecord::SegmentRecord:
      if (!region) {
        if (const auto segment = record.getSegment()) {
          selection.deselect(*segment);
          if (segment->hasLeftKey() && segment->hasRightKey()) selection.deselect(*segment->getLeftKey());
        }
      }
      break;
    case HitRecord::KeyframeRecord:
      if (const auto key = record.getKeyframe()) {
        selection.deselect(*key);
        const auto right = key->getRightSegment();
        if (right && right->hasRightKey()) selection.deselect(*right);
        if (const auto in = key->getInTangent()) selection.deselect(*in);
        if (const auto out = key->getOutTangent()) selection.deselect(*out);
      }
      break;
    case HitRecord::TangentRecord:
    case HitRecord::TangentRecord2: selection.deselect(record); break;
    default: break;
  }
}

// ---------------------------------------------------------------- summary

void SummarizeSelection(SelectionSummary& s, Tessal::HitRecordIterator begin, Tessal::HitRecordIterator end) {
  s = SelectionSummary();
  for (auto it = begin; it != end; ++it) {
    const HitRecord& record = *it;
    const auto curve = record.getCurve();
    if (!curve) continue;
    const bool curveLocked = Tessal::IsLocked(*curve);
    const bool curveEditable = Tessal::IsEditable(*curve);
    const bool curveFixed = curveLocked || !curveEditable;
    switch (record.getType()) {
      case HitRecord::Curve:
        ++s.curves;
        if (!curveEditable) ++s.nonEditableCurves;
        if (curveLocked) ++s.lockedCurves;
        for (auto seg = curve->begin(); seg != curve->end(); ++seg) {
          if (!seg->hasRightKey()) continue;
          ++s.keysOfSelectedCurves;
          if (Tessal::IsLocked(*seg->getRightKey())) ++s.lockedKeysOfSelectedCurves;
        }
        if (Tessal::IsVelocityVisible(*curve)) ++s.velocityCurves;
        if (Tessal::IsAccelerationVisible(*curve)) ++s.accelerationCurves;
        break;
      case HitRecord::SegmentRecord:
        ++s.segments;
        if (!curveFixed) ++s.editableSegments;
        break;
      case HitRecord::KeyframeRecord: {
        ++s.keyframes;
        if (curveFixed) ++s.keyframesOfFixedCurves;
        const auto key = record.getKeyframe();
        if (key && Tessal::IsLocked(*key)) {
          ++s.lockedKeyframes;
        } else if (key && !curveFixed) {
          ++s.editableKeyframes;
        }
        break;
      }
      case HitRecord::TangentRecord:
      case HitRecord::TangentRecord2: {
        const auto tangent = record.getTangent();
        if (!tangent || !tangent->isInTangent()) break;
        ++s.inTangents;
        const auto key = tangent->getOwningKeyframe();
        if (key && !Tessal::IsLocked(*key) && !curveFixed) {
          ++s.editableInTangents;
        } else {
          ++s.fixedInTangents;
        }
        break;
      }
      default: break;
    }
  }
}

ZENTHO_ARVELLE_NAMESPACE_END
