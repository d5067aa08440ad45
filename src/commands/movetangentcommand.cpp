#include "commands/movetangentcommand.h"

#include "commands/changebracket.h"

#include <tessal/queries.h>

#include <QString>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

using Tessal::FCurve;
using Tessal::Tangent;

HandlePair HandlePair::Of(const Tangent& tangent) {
  HandlePair pair;
  pair.value = tangent.get();
  pair.type = tangent.getType();
  pair.weightLocked = tangent.isWeightLocked();
  if (const auto opposite = tangent.getOppositeTangent()) {
    pair.oppositeValue = opposite->get();
    pair.oppositeType = opposite->getType();
    pair.oppositeWeightLocked = opposite->isWeightLocked();
  }
  if (const auto key = tangent.getOwningKeyframe()) pair.unified = key->isTangentsUnified();
  return pair;
}

MoveTangentCommand::MoveTangentCommand(std::shared_ptr<Tessal::Selection> selection, std::shared_ptr<Tangent> tangent,
                                       const HandlePair& before, const HandlePair& after)
    : QUndoCommand(QStringLiteral("Move Tangent"), nullptr),
      mSnapshot(*selection),
      mBefore(before),
      mAfter(after),
      mSelection(std::move(selection)) {
  if (tangent) mCurve = tangent->getOwningCurve();
  if (mCurve) mTangentIndex = Tessal::GetTangentIndex(*mCurve, *tangent);
}

namespace {
HandlePair WithOldOffsets(const std::shared_ptr<Tangent>& tangent, const Tessal::Vector2D<double>& value,
                          const Tessal::Vector2D<double>& oppositeValue) {
  HandlePair pair = tangent ? HandlePair::Of(*tangent) : HandlePair();
  pair.value = value;
  pair.oppositeValue = oppositeValue;
  return pair;
}
}  // namespace

MoveTangentCommand::MoveTangentCommand(std::shared_ptr<Tessal::Selection> selection, std::shared_ptr<Tangent> tangent,
                                       const Tessal::Vector2D<double>& oldValue,
                                       const Tessal::Vector2D<double>& oldOppositeValue)
    : MoveTangentCommand(std::move(selection), tangent, WithOldOffsets(tangent, oldValue, oldOppositeValue),
                         tangent ? HandlePair::Of(*tangent) : HandlePair()) {}

MoveTangentCommand::~MoveTangentCommand() = default;

void MoveTangentCommand::setHandles(const HandlePair& pair) {
  // By index, not by object: the handle is found again whatever happened
  // to the objects in between; a curve that no longer has it is left alone.
  if (!mCurve) return;
  const auto tangent = Tessal::GetIndexedTangent(*mCurve, mTangentIndex);
  const auto key = tangent ? tangent->getOwningKeyframe() : nullptr;
  if (!key) return;
  FCurve::Switch hold(*mCurve);
  // The flag first: unifying may recompute automatic handles, which the
  // exact offsets then overwrite.
  key->setTangentsUnified(pair.unified);
  if (tangent->isInTangent()) {
    key->setTangents(pair.value, pair.oppositeValue, pair.type, pair.oppositeType);
  } else {
    key->setTangents(pair.oppositeValue, pair.value, pair.oppositeType, pair.type);
  }
  // After the offsets: a lock only keeps later drags from changing lengths.
  tangent->setWeightLocked(pair.weightLocked);
  if (const auto opposite = tangent->getOppositeTangent()) opposite->setWeightLocked(pair.oppositeWeightLocked);
}

void MoveTangentCommand::apply(const HandlePair& pair, bool bracketed) {
  mSnapshot.select();
  if (bracketed && mCurve) {
    RunChangeBracket(*mCurve, [&] { setHandles(pair); });
  } else {
    setHandles(pair);
  }
}

void MoveTangentCommand::redo() {
  if (mFirstRedoPending) {
    // The drag set the handles under a bracket it opened; this closes it.
    mFirstRedoPending = false;
    FCurve::setChangeType(FCurve::Changed);
    if (mCurve) mCurve->notifyChanged();
    FCurve::setChangeType(FCurve::Idle);
    apply(mAfter, false);
    return;
  }
  apply(mAfter, true);
}

void MoveTangentCommand::undo() { apply(mBefore, true); }

ZENTHO_ARVELLE_NAMESPACE_END
