// Moving the selected keyframes with the mouse or the arrow keys: a
// short-lived layer, "Drag Keyframe Layer", that the curve layer pushes at a
// left press on a keyframe (mouse mode) or an arrow key (keyboard mode). Every
// update puts the keys back where the drag began and moves them by the whole
// displacement, so clamps and snapping never accumulate; the finished move is
// one MoveKeyframesCommand. Shift locks the axis, Control turns snapping off.
#pragma once

#include <arvelle/layer.h>
#include <arvelle/snapsettings.h>

#include <tessal/selection.h>
#include <tessal/types.h>

#include <memory>
#include <vector>

class QKeyEvent;
class QMouseEvent;

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

class DragConstraint;

class DragKeyframeLayer : public Layer {
  Q_OBJECT

 public:
  DragKeyframeLayer(std::shared_ptr<Tessal::Selection> selection, bool mouseMode);
  // Sets the change type back to idle, closing the bracket of a drag that
  // ended without a command.
  ~DragKeyframeLayer() override;

  bool handleEvent(QEvent* event, Viewport& viewport) override;

 private:
  bool canDrag() const;
  bool startDrag(const QMouseEvent& event, const Viewport& viewport);
  bool startNudge(const QKeyEvent& event, const Viewport& viewport);
  void begin(Qt::KeyboardModifiers modifiers);
  void updateDrag(const QMouseEvent& event, const Viewport& viewport);
  void nudgeStep(int key, const Viewport& viewport);
  void apply(const Viewport& viewport);
  void endDrag(const Viewport& viewport);
  bool handleKeyPress(const QKeyEvent& event, const Viewport& viewport);
  bool handleKeyRelease(const QKeyEvent& event, const Viewport& viewport);

  std::shared_ptr<Tessal::Selection> mSelection;
  SnapSettings mSnap;
  bool mMouseMode;
  std::unique_ptr<DragConstraint> mConstraint;
  Tessal::Vector2D<double> mStart;
  Tessal::Vector2D<double> mLastWindowPoint;
  Tessal::Vector2D<double> mCurrent;
  // Every key the gesture has moved, in all its phases, whether or not the
  // selection still names it, and where each stood when the gesture first
  // moved it, for the command: a restart (a second press or arrow key) only
  // adds keys, so one undo always goes back to the gesture's start.
  Tessal::HitRecordIterator mKeysBegin;
  Tessal::HitRecordIterator mKeysEnd;
  std::vector<Tessal::Vector2D<double>> mStartPositions;
  // Where every update puts the keys back to: their positions when the
  // present phase of the gesture began.
  std::vector<Tessal::Vector2D<double>> mRestorePositions;
  // The selected-keyframe walk both lists follow, taken when the phase
  // began: its records find their keys by identity, so a key the host
  // removes meanwhile only drops out instead of shifting the others.
  Tessal::HitRecordIterator mWalkBegin;
  Tessal::HitRecordIterator mWalkEnd;
  // Displacement of the phases before the present one.
  Tessal::Vector2D<double> mEarlierDelta;
  bool mBegun = false;
  bool mRestarted = false;
};

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
