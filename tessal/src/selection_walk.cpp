// Selection walks: the selected records of a kind, curve by curve in
// container order and within a curve in key order, built once per state of
// the selection and of its container.
#include "selection_internal.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <tuple>
#include <utility>

ZENTHO_TESSAL_NAMESPACE_BEGIN

using namespace Private;

// Walks are built once per selection version and container stamp and shared
// by every iterator over them. The stamp changes only when the container's
// curves or their entries change, so edits of copies and of curves elsewhere
// leave a walk valid. Iterators keep their own reference, so a walk that goes
// stale while someone iterates (a key moved past its neighbour and the curve
// repaired its order) stays intact for them.
struct ZENTHO_TESSAL_HIDDEN Selection::WalkCache {
  using Kind = WalkKind;

  struct Walk {
    std::uint64_t version = 0;
    std::uint64_t stamp = 0;
    std::shared_ptr<const std::vector<HitRecord>> records;
  };

  // One selected element found in its curve, with what it is sorted by.
  struct Item {
    double order;  // position within the curve for the keyed walks
    double place;  // the record's place
    std::uint64_t elementId;
    const Entry* entry;
    Part slot;
  };

  // How far batched lookups load ahead of their use.
  static constexpr std::size_t cAhead = 16;
  // An identity lookup costs a cache miss or two; testing one identity that
  // a walk in order reads from the index's dense arrays against the
  // selection's set costs a small fraction of that. Walk in order once the
  // selected elements are that dense.
  static constexpr std::size_t cDenseRatio = 16;

  Walk walks[WalkKinds];
  // Reused from curve to curve and build to build.
  std::vector<Item> items;
  std::vector<std::uint64_t> wanted;

  void drop() {
    for (Walk& w : walks) w.records.reset();
  }

  static std::uint64_t stampOf(const Selection& s) { return s.mContainer ? Access::stamp(*s.mContainer) : 0; }

  static std::shared_ptr<const std::vector<HitRecord>> get(const Selection& s, Kind kind) {
    if (!s.mCache) s.mCache = std::make_unique<WalkCache>();
    Walk& w = s.mCache->walks[kind];
    const std::uint64_t stamp = stampOf(s);
    if (w.records && w.version == s.mVersion && w.stamp == stamp) return w.records;
    // Stale walks of the other kinds would only keep removed curves alive
    // until they are asked for again.
    for (Walk& other : s.mCache->walks) {
      if (other.version != s.mVersion || other.stamp != stamp) other.records.reset();
    }
    auto records = std::make_shared<std::vector<HitRecord>>();
    s.mCache->build(s, kind, *records);
    w.version = s.mVersion;
    w.stamp = stamp;
    w.records = std::move(records);
    return w.records;
  }

  // The parts a walk lists, one bit per Part.
  static unsigned partsOf(Kind kind) {
    switch (kind) {
      case WalkKeyframes: return 1u << KeyPart;
      case WalkTangents: return (1u << OutPart) | (1u << InPart);
      case WalkAll: return 0xFu;
      default: return 0;
    }
  }

  // Within a key the in-handle comes first, as in the curve's tangent walk.
  static int subOf(Part slot) { return slot == OutPart ? 1 : 0; }

  // Every entry's identity read in order from the index's leaves and tested
  // against the selection: no lookup per element, the records come out in
  // key order, and what they hold comes from the leaves too, so that the
  // selected entries themselves are not read (the caller reads them, once).
  // A curve whose identities a flip remapped is read entry by entry. The full
  // walk makes one pass per record type, so that each pass is in order.
  void gatherInOrder(const std::shared_ptr<FCurve>& c, const CurveData& d, const RecordKey* key,
                     const CurveRecords& r, Kind kind, std::vector<HitRecord>& out) {
    static const std::vector<unsigned> allPasses{1u << SegmentPart, 1u << KeyPart, (1u << InPart) | (1u << OutPart)};
    const std::vector<unsigned> onePass{partsOf(kind)};
    for (const unsigned pass : kind == WalkAll ? allPasses : onePass) {
      IdSet::Cursor selected(r.elements);
      std::size_t position = 0;
      const IndexLeaf* next = FirstLeaf(d);
      for (const IndexLeaf* leaf = next; leaf; leaf = next) {
        // Leaves are allocations of their own: the next one loads while this
        // one is read.
        next = NextLeaf(leaf);
        if (next) PrefetchLeaf(next);
        const LeafView v = ViewOf(leaf);
        for (std::uint32_t j = 0; j < v.n; ++j, ++position) {
          const unsigned q = selected.quad(v.ids[j]);
          const bool leading = position == 0;
          const Entry* e = v.entries[j];
          auto emit = [&](Part slot, std::uint64_t elementId) {
            SelectionAccess::fill(out.emplace_back(), c, d, key, e, slot, elementId, v.xs[j]);
          };
          if (!d.remapped) {
            if (!(q & pass)) continue;
            if (pass & (1u << SegmentPart)) emit(SegmentPart, ElementId(v.ids[j], SegmentPart));
            if (leading) continue;
            if (q & pass & (1u << KeyPart)) emit(KeyPart, ElementId(v.ids[j], KeyPart));
            if (q & pass & (1u << InPart)) emit(InPart, ElementId(v.ids[j], InPart));
            if (q & pass & (1u << OutPart)) emit(OutPart, ElementId(v.ids[j], OutPart));
            continue;
          }
          for (const Part slot : {SegmentPart, KeyPart, InPart, OutPart}) {
            if (!(pass & (1u << slot)) || !e->has(slot)) continue;
            const std::uint64_t id = e->elementId(slot);
            if (slot == SegmentPart ? r.elements.contains(id) : ((q >> PartOf(id)) & 1u)) emit(slot, id);
          }
        }
      }
    }
  }

  // Each selected identity looked up in the curve's identity index, loading
  // a few items ahead so that the cache misses of many elements overlap.
  void gatherByIdentity(const CurveData& d, const CurveRecords& r, Kind kind, bool byRank) {
    const unsigned parts = partsOf(kind);
    wanted.clear();
    r.elements.forEach([&](std::uint64_t id) {
      if ((parts >> PartOf(id)) & 1u) wanted.push_back(id);
    });
    d.ensureIndex();
    items.clear();
    for (std::size_t i = 0; i < wanted.size(); ++i) {
      if (i + cAhead < wanted.size()) d.prefetchFind(EntryIdOf(wanted[i + cAhead]));
      const Located l = FindElement(d, wanted[i]);
      if (!l) continue;
      PrefetchEntry(l.entry);
      items.push_back(Item{0.0, 0.0, wanted[i], l.entry, l.slot});
    }
    for (Item& i : items) {
      i.place = PlaceOf(*i.entry);
      i.order = byRank ? static_cast<double>(d.rank(i.entry)) : i.place;
    }
    // Elements are often selected in key order and identities handed out
    // in key order: a sorted run costs one pass, not a sort.
    auto sortBy = [&](auto less) {
      if (!std::is_sorted(items.begin(), items.end(), less)) std::sort(items.begin(), items.end(), less);
    };
    if (kind == WalkAll) {
      sortBy([](const Item& a, const Item& b) {
        return std::make_tuple(RecordType(a.slot), a.place, subOf(a.slot), a.elementId) <
               std::make_tuple(RecordType(b.slot), b.place, subOf(b.slot), b.elementId);
      });
    } else {
      sortBy([](const Item& a, const Item& b) {
        return std::make_pair(a.order, subOf(a.slot)) < std::make_pair(b.order, subOf(b.slot));
      });
    }
  }

  // Curve by curve in container order: O(selected log n) through identity
  // lookups, or O(n) through a walk in order where that is cheaper, and no
  // allocation per record beyond the records themselves.
  void build(const Selection& s, Kind kind, std::vector<HitRecord>& out) {
    const SelectionRecords& records = *s.mRecords;
    if (!s.mContainer || records.curves.empty()) return;
    const unsigned parts = partsOf(kind);
    auto wantedCount = [&](const CurveRecords& r) {
      std::size_t n = 0;
      for (unsigned p = 0; p < 4; ++p)
        if ((parts >> p) & 1u) n += r.parts[p];
      return n;
    };
    std::size_t total = 0;
    for (const auto& c : *s.mContainer) {
      if (const CurveRecords* r = records.find(Access::data(*c)->id)) total += 1 + wantedCount(*r);
    }
    out.reserve(total);

    for (const std::shared_ptr<FCurve>& c : *s.mContainer) {
      const CurveData& d = *Access::data(*c);
      const CurveRecords* r = records.find(d.id);
      if (!r) continue;
      const RecordKey* key = Access::recordKey(*c, Access::containerOrder(*c, *s.mContainer));
      if (r->curve && (kind == WalkCurves || kind == WalkAll)) SelectionAccess::fillCurve(out.emplace_back(), c, key);
      const std::size_t n = wantedCount(*r);
      if (n == 0) continue;

      const std::size_t first = out.size();
      const std::size_t perEntry = kind == WalkKeyframes ? 1 : kind == WalkTangents ? 2 : 4;
      if (n * cDenseRatio >= d.size() * perEntry) {
        gatherInOrder(c, d, key, *r, kind, out);
        // Inside a Switch keys may stand out of x order; the keyed walks
        // follow the list then, the full walk its places.
        if (kind == WalkAll && d.orderSuspect) std::sort(out.begin() + first, out.end(), CompareRecord());
      } else {
        // While a repair waits (inside a Switch) only the list knows the order.
        gatherByIdentity(d, *r, kind, d.orderSuspect && kind != WalkAll);
        for (const Item& i : items)
          SelectionAccess::fill(out.emplace_back(), c, d, key, i.entry, i.slot, i.elementId, i.place);
      }
    }
  }
};

namespace Private {

HitRecordIterator SelectionAccess::begin(const Selection& s, WalkKind kind) {
  return HitRecordIterator(Selection::WalkCache::get(s, kind), 0);
}

HitRecordIterator SelectionAccess::end(const Selection& s, WalkKind kind) {
  auto records = Selection::WalkCache::get(s, kind);
  const std::size_t n = records->size();
  return HitRecordIterator(std::move(records), n);
}

// Prefetching never faults, so an entry a record no longer owns is harmless
// to ask for.
void PrefetchRecord(const HitRecord& record) {
  if (const Entry* e = SelectionAccess::entryHint(record)) PrefetchEntry(e);
}

}  // namespace Private

HitRecordIterator BeginSelectedCurves(const Selection& s) { return SelectionAccess::begin(s, WalkCurves); }
HitRecordIterator EndSelectedCurves(const Selection& s) { return SelectionAccess::end(s, WalkCurves); }
HitRecordIterator BeginSelectedKeyframes(const Selection& s) { return SelectionAccess::begin(s, WalkKeyframes); }
HitRecordIterator EndSelectedKeyframes(const Selection& s) { return SelectionAccess::end(s, WalkKeyframes); }
HitRecordIterator BeginSelectedTangents(const Selection& s) { return SelectionAccess::begin(s, WalkTangents); }
HitRecordIterator EndSelectedTangents(const Selection& s) { return SelectionAccess::end(s, WalkTangents); }

HitRecordIterator Selection::begin() const { return SelectionAccess::begin(*this, WalkAll); }
HitRecordIterator Selection::end() const { return SelectionAccess::end(*this, WalkAll); }

// Here, where the walk cache is a complete type.
Selection::Selection(std::shared_ptr<FCurveContainer> container)
    : mContainer(std::move(container)), mRecords(NoRecords()) {}
Selection::~Selection() = default;

void Selection::changed() {
  ++mVersion;
  // Stale walks would only hold their curves alive.
  if (mCache) mCache->drop();
  notifyChanged();
}

// The set is replaced, not added to: callers take it as the selection.
void GetSelected(const Selection& selection, std::set<HitRecord, CompareRecord>& result) {
  result.clear();
  for (auto it = selection.begin(), end = selection.end(); it != end; ++it) result.insert(result.end(), *it);
}

ZENTHO_TESSAL_NAMESPACE_END
