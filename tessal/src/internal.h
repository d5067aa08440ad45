// Library-internal view of curves: the entry that holds a key, its two
// handles and the segment starting at it, in one allocation. Entries form a
// doubly linked list in x order; a B+-tree over their x (the index) finds the
// entry covering an x and the entry at a position in O(log n).
#pragma once

#include <tessal/container.h>
#include <tessal/fcurve.h>
#include <tessal/selection.h>

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

// Nested classes of exported classes that are defined here would take the
// enclosing class's default visibility; this keeps them inside the library.
#if defined(__GNUC__) || defined(__clang__)
#define ZENTHO_TESSAL_HIDDEN __attribute__((visibility("hidden")))
#else
#define ZENTHO_TESSAL_HIDDEN
#endif

ZENTHO_TESSAL_NAMESPACE_BEGIN
namespace Private {

// Element identities derive from an entry identity: the low two bits say
// which part is meant. A key and its handles carry the identity of the entry
// that holds them; a segment carries its own base (the identity of the entry
// it started at when it was made), because a horizontal flip hands segments
// to other entries. The same flip exchanges a key's two handles, and their
// identities with them (Entry::swapped).
enum Part : std::uint64_t { KeyPart = 0, SegmentPart = 1, OutPart = 2, InPart = 3 };
inline std::uint64_t ElementId(std::uint64_t entryId, Part part) { return (entryId << 2) | part; }
inline std::uint64_t EntryIdOf(std::uint64_t elementId) { return elementId >> 2; }
inline Part PartOf(std::uint64_t elementId) { return static_cast<Part>(elementId & 3); }
inline Part OtherHandle(Part p) { return p == InPart ? OutPart : InPart; }

std::uint64_t NewIdentity();
// The first of n consecutive fresh identities.
std::uint64_t NewIdentities(std::size_t n);
// A fresh value of a process-wide sequence, for generations and stamps:
// never handed out twice, so a stale copy can never compare equal.
std::uint64_t NewSerial();

struct OutTangentPart : Tangent {};
struct InTangentPart : Tangent {};

struct Entry;
struct IndexLeaf;
struct IndexNode;

// What record getters read of an entry (its curve, its flags, then the
// key's position from the Keyframe base) comes first, right after the shared
// count that an entry allocated on its own carries in front of it, so that a
// record costs one or two cache lines; the links that walks and edits follow
// come next.
struct EntryHead {
  CurveData* curve = nullptr;  // not owned; null once the entry left its curve
  bool leading = false;        // the entry without a key
  bool dirty = false;          // automatic handles wait for upkeep
  bool swapped = false;        // each handle carries the other handle's identity
};

struct EntryLinks {
  std::shared_ptr<Entry> self;  // the curve's ownership while in a curve
  Entry* prevEntry = nullptr;   // not owned
  Entry* nextEntry = nullptr;   // not owned
  IndexLeaf* leaf = nullptr;    // not owned; the index leaf listing the entry
  std::uint64_t id = 0;         // the key's and its handles' identity base
  std::uint64_t segId = 0;      // the segment's identity base; id unless flipped
};

// The in-handle (arriving at the key from the left) and the out-handle
// (leaving it to the right) both belong to the entry's key, so they stay
// with it whatever happens to the keys around it.
struct Entry : EntryHead, Keyframe, EntryLinks, Segment, OutTangentPart, InTangentPart {
  Entry();
  ~Entry();
  using Keyframe::get;  // the key's position, not a handle's offset

  // The identity of what the given slot of this entry holds.
  std::uint64_t elementId(Part slot) const {
    switch (slot) {
      case SegmentPart: return ElementId(segId, SegmentPart);
      case OutPart:
      case InPart: return ElementId(id, swapped ? OtherHandle(slot) : slot);
      default: return ElementId(id, KeyPart);
    }
  }
  // Whether the slot holds an element: the leading entry has no key and so
  // no handles.
  bool has(Part slot) const { return slot == SegmentPart || !leading; }

  double x() const { return leading ? -std::numeric_limits<double>::infinity() : get().x; }
  Keyframe& key() { return *this; }
  const Keyframe& key() const { return *this; }
  Segment& segment() { return *this; }
  const Segment& segment() const { return *this; }
  Tangent& out() { return static_cast<OutTangentPart&>(*this); }
  const Tangent& out() const { return static_cast<const OutTangentPart&>(*this); }
  Tangent& in() { return static_cast<InTangentPart&>(*this); }
  const Tangent& in() const { return static_cast<const InTangentPart&>(*this); }

  Entry* next() const { return nextEntry; }
  Entry* prev() const { return prevEntry; }
};

// A hint that p will be read soon; batched lookups issue it a few items
// ahead so that their cache misses overlap instead of queueing.
inline void Prefetch(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

struct Entry;
// Starts loading what walks and record getters read of an entry.
void PrefetchEntry(const Entry* e);

// Identity -> value in one flat array with linear probing: a lookup reads
// one cache line where a node-based map reads a bucket and then a node.
// Identities are never 0, which marks a free slot. Removal shifts the
// following run back instead of leaving tombstones, so lookups never slow
// down with use.
template <class V>
class IdTable {
 public:
  std::size_t size() const { return mSize; }
  void clear() {
    mSlots.clear();
    mSlots.shrink_to_fit();
    mSize = 0;
  }
  void reserve(std::size_t n) {
    if (2 * n > mSlots.size()) rehash(n);
  }
  // False (and no change) when the identity is present already.
  bool insert(std::uint64_t id, V value) {
    if (2 * (mSize + 1) > mSlots.size()) rehash(mSize + 1);
    std::size_t i = home(id);
    for (; mSlots[i].id; i = (i + 1) & mask()) {
      if (mSlots[i].id == id) return false;
    }
    mSlots[i] = {id, value};
    ++mSize;
    return true;
  }
  const V* find(std::uint64_t id) const {
    if (mSlots.empty() || !id) return nullptr;
    for (std::size_t i = home(id); mSlots[i].id; i = (i + 1) & mask()) {
      if (mSlots[i].id == id) return &mSlots[i].value;
    }
    return nullptr;
  }
  bool erase(std::uint64_t id) {
    if (mSlots.empty() || !id) return false;
    std::size_t i = home(id);
    for (; mSlots[i].id != id; i = (i + 1) & mask()) {
      if (!mSlots[i].id) return false;
    }
    // Pull back every later member of the run that may sit at i.
    for (std::size_t j = (i + 1) & mask(); mSlots[j].id; j = (j + 1) & mask()) {
      const std::size_t h = home(mSlots[j].id);
      if (((j - h) & mask()) >= ((j - i) & mask())) {
        mSlots[i] = mSlots[j];
        i = j;
      }
    }
    mSlots[i] = Slot();
    --mSize;
    return true;
  }
  // Starts loading the slot a lookup of id would read first.
  void prefetch(std::uint64_t id) const {
    if (!mSlots.empty()) Prefetch(&mSlots[home(id)]);
  }
  template <class F>
  void forEach(F f) const {
    for (const Slot& s : mSlots)
      if (s.id) f(s.id, s.value);
  }
  bool operator==(const IdTable& o) const {
    if (mSize != o.mSize) return false;
    for (const Slot& s : mSlots) {
      if (!s.id) continue;
      const V* v = o.find(s.id);
      if (!v || !(*v == s.value)) return false;
    }
    return true;
  }
  bool operator!=(const IdTable& o) const { return !(*this == o); }

 private:
  struct Slot {
    std::uint64_t id = 0;
    V value{};
  };
  std::size_t mask() const { return mSlots.size() - 1; }
  // Fibonacci hashing: consecutive identities land far apart.
  std::size_t home(std::uint64_t id) const {
    return static_cast<std::size_t>((id * 0x9E3779B97F4A7C15ull) >> mShift);
  }
  void rehash(std::size_t n) {
    std::size_t cap = 16;
    unsigned bits = 4;
    while (cap < 2 * n) {
      cap *= 2;
      ++bits;
    }
    std::vector<Slot> old;
    old.swap(mSlots);
    mSlots.assign(cap, Slot());
    mShift = 64 - bits;
    for (const Slot& s : old) {
      if (!s.id) continue;
      std::size_t i = home(s.id);
      while (mSlots[i].id) i = (i + 1) & mask();
      mSlots[i] = s;
    }
  }
  std::vector<Slot> mSlots;
  std::size_t mSize = 0;
  unsigned mShift = 60;
};

inline void PrefetchEntry(const Entry* e) {
  // From the shared count in front of the entry to its self link: 72 bytes,
  // so two lines at most.
  const std::uintptr_t p = reinterpret_cast<std::uintptr_t>(e);
  Prefetch(reinterpret_cast<const void*>(p - 16));
  Prefetch(reinterpret_cast<const char*>(&e->self) + sizeof(e->self) - 1);
}

// A block of k default entries in one allocation, owned through the
// returned pointer to its first entry.
std::shared_ptr<Entry> NewEntryBlock(std::size_t k);

// n fresh entries for a bulk build, allocated in blocks instead of one by
// one. Each entry's self shares its block, so a block lives while any of its
// entries is in a curve or held by a caller. init(entry, i) runs on each
// right after it is made, while it is still in cache.
template <class Init>
void AllocateEntries(std::size_t n, Init init) {
  // Large enough that allocation costs vanish per entry, small enough that a
  // few surviving entries do not pin much memory of a mostly removed run.
  constexpr std::size_t cBlock = 1024;
  for (std::size_t from = 0; from < n; from += cBlock) {
    const std::size_t k = n - from < cBlock ? n - from : cBlock;
    const std::shared_ptr<Entry> block = NewEntryBlock(k);
    for (std::size_t i = 0; i < k; ++i) {
      Entry* e = block.get() + i;
      e->self = std::shared_ptr<Entry>(block, e);
      init(e, from + i);
    }
  }
}

struct CurveData {
  CurveData() = default;
  ~CurveData();
  CurveData(const CurveData&) = delete;
  CurveData& operator=(const CurveData&) = delete;

  FCurve* owner = nullptr;  // not owned
  std::uint64_t id = 0;
  // Renewed whenever an entry leaves the curve or elements move between
  // entries: a record made at the same generation may use the entry it was
  // made from; otherwise it looks its element up by identity.
  std::uint64_t generation = NewSerial();
  // Some entry holds a segment or handles under identities that are not its
  // own (after a horizontal flip): walks must read entries, not only the
  // index's identities.
  bool remapped = false;
  std::string name;
  bool editable = true, locked = false, visible = true, velocity = false, acceleration = false;
  std::map<std::string, std::string> properties;

  Entry* leading = nullptr;  // always present, first in the list
  Entry* tail = nullptr;     // last in the list
  std::size_t count = 0;     // entries in the list
  IndexNode* indexRoot = nullptr;  // owned

  bool orderSuspect = false; // a set() may have broken the x order
  // No handle reaches further from its key in x than this (it may reach
  // less: handles that shrank or went keep it up until a copy measures).
  double handleReach = 0;
  // Changes with everything that can change the curve's values (keys,
  // handles, interpolators, entries): what is worked out from them keeps
  // while it stays.
  std::uint64_t shapeVersion = 0;
  void shapeChanged() { ++shapeVersion; }
  // The interior extents, for the shape version they were measured at.
  struct Extents {
    std::uint64_t version = ~std::uint64_t{0};
    bool any = false;
    Rectangle<double> rect;
  };
  mutable Extents extents;
  void noteHandle(double x) {
    const double r = x < 0 ? -x : x;
    if (r > handleReach) handleReach = r;
  }
  bool upkeepPending = false;
  std::vector<std::shared_ptr<Entry>> dirtyEntries;

  std::size_t size() const { return count; }
  Entry* first() const { return leading; }
  Entry* last() const { return tail; }

  // ---- identity index: entry identity -> entry, and segment identity ->
  // entry for segments held by another entry than their own. Built on the
  // first lookup (selections ask for it; copies and bulk edits need not pay
  // for it) and kept up to date from then on.
  Entry* find(std::uint64_t entryId) const;
  // The entry holding the segment with this identity base, or null.
  Entry* findSegment(std::uint64_t segId) const;
  // Builds the identity index now when it does not exist yet.
  void ensureIndex() const;
  void prefetchFind(std::uint64_t entryId) const { if (indexBuilt) ids.prefetch(entryId); }
  void indexAdd(Entry* e) {
    if (!indexBuilt) return;
    ids.insert(e->id, e);
    if (e->segId != e->id) movedSegments.insert(e->segId, e);
  }
  void indexRemove(const Entry* e) {
    if (!indexBuilt) return;
    ids.erase(e->id);
    if (e->segId != e->id) movedSegments.erase(e->segId);
  }
  void indexReset() {
    ids.clear();
    movedSegments.clear();
    indexBuilt = false;
  }

  // Entry whose segment covers x (left key x <= x < next key x). While the
  // order is broken (inside a Switch) the answer is some entry, never an
  // invalid one.
  Entry* cover(double x) const;
  // 0-based position of an entry in x order.
  std::size_t rank(const Entry* e) const;
  Entry* at(std::size_t position) const;

 private:
  mutable IdTable<Entry*> ids;
  mutable IdTable<Entry*> movedSegments;
  mutable bool indexBuilt = false;
};

struct Access {
  static Entry* entryOf(const Keyframe& k) { return k.isInCurve() ? static_cast<Entry*>(const_cast<Keyframe*>(&k)) : nullptr; }
  static Entry* entryOf(const Segment& s) { return static_cast<Entry*>(const_cast<Segment*>(&s)); }
  static Entry* entryOf(const Tangent& t) {
    Tangent* m = const_cast<Tangent*>(&t);
    return t.isInTangent() ? static_cast<Entry*>(static_cast<InTangentPart*>(m))
                           : static_cast<Entry*>(static_cast<OutTangentPart*>(m));
  }
  static CurveData* data(const FCurve& c) { return c.mData.get(); }
  // The curve's order in its first container (the one it has been in
  // longest), 0 outside any container.
  static std::uint64_t containerOrder(const FCurve& c) {
    return c.mContainers.empty() ? 0 : c.mContainers.front().order;
  }
  // The curve's order in the given container, 0 when it is not there.
  static std::uint64_t containerOrder(const FCurve& c, const FCurveContainer& container) {
    for (const auto& m : c.mContainers)
      if (m.container == &container) return m.order;
    return 0;
  }
  static auto& memberships(FCurve& c) { return c.mContainers; }
  // The curve's key for records with this order and its current identity.
  static const RecordKey* recordKey(const FCurve& c, std::uint64_t order);
  // A container's stamp changes whenever the curves it holds, or their
  // entries, change: walks cached over it stay valid while it does not.
  static std::uint64_t stamp(const FCurveContainer& container);
  static void touch(FCurveContainer& container);
  static int& switchDepth(FCurve& c) { return c.mSwitchDepth; }

  template <class E, class S>
  static E* entryOf(const FCurve::Iterator<E, S>& it) { return it.mEntry; }
  static FCurve::Projection iteratorOf(const CurveData* c, Entry* e) { return FCurve::Projection(c, e); }

  // Shared pointers into an entry (empty when it is not in a curve).
  static std::shared_ptr<Keyframe> keyPtr(const Entry* e);
  static std::shared_ptr<Segment> segmentPtr(const Entry* e);
  static std::shared_ptr<Tangent> outPtr(const Entry* e);
  static std::shared_ptr<Tangent> inPtr(const Entry* e);
  static std::shared_ptr<FCurve> curvePtr(const Entry* e);

  // A handle's stored state, for moving it between entries.
  struct TangentValue {
    Vector2D<double> offset;
    std::uint8_t type = TangentType::Smooth;
    std::uint8_t flags = 0;
  };
  static TangentValue value(const Tangent& t) { return {t.mOffset, t.mType, t.mFlags}; }
  // Every write of a handle's offset comes through here: the curve keeps
  // an upper bound of its handles' horizontal reach.
  static void writeOffset(Tangent& t, const Vector2D<double>& o);
  // Offset, type and flags; the slot stays an in- or an out-handle.
  static void assign(Tangent& t, const TangentValue& v) {
    writeOffset(t, v.offset);
    t.mType = v.type;
    t.mFlags = static_cast<std::uint8_t>((v.flags & ~Tangent::cIn) | (t.mFlags & Tangent::cIn));
  }
  // Raw writes that bypass unification, locking and upkeep.
  static void setOffset(Tangent& t, const Vector2D<double>& o) { writeOffset(t, o); }
  static void setType(Tangent& t, unsigned char type) { t.mType = type; }
  static void setPosition(Keyframe& k, const Vector2D<double>& p);
  static std::uint8_t& keyFlags(Keyframe& k) { return k.mFlags; }
  // Flags of a key inserted into a curve as a copy of k.
  static std::uint8_t insertedFlags(const Keyframe& k) {
    return static_cast<std::uint8_t>((k.mFlags & Keyframe::cValueFlags) | Keyframe::cEmbedded);
  }
  // Marks a fresh handle slot as the in-handle one.
  static void makeIn(Tangent& t) { t.mFlags |= Tangent::cIn; }
  // A default in-handle (Smooth, zero offset).
  static TangentValue freshIn() { return {{}, TangentType::Smooth, Tangent::cIn}; }
  // A non-weighted handle of the given type and offset; an offset set()
  // would refuse is taken as zero.
  static TangentValue handle(bool in, unsigned char type, const Vector2D<double>& offset) {
    return {InRange(offset) ? offset : Vector2D<double>(), type, in ? Tangent::cIn : std::uint8_t{0}};
  }

  static void setInterpolator(Segment& s, const std::shared_ptr<Interpolator>& i) { s.mInterpolator = i; }
  // A segment's owned property block (moved between segments by rebuilds).
  static auto& properties(Segment& s) { return s.mProperties; }
  static void copyProperties(const Segment& from, Segment& to);
};

// Made in bulk: defined here so that block construction can inline it.
inline Entry::Entry() {
  Access::keyFlags(key()) |= Keyframe::cEmbedded;
  Access::makeIn(in());
}

// What a record made of a curve compares by: the curve's container order
// and its identity when the record was made.
struct RecordKey {
  std::uint64_t order = 0;
  std::uint64_t id = 0;
};

// ---- identity bookkeeping (fcurve.cpp)
// The curve's entries changed in a way walks over it must see (entries came
// or went, keys moved and so records' places): every container holding it
// hears of it.
void StructureChanged(CurveData& c);
// As StructureChanged, and records made of the curve's entries before now
// may no longer use them: entries left the curve or elements moved.
void EntriesChanged(CurveData& c);

// ---- list and x index (fcurve_tree.cpp)
// Links e (a fresh entry) into the list and the index right after pos; a
// null pos starts an empty curve with e.
void TreeInsertAfter(CurveData& c, Entry* pos, Entry* e);
// Unlinks e from the list and the index.
void TreeErase(CurveData& c, Entry* e);
// Relinks the list in this order and rebuilds the index over it in O(n).
void TreeBuild(CurveData& c, const std::vector<Entry*>& ordered);
// TreeBuild one entry at a time, so that a bulk edit can place entries while
// it makes them: n entries are then added in order, and finish() completes
// the index. The old index is dropped at once.
class TreeBuilder {
 public:
  TreeBuilder(CurveData& c, std::size_t n);
  TreeBuilder(const TreeBuilder&) = delete;
  TreeBuilder& operator=(const TreeBuilder&) = delete;
  void add(Entry* e);
  void finish();

 private:
  CurveData& mCurve;
  std::vector<std::uint32_t> mSizes;  // planned entries per leaf
  std::vector<IndexLeaf*> mLeaves;
  IndexLeaf* mLeaf = nullptr;
  Entry* mLast = nullptr;
  std::size_t mAdded = 0;
};
// Drops the index and the list links of every entry (the entries stay).
void TreeReset(CurveData& c);
// Frees the index only, leaving the entries' links for a caller that walks
// them once anyway.
void TreeFreeIndex(CurveData& c);
// A key moved: the index keeps its x.
void TreeKeyMoved(CurveData& c, const Entry* e);
// Every key moved and their order stayed: the index takes all their x in
// one pass, without rebuilding.
void TreeRefreshXs(CurveData& c);
// Every entry in list order.
std::vector<Entry*> TreeEntries(const CurveData& c);
// The index's leaves in order, each a run of consecutive entries with their
// identities and x in dense arrays: what a walk over many entries reads
// instead of the entries themselves.
struct LeafView {
  Entry* const* entries;
  const std::uint64_t* ids;
  const double* xs;
  std::uint32_t n;
};
const IndexLeaf* FirstLeaf(const CurveData& c);
const IndexLeaf* NextLeaf(const IndexLeaf* leaf);
LeafView ViewOf(const IndexLeaf* leaf);
// Starts loading a leaf's identities and entries.
void PrefetchLeaf(const IndexLeaf* leaf);
// Structural check of the index against the list, for tests: empty when
// sound, else what is wrong.
std::string TreeCheck(const CurveData& c);

// ---- bulk edits (fcurve_curve.cpp)
// Replaces the keys strictly inside (x0, x1) of a curve in x order by new
// keys at the given ascending positions, exactly as removing them and then
// inserting the positions one by one would: a position is skipped when it is
// not finite, lies outside [x0, x1], or is not at least the minimum
// separation beyond the key before it or short of the first key from x1 on;
// in-handles travel with their keys. New entries get fresh identities, default handles
// and the interpolator. The list and the index are updated once, and the
// keys either side of the run are marked for upkeep; requesting the upkeep
// is left to the caller.
// handles(i, in, out) gives the handles of the key at position i (in and
// out start as a new key's defaults); new keys with automatic handles are
// marked for upkeep.
//
// A non-owning reference to a callable, for a callback made once per key of
// a run: no allocation, one indirect call. Valid while the callable lives.
template <class Signature>
class FunctionRef;
template <class R, class... A>
class FunctionRef<R(A...)> {
 public:
  template <class F>
  FunctionRef(F&& f)
      : mObject(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
        mCall([](void* o, A... a) -> R { return (*static_cast<std::remove_reference_t<F>*>(o))(a...); }) {}
  R operator()(A... a) const { return mCall(mObject, a...); }

 private:
  void* mObject;
  R (*mCall)(void*, A...);
};
using RunHandles = FunctionRef<void(std::size_t, Access::TangentValue&, Access::TangentValue&)>;
void ReplaceRun(CurveData& c, double x0, double x1, const std::vector<Vector2D<double>>& keys,
                const std::shared_ptr<Interpolator>& interpolator, RunHandles handles);

// ---- upkeep: automatic handles and order repair (fcurve_upkeep.cpp)
// Too close in x: closer than the minimum separation by more than rounding.
inline bool TooClose(double gap) {
  const double sep = Keyframe::getMinSeparation();
  return !(gap >= sep) && !NearEqual(gap, sep);
}
// Types the library computes; Fixed and unknown codes keep their offsets.
inline bool IsAutomatic(unsigned char type) { return type != TangentType::Fixed && type <= TangentType::Plateau; }
bool IsDeferred(const CurveData& c);
// The entry's key (or the keys around it) changed: its automatic handles
// must be recomputed.
void MarkDirty(CurveData& c, Entry* e);
// Marks e and its neighbouring keys.
void MarkAround(CurveData& c, Entry* e);
// Runs the upkeep now, or remembers the curve until the last Switch ends.
void RequestUpkeep(CurveData& c);
// Re-sorts a curve whose order may be broken; recomputes every handle.
void RepairOrder(CurveData& c);
// The curve's data is going away: forget any pending upkeep of it.
void ForgetPending(CurveData* c);
// A Switch ended: process what waited for it.
void SwitchReleased(FCurve* curve);
int& GlobalSwitchDepth();
void ComputeAutoHandles(Entry* e);
// Every key may have moved: every automatic handle is recomputed, now or
// when the last Switch ends.
void RefreshAllHandles(CurveData& c);

// Where an element is: its entry and the slot of that entry holding it.
struct Located {
  const Entry* entry = nullptr;
  Part slot = KeyPart;
  explicit operator bool() const { return entry != nullptr; }
};
// The element with the given identity in a curve's content; empty when that
// element is not (or no longer) there.
Located FindElement(const CurveData& curve, std::uint64_t elementId);

}  // namespace Private
ZENTHO_TESSAL_NAMESPACE_END
