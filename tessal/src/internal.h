// Library-internal view of curves: the entry that holds a key, the segment
// starting at it and that segment's two handles in one allocation, stored
// as a node of an order-statistic AVL tree ordered by key x.
#pragma once

#include <tessal/fcurve.h>
#include <tessal/selection.h>

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

ZENTHO_TESSAL_NAMESPACE_BEGIN
namespace Private {

// Element identities derive from the entry identity: the low two bits say
// which part of the entry is meant.
enum Part : std::uint64_t { KeyPart = 0, SegmentPart = 1, OutPart = 2, InPart = 3 };
inline std::uint64_t ElementId(std::uint64_t entryId, Part part) { return (entryId << 2) | part; }
inline std::uint64_t EntryIdOf(std::uint64_t elementId) { return elementId >> 2; }
inline Part PartOf(std::uint64_t elementId) { return static_cast<Part>(elementId & 3); }

std::uint64_t NewIdentity();
// Bumped by every structural change of any curve or container: walks cached
// by selections are valid while it stays the same.
std::uint64_t StructureEpoch();
void BumpStructureEpoch();

struct OutTangentPart : Tangent {};
struct InTangentPart : Tangent {};

struct Entry;

// The tree links come first in an entry, right before the key's position:
// a search reads both, and together they fit one cache line.
struct TreeLinks {
  Entry* parent = nullptr;  // not owned
  Entry* left = nullptr;    // not owned
  Entry* right = nullptr;   // not owned
  std::uint32_t count = 1;  // nodes in this subtree
  std::int8_t height = 1;
  bool leading = false;     // the entry without a key
  bool hasIn = false;       // the segment has a right key, so an in-tangent
  bool dirty = false;       // automatic handles wait for upkeep
};

struct Entry : TreeLinks, Keyframe, Segment, OutTangentPart, InTangentPart {
  Entry();
  ~Entry();
  using Keyframe::get;  // the key's position, not a handle's offset

  CurveData* curve = nullptr;  // not owned; null once the entry left its curve
  std::uint64_t id = 0;
  std::shared_ptr<Entry> self;  // the curve's ownership while in a curve

  double x() const { return leading ? -std::numeric_limits<double>::infinity() : get().x; }
  Keyframe& key() { return *this; }
  const Keyframe& key() const { return *this; }
  Segment& segment() { return *this; }
  const Segment& segment() const { return *this; }
  Tangent& out() { return static_cast<OutTangentPart&>(*this); }
  const Tangent& out() const { return static_cast<const OutTangentPart&>(*this); }
  Tangent& in() { return static_cast<InTangentPart&>(*this); }
  const Tangent& in() const { return static_cast<const InTangentPart&>(*this); }

  Entry* next() const;
  Entry* prev() const;
};

struct CurveData {
  CurveData() = default;
  ~CurveData();

  FCurve* owner = nullptr;  // not owned
  std::uint64_t id = 0;
  std::string name;
  bool editable = true, locked = false, visible = true, velocity = false, acceleration = false;
  std::map<std::string, std::string> properties;

  Entry* root = nullptr;     // tree of every entry, the leading one first
  Entry* leading = nullptr;  // always present

  bool orderSuspect = false; // a set() may have broken the x order
  bool upkeepPending = false;
  std::vector<std::shared_ptr<Entry>> dirtyEntries;

  std::size_t size() const { return root ? root->count : 0; }
  Entry* first() const { return leading; }
  Entry* last() const;

  // ---- identity index: entry identity -> entry. Built on the first lookup
  // (selections ask for it; copies and bulk edits need not pay for it) and
  // kept up to date from then on.
  Entry* find(std::uint64_t entryId) const;
  void indexAdd(Entry* e) { if (indexBuilt) index.emplace(e->id, e); }
  void indexRemove(const Entry* e) { if (indexBuilt) index.erase(e->id); }
  void indexReset() { index.clear(); indexBuilt = false; }

  // ---- flat lookup: the entries' x in one contiguous array with a coarse
  // level every cLookupBlock entries, so that a search touches a few cache
  // lines instead of a pointer per tree level. Dropped by structural edits,
  // rebuilt once enough searches have gone to the tree to pay for it.
  static constexpr std::size_t cLookupBlock = 64;
  struct Lookup {
    std::vector<double> xs;         // x of every entry; -inf for the leading one
    std::vector<Entry*> entries;    // not owned
    std::vector<double> coarse;     // xs[0], xs[64], ...
    bool valid = false;
    std::size_t treeSearches = 0;   // since the last invalidation
  };
  void lookupInvalidate() const {
    if (lookup.valid) {
      lookup.valid = false;
      lookup.xs.clear();
      lookup.entries.clear();
      lookup.coarse.clear();
    }
    lookup.treeSearches = 0;
  }
  void lookupBuild(const std::vector<Entry*>& ordered) const;
  // A key moved without changing the order.
  void lookupKeyMoved(const Entry* e) const;

  // Entry whose segment covers x (left key x <= x < next key x).
  Entry* cover(double x) const;
  // 0-based position of an entry in x order.
  std::size_t rank(const Entry* e) const;
  Entry* at(std::size_t position) const;
  // cover() through the tree only: for edits that are about to drop the
  // flat lookup anyway.
  Entry* treeCover(double x) const;

 private:
  mutable std::unordered_map<std::uint64_t, Entry*> index;
  mutable bool indexBuilt = false;
  mutable Lookup lookup;
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
  static std::uint64_t containerOrder(const FCurve& c) { return c.mContainerOrder; }
  static void setContainerOrder(FCurve& c, std::uint64_t o) { c.mContainerOrder = o; }
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

  static const std::shared_ptr<Private::Entry>& recordEntry(const HitRecord& r) { return r.mEntry; }
  // A handle's stored state, for moving it between entries.
  struct TangentValue {
    Vector2D<double> offset;
    std::uint8_t type = TangentType::Smooth;
    std::uint8_t flags = 0;
  };
  static TangentValue value(const Tangent& t) { return {t.mOffset, t.mType, t.mFlags}; }
  static void assign(Tangent& t, const TangentValue& v) {
    t.mOffset = v.offset;
    t.mType = v.type;
    t.mFlags = v.flags;
  }
  // Raw writes that bypass unification, locking and upkeep.
  static void setOffset(Tangent& t, const Vector2D<double>& o) { t.mOffset = o; }
  static void setPosition(Keyframe& k, const Vector2D<double>& p) { k.mPos = p; }
  static std::uint8_t& keyFlags(Keyframe& k) { return k.mFlags; }
  // Flags of a key inserted into a curve as a copy of k.
  static std::uint8_t insertedFlags(const Keyframe& k) {
    return static_cast<std::uint8_t>((k.mFlags & Keyframe::cValueFlags) | Keyframe::cEmbedded);
  }
  // A default in-handle (Smooth, zero offset).
  static TangentValue freshIn() { return {{}, TangentType::Smooth, Tangent::cIn}; }

  // A segment's owned property block (moved between segments by rebuilds).
  static auto& properties(Segment& s) { return s.mProperties; }
  static void copyProperties(const Segment& from, Segment& to);
};

// ---- tree maintenance (fcurve_tree.cpp)
// Links e (a fresh node) into the tree right after pos in x order.
void TreeInsertAfter(CurveData& c, Entry* pos, Entry* e);
void TreeErase(CurveData& c, Entry* e);
// Rebuilds a perfectly balanced tree over entries already in x order.
void TreeBuild(CurveData& c, const std::vector<Entry*>& ordered);
// Every entry in tree order.
std::vector<Entry*> TreeEntries(const CurveData& c);

// ---- upkeep: automatic handles and order repair (fcurve_upkeep.cpp)
// Too close in x: closer than the minimum separation by more than rounding.
bool TooClose(double gap);
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

// The element with the given identity in a curve's content, or null when
// that element is not (or no longer) there.
const Entry* FindElement(const CurveData& curve, std::uint64_t elementId);

}  // namespace Private
ZENTHO_TESSAL_NAMESPACE_END
