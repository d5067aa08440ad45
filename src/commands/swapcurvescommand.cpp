#include "commands/swapcurvescommand.h"

#include "commands/changebracket.h"

ZENTHO_ARVELLE_NAMESPACE_BEGIN

using Tessal::FCurve;

CurveSwaps::CurveSwaps(const std::shared_ptr<Tessal::Selection>& selection)
    : mBefore(*selection), mAfter(*selection), mSelection(selection) {}

void CurveSwaps::addCurvePair(std::shared_ptr<FCurve> curve, std::shared_ptr<FCurve> copy) {
  // A pair with a missing side has nothing to exchange.
  if (!curve || !copy) return;
  mLive.push_back(std::move(curve));
  mCopies.push_back(std::move(copy));
}

void CurveSwaps::swapAll() {
  // Same order both ways: each swap is its own inverse.
  for (std::size_t i = 0; i < mLive.size(); ++i) {
    FCurve& live = *mLive[i];
    FCurve& copy = *mCopies[i];
    RunChangeBracket(live, [&] { FCurve::swap(live, copy); });
  }
}

void CurveSwaps::redo() {
  swapAll();
  if (!mAfterCaptured) {
    mAfter.capture();
    mAfterCaptured = true;
  } else {
    mAfter.select();
  }
}

void CurveSwaps::undo() {
  swapAll();
  mBefore.select();
}

SwapCurvesCommand::SwapCurvesCommand(std::shared_ptr<Tessal::Selection> selection)
    : QUndoCommand(nullptr), mSwaps(selection) {}

SwapCurvesCommand::~SwapCurvesCommand() = default;

void SwapCurvesCommand::undo() { mSwaps.undo(); }

void SwapCurvesCommand::redo() { mSwaps.redo(); }

ZENTHO_ARVELLE_NAMESPACE_END
