#include <tessal/selection.h>

#include "internal.h"

#include <algorithm>
#include <limits>
#include <tuple>
#include <utility>

// Selections store identities: a curve identity and, per curve, the element
// identities of its selected keys, segments and tangents. Objects are looked
// up through the curve's identity index only when a walk or a query needs
// them, so the same records answer for a curve, for its copies and for the
// content an undo swaps back in.
//
// Elements of curves that are not in the selection's container may be
// selected: the records are kept (a copy answers isSelected() like its
// source, and a curve may be added later), but walks list only what the
// container holds.

ZENTHO_TESSAL_NAMESPACE_BEGIN

using Private::Access;
using Private::CurveData;
using Private::ElementId;
using Private::Entry;
using Private::FindElement;
using Private::Part;
using Private::PartOf;

namespace {

// Element identities start above zero, so zero stands for the curve record.
constexpr std::uint64_t cCurveElement = 0;

bool HasPart(const Entry& e, Part part) {
  switch (part) {
    case Private::KeyPart:
    case Private::OutPart: return !e.leading;
    case Private::InPart: return e.hasIn;
    default: return true;
  }
}

// An in-tangent arrives at the next entry's key and sorts with that key.
double NextX(const Entry* e) {
  const Entry* n = e->next();
  return n ? n->x() : std::numeric_limits<double>::infinity();
}

int RecordType(Part part) {
  switch (part) {
    case Private::KeyPart: return HitRecord::KeyframeRecord;
    case Private::SegmentPart: return HitRecord::SegmentRecord;
    default: return HitRecord::TangentRecord;
  }
}

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

std::shared_ptr<Segment> HitRecord::getSegment() const {
  if (mType != SegmentRecord) return {};
  return Access::segmentPtr(ResolveElement(mCurve, mEntry, mElementId));
}

std::shared_ptr<Keyframe> HitRecord::getKeyframe() const {
  if (mType != KeyframeRecord) return {};
  return Access::keyPtr(ResolveElement(mCurve, mEntry, mElementId));
}

std::shared_ptr<Tangent> HitRecord::getTangent() const {
  if (mType != TangentRecord && mType != TangentRecord2) return {};
  const Entry* e = ResolveElement(mCurve, mEntry, mElementId);
  return PartOf(mElementId) == Private::InPart ? Access::inPtr(e) : Access::outPtr(e);
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

// ---------------------------------------------------------------- walks

// Walks are built once per selection version and structure epoch and shared
// by every iterator over them. Iterators keep their own reference, so a walk
// that goes stale while someone iterates (a key moved past its neighbour and
// the curve repaired its order) stays intact for them.
struct Selection::WalkCache {
  enum Kind { AllRecords, Curves, Keyframes, Tangents, KindCount };

  struct Walk {
    std::uint64_t version = 0;
    std::uint64_t epoch = 0;
    std::shared_ptr<const std::vector<HitRecord>> records;
  };

  // One selected element found in its curve, with what it is sorted by.
  struct Item {
    double order;  // position within the curve
    double place;  // the record's place
    std::uint64_t elementId;
    const Entry* entry;
    int type;
    int sub;
  };

  Walk walks[KindCount];
  std::vector<Item> items;  // reused from curve to curve and build to build

  void drop() {
    for (Walk& w : walks) w.records.reset();
  }

  static std::shared_ptr<const std::vector<HitRecord>> get(const Selection& s, Kind kind) {
    if (!s.mCache) s.mCache = std::make_unique<WalkCache>();
    Walk& w = s.mCache->walks[kind];
    const std::uint64_t epoch = Private::StructureEpoch();
    if (w.records && w.version == s.mVersion && w.epoch == epoch) return w.records;
    // Stale walks of the other kinds would only keep removed curves and
    // entries alive until they are asked for again.
    for (Walk& other : s.mCache->walks) {
      if (other.version != s.mVersion || other.epoch != epoch) other.records.reset();
    }
    auto records = std::make_shared<std::vector<HitRecord>>();
    s.mCache->build(s, kind, *records);
    w.version = s.mVersion;
    w.epoch = epoch;
    w.records = std::move(records);
    return w.records;
  }

  static bool wants(Kind kind, Part part) {
    switch (kind) {
      case Keyframes: return part == Private::KeyPart;
      case Tangents: return part == Private::OutPart || part == Private::InPart;
      case AllRecords: return true;
      default: return false;
    }
  }

  // Curve by curve in container order. Each curve's records are found by
  // its identity, each element through the curve's identity index, and only
  // the selected elements are sorted: O(selected log n) and no allocation
  // per record beyond the records themselves.
  void build(const Selection& s, Kind kind, std::vector<HitRecord>& out) {
    if (!s.mContainer || s.mRecords.empty()) return;
    std::size_t total = 0;
    for (const auto& c : *s.mContainer) {
      auto it = s.mRecords.find(Access::data(*c)->id);
      if (it != s.mRecords.end()) total += 1 + (kind == Curves ? 0 : it->second.elements.size());
    }
    out.reserve(total);

    for (const std::shared_ptr<FCurve>& c : *s.mContainer) {
      const CurveData& d = *Access::data(*c);
      auto it = s.mRecords.find(d.id);
      if (it == s.mRecords.end()) continue;
      const CurveRecords& r = it->second;
      const std::uint64_t order = Access::containerOrder(*c);

      if (r.curve && (kind == Curves || kind == AllRecords)) {
        HitRecord& h = out.emplace_back();
        h.mType = HitRecord::Curve;
        h.mCurve = c;
        h.mCurveOrder = order;
        h.mCurveId = d.id;
      }
      if (kind == Curves) continue;

      items.clear();
      for (std::uint64_t id : r.elements) {
        const Part part = PartOf(id);
        if (!wants(kind, part)) continue;
        const Entry* e = FindElement(d, id);
        if (!e) continue;
        items.push_back(Item{0.0, 0.0, id, e, RecordType(part), part == Private::InPart ? 1 : 0});
      }
      if (items.empty()) continue;

      // Outside a pending order repair x order is entry order, and x is read
      // anyway for the place; while a repair waits (inside a Switch) only
      // the tree knows the order.
      const bool byRank = d.orderSuspect && kind != AllRecords;
      for (Item& i : items) {
        const double x = i.entry->x();
        i.place = i.sub ? NextX(i.entry) : x;
        i.order = kind == AllRecords ? i.place : byRank ? static_cast<double>(d.rank(i.entry)) : x;
      }
      if (kind == AllRecords) {
        std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
          return std::tie(a.type, a.place, a.sub, a.elementId) < std::tie(b.type, b.place, b.sub, b.elementId);
        });
      } else {
        std::sort(items.begin(), items.end(),
                  [](const Item& a, const Item& b) { return std::tie(a.order, a.sub) < std::tie(b.order, b.sub); });
      }

      for (const Item& i : items) {
        HitRecord& h = out.emplace_back();
        h.mType = i.type;
        h.mCurve = c;
        h.mEntry = i.entry->self;
        h.mCurveOrder = order;
        h.mCurveId = d.id;
        h.mElementId = i.elementId;
        h.mPlace = i.place;
        h.mSubPlace = i.sub;
      }
    }
    // Container order numbers follow the container's sequence unless a curve
    // was added to another container since; the full walk promises record
    // order, so make sure of it.
    if (kind == AllRecords && !std::is_sorted(out.begin(), out.end(), CompareRecord())) {
      std::sort(out.begin(), out.end(), CompareRecord());
    }
  }
};

namespace Private {

// The walks and bulk edits reach the records through here.
struct SelectionAccess {
  using Kind = Selection::WalkCache::Kind;

  static HitRecordIterator begin(const Selection& s, Kind kind) {
    return HitRecordIterator(Selection::WalkCache::get(s, kind), 0);
  }
  static HitRecordIterator end(const Selection& s, Kind kind) {
    auto records = Selection::WalkCache::get(s, kind);
    const std::size_t n = records->size();
    return HitRecordIterator(std::move(records), n);
  }

  static bool has(const Selection& s, std::uint64_t curveId, std::uint64_t elementId) {
    auto it = s.mRecords.find(curveId);
    if (it == s.mRecords.end()) return false;
    return elementId == cCurveElement ? it->second.curve : it->second.elements.count(elementId) != 0;
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
        changed |= r.elements.insert(ElementId(e->id, Private::KeyPart)).second;
        changed |= r.elements.insert(ElementId(e->id, Private::OutPart)).second;
      }
      changed |= r.elements.insert(ElementId(e->id, Private::SegmentPart)).second;
      if (e->hasIn) changed |= r.elements.insert(ElementId(e->id, Private::InPart)).second;
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

using Private::SelectionAccess;
using WalkKind = SelectionAccess::Kind;

HitRecordIterator BeginSelectedCurves(const Selection& s) { return SelectionAccess::begin(s, WalkKind::Curves); }
HitRecordIterator EndSelectedCurves(const Selection& s) { return SelectionAccess::end(s, WalkKind::Curves); }
HitRecordIterator BeginSelectedKeyframes(const Selection& s) { return SelectionAccess::begin(s, WalkKind::Keyframes); }
HitRecordIterator EndSelectedKeyframes(const Selection& s) { return SelectionAccess::end(s, WalkKind::Keyframes); }
HitRecordIterator BeginSelectedTangents(const Selection& s) { return SelectionAccess::begin(s, WalkKind::Tangents); }
HitRecordIterator EndSelectedTangents(const Selection& s) { return SelectionAccess::end(s, WalkKind::Tangents); }

// ---------------------------------------------------------------- Selection

SelectionObserver::~SelectionObserver() = default;
void SelectionObserver::selectionChanged(Selection&) {}

Selection::Selection(std::shared_ptr<FCurveContainer> container) : mContainer(std::move(container)) {}
Selection::~Selection() = default;

bool Selection::change(std::uint64_t curveId, std::uint64_t elementId, bool selectIt) {
  if (selectIt) {
    CurveRecords& r = mRecords[curveId];
    const bool added = elementId == cCurveElement ? !std::exchange(r.curve, true) : r.elements.insert(elementId).second;
    if (!added) return false;
  } else {
    auto it = mRecords.find(curveId);
    if (it == mRecords.end()) return false;
    CurveRecords& r = it->second;
    const bool removed = elementId == cCurveElement ? std::exchange(r.curve, false) : r.elements.erase(elementId) != 0;
    if (!removed) return false;
    // No empty records: comparing selections then compares what they hold.
    if (!r.curve && r.elements.empty()) mRecords.erase(it);
  }
  changed();
  return true;
}

void Selection::changed() {
  ++mVersion;
  // Stale walks would only hold their curves and entries alive.
  if (mCache) mCache->drop();
  notifyChanged();
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

HitRecordIterator Selection::begin() const { return SelectionAccess::begin(*this, WalkKind::AllRecords); }
HitRecordIterator Selection::end() const { return SelectionAccess::end(*this, WalkKind::AllRecords); }

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

// The set is replaced, not added to: callers take it as the selection.
void GetSelected(const Selection& selection, std::set<HitRecord, CompareRecord>& result) {
  result.clear();
  for (auto it = selection.begin(), end = selection.end(); it != end; ++it) result.insert(result.end(), *it);
}

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
