// Animation function curves: a curve is an ordered map of entries, each a
// keyframe and the segment that starts at it. The first entry has no key: it
// is the leading segment, before the first key. Every key owns its two
// handles: the in-handle arriving from the left and the out-handle leaving
// to the right. Keyframes, segments and tangents are handed out as
// std::shared_ptr and stay valid (and identical) while their entry is in the
// curve; entries are stored in a balanced tree, so lookup by x, insertion and
// removal are O(log n) and iterators stay valid across edits of other
// entries. Coordinates and offsets beyond cMaxCoordinate are refused like
// non-finite ones.
#pragma once

#include <tessal/interpolator.h>
#include <tessal/observer.h>
#include <tessal/types.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

ZENTHO_TESSAL_NAMESPACE_BEGIN

class FCurve;
class FCurveContainer;
class FCurveObserver;
class Keyframe;
class Segment;
class Tangent;

namespace Private {
struct Entry;
struct CurveData;
struct Access;
struct RecordKey;
}  // namespace Private

// Tangent type codes (one byte). Fixed keeps the offset it was given; the
// others (automatic types) are computed from the neighbouring keys whenever
// they change. Codes above Plateau are kept and treated like Fixed.
namespace TangentType {
enum Code : unsigned char {
  Fixed = 0,
  Flat = 1,
  Linear = 2,
  Smooth = 3,
  SmoothNormal = 4,
  Clamped = 5,
  Plateau = 6,
};
}

// ---------------------------------------------------------------- Tangent

// A handle: its offset from its keyframe in world units. It belongs to its
// key and side: the in-handle arrives at the key from the left, the
// out-handle leaves it to the right. The in-tangent of a segment is its right
// key's in-handle, the out-tangent its left key's out-handle.
class ZENTHO_TESSAL_EXPORT Tangent {
 public:
  const Vector2D<double>& get() const { return mOffset; }
  // Stores the offset, so that no later upkeep moves what the caller set: an
  // automatic handle becomes Fixed. On a unified key the opposite handle
  // turns to the opposite direction, keeping its length, and becomes Fixed
  // too. A weight-locked handle keeps its own length: only its direction
  // changes (a zero offset, having none, is ignored). Offsets that are not
  // finite or beyond cMaxCoordinate are ignored. To put back both handles of
  // a key exactly, use Keyframe::setTangents.
  void set(const Vector2D<double>& offset);
  void set(double x, double y) { set(Vector2D<double>(x, y)); }

  unsigned char getType() const { return mType; }
  // On a unified key the opposite handle takes the type too. An automatic
  // type recomputes the handle (at the end of the outermost Switch).
  void setType(unsigned char type);

  bool isWeighted() const { return (mFlags & cWeighted) != 0; }
  void setWeighted(bool weighted);
  bool isWeightLocked() const { return (mFlags & cWeightLocked) != 0; }
  void setWeightLocked(bool locked);

  bool isInTangent() const { return (mFlags & cIn) != 0; }

  // The other handle of the same keyframe, or empty.
  std::shared_ptr<Tangent> getOppositeTangent() const;
  std::shared_ptr<Keyframe> getOwningKeyframe() const;
  std::shared_ptr<Segment> getOwningSegment() const;
  std::shared_ptr<FCurve> getOwningCurve() const;

 private:
  friend struct Private::Access;
  friend struct Private::Entry;

 protected:
  // Handles exist only inside curve entries.
  Tangent() = default;
  Tangent(const Tangent&) = default;
  Tangent& operator=(const Tangent&) = default;

 private:

  static constexpr std::uint8_t cWeighted = 1;
  static constexpr std::uint8_t cWeightLocked = 2;
  static constexpr std::uint8_t cIn = 4;

  Vector2D<double> mOffset;
  std::uint8_t mType = TangentType::Smooth;
  std::uint8_t mFlags = 0;
};

// ---------------------------------------------------------------- Keyframe

// A key. Standalone values (default-constructed or copied) carry a position
// and flags and can be inserted into curves; a key inside a curve also knows
// its segments and handles.
class ZENTHO_TESSAL_EXPORT Keyframe {
 public:
  // At (0, 0), tangents unified, not a breakdown, unlocked.
  Keyframe() = default;
  Keyframe(double x, double y) : mPos(x, y) {}
  // Copies position and flags; the copy is a standalone value.
  Keyframe(const Keyframe& other) : mPos(other.mPos), mFlags(other.mFlags & cValueFlags) {}
  // Assigns position and flags (through set() for a key inside a curve).
  Keyframe& operator=(const Keyframe& other);

  const Vector2D<double>& get() const { return mPos; }
  double getX() const { return mPos.x; }
  double getY() const { return mPos.y; }
  // Moves the key. Positions that are not finite or beyond cMaxCoordinate
  // are ignored. Inside an FCurve::Switch the key is not reordered, so keys
  // may pass each other transiently and putting several keys back one by one
  // is exact. Outside any Switch a key set past its neighbour (or closer than
  // the minimum separation) is moved to its place in x order at the end of
  // the call and pushed right just as far as needed (in steps the magnitude
  // can represent), which can shift keys already put back: restore several
  // keys inside a Switch.
  void set(const Vector2D<double>& pos);
  void set(double x, double y) { set(Vector2D<double>(x, y)); }

  // Sets both handle offsets exactly as given, whatever the unification and
  // the weight locks: what a caller restoring recorded handles needs (setting
  // them one by one on a unified key would turn the first one again). Both
  // handles become Fixed. The second form gives each its type as well; an
  // automatic type is then recomputed from the neighbouring keys, so its
  // given offset stands only until the upkeep (the end of the outermost
  // Switch). Ignored, as a whole, for offsets that set() would refuse and for
  // a key outside a curve.
  void setTangents(const Vector2D<double>& in, const Vector2D<double>& out);
  void setTangents(const Vector2D<double>& in, const Vector2D<double>& out, unsigned char inType,
                   unsigned char outType);

  bool isBreakdown() const { return (mFlags & cBreakdown) != 0; }
  void setBreakdown(bool breakdown);
  bool isTangentsUnified() const { return (mFlags & cUnified) != 0; }
  void setTangentsUnified(bool unified);

  // The key's own handles (= left segment's in-tangent / right segment's
  // out-tangent); null for a key outside a curve.
  std::shared_ptr<Tangent> getInTangent() const;
  std::shared_ptr<Tangent> getOutTangent() const;
  std::shared_ptr<Segment> getLeftSegment() const;
  std::shared_ptr<Segment> getRightSegment() const;
  std::shared_ptr<FCurve> getOwningCurve() const;
  bool isInCurve() const { return (mFlags & cEmbedded) != 0; }

  // Keys of one curve are always at least this far apart in x.
  static double getMinSeparation() { return 0.01; }

 private:
  friend struct Private::Access;
  friend struct Private::Entry;
  friend bool IsLocked(const Keyframe&);
  friend void SetLocked(Keyframe&, bool);

  static constexpr std::uint8_t cBreakdown = 1;
  static constexpr std::uint8_t cUnified = 2;
  static constexpr std::uint8_t cLocked = 4;
  static constexpr std::uint8_t cEmbedded = 8;
  static constexpr std::uint8_t cValueFlags = cBreakdown | cUnified | cLocked;

  Vector2D<double> mPos;
  std::uint8_t mFlags = cUnified;
};

ZENTHO_TESSAL_EXPORT bool IsLocked(const Keyframe& key);
ZENTHO_TESSAL_EXPORT void SetLocked(Keyframe& key, bool locked);

// ---------------------------------------------------------------- Segment

// The part of a curve from one key to the next. Exterior segments (the
// first entry, without a left key, and the last, without a right key) decide
// how the curve continues beyond its keys.
class ZENTHO_TESSAL_EXPORT Segment {
 public:
  std::shared_ptr<Keyframe> getLeftKey() const;
  std::shared_ptr<Keyframe> getRightKey() const;
  // Present exactly when the left (out) or right (in) key is: the left key's
  // out-handle and the right key's in-handle.
  std::shared_ptr<Tangent> getOutTangent() const;
  std::shared_ptr<Tangent> getInTangent() const;

  const std::shared_ptr<Interpolator>& getInterpolator() const { return mInterpolator; }
  // A null interpolator is refused: nothing changes.
  void setInterpolator(std::shared_ptr<Interpolator> interpolator);

  // "" when absent. Setting "" removes the property.
  std::string getProperty(const std::string& key) const;
  void setProperty(const std::string& key, const std::string& value);

  std::shared_ptr<FCurve> getOwningCurve() const;

  bool hasLeftKey() const;
  bool hasRightKey() const;
  bool isExterior() const { return !hasLeftKey() || !hasRightKey(); }

  // Shape as the interpolator sees it; false for an exterior segment.
  bool getShape(SegmentShape& shape) const;

  // The curve on this segment, exterior rules included. x outside the
  // segment is evaluated by this segment's formula (clamped for interiors).
  double eval(double x) const;
  double evalFirstDerivative(double x) const;
  double evalSecondDerivative(double x) const;

  // n >= 2 points (x, value / derivative) from x0 to x1 in one pass. The
  // range should lie within the segment; it is clamped into an interior
  // segment. Writes nothing for n == 0.
  void sample(double x0, double x1, std::size_t n, Vector2D<double>* out) const;
  void sampleFirstDerivative(double x0, double x1, std::size_t n, Vector2D<double>* out) const;
  void sampleSecondDerivative(double x0, double x1, std::size_t n, Vector2D<double>* out) const;

 private:
  friend struct Private::Access;
  friend struct Private::Entry;
  Segment() = default;
  ~Segment();
  Segment(const Segment&) = delete;
  Segment& operator=(const Segment&) = delete;

  std::shared_ptr<Interpolator> mInterpolator;
  struct Properties;
  Properties* mProperties = nullptr;  // owned; allocated on first property
};

// ---------------------------------------------------------------- observers

class ZENTHO_TESSAL_EXPORT FCurveObserver : public TrackedObserver {
 public:
  ~FCurveObserver() override;
  // Called by FCurve::notifyChanged; read FCurve::getChangeType() for the
  // phase of the edit.
  virtual void curveChanged(FCurve& curve);
};

// ---------------------------------------------------------------- FCurve

class ZENTHO_TESSAL_EXPORT FCurve : public SharedFromThis<FCurve> {
  struct Tag {};

 public:
  // Phase of an edit, one process-wide value: callers frame their edits with
  // AboutToChange + notifyChanged, Changing, Changed + notifyChanged, Idle.
  enum ChangeType { Idle = 0, AboutToChange = 1, Changing = 2, Changed = 3 };

  template <class E, class S>
  class Iterator {
   public:
    using iterator_category = std::bidirectional_iterator_tag;
    using value_type = std::shared_ptr<S>;
    using difference_type = std::ptrdiff_t;
    using pointer = S*;
    using reference = std::shared_ptr<S>;

    Iterator() = default;
    // Const from non-const.
    template <class E2, class S2>
    Iterator(const Iterator<E2, S2>& o) : mCurve(o.mCurve), mEntry(o.mEntry) {}

    std::shared_ptr<S> operator*() const;
    S* operator->() const;
    Iterator& operator++();
    Iterator& operator--();
    Iterator operator++(int) { Iterator r = *this; ++*this; return r; }
    Iterator operator--(int) { Iterator r = *this; --*this; return r; }
    template <class E2, class S2>
    bool operator==(const Iterator<E2, S2>& o) const { return mEntry == o.mEntry; }
    template <class E2, class S2>
    bool operator!=(const Iterator<E2, S2>& o) const { return mEntry != o.mEntry; }

    // The entry's key (null for the leading entry and for end()).
    Keyframe* key() const;
    S* segment() const { return operator->(); }

   private:
    template <class, class>
    friend class Iterator;
    friend class FCurve;
    friend struct Private::Access;
    Iterator(const Private::CurveData* c, E* e) : mCurve(c), mEntry(e) {}
    const Private::CurveData* mCurve = nullptr;  // not owned
    E* mEntry = nullptr;                         // not owned; null is end()
  };
  using Projection = Iterator<Private::Entry, Segment>;
  using ConstProjection = Iterator<const Private::Entry, const Segment>;
  using iterator = Projection;
  using const_iterator = ConstProjection;

  // A curve with its leading segment only (a "constant()" segment).
  static std::shared_ptr<FCurve> create(const std::string& name);
  // Independent deep copy sharing every identity with the source.
  static std::shared_ptr<FCurve> createCopy(const FCurve& source);
  static std::shared_ptr<FCurve> createCopy(const std::shared_ptr<FCurve>& source);
  // Exchanges the whole content (entries, name, flags, properties,
  // identities) in O(1); the curve objects, their observers and their places
  // in containers stay.
  static void swap(FCurve& a, FCurve& b);

  FCurve(Tag, const std::string& name);
  ~FCurve() override;
  FCurve(const FCurve&) = delete;
  FCurve& operator=(const FCurve&) = delete;

  // ---- entries
  std::size_t size() const;  // keys + 1
  std::size_t numKeys() const { return size() - 1; }
  Projection begin();
  Projection end();
  ConstProjection begin() const;
  ConstProjection end() const;
  // The entry whose segment covers x: left key x <= x < right key x. The
  // leading entry below the first key (and for NaN), the last from the last
  // key on.
  Projection findSegment(double x);
  ConstProjection findSegment(double x) const;
  // Inserts a copy of the key (position and flags), splitting the segment
  // that covers it: the left part keeps the old segment object, the new
  // entry's segment runs to the old right key with the given interpolator.
  // The new key gets fresh Smooth handles; no handle of another key changes
  // (automatic ones aside, which follow their type's rule), so a caller
  // building a curve key by key can give a span both handles once its right
  // key exists. Returns end() and changes nothing for a null interpolator, a
  // key outside the accepted range, or one within the minimum separation of
  // another.
  Projection insertSegment(const Keyframe& key, std::shared_ptr<Interpolator> interpolator);
  // Removes the entry's key; the previous segment then runs to the removed
  // segment's right key. The leading entry and end() are refused (false).
  bool removeSegment(Projection entry);
  // Puts back a key that removeSegment took out (held through its
  // shared_ptr), with its handles, the segment that started at it and every
  // identity: what an undo of a removal, or a redo of an insertion, needs so
  // that later commands recorded against the key find it again. Returns
  // end() and changes nothing for a key still in a curve, one whose
  // identities this curve already holds, or one that no longer fits between
  // its neighbours.
  Projection restoreSegment(const std::shared_ptr<Keyframe>& key);
  // Removes every key.
  void clear();

  // ---- values
  double eval(double x) const;  // 0 without keys

  // ---- properties and flags (all copied by createCopy)
  const std::string& getName() const;
  void setName(const std::string& name);
  std::string getProperty(const std::string& key) const;  // "" when absent
  void setProperty(const std::string& key, const std::string& value);
  bool isEditable() const;
  void setEditable(bool editable);
  bool isLocked() const;
  void setLocked(bool locked);
  bool isVisible() const;
  void setVisible(bool visible);
  bool isVelocityVisible() const;
  void setVelocityVisible(bool visible);
  bool isAccelerationVisible() const;
  void setAccelerationVisible(bool visible);

  // ---- notification; mutators never notify by themselves
  void subscribe(FCurveObserver& observer);
  void unsubscribe(FCurveObserver& observer);
  static void subscribeGlobal(FCurveObserver& observer);
  static void unsubscribeGlobal(FCurveObserver& observer);
  // Calls this curve's observers, then the global ones.
  void notifyChanged();
  static void setChangeType(ChangeType type);
  static ChangeType getChangeType();

  // Defers the library's upkeep (automatic tangents, order repair, caches)
  // until the last Switch ends: default-constructed for every curve, or for
  // one curve. Inside a Switch keys may be set past each other and back
  // exactly; hold one around any restore of several keys (Keyframe::set).
  class Switch {
   public:
    Switch();
    explicit Switch(FCurve& curve);
    ~Switch();
    Switch(const Switch&) = delete;
    Switch& operator=(const Switch&) = delete;

   private:
    std::shared_ptr<FCurve> mCurve;
  };

 private:
  friend struct Private::Access;
  friend class FCurveContainer;
  // A container holding the curve and the curve's order number there.
  struct Membership {
    FCurveContainer* container;  // not owned; removes itself before it goes
    std::uint64_t order;
  };
  std::unique_ptr<Private::CurveData> mData;  // owned; moves with swap
  Subject<FCurveObserver> mObservers;
  std::vector<Membership> mContainers;  // in the order the curve joined them
  int mSwitchDepth = 0;                 // Switch objects held on this curve
  // The (container order, curve identity) pairs records made of this curve
  // compare by, each made once and kept as long as the curve: records point
  // at them instead of carrying both values.
  std::vector<std::unique_ptr<Private::RecordKey>> mRecordKeys;
};

extern template class ZENTHO_TESSAL_EXPORT FCurve::Iterator<Private::Entry, Segment>;
extern template class ZENTHO_TESSAL_EXPORT FCurve::Iterator<const Private::Entry, const Segment>;

// ---------------------------------------------------------------- free helpers

inline bool IsEditable(const FCurve& c) { return c.isEditable(); }
inline void SetEditable(FCurve& c, bool v) { c.setEditable(v); }
inline bool IsLocked(const FCurve& c) { return c.isLocked(); }
inline void SetLocked(FCurve& c, bool v) { c.setLocked(v); }
inline bool IsVisible(const FCurve& c) { return c.isVisible(); }
inline void SetVisible(FCurve& c, bool v) { c.setVisible(v); }
inline bool IsVelocityVisible(const FCurve& c) { return c.isVelocityVisible(); }
inline void SetVelocityVisible(FCurve& c, bool v) { c.setVelocityVisible(v); }
inline bool IsAccelerationVisible(const FCurve& c) { return c.isAccelerationVisible(); }
inline void SetAccelerationVisible(FCurve& c, bool v) { c.setAccelerationVisible(v); }

ZENTHO_TESSAL_EXPORT double GetFirstDerivative(const FCurve& curve, double x);
ZENTHO_TESSAL_EXPORT double GetSecondDerivative(const FCurve& curve, double x);

ZENTHO_TESSAL_NAMESPACE_END
