#include "dialogs/previzdialog.h"

#include "layers/curvelayer.h"
#include "layers/gridlayer.h"

#include <arvelle/graphwidget.h>
#include <arvelle/layer.h>

#include <tessal/fcurve.h>
#include <tessal/queries.h>

#include <QMetaMethod>
#include <QTimer>
#include <QUndoCommand>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

using Tessal::FCurve;
using Tessal::FCurveContainer;
using Tessal::HitRecordIterator;
using Tessal::Selection;

class PrevizDialog::ContainerWatch : public Tessal::ContainerObserver {
 public:
  ContainerWatch(PrevizDialog& owner, const std::shared_ptr<FCurveContainer>& container)
      : mOwner(owner), mContainer(container) {
    if (mContainer) mContainer->subscribe(*this);
  }
  ~ContainerWatch() override {
    if (mContainer) mContainer->unsubscribe(*this);
  }
  void containerChanged(FCurveContainer&) override { mOwner.sourcesMayHaveChanged(); }

 private:
  PrevizDialog& mOwner;
  std::shared_ptr<FCurveContainer> mContainer;  // held: the host may drop the widget first
};

PrevizDialog::PrevizDialog(GraphWidget* widget) : QDialog(widget) {
  if (!widget) return;
  // A drag holds the process-wide change bracket open and pointers to the
  // live keys, which a preview's commands and the final swap must not meet.
  widget->endGestures();

  const std::shared_ptr<LayerManager> userLayers = widget->getUserLayers();
  mSelection = widget->getSelection();
  mSourceCurves = std::make_shared<FCurveContainer>();
  mPreviewCurves = std::make_shared<FCurveContainer>();
  mPreviewSelection = std::make_shared<Selection>(mPreviewCurves);

  mCurveLayer = userLayers->findLayer("Curve Layer");
  if (auto* curveLayer = dynamic_cast<CurveLayer*>(mCurveLayer.get())) {
    curveLayer->disablePicking();
    curveLayer->disableFullColor();
  }

  auto preview =
      std::make_shared<CurveLayer>(mPreviewCurves, mSelection, widget->getColors(), "Preview Curve Layer");
  preview->disablePicking();
  preview->setLabelGrid(std::dynamic_pointer_cast<const GridLayer>(userLayers->findLayer("Grid Layer")));
  mPreviewLayer = preview;
  userLayers->pushLayer(mPreviewLayer);

  setSourceCurves();
  mWatch = std::make_unique<ContainerWatch>(*this, mSelection->getContainer());
}

PrevizDialog::~PrevizDialog() {
  mWatch.reset();
  if (mPreviewLayer) mPreviewLayer->removeFromManager();
  if (auto* curveLayer = dynamic_cast<CurveLayer*>(mCurveLayer.get())) {
    curveLayer->enablePicking();
    curveLayer->enableFullColor();
  }
}

void PrevizDialog::detachEditors() {
  for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
  hide();
}

void PrevizDialog::setSourceCurves() {
  if (!mSourceCurves || !mSelection) return;
  mSourceCurves->clear();
  const HitRecordIterator end = Tessal::EndSelectedCurves(*mSelection);
  for (HitRecordIterator it = Tessal::BeginSelectedCurves(*mSelection); it != end; ++it) {
    if (it->getCurve()) mSourceCurves->addCurve(it->getCurve());
  }
}

void PrevizDialog::resetPreview() {
  if (!mPreviewCurves) return;
  mPreviewCurves->clear();
  for (const std::shared_ptr<FCurve>& source : *mSourceCurves) mPreviewCurves->addCurve(FCurve::createCopy(*source));
  // The copies carry their sources' identities, so the mirrored selection
  // names them exactly as the widget's names the live curves.
  mPreviewSelection->assign(*mSelection);
  mPreviewBuilt = true;
}

void PrevizDialog::refreshPreview() {
  resetPreview();
  updatePreview();
}

void PrevizDialog::computeCenter(double& x, double& y) const {
  x = y = 0;
  if (!mSourceCurves || mSourceCurves->empty()) return;

  std::size_t n = 0;
  double sx = 0, sy = 0;
  const HitRecordIterator end = Tessal::EndSelectedKeyframes(*mSelection);
  for (HitRecordIterator it = Tessal::BeginSelectedKeyframes(*mSelection); it != end; ++it) {
    if (const auto key = it->getKeyframe()) {
      sx += key->getX();
      sy += key->getY();
      ++n;
    }
  }
  if (n == 0) {
    for (const std::shared_ptr<FCurve>& curve : *mSourceCurves) {
      Tessal::Rectangle<double> r;
      if (Tessal::GetInteriorExtents(*curve, r)) {
        sx += r.x + r.width / 2;
        sy += r.y + r.height / 2;
      }
    }
    n = mSourceCurves->size();
  }
  x = sx / static_cast<double>(n);
  y = sy / static_cast<double>(n);
}

void PrevizDialog::emitCommand(QUndoCommand* command) {
  if (!command) return;
  if (mCommandEmitted || !isSignalConnected(QMetaMethod::fromSignal(&PrevizDialog::undoCommandGenerated))) {
    delete command;
    return;
  }
  mCommandEmitted = true;
  emit undoCommandGenerated(command);
}

void PrevizDialog::sourcesMayHaveChanged() {
  // Hosts often change the container curve by curve: one refresh for the lot.
  if (mRefreshQueued) return;
  mRefreshQueued = true;
  QTimer::singleShot(0, this, [this] {
    mRefreshQueued = false;
    setSourceCurves();
    if (mPreviewBuilt) refreshPreview();
  });
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
