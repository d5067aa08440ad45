// Commands that change flags of the selected keyframes and tangents in place:
// the breakdown flag and the weighted flag toggle each element on its own,
// the lock command sets a target state. Each restores the selection it was
// built with before acting, and runs one change bracket per element.
#pragma once

#include <arvelle/version.h>

#include <tessal/fcurve.h>
#include <tessal/selection.h>

#include <QUndoCommand>

#include <memory>
#include <vector>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

// "Set", "Unset" or "Toggle" + " Breakdown on Keyframe" (+ "s").
class BreakdownKeyframesCommand : public QUndoCommand {
 public:
  explicit BreakdownKeyframesCommand(std::shared_ptr<Tessal::Selection> selection);
  ~BreakdownKeyframesCommand() override;

  void undo() override;
  void redo() override;

 private:
  std::shared_ptr<Tessal::Selection> mSelection;
  Tessal::SelectionSnapshot mSnapshot;
};

// "Lock" or "Unlock" + " Keyframe" (+ "s"). Undo returns each listed key to
// the lock state it had before the redo.
class LockKeyframesCommand : public QUndoCommand {
 public:
  LockKeyframesCommand(std::shared_ptr<Tessal::Selection> selection, bool lock);
  ~LockKeyframesCommand() override;

  void undo() override;
  void redo() override;

 private:
  std::shared_ptr<Tessal::Selection> mSelection;
  Tessal::SelectionSnapshot mSnapshot;
  std::vector<std::shared_ptr<Tessal::Keyframe>> mKeys;
  std::vector<bool> mWasLocked;  // per listed key, its state before the last redo
  bool mLock;
};

// "Weight Tangent", "Unweight Tangent" or "Toggle Weight on Tangent" (+ "s"),
// over the selected tangents of unlocked, editable curves.
class WeightedTangentsCommand : public QUndoCommand {
 public:
  explicit WeightedTangentsCommand(std::shared_ptr<Tessal::Selection> selection);
  ~WeightedTangentsCommand() override;

  void undo() override;
  void redo() override;

 private:
  std::shared_ptr<Tessal::Selection> mSelection;
  Tessal::SelectionSnapshot mSnapshot;
};

ZENTHO_ARVELLE_NAMESPACE_END
