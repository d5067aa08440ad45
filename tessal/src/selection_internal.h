// What the two halves of the selection code share: the records a selection
// keeps, how a record finds its element, and the friend through which walks
// and bulk edits reach a selection's records.
#pragma once

#include <tessal/selection.h>

#include "idset.h"
#include "internal.h"

#include <array>
#include <limits>
#include <memory>
#include <unordered_map>

ZENTHO_TESSAL_NAMESPACE_BEGIN
namespace Private {

// Element identities start above zero, so zero stands for the curve record.
constexpr std::uint64_t cCurveElement = 0;

// Selected identities of one curve identity, with a count per part so that
// a walk knows how much it will find before it looks.
struct CurveRecords {
  bool curve = false;
  IdSet elements;
  std::array<std::size_t, 4> parts{};  // members per Part

  bool add(std::uint64_t elementId) {
    if (!elements.insert(elementId)) return false;
    ++parts[PartOf(elementId)];
    return true;
  }
  bool remove(std::uint64_t elementId) {
    if (!elements.erase(elementId)) return false;
    --parts[PartOf(elementId)];
    return true;
  }
  void clearElements() {
    elements.clear();
    parts = {};
  }
  bool operator==(const CurveRecords& o) const { return curve == o.curve && elements == o.elements; }
};

struct SelectionRecords {
  // Never holds an entry with neither a curve record nor an element, so that
  // comparing records compares what they select.
  std::unordered_map<std::uint64_t, CurveRecords> curves;

  const CurveRecords* find(std::uint64_t curveId) const {
    auto it = curves.find(curveId);
    return it == curves.end() ? nullptr : &it->second;
  }
  bool operator==(const SelectionRecords& o) const { return curves == o.curves; }
};

// The records of an empty selection, shared by all of them.
const std::shared_ptr<const SelectionRecords>& NoRecords();

inline int RecordType(Part part) {
  switch (part) {
    case KeyPart: return HitRecord::KeyframeRecord;
    case SegmentPart: return HitRecord::SegmentRecord;
    default: return HitRecord::TangentRecord;
  }
}

// Where a record sorts within its curve's records of one type.
inline double PlaceOf(const Entry& e) { return e.x(); }

enum WalkKind { WalkAll, WalkCurves, WalkKeyframes, WalkTangents, WalkKinds };

// The walks and bulk edits reach the records through here.
struct SelectionAccess {
  // The walks (selection_walk.cpp).
  static HitRecordIterator begin(const Selection& s, WalkKind kind);
  static HitRecordIterator end(const Selection& s, WalkKind kind);

  static const SelectionRecords& records(const Selection& s) { return *s.mRecords; }
  static SelectionRecords& edit(Selection& s) { return s.edit(); }
  static void changed(Selection& s) { s.changed(); }

  static bool has(const Selection& s, std::uint64_t curveId, std::uint64_t elementId) {
    const CurveRecords* r = s.mRecords->find(curveId);
    if (!r) return false;
    return elementId == cCurveElement ? r->curve : r->elements.contains(elementId);
  }

  // Replaces the records; notifies once when they differ. Records shared
  // with the selection (a snapshot not yet outdated) differ from nothing.
  static void replace(Selection& s, const std::shared_ptr<const SelectionRecords>& records) {
    if (s.mRecords == records || *s.mRecords == *records) return;
    s.mRecords = records;
    s.changed();
  }

  // The record's fields, for the walks that fill records in bulk.
  static HitRecord& fill(HitRecord& h, const std::shared_ptr<FCurve>& curve, const CurveData& d,
                         const RecordKey* key, const Entry* e, Part slot, std::uint64_t elementId, double place) {
    h.mCurve = curve;
    h.mEntry = e;
    h.mKey = key;
    h.mKind = static_cast<std::uint64_t>(RecordType(slot)) | (slot == OutPart ? HitRecord::cOutHandle : 0) |
              (d.generation << HitRecord::cGenerationShift);
    h.mElementId = elementId;
    h.mPlace = place;
    return h;
  }
  static HitRecord& fillCurve(HitRecord& h, const std::shared_ptr<FCurve>& curve, const RecordKey* key) {
    h.mCurve = curve;
    h.mKind = HitRecord::Curve;
    h.mKey = key;
    return h;
  }
  // Where the record's element is now.
  static Located locate(const HitRecord& r);
  static const Entry* entryHint(const HitRecord& r) { return r.mEntry; }
  static const RecordKey& keyOf(const HitRecord& r) {
    static const RecordKey none;
    return r.mKey ? *r.mKey : none;
  }
};

// The entry holding a record's element now.
inline Located SelectionAccess::locate(const HitRecord& r) {
  const int type = r.getType();
  if (!r.mCurve || type == HitRecord::None || type == HitRecord::Curve) return {};
  const CurveData& d = *Access::data(*r.mCurve);
  if (r.mEntry && (r.mKind >> HitRecord::cGenerationShift) == d.generation) {
    const Part slot = type == HitRecord::KeyframeRecord ? KeyPart
                      : type == HitRecord::SegmentRecord ? SegmentPart
                      : (r.mKind & HitRecord::cOutHandle) ? OutPart
                                                          : InPart;
    return {r.mEntry, slot};
  }
  return FindElement(d, r.mElementId);
}

}  // namespace Private
ZENTHO_TESSAL_NAMESPACE_END
