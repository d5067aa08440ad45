// Commands that replace whole curves. The complete result is computed at
// construction on private copies of the affected curves; undo and redo only
// exchange each live curve with its copy (FCurve::swap, O(1)), each inside
// its own change bracket, and restore the selection recorded before the
// command and on its first redo.
#pragma once

#include <arvelle/version.h>

#include <tessal/fcurve.h>
#include <tessal/selection.h>

#include <QUndoCommand>

#include <memory>
#include <vector>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

// The five members of the curve-swap shape and its undo and redo, shared by
// SwapCurvesCommand and by the commands that are direct QUndoCommand
// subclasses with the same shape (delete keyframes, tangent and segment
// types, paste).
class CurveSwaps {
 public:
  // Both snapshots are taken from the selection now.
  explicit CurveSwaps(const std::shared_ptr<Tessal::Selection>& selection);

  // Appends the pair; neither curve is copied. Curves are swapped in the
  // order they were added, in redo and in undo alike.
  void addCurvePair(std::shared_ptr<Tessal::FCurve> curve, std::shared_ptr<Tessal::FCurve> copy);
  std::size_t size() const { return mLive.size(); }

  // Swaps every pair, then records the selection on the first call and
  // restores that record on later ones.
  void redo();
  // Swaps every pair back, then restores the selection of construction.
  void undo();

 private:
  void swapAll();

  Tessal::SelectionSnapshot mBefore;
  Tessal::SelectionSnapshot mAfter;
  std::vector<std::shared_ptr<Tessal::FCurve>> mLive;    // shared with the container
  std::vector<std::shared_ptr<Tessal::FCurve>> mCopies;  // owned here: the other side of each swap
  bool mAfterCaptured = false;
  std::shared_ptr<Tessal::Selection> mSelection;  // keeps the snapshots' selection alive
};

// The base of the bake, flip, smooth and transform commands: a subclass is a
// constructor that fills the pairs and sets the text.
class SwapCurvesCommand : public QUndoCommand {
 public:
  // No text and no parent; both lists empty.
  explicit SwapCurvesCommand(std::shared_ptr<Tessal::Selection> selection);
  ~SwapCurvesCommand() override;

  void undo() override;
  void redo() override;

  void addCurvePair(std::shared_ptr<Tessal::FCurve> curve, std::shared_ptr<Tessal::FCurve> copy) {
    mSwaps.addCurvePair(std::move(curve), std::move(copy));
  }

 private:
  CurveSwaps mSwaps;
};

ZENTHO_ARVELLE_NAMESPACE_END
