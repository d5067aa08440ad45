#include "commands/keyframestatecommands.h"

#include "commands/changebracket.h"

#include <QString>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

using Tessal::FCurve;
using Tessal::HitRecordIterator;
using Tessal::Keyframe;
using Tessal::Selection;
using Tessal::Tangent;

namespace {

// "Set" when no element has the flag, "Unset" when all have it, "Toggle"
// for a mix; the noun gets its plural from the number of elements.
QString ToggleText(std::size_t n, std::size_t flagged, const char* set, const char* unset, const char* toggle,
                   const char* noun) {
  QString text = QLatin1String(flagged == 0 ? set : flagged == n ? unset : toggle);
  text += QLatin1String(noun);
  if (n > 1) text += QLatin1Char('s');
  return text;
}

bool Eligible(const Tangent& tangent) {
  const std::shared_ptr<FCurve> curve = tangent.getOwningCurve();
  return curve && Tessal::IsEditable(*curve) && !Tessal::IsLocked(*curve);
}

void ToggleBreakdowns(const Selection& selection) {
  const HitRecordIterator end = Tessal::EndSelectedKeyframes(selection);
  for (HitRecordIterator it = Tessal::BeginSelectedKeyframes(selection); it != end; ++it) {
    const std::shared_ptr<Keyframe> key = it->getKeyframe();
    if (!key) continue;
    RunChangeBracket(*it->getCurve(), [&] { key->setBreakdown(!key->isBreakdown()); });
  }
}

void ToggleWeights(const Selection& selection) {
  const HitRecordIterator end = Tessal::EndSelectedTangents(selection);
  for (HitRecordIterator it = Tessal::BeginSelectedTangents(selection); it != end; ++it) {
    const std::shared_ptr<Tangent> tangent = it->getTangent();
    if (!tangent || !Eligible(*tangent)) continue;
    RunChangeBracket(*it->getCurve(), [&] { tangent->setWeighted(!tangent->isWeighted()); });
  }
}

}  // namespace

// ---------------------------------------------------------------- breakdown

BreakdownKeyframesCommand::BreakdownKeyframesCommand(std::shared_ptr<Selection> selection)
    : QUndoCommand(nullptr), mSelection(std::move(selection)), mSnapshot(*mSelection) {
  std::size_t n = 0, breakdowns = 0;
  const HitRecordIterator end = Tessal::EndSelectedKeyframes(*mSelection);
  for (HitRecordIterator it = Tessal::BeginSelectedKeyframes(*mSelection); it != end; ++it) {
    const std::shared_ptr<Keyframe> key = it->getKeyframe();
    if (!key) continue;
    ++n;
    if (key->isBreakdown()) ++breakdowns;
  }
  setText(ToggleText(n, breakdowns, "Set", "Unset", "Toggle", " Breakdown on Keyframe"));
}

BreakdownKeyframesCommand::~BreakdownKeyframesCommand() = default;

// Each key flips on its own, so the same run undoes and redoes, provided it
// meets the same keys: the selection of construction comes back first.
void BreakdownKeyframesCommand::undo() {
  mSnapshot.select();
  ToggleBreakdowns(*mSelection);
}

void BreakdownKeyframesCommand::redo() { undo(); }

// ---------------------------------------------------------------- lock

LockKeyframesCommand::LockKeyframesCommand(std::shared_ptr<Selection> selection, bool lock)
    : QUndoCommand(nullptr), mSelection(std::move(selection)), mSnapshot(*mSelection), mLock(lock) {
  const Selection& sel = *mSelection;
  {
    const HitRecordIterator end = Tessal::EndSelectedKeyframes(sel);
    for (HitRecordIterator it = Tessal::BeginSelectedKeyframes(sel); it != end; ++it) {
      std::shared_ptr<Keyframe> key = it->getKeyframe();
      if (key && Tessal::IsLocked(*key) != lock) mKeys.push_back(std::move(key));
    }
  }
  if (mKeys.empty()) {
    // Nothing to change among the selected keys: the command acts on every
    // key of the selected curves instead.
    const HitRecordIterator end = Tessal::EndSelectedCurves(sel);
    for (HitRecordIterator it = Tessal::BeginSelectedCurves(sel); it != end; ++it) {
      FCurve& curve = *it->getCurve();
      const FCurve::Projection last = curve.end();
      for (FCurve::Projection entry = curve.begin(); entry != last; ++entry) {
        if (entry.key()) mKeys.push_back(entry->getLeftKey());
      }
    }
  }
  // What undo returns to should it run before any redo.
  mWasLocked.reserve(mKeys.size());
  for (const auto& key : mKeys) mWasLocked.push_back(Tessal::IsLocked(*key));
  QString text = QLatin1String(lock ? "Lock" : "Unlock");
  text += QLatin1String(" Keyframe");
  if (mKeys.size() > 1) text += QLatin1Char('s');
  setText(text);
}

LockKeyframesCommand::~LockKeyframesCommand() = default;

namespace {

// Keys of a locked curve are left alone, and so are keys no longer in a
// curve. The bracket runs even when the key already has the state.
void SetLockState(Keyframe& key, bool state) {
  const std::shared_ptr<FCurve> curve = key.getOwningCurve();
  if (!curve || Tessal::IsLocked(*curve)) return;
  RunChangeBracket(*curve, [&] {
    if (Tessal::IsLocked(key) != state) Tessal::SetLocked(key, state);
  });
}

}  // namespace

void LockKeyframesCommand::undo() {
  mSnapshot.select();
  // Each key back to its own earlier state: a fallback list may hold keys
  // that had the target state already.
  for (std::size_t i = 0; i < mKeys.size(); ++i) SetLockState(*mKeys[i], mWasLocked[i]);
}

void LockKeyframesCommand::redo() {
  mSnapshot.select();
  for (std::size_t i = 0; i < mKeys.size(); ++i) {
    mWasLocked[i] = Tessal::IsLocked(*mKeys[i]);
    SetLockState(*mKeys[i], mLock);
  }
}

// ---------------------------------------------------------------- weighted

WeightedTangentsCommand::WeightedTangentsCommand(std::shared_ptr<Selection> selection)
    : QUndoCommand(nullptr), mSelection(std::move(selection)), mSnapshot(*mSelection) {
  std::size_t n = 0, weighted = 0;
  const HitRecordIterator end = Tessal::EndSelectedTangents(*mSelection);
  for (HitRecordIterator it = Tessal::BeginSelectedTangents(*mSelection); it != end; ++it) {
    const std::shared_ptr<Tangent> tangent = it->getTangent();
    if (!tangent || !Eligible(*tangent)) continue;
    ++n;
    if (tangent->isWeighted()) ++weighted;
  }
  setText(ToggleText(n, weighted, "Weight Tangent", "Unweight Tangent", "Toggle Weight on Tangent", ""));
}

WeightedTangentsCommand::~WeightedTangentsCommand() = default;

void WeightedTangentsCommand::undo() {
  mSnapshot.select();
  ToggleWeights(*mSelection);
}

void WeightedTangentsCommand::redo() { undo(); }

ZENTHO_ARVELLE_NAMESPACE_END
