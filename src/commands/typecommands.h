// Giving the selected tangents a type, or the selected segments an
// interpolator: curve-swap commands whose copies carry the change.
#pragma once

#include "commands/swapcurvescommand.h"

#include <arvelle/version.h>

#include <tessal/selection.h>

#include <QString>
#include <QUndoCommand>

#include <memory>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

// "Set Tangent Type" (+ "s") + " To Fixed" ... " To Plateau"; codes above 6
// have no suffix.
class SetTangentTypeCommand : public QUndoCommand {
 public:
  SetTangentTypeCommand(std::shared_ptr<Tessal::Selection> selection, unsigned char type);
  ~SetTangentTypeCommand() override;

  void undo() override;
  void redo() override;

 private:
  CurveSwaps mSwaps;
};

// "Set Segment" (+ "s" whenever a selected segment was counted) + " To " +
// the name. An unknown name changes no segment.
class SetSegmentTypeCommand : public QUndoCommand {
 public:
  SetSegmentTypeCommand(std::shared_ptr<Tessal::Selection> selection, const QString& name);
  ~SetSegmentTypeCommand() override;

  void undo() override;
  void redo() override;

 private:
  CurveSwaps mSwaps;
};

ZENTHO_ARVELLE_NAMESPACE_END
