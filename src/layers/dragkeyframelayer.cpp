#include "layers/dragkeyframelayer.h"

#include "commands/movekeyframescommand.h"
#include "core/viewmath.h"
#include "layers/dragconstraints_internal.h"
#include "layers/hittest.h"

#include <arvelle/viewport.h>

#include <tessal/fcurve.h>

#include <QKeyEvent>
#include <QMouseEvent>

#include <unordered_set>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

using Tessal::FCurve;
using Tessal::HitRecordIterator;
using Tessal::Keyframe;
using Tessal::Vector2D;
using Positions = std::vector<Vector2D<double>>;

namespace {

bool IsArrowKey(int key) {
  return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}



// World units per window pixel; zero when the view cannot be mapped.
Vector2D<double> PixelSize(const Viewport& viewport) {
  if (!CanMap(viewport)) return Vector2D<double>();
  const auto& win = viewport.getWindowBounds();
  const auto& world = viewport.getWorldBounds();
  return Vector2D<double>(world.width / win.width, world.height / win.height);
}

Positions PositionsOf(HitRecordIterator begin, HitRecordIterator end) {
  Positions positions;
  for (auto it = begin; it != end; ++it) {
    const auto key = it->getKeyframe();
    positions.push_back(key ? key->get() : Vector2D<double>());
  }
  return positions;
}

// The gesture's keys joined with those of a new phase's walk: a key already
// held keeps the position the gesture first found it at, one new to the
// gesture starts where it stands now. A key the host deselected meanwhile
// stays, so that undo puts back every key the gesture moved.
void Join(HitRecordIterator& keysBegin, HitRecordIterator& keysEnd, Positions& starts, HitRecordIterator begin,
          HitRecordIterator end, const Positions& now) {
  if (begin == keysBegin) return;  // the same walk: nothing new
  std::unordered_set<const Keyframe*> held;
  for (auto it = keysBegin; it != keysEnd; ++it) {
    if (const auto key = it->getKeyframe()) held.insert(key.get());
  }
  std::vector<Tessal::HitRecord> joined(keysBegin, keysEnd);
  const std::size_t before = joined.size();
  std::size_t i = 0;
  for (auto it = begin; it != end; ++it, ++i) {
    const auto key = it->getKeyframe();
    if (!key || !held.insert(key.get()).second) continue;
    joined.push_back(*it);
    starts.push_back(now[i]);
  }
  if (joined.size() == before) return;
  auto records = std::make_shared<const std::vector<Tessal::HitRecord>>(std::move(joined));
  keysBegin = HitRecordIterator(records, 0);
  keysEnd = HitRecordIterator(records, records->size());
}

}  // namespace

DragKeyframeLayer::DragKeyframeLayer(std::shared_ptr<Tessal::Selection> selection, bool mouseMode)
    : Layer("Drag Keyframe Layer"), mSelection(std::move(selection)), mSnap(mSnapSettings), mMouseMode(mouseMode) {}

DragKeyframeLayer::~DragKeyframeLayer() { FCurve::setChangeType(FCurve::Idle); }

bool DragKeyframeLayer::handleEvent(QEvent* event, Viewport& viewport) {
  if (!event || !mSelection) return false;
  // An observer notified from here may drop the last other reference.
  const std::shared_ptr<Layer> keep = sharedFromThis();
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      return mMouseMode ? startDrag(static_cast<const QMouseEvent&>(*event), viewport) : true;
    case QEvent::MouseMove:
      if (mMouseMode) updateDrag(static_cast<const QMouseEvent&>(*event), viewport);
      return true;
    case QEvent::MouseButtonRelease:
      // A nudge can start during a mouse gesture of a layer below (a band,
      // a tangent drag, a pan): that gesture ends at its release.
      if (!mMouseMode) return false;
      if (static_cast<const QMouseEvent&>(*event).button() == Qt::LeftButton) endDrag(viewport);
      return false;
    case QEvent::KeyPress:
      return handleKeyPress(static_cast<const QKeyEvent&>(*event), viewport);
    case QEvent::KeyRelease:
      return handleKeyRelease(static_cast<const QKeyEvent&>(*event), viewport);
    default:
      return false;
  }
}

bool DragKeyframeLayer::handleKeyPress(const QKeyEvent& event, const Viewport& viewport) {
  const int key = event.key();
  if (key == Qt::Key_Shift) {
    // A repeated Shift would throw away the axis the drag has locked to.
    if (!event.isAutoRepeat()) mConstraint = std::make_unique<XYDragConstraint>(mLastWindowPoint);
    return true;
  }
  if (key == Qt::Key_Control) {
    mSnap.setSnappingX(false);
    mSnap.setSnappingY(false);
    return true;
  }
  if (mMouseMode) return true;
  if (!IsArrowKey(key)) return false;
  // A repeat that arrives first (the key was held when the layer came) starts
  // the nudge too: otherwise no release would ever end this layer.
  if (!event.isAutoRepeat() || !mBegun) return startNudge(event, viewport);
  nudgeStep(key, viewport);
  return true;
}

bool DragKeyframeLayer::handleKeyRelease(const QKeyEvent& event, const Viewport& viewport) {
  const int key = event.key();
  if (key == Qt::Key_Control) {
    mSnap = mSnapSettings;
    return true;
  }
  if (mMouseMode) return true;
  if (IsArrowKey(key) && !event.isAutoRepeat() && mBegun) endDrag(viewport);
  return false;
}

bool DragKeyframeLayer::canDrag() const {
  SelectionSummary summary;
  SummarizeSelection(summary, mSelection->begin(), mSelection->end());
  return summary.anyEditableKeyframe();
}

bool DragKeyframeLayer::startDrag(const QMouseEvent& event, const Viewport& viewport) {
  // A press that cannot restart a running drag is still taken: nothing else
  // may act in the middle of one.
  if (!canDrag() || !CanMap(viewport)) return mBegun;
  const Vector2D<double> p = RoundedPixel(event.localPos());
  mLastWindowPoint = p;
  if (mBegun) mEarlierDelta += mCurrent - mStart;
  mStart = mCurrent = WindowToWorld(viewport, p);
  if (event.modifiers() & Qt::ShiftModifier) {
    mConstraint = std::make_unique<XYDragConstraint>(p);
  } else {
    mConstraint = std::make_unique<DelayDragConstraint>(p);
  }
  begin(event.modifiers());
  return true;
}

bool DragKeyframeLayer::startNudge(const QKeyEvent& event, const Viewport& viewport) {
  if (!IsArrowKey(event.key()) || !canDrag()) return false;
  if (mBegun) mEarlierDelta += mCurrent - mStart;
  mStart = mCurrent = Vector2D<double>(0, 0);
  begin(event.modifiers());
  nudgeStep(event.key(), viewport);
  return true;
}

void DragKeyframeLayer::begin(Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::ControlModifier) {
    mSnap.setSnappingX(false);
    mSnap.setSnappingY(false);
  } else {
    mSnap.setSnappingX(mSnapSettings.isSnappingX());
    mSnap.setSnappingY(mSnapSettings.isSnappingY());
  }
  const HitRecordIterator begin = Tessal::BeginSelectedKeyframes(*mSelection);
  const HitRecordIterator end = Tessal::EndSelectedKeyframes(*mSelection);
  Positions positions = PositionsOf(begin, end);
  if (mBegun) {
    Join(mKeysBegin, mKeysEnd, mStartPositions, begin, end, positions);
    mRestarted = true;
  } else {
    mKeysBegin = begin;
    mKeysEnd = end;
    mStartPositions = positions;
  }
  mRestorePositions = std::move(positions);
  mWalkBegin = begin;
  mWalkEnd = end;
  if (mBegun) return;
  // One bracket for the whole gesture, however often it restarts; the
  // command's first redo closes it.
  mBegun = true;
  FCurve::setChangeType(FCurve::AboutToChange);
  NotifyMovedCurves(*mSelection, mKeysBegin, mKeysEnd);
  FCurve::setChangeType(FCurve::Changing);
}

void DragKeyframeLayer::updateDrag(const QMouseEvent& event, const Viewport& viewport) {
  if (!mBegun || !mConstraint || !CanMap(viewport)) return;
  const Vector2D<double> p = RoundedPixel(event.localPos());
  mLastWindowPoint = p;
  Vector2D<double> q = p;
  mConstraint->constrain(q);
  mCurrent = WindowToWorld(viewport, q);
  apply(viewport);
}

void DragKeyframeLayer::nudgeStep(int key, const Viewport& viewport) {
  if (!mBegun || !CanMap(viewport)) return;
  const Vector2D<double> pixel = PixelSize(viewport);
  double dx = 0, dy = 0;
  if (key == Qt::Key_Up || key == Qt::Key_Down) {
    // A nudge never snaps the axis it does not move.
    mSnap.setSnappingX(false);
    const double step = mSnap.isSnappingY() ? mSnap.getIncrementY(pixel.y) : pixel.y;
    dy = key == Qt::Key_Up ? step : -step;
  } else {
    const double step = mSnap.isSnappingX() ? mSnap.getIncrementX(pixel.x) : pixel.x;
    dx = key == Qt::Key_Left ? -step : step;
    mSnap.setSnappingY(false);
  }
  mCurrent += Vector2D<double>(dx, dy);
  apply(viewport);
}

void DragKeyframeLayer::apply(const Viewport& viewport) {
  {
    // Put back where the phase began and moved by the whole displacement,
    // in one pass; order and handles are repaired once, after the move.
    FCurve::Switch hold;
    MoveKeyframesFrom(mWalkBegin, mWalkEnd, mRestorePositions, mSnap, PixelSize(viewport), viewport.getWorldLimits(),
                      mCurrent.x - mStart.x, mCurrent.y - mStart.y);
  }
  NotifyMovedCurves(*mSelection, mKeysBegin, mKeysEnd);
}

void DragKeyframeLayer::endDrag(const Viewport& viewport) {
  if (mBegun) {
    mBegun = false;
    // The keys the gesture moved, not the ones selected now: the host may
    // have changed the selection meanwhile.
    const HitRecordIterator begin = mKeysBegin;
    const HitRecordIterator end = mKeysEnd;
    bool moved = !(mCurrent == mStart);
    if (mRestarted) {
      // The last phase may have ended where it began while earlier ones
      // moved the keys: what counts is where they stand now.
      moved = false;
      std::size_t i = 0;
      for (auto it = begin; it != end && !moved; ++it, ++i) {
        const auto key = it->getKeyframe();
        moved = key && key->get() != mStartPositions[i];
      }
    }
    const auto manager = getManager();
    if (moved && manager) {
      const Vector2D<double> delta = mEarlierDelta + (mCurrent - mStart);
      manager->handleUndoCommand(new MoveKeyframesCommand(mSelection, begin, end, std::move(mStartPositions), mSnap,
                                                          PixelSize(viewport), viewport.getWorldLimits(), delta.x,
                                                          delta.y));
    }
    mStartPositions.clear();
    mKeysBegin = mKeysEnd = HitRecordIterator();
    mRestarted = false;
    mEarlierDelta = Vector2D<double>();
  }
  removeFromManager();
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
