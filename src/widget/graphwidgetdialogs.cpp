// The widget's slots that run the preview dialogs modally. Each dialog's one
// command, if the user applies it, is pushed like any other edit.
#include <arvelle/graphwidget.h>

#include "dialogs/curvedialogs.h"

#include <QUndoCommand>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

namespace {

template <class Dialog>
void RunDialog(GraphWidget* widget, const QString& title) {
  Dialog dialog(widget);
  QObject::connect(&dialog, &PrevizDialog::undoCommandGenerated, widget, &GraphWidget::pushUndoStack);
  dialog.setWindowTitle(title);
  dialog.exec();
}

}  // namespace

void GraphWidget::triggerSmoothCurvesDialog() { RunDialog<SmoothCurvesDialog>(this, QStringLiteral("Smooth")); }

void GraphWidget::triggerFlipCurvesDialog() { RunDialog<FlipCurvesDialog>(this, QStringLiteral("Flip")); }

void GraphWidget::triggerTransformCurvesDialog() {
  RunDialog<TransformCurvesDialog>(this, QStringLiteral("Scale & Offset"));
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
