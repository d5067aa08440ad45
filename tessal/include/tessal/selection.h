// What the user has selected: curves, keyframes, segments and tangents of
// one container. A selection stores identities, not objects, so it answers
// for an element of a copy (FCurve::createCopy) exactly as for its source,
// and after FCurve::swap the elements now in the live curve are selected as
// before. Records whose element is not in the container are skipped by every
// walk and query, and come back when an undo puts the element back.
#pragma once

#include <tessal/container.h>
#include <tessal/fcurve.h>
#include <tessal/observer.h>

#include <cstdint>
#include <iterator>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

ZENTHO_TESSAL_NAMESPACE_BEGIN

class Selection;
namespace Private {
struct SelectionAccess;

// The element identities selected in one curve: a flat set that lists its
// members in the order they were added (removals leave holes that are
// skipped and compacted away in time). Walks read it front to back, and
// selections made key by key or curve by curve come out in key order.
// Identities are never 0.
class IdSet {
 public:
  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::uint64_t;
    using difference_type = std::ptrdiff_t;
    using pointer = const std::uint64_t*;
    using reference = const std::uint64_t&;
    const std::uint64_t& operator*() const { return *mAt; }
    const_iterator& operator++() {
      ++mAt;
      skip();
      return *this;
    }
    bool operator==(const const_iterator& o) const { return mAt == o.mAt; }
    bool operator!=(const const_iterator& o) const { return mAt != o.mAt; }

   private:
    friend class IdSet;
    const_iterator(const std::uint64_t* at, const std::uint64_t* end) : mAt(at), mEnd(end) { skip(); }
    void skip() {
      while (mAt != mEnd && *mAt == 0) ++mAt;
    }
    const std::uint64_t* mAt;
    const std::uint64_t* mEnd;
  };

  std::size_t size() const { return mLive; }
  bool empty() const { return mLive == 0; }
  const_iterator begin() const { return {mIds.data(), mIds.data() + mIds.size()}; }
  const_iterator end() const { return {mIds.data() + mIds.size(), mIds.data() + mIds.size()}; }
  bool contains(std::uint64_t id) const { return id != 0 && slotOf(id) != cNone; }
  // False when present already (or 0).
  bool insert(std::uint64_t id);
  // False when absent.
  bool erase(std::uint64_t id);
  void clear();
  void reserve(std::size_t n);
  // The same members, in any order.
  bool operator==(const IdSet& o) const;
  bool operator!=(const IdSet& o) const { return !(*this == o); }

 private:
  static constexpr std::size_t cNone = static_cast<std::size_t>(-1);
  std::size_t home(std::uint64_t id) const {
    return static_cast<std::size_t>((id * 0x9E3779B97F4A7C15ull) >> mShift);
  }
  // Slot in mSlots of id, or cNone. The table is never more than half
  // full, so every probe run ends.
  std::size_t slotOf(std::uint64_t id) const {
    if (mSlots.empty()) return cNone;
    const std::size_t mask = mSlots.size() - 1;
    for (std::size_t i = home(id);; i = (i + 1) & mask) {
      const std::uint32_t s = mSlots[i];
      if (!s) return cNone;
      if (mIds[s - 1] == id) return i;
    }
  }
  // Drops the holes and rehashes for at least n members.
  void rebuild(std::size_t n);

  std::vector<std::uint64_t> mIds;    // members in insertion order; 0 is a hole
  std::vector<std::uint32_t> mSlots;  // 1 + position in mIds, 0 free; linear probing
  std::size_t mLive = 0;
  unsigned mShift = 64;
};
}  // namespace Private

// ---------------------------------------------------------------- HitRecord

// A typed reference to one curve item. Records are compared with the values
// they had when made, so they can sit in ordered sets while keys move.
class HitRecord {
 public:
  enum Type { None = 0, Curve = 1, SegmentRecord = 2, KeyframeRecord = 3, TangentRecord = 4, TangentRecord2 = 5 };

  HitRecord() = default;
  explicit HitRecord(const FCurve& curve);
  explicit HitRecord(const Segment& segment);
  explicit HitRecord(const Keyframe& key);
  explicit HitRecord(const Tangent& tangent);
  explicit HitRecord(const std::shared_ptr<FCurve>& curve);
  explicit HitRecord(const std::shared_ptr<Segment>& segment);
  explicit HitRecord(const std::shared_ptr<Keyframe>& key);
  explicit HitRecord(const std::shared_ptr<Tangent>& tangent);

  int getType() const { return mType; }
  bool isEmpty() const { return mType == None; }
  // A reference: walks read it per record, and a copy costs two atomic ops.
  const std::shared_ptr<FCurve>& getCurve() const { return mCurve; }
  std::shared_ptr<Segment> getSegment() const;   // segment records
  std::shared_ptr<Keyframe> getKeyframe() const; // keyframe records
  std::shared_ptr<Tangent> getTangent() const;   // tangent records
  void reset();

  // Same type and same element identity.
  bool operator==(const HitRecord& o) const;
  bool operator!=(const HitRecord& o) const { return !(*this == o); }

 private:
  friend struct CompareRecord;
  friend class Selection;
  friend struct Private::Access;

  int mType = None;
  int mSubPlace = 0;  // out-tangent 0, in-tangent 1
  std::shared_ptr<FCurve> mCurve;
  std::shared_ptr<Private::Entry> mEntry;  // element records
  std::uint64_t mCurveOrder = 0;           // container order at creation
  std::uint64_t mCurveId = 0;
  std::uint64_t mElementId = 0;  // identity of the element (0 for curves)
  double mPlace = 0;             // x of the element's key at creation
};

// Strict weak order: curve (container order), then type, then the element's
// place in its curve.
struct CompareRecord {
  bool operator()(const HitRecord& a, const HitRecord& b) const;
};

// ---------------------------------------------------------------- walks

namespace Private {
// Starts loading what the getters of the record read.
void PrefetchRecord(const HitRecord& record);
}  // namespace Private

// A bidirectional iterator over a walk's records. Walks are computed once per
// selection state and shared by every iterator over them; iterators of one
// walk at its end compare equal to any iterator at the end of its walk.
class HitRecordIterator {
 public:
  using iterator_category = std::bidirectional_iterator_tag;
  using value_type = HitRecord;
  using difference_type = std::ptrdiff_t;
  using pointer = const HitRecord*;
  using reference = const HitRecord&;

  HitRecordIterator() = default;
  HitRecordIterator(std::shared_ptr<const std::vector<HitRecord>> records, std::size_t index)
      : mRecords(std::move(records)), mIndex(index) {}

  const HitRecord& operator*() const { return (*mRecords)[mIndex]; }
  const HitRecord* operator->() const { return &(*mRecords)[mIndex]; }
  HitRecordIterator& operator++() {
    ++mIndex;
    loadAhead();
    return *this;
  }
  HitRecordIterator& operator--() { --mIndex; return *this; }
  HitRecordIterator operator++(int) {
    auto r = *this;
    ++*this;
    return r;
  }
  HitRecordIterator operator--(int) { auto r = *this; --mIndex; return r; }
  bool operator==(const HitRecordIterator& o) const {
    const bool atEnd = isAtEnd(), oAtEnd = o.isAtEnd();
    if (atEnd || oAtEnd) return atEnd == oAtEnd;
    return mRecords == o.mRecords && mIndex == o.mIndex;
  }
  bool operator!=(const HitRecordIterator& o) const { return !(*this == o); }

 private:
  // Records name elements scattered over memory; walking forwards, the
  // elements a few records ahead are asked for early, so that reading them
  // in turn does not wait for each one's cache miss.
  static constexpr std::size_t cLoadAhead = 12;
  void loadAhead() const {
    if (mRecords && mIndex + cLoadAhead < mRecords->size()) Private::PrefetchRecord((*mRecords)[mIndex + cLoadAhead]);
  }
  bool isAtEnd() const { return !mRecords || mIndex >= mRecords->size(); }
  std::shared_ptr<const std::vector<HitRecord>> mRecords;
  std::size_t mIndex = 0;
};

// ---------------------------------------------------------------- Selection

class SelectionObserver : public TrackedObserver {
 public:
  ~SelectionObserver() override;
  virtual void selectionChanged(Selection& selection);
};

class Selection {
 public:
  explicit Selection(std::shared_ptr<FCurveContainer> container);
  ~Selection();
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

  const std::shared_ptr<FCurveContainer>& getContainer() const { return mContainer; }

  // Each returns whether the selection changed; observers hear once per
  // effective change. Elements that are not in a curve are ignored.
  bool select(const FCurve& curve);
  bool select(const Keyframe& key);
  bool select(const Segment& segment);
  bool select(const Tangent& tangent);
  bool select(const HitRecord& record);
  bool deselect(const FCurve& curve);
  bool deselect(const Keyframe& key);
  bool deselect(const Segment& segment);
  bool deselect(const Tangent& tangent);
  bool deselect(const HitRecord& record);
  bool isSelected(const FCurve& curve) const;
  bool isSelected(const Keyframe& key) const;
  bool isSelected(const Segment& segment) const;
  bool isSelected(const Tangent& tangent) const;
  bool isSelected(const HitRecord& record) const;
  void clear();

  // Every selected record whose element is in the container, in
  // CompareRecord order.
  HitRecordIterator begin() const;
  HitRecordIterator end() const;
  bool empty() const { return begin() == end(); }

  // Holds the same identities as other (which may be over another
  // container, for example one of copies).
  void assign(const Selection& other);

  void subscribe(SelectionObserver& observer);
  void unsubscribe(SelectionObserver& observer);
  void notifyChanged();

 private:
  friend class SelectionSnapshot;
  friend struct Private::Access;
  friend struct Private::SelectionAccess;  // the walks and bulk edits below

  // Selected element identities of one curve identity.
  struct CurveRecords {
    bool curve = false;
    Private::IdSet elements;
  };
  using Records = std::unordered_map<std::uint64_t, CurveRecords>;

  bool change(std::uint64_t curveId, std::uint64_t elementId, bool selectIt);
  void changed();

  std::shared_ptr<FCurveContainer> mContainer;
  Records mRecords;
  std::uint64_t mVersion = 0;
  Subject<SelectionObserver> mObservers;

  // Walk caches, rebuilt when the selection or any curve's structure changes.
  struct WalkCache;
  mutable std::unique_ptr<WalkCache> mCache;
};

// Walks over a selection, curve by curve in container order; keys and
// tangents within a curve in key order (tangents: per entry its out-tangent,
// then its in-tangent).
HitRecordIterator BeginSelectedCurves(const Selection& selection);
HitRecordIterator EndSelectedCurves(const Selection& selection);
HitRecordIterator BeginSelectedKeyframes(const Selection& selection);
HitRecordIterator EndSelectedKeyframes(const Selection& selection);
HitRecordIterator BeginSelectedTangents(const Selection& selection);
HitRecordIterator EndSelectedTangents(const Selection& selection);

// Records the selection at construction; select() makes the selection equal
// to the record again.
class SelectionSnapshot {
 public:
  explicit SelectionSnapshot(Selection& selection);
  void capture();
  void select();

 private:
  Selection* mSelection;  // not owned; outlived by the selection's users
  Selection::Records mRecords;
};

// Fills the set with every selected record whose element exists.
void GetSelected(const Selection& selection, std::set<HitRecord, CompareRecord>& result);
// The curve record and every key, segment and tangent of the curve.
void SelectCurveCompletely(Selection& selection, const FCurve& curve);
void DeselectCurveCompletely(Selection& selection, const FCurve& curve);
// Every key, segment and tangent record; curve records stay.
void DeselectSelectedParts(Selection& selection);
// notifyChanged() once on every curve that has any selected record.
void NotifyCurveChanges(Selection& selection);

namespace Private {
// The default filter: passes every record whose element exists.
struct SelectionFilter {
  bool operator()(const HitRecord& record) const;
};
}  // namespace Private

ZENTHO_TESSAL_NAMESPACE_END
