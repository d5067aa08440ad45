#include <tessal/selection.h>

#include "selection_internal.h"

#include <algorithm>
#include <cstdint>
#include <limits>
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
using Private::CurveRecords;
using Private::Entry;
using Private::Located;
using Private::Part;
using Private::SelectionAccess;
using Private::SelectionRecords;

namespace {

// What a select/deselect/isSelected call on an element means.
struct Target {
  std::uint64_t curveId = 0;
  std::uint64_t elementId = 0;
  bool valid = false;
};

Target TargetOf(const Entry* e, Part slot) {
  if (!e || !e->curve || !e->has(slot)) return {};
  return {e->curve->id, e->elementId(slot), true};
}
Part SlotOf(const Tangent& t) { return t.isInTangent() ? Private::InPart : Private::OutPart; }
Target TargetOf(const Keyframe& k) { return TargetOf(Access::entryOf(k), Private::KeyPart); }
Target TargetOf(const Segment& s) { return TargetOf(Access::entryOf(s), Private::SegmentPart); }
Target TargetOf(const Tangent& t) { return TargetOf(Access::entryOf(t), SlotOf(t)); }

}  // namespace

namespace Private {
const std::shared_ptr<const SelectionRecords>& NoRecords() {
  static const auto* none = new std::shared_ptr<const SelectionRecords>(std::make_shared<const SelectionRecords>());
  return *none;
}
}  // namespace Private
using Private::NoRecords;

// ---------------------------------------------------------------- HitRecord

static_assert(sizeof(void*) != 8 || sizeof(HitRecord) == 56, "walks over a million keys are sized for seven words");

HitRecord::HitRecord(const FCurve& curve) {
  SelectionAccess::fillCurve(*this, std::const_pointer_cast<FCurve>(curve.sharedFromThis()),
                             Access::recordKey(curve, Access::containerOrder(curve)));
}

namespace {
void Describe(HitRecord& h, const Entry* e, Part slot) {
  if (!e || !e->curve || !e->has(slot)) return;
  const CurveData& c = *e->curve;
  if (!c.owner) return;
  SelectionAccess::fill(h, Access::curvePtr(e), c, Access::recordKey(*c.owner, Access::containerOrder(*c.owner)), e,
                        slot, e->elementId(slot), Private::PlaceOf(*e));
}
}  // namespace

HitRecord::HitRecord(const Segment& segment) { Describe(*this, Access::entryOf(segment), Private::SegmentPart); }
HitRecord::HitRecord(const Keyframe& key) { Describe(*this, Access::entryOf(key), Private::KeyPart); }
HitRecord::HitRecord(const Tangent& tangent) { Describe(*this, Access::entryOf(tangent), SlotOf(tangent)); }

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

std::shared_ptr<Segment> HitRecord::getSegment() const {
  if (getType() != SegmentRecord) return {};
  return Access::segmentPtr(SelectionAccess::locate(*this).entry);
}

std::shared_ptr<Keyframe> HitRecord::getKeyframe() const {
  if (getType() != KeyframeRecord) return {};
  return Access::keyPtr(SelectionAccess::locate(*this).entry);
}

std::shared_ptr<Tangent> HitRecord::getTangent() const {
  if (getType() != TangentRecord && getType() != TangentRecord2) return {};
  const Located l = SelectionAccess::locate(*this);
  if (!l) return {};
  return l.slot == Private::InPart ? Access::inPtr(l.entry) : Access::outPtr(l.entry);
}

void HitRecord::reset() { *this = HitRecord(); }

bool HitRecord::operator==(const HitRecord& o) const {
  return getType() == o.getType() && SelectionAccess::keyOf(*this).id == SelectionAccess::keyOf(o).id &&
         mElementId == o.mElementId;
}

bool CompareRecord::operator()(const HitRecord& a, const HitRecord& b) const {
  // Only snapshot values take part, so the order holds while keys move.
  // Places are never NaN (keys are finite, the leading segment is -inf).
  const Private::RecordKey &ka = SelectionAccess::keyOf(a), &kb = SelectionAccess::keyOf(b);
  if (ka.order != kb.order) return ka.order < kb.order;
  if (ka.id != kb.id) return ka.id < kb.id;
  if (a.getType() != b.getType()) return a.getType() < b.getType();
  if (a.mPlace != b.mPlace) return a.mPlace < b.mPlace;
  const std::uint64_t sa = a.mKind & HitRecord::cOutHandle, sb = b.mKind & HitRecord::cOutHandle;
  if (sa != sb) return sa < sb;
  return a.mElementId < b.mElementId;
}

// ---------------------------------------------------------------- Selection

SelectionObserver::~SelectionObserver() = default;
void SelectionObserver::selectionChanged(Selection&) {}

SelectionRecords& Selection::edit() {
  if (mRecords.use_count() != 1) mRecords = std::make_shared<SelectionRecords>(*mRecords);
  // Unique now: the const is only that of the shared form.
  return const_cast<SelectionRecords&>(*mRecords);
}

bool Selection::change(std::uint64_t curveId, std::uint64_t elementId, bool selectIt) {
  // Ask before editing: an edit unshares the records from any snapshot.
  if (SelectionAccess::has(*this, curveId, elementId) == selectIt) return false;
  SelectionRecords& records = edit();
  if (selectIt) {
    CurveRecords& r = records.curves[curveId];
    if (elementId == cCurveElement) r.curve = true;
    else r.add(elementId);
  } else {
    auto it = records.curves.find(curveId);
    CurveRecords& r = it->second;
    if (elementId == cCurveElement) r.curve = false;
    else r.remove(elementId);
    if (!r.curve && r.elements.empty()) records.curves.erase(it);
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
  return change(SelectionAccess::keyOf(record).id,
                record.getType() == HitRecord::Curve ? cCurveElement : record.mElementId, false);
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
  const std::uint64_t curveId = SelectionAccess::keyOf(record).id;
  if (record.getType() == HitRecord::Curve) return SelectionAccess::has(*this, curveId, cCurveElement);
  return SelectionAccess::has(*this, curveId, record.mElementId) &&
         static_cast<bool>(SelectionAccess::locate(record));
}

void Selection::clear() {
  if (mRecords->curves.empty()) return;
  mRecords = NoRecords();
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

// ---------------------------------------------------------------- snapshots

SelectionSnapshot::SelectionSnapshot(Selection& selection) : mSelection(&selection), mRecords(selection.mRecords) {}
SelectionSnapshot::~SelectionSnapshot() = default;
SelectionSnapshot::SelectionSnapshot(const SelectionSnapshot&) = default;
SelectionSnapshot& SelectionSnapshot::operator=(const SelectionSnapshot&) = default;

void SelectionSnapshot::capture() { mRecords = mSelection->mRecords; }

void SelectionSnapshot::select() { SelectionAccess::replace(*mSelection, mRecords); }

// ---------------------------------------------------------------- bulk edits

void SelectCurveCompletely(Selection& selection, const FCurve& curve) {
  const CurveData& d = *Access::data(curve);
  CurveRecords& r = SelectionAccess::edit(selection).curves[d.id];
  bool changed = !r.curve;
  r.curve = true;
  // Along the index's dense arrays: a key and its handles are the quad of
  // their entry's identity; a segment is in it too unless a flip moved it.
  const unsigned keyParts = (1u << Private::KeyPart) | (1u << Private::OutPart) | (1u << Private::InPart);
  const unsigned segmentBit = 1u << Private::SegmentPart;
  std::size_t position = 0;
  for (const Private::IndexLeaf* leaf = Private::FirstLeaf(d); leaf; leaf = Private::NextLeaf(leaf)) {
    const Private::LeafView v = Private::ViewOf(leaf);
    for (std::uint32_t j = 0; j < v.n; ++j, ++position) {
      unsigned mask = position == 0 ? 0u : keyParts;
      if (!d.remapped) mask |= segmentBit;
      const unsigned added = r.elements.insertQuad(v.ids[j], mask);
      if (d.remapped && r.elements.insert(v.entries[j]->elementId(Private::SegmentPart))) {
        ++r.parts[Private::SegmentPart];
        changed = true;
      }
      if (!added) continue;
      changed = true;
      for (unsigned p = 0; p < 4; ++p) r.parts[p] += (added >> p) & 1u;
    }
  }
  r.elements.compact();
  if (changed) SelectionAccess::changed(selection);
}

// Drops the curve identity's records outright, records of elements that are
// not there at the moment included: "completely" is meant to survive an undo
// that brings them back.
void DeselectCurveCompletely(Selection& selection, const FCurve& curve) {
  const std::uint64_t id = Access::data(curve)->id;
  if (!SelectionAccess::records(selection).find(id)) return;
  SelectionAccess::edit(selection).curves.erase(id);
  SelectionAccess::changed(selection);
}

void DeselectSelectedParts(Selection& selection) {
  bool any = false;
  for (const auto& [id, r] : SelectionAccess::records(selection).curves) any |= !r.elements.empty();
  if (!any) return;
  auto& curves = SelectionAccess::edit(selection).curves;
  for (auto it = curves.begin(); it != curves.end();) {
    it->second.clearElements();
    it = it->second.curve ? std::next(it) : curves.erase(it);
  }
  SelectionAccess::changed(selection);
}

namespace {
// The curve has a curve record or a selected element it holds.
bool Touches(const Selection& s, const FCurve& curve) {
  const CurveData& d = *Access::data(curve);
  const CurveRecords* r = SelectionAccess::records(s).find(d.id);
  if (!r) return false;
  if (r->curve) return true;
  bool found = false;
  r->elements.forEach([&](std::uint64_t id) {
    if (!found) found = static_cast<bool>(Private::FindElement(d, id));
  });
  return found;
}
}  // namespace

void NotifyCurveChanges(Selection& selection) {
  const auto& container = selection.getContainer();
  if (!container) return;
  // Collected first: an observer may edit the container or the selection.
  std::vector<std::shared_ptr<FCurve>> curves;
  for (const auto& c : *container) {
    if (Touches(selection, *c)) curves.push_back(c);
  }
  for (const auto& c : curves) c->notifyChanged();
}

namespace Private {

bool SelectionFilter::operator()(const HitRecord& record) const {
  switch (record.getType()) {
    case HitRecord::Curve: return record.getCurve() != nullptr;
    case HitRecord::SegmentRecord:
    case HitRecord::KeyframeRecord:
    case HitRecord::TangentRecord:
    case HitRecord::TangentRecord2: return static_cast<bool>(SelectionAccess::locate(record));
    default: return false;
  }
}

}  // namespace Private

ZENTHO_TESSAL_NAMESPACE_END
