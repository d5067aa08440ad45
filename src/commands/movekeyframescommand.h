// Moving the selected keyframes: the rules every move obeys (neighbour
// separation, world limits, locks, snapping pushed back by whole increments,
// keys visited in the direction of the motion so they keep their order), the
// routine that puts them back, and the undoable record of a finished drag or
// nudge.
#pragma once

#include <arvelle/snapsettings.h>
#include <arvelle/version.h>

#include <tessal/selection.h>
#include <tessal/types.h>

#include <QUndoCommand>

#include <memory>
#include <vector>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

// Moves every keyframe of [begin, end) (a selected-keyframe walk) by (dx, dy)
// from where it stands. pixelSize: world units per window pixel in x and y;
// limits: the viewport's world limits (no bound when not both sides are
// positive). Tangents are not touched.
void MoveSelectedKeyframes(Tessal::HitRecordIterator begin, Tessal::HitRecordIterator end, const SnapSettings& snap,
                           const Tessal::Vector2D<double>& pixelSize, const Tessal::Rectangle<double>& limits,
                           double dx, double dy);

// Sets each keyframe of [begin, end) to its recorded position, positions in
// walk order. Run it inside an FCurve::Switch: restoring keys one by one is
// exact only there.
void RestoreKeyframePositions(Tessal::HitRecordIterator begin, Tessal::HitRecordIterator end,
                              const std::vector<Tessal::Vector2D<double>>& positions);

// RestoreKeyframePositions followed by MoveSelectedKeyframes over the same
// walk, with the same result, in one pass that sets each key once: what a
// live drag runs on every update. positions: one per record of the walk, in
// walk order. Run it inside an FCurve::Switch.
void MoveKeyframesFrom(Tessal::HitRecordIterator begin, Tessal::HitRecordIterator end,
                       const std::vector<Tessal::Vector2D<double>>& positions, const SnapSettings& snap,
                       const Tessal::Vector2D<double>& pixelSize, const Tessal::Rectangle<double>& limits, double dx,
                       double dy);

// notifyChanged() once on every curve the selection touches and on every
// curve of the walk it does not: a key the host deselected while a gesture
// moved it still changed its curve.
void NotifyMovedCurves(Tessal::Selection& selection, Tessal::HitRecordIterator begin, Tessal::HitRecordIterator end);

// "Move Keyframe", plural with more than one start position.
class MoveKeyframesCommand : public QUndoCommand {
 public:
  // Over the selected-keyframe walk.
  MoveKeyframesCommand(std::shared_ptr<Tessal::Selection> selection,
                       std::vector<Tessal::Vector2D<double>> startPositions, const SnapSettings& snap,
                       const Tessal::Vector2D<double>& pixelSize, const Tessal::Rectangle<double>& worldLimits,
                       double dx, double dy);
  // Over the keys [begin, end) a gesture moved, startPositions one per
  // record: the selection may no longer name them all when it ends.
  MoveKeyframesCommand(std::shared_ptr<Tessal::Selection> selection, Tessal::HitRecordIterator begin,
                       Tessal::HitRecordIterator end, std::vector<Tessal::Vector2D<double>> startPositions,
                       const SnapSettings& snap, const Tessal::Vector2D<double>& pixelSize,
                       const Tessal::Rectangle<double>& worldLimits, double dx, double dy);
  ~MoveKeyframesCommand() override;

  void undo() override;
  void redo() override;

 private:
  void putKeys(const std::vector<Tessal::Vector2D<double>>& positions);

  std::shared_ptr<Tessal::Selection> mSelection;
  Tessal::SelectionSnapshot mSnapshot;
  std::vector<Tessal::Vector2D<double>> mStartPositions;
  // Where the keys stand when the command is built (after the drag): later
  // redos put them back exactly, whatever the drag went through.
  std::vector<Tessal::Vector2D<double>> mEndPositions;
  double mDx;
  double mDy;
  SnapSettings mSnap;
  Tessal::Vector2D<double> mPixelSize;
  Tessal::Rectangle<double> mWorldLimits;
  bool mFirstRedoPending = true;
  // The walk both position lists were read in, kept for every undo and
  // redo: its records find their keys by identity, so a key that is gone
  // only skips its own entry instead of shifting the others.
  Tessal::HitRecordIterator mWalkBegin;
  Tessal::HitRecordIterator mWalkEnd;
};

ZENTHO_ARVELLE_NAMESPACE_END
