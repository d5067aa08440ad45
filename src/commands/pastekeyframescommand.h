// Copy and paste of keyframes through the widget's private clipboard: a
// curve holding the copied keys, with the spans between consecutive copied
// keys carrying their interpolator and both handles, and gaps (marked
// "fc_nocopy") elsewhere. A paste clears the target's keys inside each
// copied span and inserts the copied keys, as one curve-swap command.
#pragma once

#include "commands/swapcurvescommand.h"

#include <arvelle/version.h>

#include <tessal/fcurve.h>
#include <tessal/selection.h>

#include <QUndoCommand>

#include <memory>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

// Exactly one curve record in the selection, and that curve not locked.
bool CanCopyOrPaste(const Tessal::Selection& selection);

// The clipboard curve for the selected keys of the one selected curve; null
// when the selection does not allow a copy or no key is selected.
std::shared_ptr<Tessal::FCurve> CopyKeyframes(const Tessal::Selection& selection);

// "Paste Keframes".
class PasteKeyframesCommand : public QUndoCommand {
 public:
  // offset: added to the x of every pasted key.
  PasteKeyframesCommand(std::shared_ptr<Tessal::Selection> selection, const std::shared_ptr<Tessal::FCurve>& target,
                        const std::shared_ptr<Tessal::FCurve>& clipboard, double offset);
  ~PasteKeyframesCommand() override;

  void undo() override;
  void redo() override;

 private:
  CurveSwaps mSwaps;
};

ZENTHO_ARVELLE_NAMESPACE_END
