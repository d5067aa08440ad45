#include "layers/curvegeometry.h"

#include <arvelle/viewport.h>

#include <algorithm>
#include <cmath>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

using Tessal::Vector2D;

namespace {

// More samples than this never fit any window the widget can have; it only
// bounds the work for absurd window sizes.
constexpr double cMaxSamples = 65536.0;

bool Finite(double v) { return std::isfinite(v); }

}  // namespace

PixelMap::PixelMap(const Viewport& viewport) {
  const auto& win = viewport.getWindowBounds();
  const auto& world = viewport.getWorldBounds();
  winX = win.x;
  winY = win.y;
  winWidth = win.width;
  winHeight = win.height;
  winBottom = win.y + win.height;
  worldX = world.x;
  worldY = world.y;
  worldWidth = world.width;
  worldHeight = world.height;
  sx = win.width / world.width;
  sy = win.height / world.height;
  upx = world.width / win.width;
  upy = world.height / win.height;
  valid = Finite(winX) && Finite(winBottom) && Finite(worldX) && Finite(worldY) && win.width > 0 &&
          win.height > 0 && world.width > 0 && world.height > 0 && Finite(sx) && Finite(sy) && Finite(upx) &&
          Finite(upy) && sx > 0 && sy > 0 && upx > 0 && upy > 0 && Finite(worldX + worldWidth) &&
          Finite(worldY + worldHeight);
}

SegmentRange FindSegmentRange(const Tessal::FCurve& curve, double left, double right) {
  return {curve.findSegment(left), curve.findSegment(right)};
}

std::size_t SampleVisible(const Tessal::Segment& segment, const PixelMap& map, SampleKind kind,
                          std::vector<Vector2D<double>>& out) {
  return SampleVisible(segment, segment.getLeftKey().get(), segment.getRightKey().get(), map, kind, out);
}

std::size_t SampleVisible(const Tessal::Segment& segment, const Tessal::Keyframe* leftKey,
                          const Tessal::Keyframe* rightKey, const PixelMap& map, SampleKind kind,
                          std::vector<Vector2D<double>>& out) {
  if (!map.valid) return 0;
  const double left = map.worldX, right = map.worldX + map.worldWidth;
  double x0 = left, x1 = right;
  if (leftKey) x0 = std::max(left, leftKey->getX());
  if (rightKey) x1 = std::min(right, rightKey->getX());
  // Also refuses NaN ends: no comparison with NaN holds.
  if (!(x0 < right) || !(x1 > left) || !(x1 >= x0)) return 0;

  // One sample per pixel of visible width; the widths count in single
  // precision, as the pixel grid itself does.
  const float windowWidth = static_cast<float>(map.winWidth);
  const float worldWidth = static_cast<float>(map.worldWidth);
  const double perPixel = (x1 - x0) * static_cast<double>(windowWidth) / static_cast<double>(worldWidth);
  const double cap = std::max(2.0, std::min(cMaxSamples, std::ceil(map.winWidth) + 2.0));
  double count = 2.0;
  if (perPixel >= 2.0) count = std::min(std::trunc(perPixel), cap);
  const auto n = static_cast<std::size_t>(count);

  if (out.size() < n) out.resize(n);
  switch (kind) {
    case SampleKind::Value: segment.sample(x0, x1, n, out.data()); break;
    case SampleKind::FirstDerivative: segment.sampleFirstDerivative(x0, x1, n, out.data()); break;
    case SampleKind::SecondDerivative: segment.sampleSecondDerivative(x0, x1, n, out.data()); break;
  }
  return n;
}

Vector2D<double> EffectiveOffset(const Tessal::Tangent& tangent) {
  const Vector2D<double>& v = tangent.get();
  if (Tessal::NearZero(v.length())) return {tangent.isInTangent() ? -0.0001 : 0.0001, 0.0};
  return v;
}

bool ComputeHandle(const Tessal::Keyframe& key, const Tessal::Tangent& tangent, const PixelMap& map,
                   bool fixedLength, HandlePixels& out) {
  const Vector2D<double> k = key.get();
  out.key = map.toPixel(k);
  if (!Finite(out.key.x) || !Finite(out.key.y)) return false;
  const Vector2D<double> v = EffectiveOffset(tangent);
  // In pixels, y downwards.
  Vector2D<double> d(v.x * map.sx, -v.y * map.sy);
  double length = d.length();
  if (!Finite(length)) {
    // A handle too long for doubles in pixels: keep its direction and let it
    // end far outside any window.
    const double scale = std::max(std::fabs(v.x), std::fabs(v.y));
    const Vector2D<double> unit(v.x / scale * map.sx, -v.y / scale * map.sy);
    const double ul = unit.length();
    d = Finite(ul) && ul > 0 ? unit * (1e9 / ul) : Vector2D<double>(tangent.isInTangent() ? -1e9 : 1e9, 0.0);
    length = 1e9;
  }
  if (!(length > 0)) {
    // Shorter than a pixel can tell: it still points away from its key.
    d = Vector2D<double>(tangent.isInTangent() ? -1.0 : 1.0, 0.0);
    length = 1.0;
    out.dir = d;
    out.end = out.key;
  } else {
    out.dir = d / length;
    out.end = out.key + d;
  }
  if (fixedLength && !tangent.isWeighted() && tangent.getType() == Tessal::TangentType::Fixed) {
    out.end = out.key + out.dir * cFixedHandleLength;
  }
  return true;
}

bool IsTangentShown(const Tessal::Selection& selection, const Tessal::Segment& segment,
                    const Tessal::Tangent& tangent) {
  if (selection.isSelected(tangent) || selection.isSelected(segment)) return true;
  const auto left = segment.getLeftKey();
  if (left && selection.isSelected(*left)) return true;
  const auto right = segment.getRightKey();
  if (right && selection.isSelected(*right)) return true;
  const auto other = tangent.isInTangent() ? segment.getOutTangent() : segment.getInTangent();
  if (other) {
    if (selection.isSelected(*other)) return true;
    const auto otherOpposite = other->getOppositeTangent();
    if (otherOpposite && selection.isSelected(*otherOpposite)) return true;
  }
  const auto opposite = tangent.getOppositeTangent();
  return opposite && selection.isSelected(*opposite);
}

ZENTHO_ARVELLE_NAMESPACE_END
