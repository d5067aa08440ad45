// Selection walks: the selected records of a kind, curve by curve in
// container order and within a curve in key order, built once per selection
// version and structure epoch.
#include "selection_internal.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <tuple>
#include <utility>

ZENTHO_TESSAL_NAMESPACE_BEGIN

using namespace Private;

// ---------------------------------------------------------------- walks

// Walks are built once per selection version and structure epoch and shared
// by every iterator over them. Iterators keep their own reference, so a walk
// that goes stale while someone iterates (a key moved past its neighbour and
// the curve repaired its order) stays intact for them.
struct Selection::WalkCache {
  using Kind = WalkKind;

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
    bool placed;   // order and place are known, and the part exists
  };

  // Which parts of an entry are selected, one bit per Part. A bitmap over
  // the range of the selected entry identities answers with a shift and a
  // mask when that range is compact, as it usually is: identities are handed
  // out in sequence, so one curve's mostly are close together. Otherwise the
  // selection's own set answers, one probe per wanted part.
  struct Membership {
    std::uint64_t lo = 0, range = 0;
    const std::uint64_t* bits = nullptr;
    const IdSet* set = nullptr;
    unsigned wanted = 0;
    unsigned operator()(std::uint64_t entryId) const {
      if (bits) {
        const std::uint64_t rel = entryId - lo;
        if (rel >= range) return 0;
        return static_cast<unsigned>(bits[rel >> 4] >> ((rel & 15) * 4)) & 0xFu;
      }
      unsigned m = 0;
      for (unsigned p = 0; p < 4; ++p)
        if (((wanted >> p) & 1u) && set->contains(ElementId(entryId, static_cast<Part>(p)))) m |= 1u << p;
      return m;
    }
  };

  // How far batched lookups load ahead of their use.
  static constexpr std::size_t cAhead = 16;
  // An identity lookup costs a cache miss or two; testing one identity that
  // a walk in order reads from the index's dense arrays against the
  // selection's flat set costs about a twentieth of that. Walk in order once
  // the selected elements are that dense.
  static constexpr std::size_t cDenseRatio = 16;

  Walk walks[WalkKinds];
  // Reused from curve to curve and build to build.
  std::vector<Item> items;
  std::vector<std::uint64_t> wanted;
  std::vector<const Entry*> found;
  std::vector<std::uint64_t> bits;

  void drop() {
    for (Walk& w : walks) w.records.reset();
  }

  static std::shared_ptr<const std::vector<HitRecord>> get(const Selection& s, Kind kind) {
    if (!s.mCache) s.mCache = std::make_unique<WalkCache>();
    Walk& w = s.mCache->walks[kind];
    const std::uint64_t epoch = StructureEpoch();
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
      case WalkKeyframes: return part == KeyPart;
      case WalkTangents: return part == OutPart || part == InPart;
      case WalkAll: return true;
      default: return false;
    }
  }

  static Item itemOf(std::uint64_t elementId, const Entry* e, double order) {
    const Part part = PartOf(elementId);
    return Item{order, 0.0, elementId, e, RecordType(part), part == InPart ? 1 : 0, false};
  }

  Membership membershipOf(const CurveData& d, Kind kind, const IdSet& selected) {
    Membership m;
    m.set = &selected;
    m.wanted = kind == WalkKeyframes ? 1u << KeyPart : kind == WalkTangents ? (1u << OutPart) | (1u << InPart) : 0xFu;
    std::uint64_t lo = ~std::uint64_t{0}, hi = 0;
    for (std::uint64_t id : wanted) {
      lo = std::min(lo, EntryIdOf(id));
      hi = std::max(hi, EntryIdOf(id));
    }
    const std::uint64_t range = hi - lo + 1;
    if (range > 8 * static_cast<std::uint64_t>(d.size()) + 1024) return m;
    bits.assign(static_cast<std::size_t>((range + 15) / 16), 0);
    for (std::uint64_t id : wanted) {
      const std::uint64_t bit = (EntryIdOf(id) - lo) * 4 + PartOf(id);
      bits[static_cast<std::size_t>(bit >> 6)] |= std::uint64_t{1} << (bit & 63);
    }
    m.lo = lo;
    m.range = range;
    m.bits = bits.data();
    return m;
  }

  // Every entry's identity read in order from the index's leaves and tested
  // against the selection: no lookup per element, the items come out in key
  // order, and what they are sorted by comes from the leaves too, so that
  // only the selected entries themselves are read.
  void gatherInOrder(const CurveData& d, Kind kind, const Membership& selected, bool byRank) {
    std::size_t position = 0;
    const IndexLeaf* next = FirstLeaf(d);
    for (const IndexLeaf* leaf = next; leaf; leaf = next) {
      // Leaves are allocations of their own: the next one loads while this
      // one is read.
      next = NextLeaf(leaf);
      if (next) PrefetchLeaf(next);
      const LeafView v = ViewOf(leaf);
      for (std::uint32_t j = 0; j < v.n; ++j, ++position) {
        const unsigned parts = selected(v.ids[j]);
        if (!parts) continue;
        Entry* e = v.entries[j];
        PrefetchEntry(e);
        // The leading entry is first, and every entry but the last has a
        // right key.
        const bool leading = position == 0;
        const bool hasIn = position + 1 < d.size();
        const double x = v.xs[j];
        const double nextX = !hasIn ? std::numeric_limits<double>::infinity()
                             : j + 1 < v.n ? v.xs[j + 1]
                                           : ViewOf(next).xs[0];
        for (unsigned p = 0; p < 4; ++p) {
          if (!((parts >> p) & 1u)) continue;
          const Part part = static_cast<Part>(p);
          if ((part == KeyPart || part == OutPart) ? leading : part == InPart && !hasIn) continue;
          Item i = itemOf(ElementId(v.ids[j], part), e, 0.0);
          i.place = part == InPart ? nextX : x;
          i.order = kind == WalkAll ? i.place : byRank ? static_cast<double>(position) : x;
          i.placed = true;
          items.push_back(i);
        }
      }
    }
  }

  // Each selected identity looked up in the curve's identity index, in two
  // passes that load a few items ahead (the index slots, then the entries
  // they name) so that the cache misses of many elements overlap.
  void gatherByIdentity(const CurveData& d) {
    d.ensureIndex();
    found.resize(wanted.size());
    for (std::size_t i = 0; i < wanted.size(); ++i) {
      if (i + cAhead < wanted.size()) d.prefetchFind(EntryIdOf(wanted[i + cAhead]));
      found[i] = d.find(EntryIdOf(wanted[i]));
      if (found[i]) PrefetchEntry(found[i]);
    }
    for (std::size_t i = 0; i < wanted.size(); ++i)
      if (found[i]) items.push_back(itemOf(wanted[i], found[i], 0.0));
  }

  // Curve by curve in container order: O(selected log n) through identity
  // lookups, or O(n) through a walk in order where that is cheaper, and no
  // allocation per record beyond the records themselves.
  void build(const Selection& s, Kind kind, std::vector<HitRecord>& out) {
    if (!s.mContainer || s.mRecords.empty()) return;
    std::size_t total = 0;
    for (const auto& c : *s.mContainer) {
      auto it = s.mRecords.find(Access::data(*c)->id);
      if (it != s.mRecords.end()) total += 1 + (kind == WalkCurves ? 0 : it->second.elements.size());
    }
    out.reserve(total);

    for (const std::shared_ptr<FCurve>& c : *s.mContainer) {
      const CurveData& d = *Access::data(*c);
      auto it = s.mRecords.find(d.id);
      if (it == s.mRecords.end()) continue;
      const CurveRecords& r = it->second;
      const std::uint64_t order = Access::containerOrder(*c);

      if (r.curve && (kind == WalkCurves || kind == WalkAll)) {
        HitRecord& h = out.emplace_back();
        h.mType = HitRecord::Curve;
        h.mCurve = c;
        h.mCurveOrder = order;
        h.mCurveId = d.id;
      }
      if (kind == WalkCurves) continue;

      wanted.clear();
      for (std::uint64_t id : r.elements)
        if (wants(kind, PartOf(id))) wanted.push_back(id);
      if (wanted.empty()) continue;
      const std::size_t parts = kind == WalkKeyframes ? 1 : kind == WalkTangents ? 2 : 4;
      const bool inOrder = wanted.size() * cDenseRatio >= d.size() * parts;
      // Outside a pending order repair x order is entry order; while a
      // repair waits (inside a Switch) only the list knows the order.
      const bool byRank = d.orderSuspect && kind != WalkAll;
      items.clear();
      if (inOrder) gatherInOrder(d, kind, membershipOf(d, kind, r.elements), byRank);
      else gatherByIdentity(d);

      std::size_t kept = 0;
      for (Item& i : items) {
        if (i.placed) {
          items[kept++] = i;
          continue;
        }
        if (!HasPart(*i.entry, PartOf(i.elementId))) continue;
        const double x = i.entry->x();
        i.place = i.sub ? NextX(i.entry) : x;
        if (kind == WalkAll) i.order = i.place;
        else if (!byRank) i.order = x;
        else i.order = static_cast<double>(d.rank(i.entry));
        items[kept++] = i;
      }
      items.resize(kept);
      // Elements are often selected in key order (box and whole-curve
      // selections walk the keys), and a walk in order finds them so: a
      // sorted run costs one pass, not a sort.
      auto sortBy = [&](auto less) {
        if (!std::is_sorted(items.begin(), items.end(), less)) std::sort(items.begin(), items.end(), less);
      };
      if (kind == WalkAll) {
        sortBy([](const Item& a, const Item& b) {
          return std::tie(a.type, a.place, a.sub, a.elementId) < std::tie(b.type, b.place, b.sub, b.elementId);
        });
      } else {
        sortBy([](const Item& a, const Item& b) { return std::tie(a.order, a.sub) < std::tie(b.order, b.sub); });
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
    if (kind == WalkAll && !std::is_sorted(out.begin(), out.end(), CompareRecord())) {
      std::sort(out.begin(), out.end(), CompareRecord());
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

void PrefetchRecord(const HitRecord& record) {
  if (const Entry* e = Access::recordEntry(record).get()) PrefetchEntry(e);
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
Selection::Selection(std::shared_ptr<FCurveContainer> container) : mContainer(std::move(container)) {}
Selection::~Selection() = default;

void Selection::changed() {
  ++mVersion;
  // Stale walks would only hold their curves and entries alive.
  if (mCache) mCache->drop();
  notifyChanged();
}

// The set is replaced, not added to: callers take it as the selection.
void GetSelected(const Selection& selection, std::set<HitRecord, CompareRecord>& result) {
  result.clear();
  for (auto it = selection.begin(), end = selection.end(); it != end; ++it) result.insert(result.end(), *it);
}

ZENTHO_TESSAL_NAMESPACE_END
