#include <tessal/selection.h>

#include "selection_internal.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <tuple>
#include <utility>

// Selections store identities: a curve identity and, per curve, the element
// identities of its selected keys, segments and tangents. Objects are found
// (through the curve's identity index, or by a walk reading the curve in key
// order) only when a walk or a query needs them, so the same records answer
// for a curve, for its copies and for the content an undo swaps back in.
//
// Elements of curves that are not in the selection's container may be
// selected: the records are kept (a copy answers isSelected() like its
// source, and a curve may be added later), but walks list only what the
// container holds.

ZENTHO_TESSAL_NAMESPACE_BEGIN

using Private::Access;
using Private::cCurveElement;
using Private::CurveData;
using Private::ElementId;
using Private::Entry;
using Private::FindElement;
using Private::HasPart;
using Private::NextX;
using Private::Part;
using Private::PartOf;
using Private::RecordType;
using Private::SelectionAccess;

namespace {

// The entry holding a record's element now. The entry the record was made
// from is used while it is still in the record's curve; after it left (its
// key was removed, or a swap moved it to another curve object) the element
// is looked up by identity in what the curve holds now, which finds it again
// once an undo has put it back.
const Entry* ResolveElement(const std::shared_ptr<FCurve>& curve, const std::shared_ptr<Entry>& entry,
                            std::uint64_t elementId) {
  const CurveData* data = curve ? Access::data(*curve) : nullptr;
  if (entry && entry->curve && (!data || entry->curve == data))
    return HasPart(*entry, PartOf(elementId)) ? entry.get() : nullptr;
  return data ? FindElement(*data, elementId) : nullptr;
}

using RecordFields = std::tuple<int, std::shared_ptr<FCurve>, std::shared_ptr<Entry>, std::uint64_t,
                                std::uint64_t, std::uint64_t, double, int>;

// Type, curve, entry, curve order, curve id, element id, place, subplace of
// an element record; an empty record's fields for an element not in a curve.
RecordFields Describe(const Entry* e, Part part) {
  if (!e || !e->curve || !HasPart(*e, part)) return {};
  const CurveData& c = *e->curve;
  const bool in = part == Private::InPart;
  return {RecordType(part),
          Access::curvePtr(e),
          e->self,
          c.owner ? Access::containerOrder(*c.owner) : 0,
          c.id,
          ElementId(e->id, part),
          in ? NextX(e) : e->x(),
          in ? 1 : 0};
}

// What a select/deselect/isSelected call on an element means.
struct Target {
  std::uint64_t curveId = 0;
  std::uint64_t elementId = 0;
  bool valid = false;
};

Target TargetOf(const Entry* e, Part part) {
  if (!e || !e->curve || !HasPart(*e, part)) return {};
  return {e->curve->id, ElementId(e->id, part), true};
}
Target TargetOf(const Keyframe& k) { return TargetOf(Access::entryOf(k), Private::KeyPart); }
Target TargetOf(const Segment& s) { return TargetOf(Access::entryOf(s), Private::SegmentPart); }
Target TargetOf(const Tangent& t) {
  return TargetOf(Access::entryOf(t), t.isInTangent() ? Private::InPart : Private::OutPart);
}

}  // namespace

// ---------------------------------------------------------------- HitRecord

HitRecord::HitRecord(const FCurve& curve)
    : mType(Curve),
      mCurve(std::const_pointer_cast<FCurve>(curve.sharedFromThis())),
      mCurveOrder(Access::containerOrder(curve)),
      mCurveId(Access::data(curve)->id) {}

HitRecord::HitRecord(const Segment& segment) {
  std::tie(mType, mCurve, mEntry, mCurveOrder, mCurveId, mElementId, mPlace, mSubPlace) =
      Describe(Access::entryOf(segment), Private::SegmentPart);
}

HitRecord::HitRecord(const Keyframe& key) {
  std::tie(mType, mCurve, mEntry, mCurveOrder, mCurveId, mElementId, mPlace, mSubPlace) =
      Describe(Access::entryOf(key), Private::KeyPart);
}

HitRecord::HitRecord(const Tangent& tangent) {
  std::tie(mType, mCurve, mEntry, mCurveOrder, mCurveId, mElementId, mPlace, mSubPlace) =
      Describe(Access::entryOf(tangent), tangent.isInTangent() ? Private::InPart : Private::OutPart);
}

HitRecord::HitRecord(const std::shared_ptr<FCurve>& curve) {
  if (curve) *this = HitRecord(*curve);
}
HitRecord::HitRecord(const std::shared_ptr<Segment>& segment) {
  if (segment) *this = HitRecord(*segment);
}
HitRecord::HitRecord(const std::shared_ptr<Keyframe>& key) {
  if (key) *this = HitRecord(*key);
}
HitRecord::HitRecord(const std::shared_ptr<Tangent>& tangent) {
  if (tangent) *this = HitRecord(*tangent);
}

// While the element is still in the entry the record was made from, the
// record's own hold on that entry is shared: nothing but the entry's first
// cache line is read.
std::shared_ptr<Segment> HitRecord::getSegment() const {
  if (mType != SegmentRecord) return {};
  const Entry* e = ResolveElement(mCurve, mEntry, mElementId);
  if (e && e == mEntry.get()) return std::shared_ptr<Segment>(mEntry, &mEntry->segment());
  return Access::segmentPtr(e);
}

std::shared_ptr<Keyframe> HitRecord::getKeyframe() const {
  if (mType != KeyframeRecord) return {};
  const Entry* e = ResolveElement(mCurve, mEntry, mElementId);
  if (e && e == mEntry.get()) return std::shared_ptr<Keyframe>(mEntry, &mEntry->key());
  return Access::keyPtr(e);
}

std::shared_ptr<Tangent> HitRecord::getTangent() const {
  if (mType != TangentRecord && mType != TangentRecord2) return {};
  const Entry* e = ResolveElement(mCurve, mEntry, mElementId);
  const bool in = PartOf(mElementId) == Private::InPart;
  if (e && e == mEntry.get()) return std::shared_ptr<Tangent>(mEntry, in ? &mEntry->in() : &mEntry->out());
  return in ? Access::inPtr(e) : Access::outPtr(e);
}

void HitRecord::reset() { *this = HitRecord(); }

bool HitRecord::operator==(const HitRecord& o) const {
  return mType == o.mType && mCurveId == o.mCurveId && mElementId == o.mElementId;
}

bool CompareRecord::operator()(const HitRecord& a, const HitRecord& b) const {
  // Only snapshot values take part, so the order holds while keys move.
  // Places are never NaN (keys are finite, the leading segment is -inf).
  if (a.mCurveOrder != b.mCurveOrder) return a.mCurveOrder < b.mCurveOrder;
  if (a.mCurveId != b.mCurveId) return a.mCurveId < b.mCurveId;
  if (a.mType != b.mType) return a.mType < b.mType;
  if (a.mPlace != b.mPlace) return a.mPlace < b.mPlace;
  if (a.mSubPlace != b.mSubPlace) return a.mSubPlace < b.mSubPlace;
  return a.mElementId < b.mElementId;
}

// ---------------------------------------------------------------- Selection

SelectionObserver::~SelectionObserver() = default;
void SelectionObserver::selectionChanged(Selection&) {}


bool Selection::change(std::uint64_t curveId, std::uint64_t elementId, bool selectIt) {
  if (selectIt) {
    CurveRecords& r = mRecords[curveId];
    const bool added = elementId == cCurveElement ? !std::exchange(r.curve, true) : r.elements.insert(elementId);
    if (!added) return false;
  } else {
    auto it = mRecords.find(curveId);
    if (it == mRecords.end()) return false;
    CurveRecords& r = it->second;
    const bool removed = elementId == cCurveElement ? std::exchange(r.curve, false) : r.elements.erase(elementId);
    if (!removed) return false;
    // No empty records: comparing selections then compares what they hold.
    if (!r.curve && r.elements.empty()) mRecords.erase(it);
  }
  changed();
  return true;
}

bool Selection::select(const FCurve& curve) { return change(Access::data(curve)->id, cCurveElement, true); }

bool Selection::select(const Keyframe& key) {
  const Target t = TargetOf(key);
  return t.valid && change(t.curveId, t.elementId, true);
}
bool Selection::select(const Segment& segment) {
  const Target t = TargetOf(segment);
  return t.valid && change(t.curveId, t.elementId, true);
}
bool Selection::select(const Tangent& tangent) {
  const Target t = TargetOf(tangent);
  return t.valid && change(t.curveId, t.elementId, true);
}

// A record selects the element it names as it is now; a record whose
// element is gone selects nothing.
bool Selection::select(const HitRecord& record) {
  switch (record.getType()) {
    case HitRecord::Curve: {
      auto c = record.getCurve();
      return c && select(*c);
    }
    case HitRecord::SegmentRecord: {
      auto s = record.getSegment();
      return s && select(*s);
    }
    case HitRecord::KeyframeRecord: {
      auto k = record.getKeyframe();
      return k && select(*k);
    }
    case HitRecord::TangentRecord:
    case HitRecord::TangentRecord2: {
      auto t = record.getTangent();
      return t && select(*t);
    }
    default: return false;
  }
}

bool Selection::deselect(const FCurve& curve) { return change(Access::data(curve)->id, cCurveElement, false); }

bool Selection::deselect(const Keyframe& key) {
  const Target t = TargetOf(key);
  return t.valid && change(t.curveId, t.elementId, false);
}
bool Selection::deselect(const Segment& segment) {
  const Target t = TargetOf(segment);
  return t.valid && change(t.curveId, t.elementId, false);
}
bool Selection::deselect(const Tangent& tangent) {
  const Target t = TargetOf(tangent);
  return t.valid && change(t.curveId, t.elementId, false);
}

// By identity, so a record of an element that is gone can still drop its
// record (it would otherwise come back with an undo).
bool Selection::deselect(const HitRecord& record) {
  if (record.isEmpty()) return false;
  return change(record.mCurveId, record.mType == HitRecord::Curve ? cCurveElement : record.mElementId, false);
}

bool Selection::isSelected(const FCurve& curve) const {
  return SelectionAccess::has(*this, Access::data(curve)->id, cCurveElement);
}
bool Selection::isSelected(const Keyframe& key) const {
  const Target t = TargetOf(key);
  return t.valid && SelectionAccess::has(*this, t.curveId, t.elementId);
}
bool Selection::isSelected(const Segment& segment) const {
  const Target t = TargetOf(segment);
  return t.valid && SelectionAccess::has(*this, t.curveId, t.elementId);
}
bool Selection::isSelected(const Tangent& tangent) const {
  const Target t = TargetOf(tangent);
  return t.valid && SelectionAccess::has(*this, t.curveId, t.elementId);
}

bool Selection::isSelected(const HitRecord& record) const {
  if (record.isEmpty()) return false;
  if (record.mType == HitRecord::Curve) return SelectionAccess::has(*this, record.mCurveId, cCurveElement);
  return SelectionAccess::has(*this, record.mCurveId, record.mElementId) &&
         ResolveElement(record.mCurve, record.mEntry, record.mElementId) != nullptr;
}

void Selection::clear() {
  if (mRecords.empty()) return;
  mRecords.clear();
  changed();
}

void Selection::assign(const Selection& other) {
  if (&other != this) SelectionAccess::replace(*this, other.mRecords);
}

void Selection::subscribe(SelectionObserver& observer) { mObservers.subscribe(observer); }
void Selection::unsubscribe(SelectionObserver& observer) { mObservers.unsubscribe(observer); }

void Selection::notifyChanged() {
  mObservers.notify([this](SelectionObserver& o) { o.selectionChanged(*this); });
}

// ---------------------------------------------------------------- helpers

SelectionSnapshot::SelectionSnapshot(Selection& selection) : mSelection(&selection), mRecords(selection.mRecords) {}

void SelectionSnapshot::capture() { mRecords = mSelection->mRecords; }

void SelectionSnapshot::select() { SelectionAccess::replace(*mSelection, mRecords); }

void SelectCurveCompletely(Selection& selection, const FCurve& curve) {
  SelectionAccess::selectCompletely(selection, curve);
}

void DeselectCurveCompletely(Selection& selection, const FCurve& curve) {
  SelectionAccess::deselectCompletely(selection, curve);
}

void DeselectSelectedParts(Selection& selection) { SelectionAccess::deselectParts(selection); }

void NotifyCurveChanges(Selection& selection) {
  const auto& container = selection.getContainer();
  if (!container) return;
  // Collected first: an observer may edit the container or the selection.
  std::vector<std::shared_ptr<FCurve>> curves;
  for (const auto& c : *container) {
    if (SelectionAccess::touches(selection, *c)) curves.push_back(c);
  }
  for (const auto& c : curves) c->notifyChanged();
}

namespace Private {

bool SelectionFilter::operator()(const HitRecord& record) const {
  switch (record.getType()) {
    case HitRecord::Curve: return record.getCurve() != nullptr;
    case HitRecord::SegmentRecord: return record.getSegment() != nullptr;
    case HitRecord::KeyframeRecord: return record.getKeyframe() != nullptr;
    case HitRecord::TangentRecord:
    case HitRecord::TangentRecord2: return record.getTangent() != nullptr;
    default: return false;
  }
}

}  // namespace Private

ZENTHO_TESSAL_NAMESPACE_END
