// The base of the modal dialogs that show a whole-curve operation live
// before anything is changed: it keeps fresh copies of the curves selected
// when it opened, draws them through a curve layer of its own on top of the
// widget's layers while the real curves are dimmed, and hands the one final
// command to the widget. Cancelling leaves the curves untouched.
#pragma once

#include <arvelle/version.h>

#include <tessal/container.h>
#include <tessal/selection.h>

#include <QDialog>

#include <memory>

class QUndoCommand;

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

class GraphWidget;
class Layer;

class PrevizDialog : public QDialog {
  Q_OBJECT

 public:
  // Ends any gesture the widget is running first (as the widget does when it
  // loses focus), so the curves are at rest and no change bracket is open;
  // then dims the widget's curve layer, pushes the preview layer and takes
  // the selected curves.
  explicit PrevizDialog(GraphWidget* widget);
  // Removes the preview layer and gives the widget's curve layer its colours
  // and picking back.
  ~PrevizDialog() override;

  // The live curves of the widget selection's selected-curves walk.
  void setSourceCurves();
  // A new copy of every source curve, in order, and the widget's selection
  // mirrored onto them, so the preview commands see what the final command
  // will see: the same curves, spans, keys and handles.
  void resetPreview();
  // The default pivot: the mean of the selected keys, else of the centres of
  // the source curves' interior extents; (0, 0) without source curves.
  void computeCenter(double& x, double& y) const;
  // Applies the operation with the current parameters to the preview curves.
  virtual void updatePreview() = 0;

  const std::shared_ptr<Tessal::FCurveContainer>& getSourceCurves() const { return mSourceCurves; }
  const std::shared_ptr<Tessal::FCurveContainer>& getPreviewCurves() const { return mPreviewCurves; }
  const std::shared_ptr<Tessal::Selection>& getPreviewSelection() const { return mPreviewSelection; }
  const std::shared_ptr<Layer>& getPreviewLayer() const { return mPreviewLayer; }

 signals:
  // The receiver takes ownership of the command.
  void undoCommandGenerated(QUndoCommand* iCmd);

 protected:
  // resetPreview, then updatePreview.
  void refreshPreview();
  // Emits the command once per dialog; a second one, or one nobody receives,
  // is deleted.
  void emitCommand(QUndoCommand* command);
  const std::shared_ptr<Tessal::Selection>& getSelection() const { return mSelection; }
  // For the subclasses' destructors: disconnects the editors from the dialog
  // and hides it. A dialog destroyed while shown would otherwise hide in
  // ~QDialog, and the focused edit's editingFinished (and its validator's
  // fixup) would reach a subclass that is gone.
  void detachEditors();

 private:
  class ContainerWatch;
  // The host changed the widget's curves while the dialog is open: the
  // sources and the preview follow, so the preview never shows a curve the
  // final command would no longer reach.
  void sourcesMayHaveChanged();

  std::shared_ptr<Tessal::FCurveContainer> mSourceCurves;
  std::shared_ptr<Layer> mPreviewLayer;
  std::shared_ptr<Layer> mCurveLayer;
  std::shared_ptr<Tessal::FCurveContainer> mPreviewCurves;
  std::shared_ptr<Tessal::Selection> mPreviewSelection;
  std::shared_ptr<Tessal::Selection> mSelection;

  std::unique_ptr<ContainerWatch> mWatch;
  bool mPreviewBuilt = false;
  bool mRefreshQueued = false;
  bool mCommandEmitted = false;
};

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
