// The curve layer's input: the hub of mouse interaction. It highlights what
// is under the pointer, changes the selection on a click and hands each
// gesture to a short-lived interaction layer pushed on its own manager, so
// that the gesture's events reach that layer first.
#include "layers/curvelayer.h"

#include "core/viewmath.h"
#include "layers/dragkeyframelayer.h"
#include "layers/dragtangentlayer.h"
#include "layers/hittest.h"
#include "layers/insertkeyframelayer.h"
#include "layers/rubberbandlayer.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <iterator>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

using Tessal::HitRecord;

namespace {

// Parts of a locked curve are neither highlighted nor offered a drag.
bool IsPartOfLockedCurve(const HitRecord& hit) {
  const int type = hit.getType();
  const bool part = type >= HitRecord::SegmentRecord && type <= HitRecord::TangentRecord2;
  return part && hit.getCurve() && Tessal::IsLocked(*hit.getCurve());
}

bool IsArrowKey(int key) {
  return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

}  // namespace

bool CurveLayer::handleEvent(QEvent* event, Viewport& viewport) {
  if (!mCurves || !mSelection) return false;
  switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
      if (!mPicking) return false;
      HitRecord hit;
      PickItem(*mCurves, *mSelection, viewport, RoundedPixel(static_cast<QMouseEvent*>(event)->localPos()), hit);
      if (IsPartOfLockedCurve(hit)) hit.reset();
      setHighlight(hit);
      return false;
    }
    case QEvent::MouseButtonPress:
      return mousePress(static_cast<QMouseEvent*>(event), viewport);
    case QEvent::MouseButtonDblClick:
      doubleClick(static_cast<QMouseEvent*>(event), viewport);
      return true;
    case QEvent::KeyPress:
      return arrowKey(static_cast<QKeyEvent*>(event), viewport);
    default:
      return false;
  }
}

bool CurveLayer::startGesture(const std::shared_ptr<Layer>& layer, QEvent* event, Viewport& viewport) {
  if (!layer->handleEvent(event, viewport)) return false;
  // A layer that is not in a tree has nowhere to push the gesture.
  if (const auto manager = getManager()) manager->pushLayer(layer);
  return true;
}

bool CurveLayer::mousePress(QMouseEvent* event, Viewport& viewport) {
  if (!mPicking) return false;
  clearHighlight();
  if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier) &&
      (event->modifiers() & Qt::AltModifier)) {
    if (const auto manager = getManager())
      InsertKeyframeAt(RoundedPixel(event->localPos()), mSnapSettings, mCurves, mSelection, viewport, *manager);
    return true;
  }
  if (event->button() != Qt::LeftButton) return false;

  HitRecord hit;
  if (!PickItem(*mCurves, *mSelection, viewport, RoundedPixel(event->localPos()), hit)) {
    return startGesture(std::make_shared<RubberbandLayer>(mCurves, mSelection, mColors), event, viewport);
  }

  Tessal::Selection& selection = *mSelection;
  const Qt::KeyboardModifiers mods = event->modifiers();
  if (mods & Qt::ShiftModifier) {
    SelectHitRecord(selection, hit, false);
  } else if (mods & Qt::ControlModifier) {
    if (selection.isSelected(hit)) {
      DeselectHitRecord(selection, hit, false);
      return true;
    }
  } else if (!selection.isSelected(hit)) {
    // A click on something not yet selected starts a new selection; one on
    // a selected item keeps it, so that a drag moves everything selected.
    if (hit.getCurve() && selection.isSelected(*hit.getCurve())) Tessal::DeselectSelectedParts(selection);
    else selection.clear();
    SelectHitRecord(selection, hit, false);
  }

  if (hit.getType() == HitRecord::KeyframeRecord) {
    startGesture(std::make_shared<DragKeyframeLayer>(mSelection, true), event, viewport);
  } else if (hit.getType() == HitRecord::TangentRecord) {
    if (auto tangent = hit.getTangent())
      startGesture(std::make_shared<DragTangentLayer>(mSelection, std::move(tangent)), event, viewport);
  }
  return true;
}

void CurveLayer::doubleClick(QMouseEvent* event, const Viewport& viewport) {
  HitRecord hit;
  if (!PickItem(*mCurves, *mSelection, viewport, RoundedPixel(event->localPos()), hit)) return;
  const std::shared_ptr<Tessal::FCurve> curve = hit.getCurve();
  if (!curve) return;
  Tessal::SelectCurveCompletely(*mSelection, *curve);
  // The exterior segments run beyond the keys: the whole curve means its
  // keys and what lies between them.
  mSelection->deselect(*curve->begin().segment());
  mSelection->deselect(*std::prev(curve->end()).segment());
}

bool CurveLayer::arrowKey(QKeyEvent* event, Viewport& viewport) {
  if (!IsArrowKey(event->key())) return false;
  return startGesture(std::make_shared<DragKeyframeLayer>(mSelection, false), event, viewport);
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
