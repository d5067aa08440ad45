// Hit testing: window points and rectangles resolved to curve items, hit
// records applied to a selection with the parts a click or a rubber band
// takes along, and a count of what a selection holds. All tolerances are in
// window pixels (x right, y down) after the viewport mapping.
#pragma once

#include <arvelle/version.h>

#include <tessal/container.h>
#include <tessal/selection.h>
#include <tessal/types.h>

#include <set>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

class Viewport;

// Pick tolerances, in pixels.
constexpr double cKeyPickTolerance = 8.0;       // keys: a 17 x 17 box
constexpr double cHandleBoxTolerance = 8.0;     // box around the point past the handle end
constexpr double cHandleExtension = 8.0;        // that point's distance past the end
constexpr double cHandleLineTolerance = 5.0;    // distance to the handle line
constexpr double cCurveLineTolerance = 5.0;     // distance to a segment's polyline

// The single item under a window point: handles of selected curves, then
// their keys and segments, then unselected curves as whole curves. result is
// written only on a hit.
bool PickItem(Tessal::FCurveContainer& curves, Tessal::Selection& selection, const Viewport& viewport,
              const Tessal::Vector2D<double>& point, Tessal::HitRecord& result);

// Every handle, segment, key and curve that the window rectangle (pixels, y
// down) touches. The selection is not consulted. The set is cleared first;
// returns whether it is non-empty.
bool PickItems(Tessal::FCurveContainer& curves, Tessal::Selection& selection, const Viewport& viewport,
               const Tessal::Rectangle<double>& rectangle, std::set<Tessal::HitRecord, Tessal::CompareRecord>& result);

// Applies a record with the related parts: region is false for a click,
// true for records from a rubber band.
void SelectHitRecord(Tessal::Selection& selection, const Tessal::HitRecord& record, bool region);
void DeselectHitRecord(Tessal::Selection& selection, const Tessal::HitRecord& record, bool region);

// Counts over a range of selected records.
struct SelectionSummary {
  int curves = 0;
  int nonEditableCurves = 0;
  int lockedCurves = 0;
  int keysOfSelectedCurves = 0;
  int lockedKeysOfSelectedCurves = 0;
  int velocityCurves = 0;
  int accelerationCurves = 0;
  int segments = 0;
  int editableSegments = 0;
  int keyframes = 0;
  int keyframesOfFixedCurves = 0;
  int lockedKeyframes = 0;
  int editableKeyframes = 0;
  int inTangents = 0;
  int editableInTangents = 0;
  int fixedInTangents = 0;

  bool anyLockedCurve() const { return lockedCurves > 0; }
  bool anyEditableKeyframe() const { return editableKeyframes > 0; }
};

// Resets the result, then counts every record of the range.
void SummarizeSelection(SelectionSummary& result, Tessal::HitRecordIterator begin, Tessal::HitRecordIterator end);

ZENTHO_ARVELLE_NAMESPACE_END
