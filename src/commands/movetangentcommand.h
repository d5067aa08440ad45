// The undoable record of one tangent-handle drag. It finds the handle again
// by its curve and its index in the curve's tangent walk, and restores both
// handles of the key exactly: offsets, types, weight locks and the key's
// unified flag.
#pragma once

#include <arvelle/version.h>

#include <tessal/fcurve.h>
#include <tessal/selection.h>

#include <QUndoCommand>

#include <memory>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

// Both handles of one key, seen from one of them: the handle itself and its
// opposite (the other handle of the same key), with their types and weight
// locks, and the key's unified flag.
struct HandlePair {
  Tessal::Vector2D<double> value;
  Tessal::Vector2D<double> oppositeValue;
  unsigned char type = Tessal::TangentType::Fixed;
  unsigned char oppositeType = Tessal::TangentType::Fixed;
  // A drag clears both locks; undo must give them back.
  bool weightLocked = false;
  bool oppositeWeightLocked = false;
  bool unified = false;

  // The tangent's state as it stands now (opposite values zero when there is
  // none).
  static HandlePair Of(const Tessal::Tangent& tangent);
};

// "Move Tangent".
class MoveTangentCommand : public QUndoCommand {
 public:
  // before: the pair at the press; after: the pair the drag ends with (the
  // layer passes the unified flag the key will have once the drag is over).
  MoveTangentCommand(std::shared_ptr<Tessal::Selection> selection, std::shared_ptr<Tessal::Tangent> tangent,
                     const HandlePair& before, const HandlePair& after);
  // The plain form: old offsets only; the old types, weight locks and the
  // unified flag are taken as they stand now.
  MoveTangentCommand(std::shared_ptr<Tessal::Selection> selection, std::shared_ptr<Tessal::Tangent> tangent,
                     const Tessal::Vector2D<double>& oldValue, const Tessal::Vector2D<double>& oldOppositeValue);
  ~MoveTangentCommand() override;

  void undo() override;
  void redo() override;

 private:
  // Restores the snapshot and sets both handles and the unified flag;
  // bracketed: inside the change bracket of the curve.
  void apply(const HandlePair& pair, bool bracketed);
  void setHandles(const HandlePair& pair);

  Tessal::SelectionSnapshot mSnapshot;
  std::shared_ptr<Tessal::FCurve> mCurve;
  int mTangentIndex = -1;
  HandlePair mBefore;
  HandlePair mAfter;
  bool mFirstRedoPending = true;
  std::shared_ptr<Tessal::Selection> mSelection;  // keeps the snapshot's selection alive
};

ZENTHO_ARVELLE_NAMESPACE_END
