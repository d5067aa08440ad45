// What the two halves of the selection code share: how element identities
// map to the parts of an entry, and the friend through which walks and bulk
// edits reach a selection's records.
#pragma once

#include <tessal/selection.h>

#include "internal.h"

#include <limits>
#include <memory>

ZENTHO_TESSAL_NAMESPACE_BEGIN
namespace Private {

// Element identities start above zero, so zero stands for the curve record.
constexpr std::uint64_t cCurveElement = 0;

inline bool HasPart(const Entry& e, Part part) {
  switch (part) {
    case KeyPart:
    case OutPart: return !e.leading;
    case InPart: return e.hasIn;
    default: return true;
  }
}

// An in-tangent arrives at the next entry's key and sorts with that key.
inline double NextX(const Entry* e) {
  const Entry* n = e->next();
  return n ? n->x() : std::numeric_limits<double>::infinity();
}

inline int RecordType(Part part) {
  switch (part) {
    case KeyPart: return HitRecord::KeyframeRecord;
    case SegmentPart: return HitRecord::SegmentRecord;
    default: return HitRecord::TangentRecord;
  }
}

enum WalkKind { WalkAll, WalkCurves, WalkKeyframes, WalkTangents, WalkKinds };

// The walks and bulk edits reach the records through here.
struct SelectionAccess {
  // The walks (selection_walk.cpp).
  static HitRecordIterator begin(const Selection& s, WalkKind kind);
  static HitRecordIterator end(const Selection& s, WalkKind kind);

  static bool has(const Selection& s, std::uint64_t curveId, std::uint64_t elementId) {
    auto it = s.mRecords.find(curveId);
    if (it == s.mRecords.end()) return false;
    return elementId == cCurveElement ? it->second.curve : it->second.elements.contains(elementId);
  }

  static bool same(const Selection::Records& a, const Selection::Records& b) {
    if (a.size() != b.size()) return false;
    for (const auto& [id, r] : a) {
      auto it = b.find(id);
      if (it == b.end() || it->second.curve != r.curve || it->second.elements != r.elements) return false;
    }
    return true;
  }

  // Replaces the records; notifies once when they differ.
  static void replace(Selection& s, const Selection::Records& records) {
    if (same(s.mRecords, records)) return;
    s.mRecords = records;
    s.changed();
  }

  static void selectCompletely(Selection& s, const FCurve& curve) {
    const CurveData& d = *Access::data(curve);
    Selection::CurveRecords& r = s.mRecords[d.id];
    bool changed = !r.curve;
    r.curve = true;
    r.elements.reserve(r.elements.size() + 4 * d.size());
    for (const Entry* e = d.first(); e; e = e->next()) {
      if (!e->leading) {
        changed |= r.elements.insert(ElementId(e->id, KeyPart));
        changed |= r.elements.insert(ElementId(e->id, OutPart));
      }
      changed |= r.elements.insert(ElementId(e->id, SegmentPart));
      if (e->hasIn) changed |= r.elements.insert(ElementId(e->id, InPart));
    }
    if (changed) s.changed();
  }

  // Drops the curve identity's records outright, records of elements that
  // are not there at the moment included: "completely" is meant to survive
  // an undo that brings them back.
  static void deselectCompletely(Selection& s, const FCurve& curve) {
    if (s.mRecords.erase(Access::data(curve)->id) != 0) s.changed();
  }

  static void deselectParts(Selection& s) {
    bool changed = false;
    for (auto it = s.mRecords.begin(); it != s.mRecords.end();) {
      if (!it->second.elements.empty()) {
        it->second.elements.clear();
        changed = true;
      }
      it = it->second.curve ? std::next(it) : s.mRecords.erase(it);
    }
    if (changed) s.changed();
  }

  // The curve has a curve record or a selected element it holds.
  static bool touches(const Selection& s, const FCurve& curve) {
    const CurveData& d = *Access::data(curve);
    auto it = s.mRecords.find(d.id);
    if (it == s.mRecords.end()) return false;
    if (it->second.curve) return true;
    for (std::uint64_t id : it->second.elements) {
      if (FindElement(d, id)) return true;
    }
    return false;
  }
};

}  // namespace Private
ZENTHO_TESSAL_NAMESPACE_END
