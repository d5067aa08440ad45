#include "layers/dragtangentlayer.h"

#include "core/viewmath.h"
#include "layers/dragconstraints_internal.h"

#include <arvelle/viewport.h>

#include <QMouseEvent>

#include <algorithm>
#include <cmath>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

using Tessal::FCurve;
using Tessal::Keyframe;
using Tessal::Tangent;
using Tessal::Vector2D;

namespace {

constexpr double cPi = 3.14159265358979323846;
constexpr double cHalfPi = 0.5 * cPi;
constexpr double cTwoPi = 2.0 * cPi;
// Length, in pixels, of the stub a handle collapses to when dragged far
// across to the wrong side of its key.
constexpr double cStubLength = 0.01;




// The handle's end relative to its key in window pixels (y down), kept on
// the handle's own side of the key.
Vector2D<double> WindowOffset(const Viewport& viewport, const Keyframe& key, const Tangent& tangent) {
  Vector2D<double> offset = WorldToWindow(viewport, key.get() + tangent.get()) - WorldToWindow(viewport, key.get());
  offset.x = tangent.isInTangent() ? std::min(offset.x, 0.0) : std::max(offset.x, 0.0);
  return offset;
}

void SetFromWindow(const Viewport& viewport, const Keyframe& key, Tangent& tangent, const Vector2D<double>& v) {
  const Vector2D<double> w = WindowToWorld(viewport, WorldToWindow(viewport, key.get()) + v);
  tangent.set(w.x - key.getX(), w.y - key.getY());
}

// Angles: 0 points down the screen, +pi/2 left, -pi/2 right, +-pi up.
double AngleOf(const Vector2D<double>& v) { return std::atan2(-v.x, v.y); }

Vector2D<double> Direction(double angle) { return Vector2D<double>(-std::sin(angle), std::cos(angle)); }

// A vertical handle has no side of its own: up is pi or -pi as the dragged
// handle's side asks.
double HandleAngle(const Vector2D<double>& v, bool inTangent) {
  if (Tessal::NearZero(v.x)) return v.y <= 0 ? (inTangent ? cPi : -cPi) : 0.0;
  return AngleOf(v);
}

double Wrap(double d) { return d < 0 ? std::fmod(d - cPi, cTwoPi) + cPi : std::fmod(d + cPi, cTwoPi) - cPi; }

Vector2D<double> Project(const Vector2D<double>& v, double angle) {
  const Vector2D<double> u = Direction(angle);
  return u * Dot(v, u);
}

bool SamePair(const HandlePair& a, const HandlePair& b) {
  return a.value == b.value && a.oppositeValue == b.oppositeValue && a.type == b.type &&
         a.oppositeType == b.oppositeType && a.unified == b.unified;
}

}  // namespace

DragTangentLayer::DragTangentLayer(std::shared_ptr<Tessal::Selection> selection, std::shared_ptr<Tangent> tangent)
    : mSelection(std::move(selection)), mTangent(std::move(tangent)) {
  // Before anything below changes the key: what undo goes back to.
  if (mTangent) {
    mBefore = HandlePair::Of(*mTangent);
    mKey = mTangent->getOwningKeyframe();
  }
  FCurve::setChangeType(FCurve::AboutToChange);
  if (mSelection) Tessal::NotifyCurveChanges(*mSelection);
  FCurve::setChangeType(FCurve::Changing);
  // While the drag lasts the layer moves the opposite handle itself.
  mUnified = mKey && mKey->isTangentsUnified();
  if (mKey) mKey->setTangentsUnified(false);
  if (mTangent) {
    mTangent->setWeightLocked(false);
    mOpposite = mTangent->getOppositeTangent();
    if (mOpposite) mOpposite->setWeightLocked(false);
  }
}

DragTangentLayer::~DragTangentLayer() {
  if (mKey && mKey->isTangentsUnified() != mUnified) mKey->setTangentsUnified(mUnified);
  // Nothing to undo: a press that dragged nothing leaves the locks as it
  // found them.
  if (!mCommandPushed && mTangent) {
    mTangent->setWeightLocked(mBefore.weightLocked);
    if (mOpposite) mOpposite->setWeightLocked(mBefore.oppositeWeightLocked);
  }
  FCurve::setChangeType(FCurve::Idle);
}

bool DragTangentLayer::handleEvent(QEvent* event, Viewport& viewport) {
  if (!event) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const auto& e = static_cast<const QMouseEvent&>(*event);
      return e.button() == Qt::LeftButton ? start(e, viewport) : true;
    }
    case QEvent::MouseMove:
      update(static_cast<const QMouseEvent&>(*event), viewport);
      return true;
    case QEvent::MouseButtonRelease:
      if (static_cast<const QMouseEvent&>(*event).button() == Qt::LeftButton) end();
      return false;
    default:
      return false;
  }
}

bool DragTangentLayer::start(const QMouseEvent& event, const Viewport& viewport) {
  const auto key = mTangent ? mTangent->getOwningKeyframe() : nullptr;
  const auto curve = mTangent ? mTangent->getOwningCurve() : nullptr;
  // A press that cannot restart a running drag is still taken: nothing else
  // may act in the middle of one.
  if (!key || !curve || Tessal::IsLocked(*key) || Tessal::IsLocked(*curve) || !Tessal::IsEditable(*curve)) {
    return mStarted;
  }
  if (!CanMap(viewport)) return mStarted;

  mPressPoint = RoundedPixel(event.localPos());
  mCursor = mPressPoint;
  mStartValue = mTangent->get();
  if (mOpposite) mOppositeStartValue = mOpposite->get();
  mHandleOffsetAtPress = WindowOffset(viewport, *key, *mTangent);
  mAngleConstrained = false;
  mConstraint = std::make_unique<DelayDragConstraint>(mPressPoint);
  if (event.modifiers() & Qt::AltModifier) mUnified = false;
  computeLimits(viewport);
  mStarted = true;
  return true;
}

void DragTangentLayer::computeLimits(const Viewport& viewport) {
  const bool in = mTangent->isInTangent();
  mMinimumAngle = in ? 0.0 : -cPi;
  mMaximumAngle = in ? cPi : 0.0;
  if (!mUnified) return;
  if (!mOpposite) {
    mPairAngleOffset = in ? -cPi : cPi;
    mPairLengthRatio = 1.0;
    return;
  }
  const auto key = mTangent->getOwningKeyframe();
  if (!key) return;
  const Vector2D<double> a = WindowOffset(viewport, *key, *mTangent);
  const Vector2D<double> b = WindowOffset(viewport, *key, *mOpposite);
  const double lengthA = a.length();
  const double ratio = Tessal::NearZero(lengthA) ? 0.0 : b.length() / lengthA;
  if (Tessal::NearZero(ratio)) {
    // No length to keep in proportion: the opposite cannot follow.
    mUnified = false;
    return;
  }
  const double offset = HandleAngle(b, in) - HandleAngle(a, in);
  // The range that keeps both the dragged handle and the opposite (at angle
  // + offset) on their own sides.
  if (offset < 0 && offset > -cPi) {
    mMinimumAngle = 0.0;
    mMaximumAngle = -offset;
  } else if (offset <= -cPi) {
    mMinimumAngle = -offset - cPi;
    mMaximumAngle = cPi;
  } else if (offset < cPi) {
    mMinimumAngle = -offset;
    mMaximumAngle = 0.0;
  } else {
    mMinimumAngle = -cPi;
    mMaximumAngle = cPi - offset;
  }
  mPairAngleOffset = offset;
  mPairLengthRatio = ratio;
}

void DragTangentLayer::update(const QMouseEvent& event, const Viewport& viewport) {
  if (!mStarted || !mConstraint || !CanMap(viewport)) return;
  // The host may have removed the key meanwhile: nothing left to drag.
  const auto key = mTangent->getOwningKeyframe();
  if (!key) return;

  Vector2D<double> cursor = RoundedPixel(event.localPos());
  const Qt::KeyboardModifiers modifiers = event.modifiers();
  if ((modifiers & Qt::AltModifier) && mUnified) {
    mUnified = false;
    computeLimits(viewport);
  }
  const bool shift = (modifiers & Qt::ShiftModifier) != 0;
  if (shift != mAngleConstrained) {
    mAngleConstrained = shift;
    if (shift) {
      const Vector2D<double> keyPoint = WorldToWindow(viewport, key->get());
      mConstraint = std::make_unique<AngleDragConstraint>(mTangent, cursor, keyPoint, cursor - keyPoint);
    } else {
      mConstraint = std::make_unique<DelayDragConstraint>(mPressPoint);
    }
  }
  mConstraint->constrain(cursor);
  mCursor = cursor;
  // Within the dead square the handle stays exactly as it is: setting it
  // again through the pixel mapping would round its offset.
  if (!static_cast<const DelayDragConstraint&>(*mConstraint).isDragging()) return;
  applyOffset(mHandleOffsetAtPress + (mCursor - mPressPoint), viewport);
}

void DragTangentLayer::applyOffset(Vector2D<double> v, const Viewport& viewport) {
  const auto key = mTangent->getOwningKeyframe();
  if (!key) return;
  const double theta = AngleOf(v);
  if (theta < mMinimumAngle || theta > mMaximumAngle) {
    const double belowMinimum = Wrap(theta - mMinimumAngle);
    const double aboveMaximum = Wrap(theta - mMaximumAngle);
    if (belowMinimum >= -cHalfPi && belowMinimum <= 0) {
      v = Project(v, mMinimumAngle);
    } else if (aboveMaximum >= 0 && aboveMaximum <= cHalfPi) {
      v = Project(v, mMaximumAngle);
    } else {
      // Far across: a stub pointing up (out-tangent) or down (in-tangent)
      // rather than a handle crossing its key.
      v = Vector2D<double>(0.0, mTangent->isInTangent() ? cStubLength : -cStubLength);
    }
  }
  if (mUnified && mOpposite) {
    const double angle = Wrap(AngleOf(v) + mPairAngleOffset);
    const double length = v.length() * mPairLengthRatio;
    SetFromWindow(viewport, *key, *mOpposite, Direction(angle) * length);
  }
  SetFromWindow(viewport, *key, *mTangent, v);
}

void DragTangentLayer::end() {
  if (mStarted) {
    mStarted = false;
    const auto manager = getManager();
    // A handle whose key is gone has nothing left to undo.
    if (manager && mSelection && mTangent->getOwningKeyframe()) {
      HandlePair after = HandlePair::Of(*mTangent);
      // The flag the key gets back once the drag is over.
      after.unified = mUnified;
      if (!SamePair(after, mBefore)) {
        mCommandPushed = true;
        manager->handleUndoCommand(new MoveTangentCommand(mSelection, mTangent, mBefore, after));
      }
    }
  }
  removeFromManager();
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
