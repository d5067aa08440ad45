// Dragging one tangent handle: a short-lived layer the curve layer pushes at
// a left press on a handle. The handle stays on its own side of its key, the
// opposite handle follows while the key's tangents are unified (Alt breaks
// the pair), Shift keeps either the handle's direction or its length; the
// finished drag is one MoveTangentCommand. All geometry is in window pixels.
#pragma once

#include <arvelle/layer.h>

#include <commands/movetangentcommand.h>

#include <tessal/fcurve.h>
#include <tessal/selection.h>
#include <tessal/types.h>

#include <memory>

class QMouseEvent;

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

class DragConstraint;

class DragTangentLayer : public Layer {
  Q_OBJECT

 public:
  // Opens the change bracket, breaks the key's unified flag for the drag and
  // clears both handles' weight locks.
  DragTangentLayer(std::shared_ptr<Tessal::Selection> selection, std::shared_ptr<Tessal::Tangent> tangent);
  // Gives the key back its unified flag (unless Alt broke the pair), and
  // both handles their weight locks when no command was pushed, and sets the
  // change type back to idle.
  ~DragTangentLayer() override;

  bool handleEvent(QEvent* event, Viewport& viewport) override;

 private:
  bool start(const QMouseEvent& event, const Viewport& viewport);
  void update(const QMouseEvent& event, const Viewport& viewport);
  void end();
  void computeLimits(const Viewport& viewport);
  void applyOffset(Tessal::Vector2D<double> v, const Viewport& viewport);

  std::shared_ptr<Tessal::Selection> mSelection;
  double mMinimumAngle = 0.0;
  double mMaximumAngle = 0.0;
  double mPairAngleOffset = 0.0;
  double mPairLengthRatio = 1.0;
  bool mUnified = false;
  bool mAngleConstrained = false;
  std::shared_ptr<Tessal::Tangent> mTangent;
  std::shared_ptr<Tessal::Tangent> mOpposite;
  std::unique_ptr<DragConstraint> mConstraint;
  Tessal::Vector2D<double> mStartValue;
  Tessal::Vector2D<double> mHandleOffsetAtPress;
  Tessal::Vector2D<double> mOppositeStartValue;
  Tessal::Vector2D<double> mPressPoint;
  Tessal::Vector2D<double> mCursor;
  // Both handles as the press found them, for an exact undo.
  HandlePair mBefore;
  // The key whose handles are dragged: held so that the destructor can give
  // it back its unified flag even when the host removed it meanwhile.
  std::shared_ptr<Tessal::Keyframe> mKey;
  bool mStarted = false;
  bool mCommandPushed = false;
};

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
