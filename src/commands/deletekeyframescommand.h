// Deleting the selected keyframes: a curve-swap command whose copies are the
// curves without their selected, unlocked keys. "Delete Keyframe", plural
// when more than one selected key was counted (locked ones included).
#pragma once

#include "commands/swapcurvescommand.h"

#include <arvelle/version.h>

#include <tessal/selection.h>

#include <QUndoCommand>

#include <memory>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

class DeleteKeyframesCommand : public QUndoCommand {
 public:
  explicit DeleteKeyframesCommand(std::shared_ptr<Tessal::Selection> selection);
  ~DeleteKeyframesCommand() override;

  void undo() override;
  void redo() override;

 private:
  CurveSwaps mSwaps;
};

ZENTHO_ARVELLE_NAMESPACE_END
