// The widget's trigger slots: each builds one command over the widget's
// selection and pushes it, or switches an interaction mode. A command that
// lands in the middle of a drag or nudge would change keys the gesture's
// own command has yet to record, and undo could give back neither exactly:
// each command slot first ends a running gesture, as its releases would.
#include <arvelle/graphwidget.h>

#include <arvelle/domainslider.h>
#include <arvelle/layer.h>
#include <arvelle/viewport.h>

#include "commands/curvecommands.h"
#include "commands/deletekeyframescommand.h"
#include "commands/keyframestatecommands.h"
#include "commands/pastekeyframescommand.h"
#include "commands/typecommands.h"
#include "core/viewmath.h"
#include "layers/domainsliderlayer.h"
#include "layers/insertkeyframelayer.h"
#include "widget/framing.h"

#include <QEvent>

#include <algorithm>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

void GraphWidget::triggerDeleteKeyframes() {
  endGestures();
  pushUndoStack(new DeleteKeyframesCommand(mSelection));
}

void GraphWidget::triggerBreakdownKeyframes() {
  endGestures();
  pushUndoStack(new BreakdownKeyframesCommand(mSelection));
}

void GraphWidget::triggerLockKeyframes() {
  endGestures();
  pushUndoStack(new LockKeyframesCommand(mSelection, true));
}

void GraphWidget::triggerUnlockKeyframes() {
  endGestures();
  pushUndoStack(new LockKeyframesCommand(mSelection, false));
}

void GraphWidget::triggerWeightedTangents() {
  endGestures();
  pushUndoStack(new WeightedTangentsCommand(mSelection));
}

void GraphWidget::triggerSetTangentType(int code) {
  endGestures();
  pushUndoStack(new SetTangentTypeCommand(mSelection, static_cast<unsigned char>(code & 0xFF)));
}

void GraphWidget::triggerSetSegmentType(const QString& name) {
  endGestures();
  pushUndoStack(new SetSegmentTypeCommand(mSelection, name));
}

void GraphWidget::triggerBakeCurves() {
  endGestures();
  pushUndoStack(new BakeCurvesCommand(mSelection));
}

void GraphWidget::triggerCopyKeyframes() { mCopyBuffer = CopyKeyframes(*mSelection); }

void GraphWidget::triggerPasteKeyframes() {
  if (!mCopyBuffer || !CanCopyOrPaste(*mSelection)) return;
  endGestures();
  const auto first = Tessal::BeginSelectedCurves(*mSelection);
  if (first == Tessal::EndSelectedCurves(*mSelection) || !first->getCurve()) return;
  pushUndoStack(new PasteKeyframesCommand(mSelection, first->getCurve(), mCopyBuffer, 0.0));
}

void GraphWidget::insertKeyframeLayer(QEvent* event) {
  if (!mRootLayer->findLayer("Insert Keyframe Layer")) {
    auto layer = std::make_shared<InsertKeyframeLayer>(mCurves, mSelection, mViewport, mColors, mFont);
    mUserLayers->pushLayer(layer);
    connect(layer.get(), &Layer::requestDrawText, this, &GraphWidget::drawText);
    if (event) event->setAccepted(true);
    update();
    return;
  }
  // The mode's layer takes the Insert key and ends itself.
  if (event) delegateEventToLayerManager(event);
}

void GraphWidget::triggerDomainSlider() {
  if (mDomainSlider->isVisible()) {
    mDomainSlider->hide();
    return;
  }
  // A view that cannot be mapped has no x under the pointer: the slider
  // shows where it was.
  double x = mDomainSlider->getValue();
  if (CanMap(*mViewport)) {
    x = WindowToWorld(*mViewport, mRootLayer->getLastMousePoint()).x;
    const auto& win = mViewport->getWindowBounds();
    const auto& world = mViewport->getWorldBounds();
    x = SnapDomainValue(x, Layer::getSnapSettings(),
                        Tessal::Vector2D<double>(world.width / win.width, world.height / win.height));
  }
  // Observers see it shown before it moves.
  mDomainSlider->show();
  mDomainSlider->setValue(x);
}

void GraphWidget::triggerFrameAll() { FrameVisibleExtents(mRootLayer, mViewport, mCurves, mSelection, Both); }
void GraphWidget::triggerFrameAllX() { FrameVisibleExtents(mRootLayer, mViewport, mCurves, mSelection, XOnly); }
void GraphWidget::triggerFrameAllY() { FrameVisibleExtents(mRootLayer, mViewport, mCurves, mSelection, YOnly); }
void GraphWidget::triggerFrameSelected() { FrameSelectedExtents(mRootLayer, mViewport, mSelection, Both); }
void GraphWidget::triggerFrameSelectedX() { FrameSelectedExtents(mRootLayer, mViewport, mSelection, XOnly); }
void GraphWidget::triggerFrameSelectedY() { FrameSelectedExtents(mRootLayer, mViewport, mSelection, YOnly); }

void GraphWidget::triggerFrameAuto() {
  const Tessal::Private::SelectionFilter exists;
  const bool any = std::any_of(mSelection->begin(), mSelection->end(), exists);
  if (any) triggerFrameSelected();
  else triggerFrameAll();
}

void GraphWidget::triggerFrameWorldLimits() { AnimateViewport(mRootLayer, mViewport, mViewport->getWorldLimits()); }

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
