// Read-only questions about curves and selections: extents, indices of
// tangents and segments, and the geometry of a new key.
#pragma once

#include <tessal/container.h>
#include <tessal/fcurve.h>
#include <tessal/selection.h>

ZENTHO_TESSAL_NAMESPACE_BEGIN

// Bounding box of the curve between its first and last key, overshoot of
// the segments included. False (rect untouched) without keys.
ZENTHO_TESSAL_EXPORT bool GetInteriorExtents(const FCurve& curve, Rectangle<double>& rect);
// Union of the interior extents of the visible curves; false when no visible
// curve has a key.
ZENTHO_TESSAL_EXPORT bool GetVisibleExtents(const FCurveContainer& container, const Selection& selection,
                       Rectangle<double>& rect);
// Selected keys and the keys of selected segments and tangents; when there
// are none, the interior extents of the selected curves. False when nothing
// qualifies.
ZENTHO_TESSAL_EXPORT bool GetSelectedExtents(const Selection& selection, Rectangle<double>& rect);

// Index in the curve's tangent walk (per entry its out-tangent, then its
// in-tangent); -1 when the tangent is not in the curve.
ZENTHO_TESSAL_EXPORT int GetTangentIndex(const FCurve& curve, const Tangent& tangent);
// Null when out of range.
ZENTHO_TESSAL_EXPORT std::shared_ptr<Tangent> GetIndexedTangent(const FCurve& curve, int index);
// Index of the entry (0 is the leading segment); -1 when not in the curve.
ZENTHO_TESSAL_EXPORT int GetSegmentIndex(const FCurve& curve, const Segment& segment);
// end() when out of range.
ZENTHO_TESSAL_EXPORT FCurve::Projection GetIndexedSegmentIterator(FCurve& curve, int index);

// No handle of the curve reaches further than this from its key in x, so a
// search for handles near an x need look only at keys within it. An upper
// bound, O(1): it follows every handle that grows, and may stay above the
// longest one after handles shrink (a copy of the curve measures it anew).
ZENTHO_TESSAL_EXPORT double GetHandleReach(const FCurve& curve);

// (x, eval(x)). False (point untouched) for a non-finite x.
ZENTHO_TESSAL_EXPORT bool GetNewKeyframe(const FCurve& curve, double x, Vector2D<double>& point);

// For an interior "bezier()" segment covering x: the point on the curve and
// the four handle offsets (left key out, new key in, new key out, right key
// in) that reproduce the shape exactly as fixed, weighted handles when a key
// is inserted at x. False otherwise (outputs untouched).
ZENTHO_TESSAL_EXPORT bool ComputeBezierInsertion(const FCurve& curve, double x, Vector2D<double>& p,
                            Vector2D<double>& h1, Vector2D<double>& h2, Vector2D<double>& h3,
                            Vector2D<double>& h4);

ZENTHO_TESSAL_NAMESPACE_END
