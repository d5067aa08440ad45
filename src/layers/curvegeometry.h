// Geometry shared by curve drawing and hit testing: the world/pixel mapping,
// the visible segment range and its screen-resolution sampling, tangent
// handle shapes in pixels and the rule that decides which handles show.
// Drawing and picking both go through these so that what is hit is exactly
// what is drawn.
#pragma once

#include <arvelle/version.h>

#include <tessal/fcurve.h>
#include <tessal/selection.h>
#include <tessal/types.h>

#include <cstddef>
#include <vector>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

class Viewport;

// World to window pixels (y downwards) and back, for one viewport state.
struct PixelMap {
  explicit PixelMap(const Viewport& viewport);

  double toPixelX(double wx) const { return winX + (wx - worldX) * sx; }
  double toPixelY(double wy) const { return winBottom - (wy - worldY) * sy; }
  Tessal::Vector2D<double> toPixel(const Tessal::Vector2D<double>& w) const {
    return {toPixelX(w.x), toPixelY(w.y)};
  }
  double toWorldX(double px) const { return worldX + (px - winX) * upx; }
  double toWorldY(double py) const { return worldY + (winBottom - py) * upy; }
  Tessal::Vector2D<double> toWorld(const Tessal::Vector2D<double>& p) const {
    return {toWorldX(p.x), toWorldY(p.y)};
  }

  double winX, winY, winWidth, winHeight, winBottom;
  double worldX, worldY, worldWidth, worldHeight;
  double sx, sy;    // pixels per world unit
  double upx, upy;  // world units per pixel
  // False for a degenerate or non-finite viewport: nothing can be drawn or hit.
  bool valid;
};

// The entries from the one covering the left edge to the one covering the
// right edge, both inclusive; last is the final entry to visit.
struct SegmentRange {
  Tessal::FCurve::ConstProjection first;
  Tessal::FCurve::ConstProjection last;
};
SegmentRange FindSegmentRange(const Tessal::FCurve& curve, double left, double right);

enum class SampleKind { Value, FirstDerivative, SecondDerivative };

// The part of the segment inside the view, one sample per pixel of its
// width, at least two; no samples when it lies outside the view. Returns the
// number of samples written to out (resized as needed).
std::size_t SampleVisible(const Tessal::Segment& segment, const PixelMap& map, SampleKind kind,
                          std::vector<Tessal::Vector2D<double>>& out);
// The same with the segment's keys (null when absent) already at hand.
std::size_t SampleVisible(const Tessal::Segment& segment, const Tessal::Keyframe* left, const Tessal::Keyframe* right,
                          const PixelMap& map, SampleKind kind, std::vector<Tessal::Vector2D<double>>& out);

// Calls f(segment, left key, right key) for the entries from first to last
// inclusive, until f returns true; keys are null where the segment has none.
// Returns whether f stopped the walk.
template <class F>
bool ForEachEntry(Tessal::FCurve::ConstProjection first, Tessal::FCurve::ConstProjection last,
                  Tessal::FCurve::ConstProjection end, F f) {
  if (first == end) return false;
  for (auto it = first;;) {
    auto next = it;
    ++next;
    if (f(*it.operator->(), static_cast<const Tessal::Keyframe*>(it.key()),
          next == end ? nullptr : static_cast<const Tessal::Keyframe*>(next.key())))
      return true;
    if (it == last || next == end) return false;
    it = next;
  }
}

// The handle offset, with a zero-length handle replaced by a tiny one
// pointing away from its key so that it still has a direction.
Tessal::Vector2D<double> EffectiveOffset(const Tessal::Tangent& tangent);

// A handle in pixels: key K, drawn end E, unit direction u from K to E.
struct HandlePixels {
  Tessal::Vector2D<double> key;
  Tessal::Vector2D<double> end;
  Tessal::Vector2D<double> dir;
};
// fixedLength applies the on-screen length of non-weighted Fixed handles.
// False when the key is not finite.
bool ComputeHandle(const Tessal::Keyframe& key, const Tessal::Tangent& tangent, const PixelMap& map,
                   bool fixedLength, HandlePixels& out);

// Length in pixels at which non-weighted Fixed handles are drawn.
constexpr double cFixedHandleLength = 24.0;

// Whether the handle is drawn at all: it, its segment, a key of that
// segment, the segment's other handle or that handle's opposite, or its own
// opposite must be selected.
bool IsTangentShown(const Tessal::Selection& selection, const Tessal::Segment& segment,
                    const Tessal::Tangent& tangent);

ZENTHO_ARVELLE_NAMESPACE_END
