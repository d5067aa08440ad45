#include "commands/movekeyframescommand.h"

#include <tessal/fcurve.h>

#include <QString>

#include <cmath>
#include <limits>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

using Tessal::FCurve;
using Tessal::HitRecordIterator;
using Tessal::Keyframe;
using Tessal::Rectangle;
using Tessal::Vector2D;

namespace {

constexpr double cInfinity = std::numeric_limits<double>::infinity();

// Everything a move needs that is the same for every key, worked out once.
struct MoveRules {
  MoveRules(const SnapSettings& snap, const Vector2D<double>& pixelSize, const Rectangle<double>& limits, double dx,
            double dy)
      : delta(dx, dy),
        snapX(snap.isSnappingX()),
        snapY(snap.isSnappingY()),
        incrementX(snap.getIncrementX(pixelSize.x)),
        incrementY(snap.getIncrementY(pixelSize.y)) {
    // Limits that are not a finite rectangle of positive size bound nothing:
    // a NaN corner would otherwise disable every comparison against it.
    const bool bounded = std::isfinite(limits.x) && std::isfinite(limits.y) && std::isfinite(limits.width) &&
                         std::isfinite(limits.height) && limits.width > 0 && limits.height > 0;
    if (bounded) {
      xmin = limits.x;
      xmax = limits.x + limits.width;
      ymin = limits.y;
      ymax = limits.y + limits.height;
    }
  }

  Vector2D<double> delta;
  bool snapX, snapY;
  double incrementX, incrementY;
  double xmin = -cInfinity, xmax = cInfinity, ymin = -cInfinity, ymax = cInfinity;
};

bool Steps(bool snapping, double increment) { return snapping && increment > 0 && std::isfinite(increment); }

// Pushes p, moving from k, back inside [lo, hi]: while snapping by whole
// increments, so that it stays on the snap grid, or else (or when a step
// would cross the other bound) onto the bound itself. The bound on the side
// of the motion is always needed; the other one only when stepping back, so
// it is asked for then (a neighbour costs a lookup).
template <class Lo, class Hi>
double Confine(double p, double k, Lo&& lo, Hi&& hi, bool stepping, double increment) {
  if (p >= k) {
    const double h = hi();
    if (!(p > h)) return p;
    if (stepping) {
      const double q = p - std::ceil((p - h) / increment) * increment;
      // Rounding may leave q a hair past h; the bound wins then.
      if (q >= lo() && q <= h) return q;
    }
    return h;
  }
  const double l = lo();
  if (!(p < l)) return p;
  if (stepping) {
    const double q = p + std::ceil((l - p) / increment) * increment;
    if (q <= hi() && q >= l) return q;
  }
  return l;
}

// The keys next to each key a move visits. Along a curve it follows the
// curve's own list from one visited key to the next: a step there is a
// pointer read, where asking a key for its neighbours costs two reference
// counts. The list position is looked up by x once per curve and trusted
// only when it lands on the key itself; where visited keys lie far apart,
// or the list does not lead to the next one, the keys are asked instead.
class Neighbours {
 public:
  void visit(FCurve* curve, Keyframe& key, bool forwards) {
    mKey = &key;
    if (curve != mCurve) {
      mCurve = curve;
      mFollowing = curve != nullptr;
      if (mFollowing) {
        mIt = curve->findSegment(key.getX());
        mFollowing = mIt.key() == &key;
      }
      return;
    }
    for (int step = 0; mFollowing && mIt.key() != &key; ++step) {
      if (step == cMaxSteps || !mIt.key()) {
        mFollowing = false;
      } else if (forwards) {
        ++mIt;
      } else {
        --mIt;
      }
    }
  }

  // Null when the key has none on that side.
  const Keyframe* left() const {
    if (mFollowing) return std::prev(mIt).key();
    const auto segment = mKey->getLeftSegment();
    return segment ? segment->getLeftKey().get() : nullptr;
  }
  const Keyframe* right() const {
    if (mFollowing) return std::next(mIt).key();
    const auto segment = mKey->getRightSegment();
    return segment ? segment->getRightKey().get() : nullptr;
  }

 private:
  static constexpr int cMaxSteps = 16;
  FCurve* mCurve = nullptr;
  Keyframe* mKey = nullptr;
  FCurve::Projection mIt;
  bool mFollowing = false;
};

// The x of a neighbour as the move must see it: a key still waiting to be
// put back (ahead, at aheadBase) counts where it will be put. NaN when there
// is none.
double NeighbourX(const Keyframe* neighbour, const Keyframe* ahead, const Vector2D<double>* aheadBase) {
  if (!neighbour) return std::numeric_limits<double>::quiet_NaN();
  return neighbour == ahead ? aheadBase->x : neighbour->getX();
}

// Moves one key from base (where it stands, or is about to be put back).
void MoveOne(Keyframe& key, const Vector2D<double> base, const MoveRules& rules, const Neighbours& neighbours,
             const Keyframe* ahead, const Vector2D<double>* aheadBase) {
  Vector2D<double> p = base;
  if (!Tessal::IsLocked(key)) {
    p += rules.delta;
    if (rules.snapX) p.x = SnapSettings::Round(p.x, rules.incrementX);
    if (rules.snapY) p.y = SnapSettings::Round(p.y, rules.incrementY);
    const double separation = Keyframe::getMinSeparation();
    // A neighbour bound replaces the limit on its side.
    auto lo = [&] {
      const double x = NeighbourX(neighbours.left(), ahead, aheadBase);
      return std::isnan(x) ? rules.xmin : x + separation;
    };
    auto hi = [&] {
      const double x = NeighbourX(neighbours.right(), ahead, aheadBase);
      return std::isnan(x) ? rules.xmax : x - separation;
    };
    p.x = Confine(p.x, base.x, lo, hi, Steps(rules.snapX, rules.incrementX), rules.incrementX);
    p.y = Confine(p.y, base.y, [&] { return rules.ymin; }, [&] { return rules.ymax; },
                  Steps(rules.snapY, rules.incrementY), rules.incrementY);
  }
  // One already in place costs nothing.
  if (key.get() != p) key.set(p);
}

void SetIfMoved(const Tessal::HitRecord& record, const Vector2D<double>& position) {
  // A key that is gone (removed by the host) is skipped.
  const auto key = record.getKeyframe();
  if (key && key->get() != position) key->set(position);
}

// The walk in the order a move visits it: towards smaller x from the first
// record, otherwise from the last, so that each key meets its neighbour in
// the direction of motion already moved and keys of one curve keep their
// order. Records whose key is gone are skipped; each step also names the
// next key still to come, whose neighbour bound is where it will go back to.
class MoveOrder {
 public:
  MoveOrder(HitRecordIterator begin, HitRecordIterator end, std::size_t size, bool forwards)
      : mBegin(begin), mEnd(end), mIt(forwards ? begin : end), mIndex(forwards ? 0 : size), mSize(size),
        mForwards(forwards) {
    fetch();
  }

  bool done() const { return !mKey; }
  Keyframe& key() const { return *mKey; }
  FCurve* curve() const { return mCurve; }
  std::size_t index() const { return mKeyIndex; }
  void next() {
    mKey = std::move(mNextKey);
    mKeyIndex = mNextIndex;
    mCurve = mNextCurve;
    fetchAhead();
  }
  const Keyframe* ahead() const { return mNextKey.get(); }
  std::size_t aheadIndex() const { return mNextIndex; }

 private:
  void fetch() {
    fetchAhead();
    next();
  }
  // Never past the positions list: a longer walk stops where it ends.
  void fetchAhead() {
    mNextKey.reset();
    while (!mNextKey) {
      if (mForwards) {
        if (mIt == mEnd || mIndex >= mSize) return;
        mNextKey = mIt->getKeyframe();
        mNextCurve = mIt->getCurve().get();
        mNextIndex = mIndex;
        ++mIt;
        ++mIndex;
      } else {
        if (mIt == mBegin || mIndex == 0) return;
        --mIt;
        --mIndex;
        mNextKey = mIt->getKeyframe();
        mNextCurve = mIt->getCurve().get();
        mNextIndex = mIndex;
      }
    }
  }

  HitRecordIterator mBegin, mEnd, mIt;
  std::size_t mIndex, mSize;
  bool mForwards;
  std::shared_ptr<Keyframe> mKey, mNextKey;
  FCurve* mCurve = nullptr;
  FCurve* mNextCurve = nullptr;
  std::size_t mKeyIndex = 0, mNextIndex = 0;
};

}  // namespace

void MoveSelectedKeyframes(HitRecordIterator begin, HitRecordIterator end, const SnapSettings& snap,
                           const Vector2D<double>& pixelSize, const Rectangle<double>& limits, double dx, double dy) {
  if (dx == 0 && dy == 0) return;
  const MoveRules rules(snap, pixelSize, limits, dx, dy);
  // No positions list to stay within: the walk alone bounds the visit.
  const std::size_t unbounded = std::numeric_limits<std::size_t>::max();
  Neighbours neighbours;
  for (MoveOrder order(begin, end, unbounded, dx < 0); !order.done(); order.next()) {
    neighbours.visit(order.curve(), order.key(), dx < 0);
    MoveOne(order.key(), order.key().get(), rules, neighbours, nullptr, nullptr);
  }
}

void RestoreKeyframePositions(HitRecordIterator begin, HitRecordIterator end,
                              const std::vector<Vector2D<double>>& positions) {
  if (positions.empty() || begin == end) return;
  // Back towards larger x the rightmost keys go first, so that even outside
  // a Switch no key is set past one not yet put back.
  const auto first = begin->getKeyframe();
  const bool backwards = first && positions.front().x > first->getX();
  if (!backwards) {
    std::size_t i = 0;
    for (auto it = begin; it != end && i < positions.size(); ++it, ++i) SetIfMoved(*it, positions[i]);
  } else {
    std::size_t i = positions.size();
    for (auto it = end; it != begin && i > 0;) {
      --it;
      --i;
      SetIfMoved(*it, positions[i]);
    }
  }
}

void MoveKeyframesFrom(HitRecordIterator begin, HitRecordIterator end, const std::vector<Vector2D<double>>& positions,
                       const SnapSettings& snap, const Vector2D<double>& pixelSize, const Rectangle<double>& limits,
                       double dx, double dy) {
  if (dx == 0 && dy == 0) {
    RestoreKeyframePositions(begin, end, positions);
    return;
  }
  // Each key goes from its recorded position straight to its new place. The
  // keys met first in the visiting order have neighbours that are already
  // final; a neighbour still to come is taken at its recorded position, as
  // if it had been put back first.
  const MoveRules rules(snap, pixelSize, limits, dx, dy);
  Neighbours neighbours;
  for (MoveOrder order(begin, end, positions.size(), dx < 0); !order.done(); order.next()) {
    neighbours.visit(order.curve(), order.key(), dx < 0);
    const Vector2D<double>* aheadBase = order.ahead() ? &positions[order.aheadIndex()] : nullptr;
    MoveOne(order.key(), positions[order.index()], rules, neighbours, order.ahead(), aheadBase);
  }
}

void NotifyMovedCurves(Tessal::Selection& selection, HitRecordIterator begin, HitRecordIterator end) {
  Tessal::NotifyCurveChanges(selection);
  // The walk lists its keys curve by curve: one selected key, or the curve
  // itself selected, means the selection has already notified the curve.
  std::vector<std::shared_ptr<FCurve>> missed;
  std::shared_ptr<FCurve> curve;
  bool notified = false;
  for (auto it = begin; it != end; ++it) {
    const auto& c = it->getCurve();
    if (!c) continue;
    if (c != curve) {
      if (curve && !notified) missed.push_back(curve);
      curve = c;
      notified = selection.isSelected(*c);
    }
    if (notified) continue;
    const auto key = it->getKeyframe();
    notified = key && selection.isSelected(*key);
  }
  if (curve && !notified) missed.push_back(curve);
  // Collected first: an observer may edit the curves or the selection.
  for (const auto& c : missed) c->notifyChanged();
}

MoveKeyframesCommand::MoveKeyframesCommand(std::shared_ptr<Tessal::Selection> selection,
                                           std::vector<Vector2D<double>> startPositions, const SnapSettings& snap,
                                           const Vector2D<double>& pixelSize, const Rectangle<double>& worldLimits,
                                           double dx, double dy)
    : MoveKeyframesCommand(selection, Tessal::BeginSelectedKeyframes(*selection),
                           Tessal::EndSelectedKeyframes(*selection), std::move(startPositions), snap, pixelSize,
                           worldLimits, dx, dy) {}

MoveKeyframesCommand::MoveKeyframesCommand(std::shared_ptr<Tessal::Selection> selection, HitRecordIterator begin,
                                           HitRecordIterator end, std::vector<Vector2D<double>> startPositions,
                                           const SnapSettings& snap, const Vector2D<double>& pixelSize,
                                           const Rectangle<double>& worldLimits, double dx, double dy)
    : QUndoCommand(nullptr),
      mSelection(std::move(selection)),
      mSnapshot(*mSelection),
      mStartPositions(std::move(startPositions)),
      mDx(dx),
      mDy(dy),
      mSnap(snap),
      mPixelSize(pixelSize),
      mWorldLimits(worldLimits),
      mWalkBegin(begin),
      mWalkEnd(end) {
  mEndPositions.reserve(mStartPositions.size());
  for (auto it = mWalkBegin; it != mWalkEnd; ++it) {
    const auto key = it->getKeyframe();
    mEndPositions.push_back(key ? key->get() : Vector2D<double>());
  }
  setText(mStartPositions.size() > 1 ? QStringLiteral("Move Keyframes") : QStringLiteral("Move Keyframe"));
}

MoveKeyframesCommand::~MoveKeyframesCommand() = default;

void MoveKeyframesCommand::redo() {
  if (mFirstRedoPending) {
    // The drag moved the keys under a bracket it opened; this closes it.
    mFirstRedoPending = false;
    FCurve::setChangeType(FCurve::Changed);
    NotifyMovedCurves(*mSelection, mWalkBegin, mWalkEnd);
    FCurve::setChangeType(FCurve::Idle);
    return;
  }
  putKeys(mEndPositions);
}

void MoveKeyframesCommand::undo() { putKeys(mStartPositions); }

// One bracket around every selected curve; inside a Switch, so that keys put
// back one by one land exactly where they were recorded.
void MoveKeyframesCommand::putKeys(const std::vector<Vector2D<double>>& positions) {
  mSnapshot.select();
  FCurve::setChangeType(FCurve::AboutToChange);
  NotifyMovedCurves(*mSelection, mWalkBegin, mWalkEnd);
  FCurve::setChangeType(FCurve::Changing);
  {
    FCurve::Switch hold;
    RestoreKeyframePositions(mWalkBegin, mWalkEnd, positions);
  }
  FCurve::setChangeType(FCurve::Changed);
  NotifyMovedCurves(*mSelection, mWalkBegin, mWalkEnd);
  FCurve::setChangeType(FCurve::Idle);
}

ZENTHO_ARVELLE_NAMESPACE_END
