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
struct Entry;
struct SelectionAccess;
struct SelectionRecords;
}  // namespace Private

// ---------------------------------------------------------------- HitRecord

// A typed reference to one curve item: it holds its curve and names the item
// by identity, so it finds the item again after the curve's content was
// swapped out and back (an undo), and gives nothing while the item is gone.
// Records are compared with the values they had when made, so they can sit in
// ordered sets while keys move.
class ZENTHO_TESSAL_EXPORT HitRecord {
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

  int getType() const { return static_cast<int>(mKind & cTypeMask); }
  bool isEmpty() const { return getType() == None; }
  // A reference: walks read it per record, and a copy costs two atomic ops.
  const std::shared_ptr<FCurve>& getCurve() const { return mCurve; }
  // The element as the curve holds it now; null for another type of record
  // and while the element is not in the curve.
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
  friend struct Private::SelectionAccess;

  // mKind packs the type (low 3 bits), the sub-place (bit 3: in-handle 0,
  // out-handle 1, so that a key's handles sort as the curve's tangent walk
  // lists them) and, from bit 8, the generation of the curve's content the
  // record was made from: while the curve still has that generation, mEntry
  // still holds the element and is used without a lookup. A record is seven
  // words: a walk over a million keys costs 56 MB, not more.
  static constexpr std::uint64_t cTypeMask = 7;
  static constexpr std::uint64_t cOutHandle = 8;
  static constexpr unsigned cGenerationShift = 8;

  std::shared_ptr<FCurve> mCurve;
  const Private::Entry* mEntry = nullptr;     // not owned; see mKind
  const Private::RecordKey* mKey = nullptr;   // owned by mCurve: container order and curve identity at creation
  std::uint64_t mKind = None;
  std::uint64_t mElementId = 0;  // identity of the element (0 for curves)
  double mPlace = 0;             // x of the element's key at creation
};

// Strict weak order: curve (container order), then type, then the element's
// place in its curve (the x of its key, or of the key its segment starts at;
// at one key the in-handle before the out-handle).
struct ZENTHO_TESSAL_EXPORT CompareRecord {
  bool operator()(const HitRecord& a, const HitRecord& b) const;
};

// ---------------------------------------------------------------- walks

namespace Private {
// Starts loading what the getters of the record read.
ZENTHO_TESSAL_EXPORT void PrefetchRecord(const HitRecord& record);
}  // namespace Private

// A bidirectional iterator over a walk's records. Walks are computed once per
// selection state and shared by every iterator over them; iterators of one
// walk at its end compare equal to any iterator at the end of its walk.
class ZENTHO_TESSAL_EXPORT HitRecordIterator {
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

class ZENTHO_TESSAL_EXPORT SelectionObserver : public TrackedObserver {
 public:
  ~SelectionObserver() override;
  virtual void selectionChanged(Selection& selection);
};

class ZENTHO_TESSAL_EXPORT Selection {
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
  // container, for example one of copies: a preview then shows exactly what
  // the selection over the originals names).
  void assign(const Selection& other);

  void subscribe(SelectionObserver& observer);
  void unsubscribe(SelectionObserver& observer);
  void notifyChanged();

 private:
  friend class SelectionSnapshot;
  friend struct Private::Access;
  friend struct Private::SelectionAccess;  // the walks and bulk edits below

  bool change(std::uint64_t curveId, std::uint64_t elementId, bool selectIt);
  // The records, unshared from any snapshot holding them.
  Private::SelectionRecords& edit();
  void changed();

  std::shared_ptr<FCurveContainer> mContainer;
  // Shared with snapshots until either side changes (never null).
  std::shared_ptr<const Private::SelectionRecords> mRecords;
  std::uint64_t mVersion = 0;
  Subject<SelectionObserver> mObservers;

  // Walk caches, rebuilt when the selection, the container or the entries of
  // one of its curves change; edits of other curves leave them valid.
  struct WalkCache;
  mutable std::unique_ptr<WalkCache> mCache;
};

// Walks over a selection, curve by curve in container order; keys and
// tangents within a curve in key order (tangents: per entry its out-tangent,
// then its in-tangent, which is the next key's in-handle). A walk costs
// O(selected log n) and is built once per state of the selection and of its
// container's curves; End…() is O(1).
ZENTHO_TESSAL_EXPORT HitRecordIterator BeginSelectedCurves(const Selection& selection);
ZENTHO_TESSAL_EXPORT HitRecordIterator EndSelectedCurves(const Selection& selection);
ZENTHO_TESSAL_EXPORT HitRecordIterator BeginSelectedKeyframes(const Selection& selection);
ZENTHO_TESSAL_EXPORT HitRecordIterator EndSelectedKeyframes(const Selection& selection);
ZENTHO_TESSAL_EXPORT HitRecordIterator BeginSelectedTangents(const Selection& selection);
ZENTHO_TESSAL_EXPORT HitRecordIterator EndSelectedTangents(const Selection& selection);

// Records the selection at construction; select() makes the selection equal
// to the record again. Snapshots share the selection's storage until it
// changes, so taking one costs O(1) however much is selected.
class ZENTHO_TESSAL_EXPORT SelectionSnapshot {
 public:
  explicit SelectionSnapshot(Selection& selection);
  ~SelectionSnapshot();
  SelectionSnapshot(const SelectionSnapshot&);
  SelectionSnapshot& operator=(const SelectionSnapshot&);
  void capture();
  void select();

 private:
  Selection* mSelection;  // not owned; outlived by the selection's users
  std::shared_ptr<const Private::SelectionRecords> mRecords;
};

// Fills the set with every selected record whose element exists.
ZENTHO_TESSAL_EXPORT void GetSelected(const Selection& selection, std::set<HitRecord, CompareRecord>& result);
// The curve record and every key, segment and tangent the curve holds now
// (elements added later are not selected). Costs a bit per element when the
// curve's identities are compact, as they are for curves built in one go.
ZENTHO_TESSAL_EXPORT void SelectCurveCompletely(Selection& selection, const FCurve& curve);
ZENTHO_TESSAL_EXPORT void DeselectCurveCompletely(Selection& selection, const FCurve& curve);
// Every key, segment and tangent record; curve records stay.
ZENTHO_TESSAL_EXPORT void DeselectSelectedParts(Selection& selection);
// notifyChanged() once on every curve that has any selected record.
ZENTHO_TESSAL_EXPORT void NotifyCurveChanges(Selection& selection);

namespace Private {
// The default filter: passes every record whose element exists.
struct ZENTHO_TESSAL_EXPORT SelectionFilter {
  bool operator()(const HitRecord& record) const;
};
}  // namespace Private

ZENTHO_TESSAL_NAMESPACE_END
