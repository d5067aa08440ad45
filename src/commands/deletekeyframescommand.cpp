#include "commands/deletekeyframescommand.h"

#include <QString>

#include <iterator>
#include <unordered_map>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

using Tessal::FCurve;
using Tessal::HitRecordIterator;
using Tessal::Keyframe;
using Tessal::Selection;

namespace {

// Selected keys per curve, from one keyframe walk: asking each curve's
// entries instead would read every key of every selected curve, also of
// curves without a selected key.
std::unordered_map<const FCurve*, std::size_t> SelectedKeysPerCurve(const Selection& selection) {
  std::unordered_map<const FCurve*, std::size_t> counts;
  const FCurve* run = nullptr;
  std::size_t* count = nullptr;
  const HitRecordIterator end = Tessal::EndSelectedKeyframes(selection);
  for (HitRecordIterator it = Tessal::BeginSelectedKeyframes(selection); it != end; ++it) {
    // The walk lists curve by curve: one lookup per curve.
    if (it->getCurve().get() != run) {
      run = it->getCurve().get();
      count = &counts[run];
    }
    ++*count;
  }
  return counts;
}

}  // namespace

DeleteKeyframesCommand::DeleteKeyframesCommand(std::shared_ptr<Selection> selection)
    : QUndoCommand(nullptr), mSwaps(selection) {
  const Selection& sel = *selection;
  const auto counts = SelectedKeysPerCurve(sel);
  std::size_t total = 0;
  const HitRecordIterator end = Tessal::EndSelectedCurves(sel);
  for (HitRecordIterator it = Tessal::BeginSelectedCurves(sel); it != end; ++it) {
    const std::shared_ptr<FCurve>& curve = it->getCurve();
    const auto found = counts.find(curve.get());
    if (found == counts.end()) continue;
    total += found->second;
    // A curve whose selected keys are all locked still gets its (identical)
    // copy, so that observers hear of the command on it.
    std::shared_ptr<FCurve> copy = FCurve::createCopy(*curve);
    {
      // One upkeep of the automatic handles at the end, not one per key.
      FCurve::Switch hold(*copy);
      const FCurve::Projection last = copy->end();
      for (FCurve::Projection entry = std::next(copy->begin()); entry != last;) {
        const FCurve::Projection next = std::next(entry);
        // Handles belong to their keys: once this key is gone the segment
        // before it runs to the next key with that key's own in-handle, so
        // nothing is handed over.
        const Keyframe* key = entry.key();
        if (key && sel.isSelected(*key) && !Tessal::IsLocked(*key)) copy->removeSegment(entry);
        entry = next;
      }
    }
    mSwaps.addCurvePair(curve, std::move(copy));
  }
  QString text = QStringLiteral("Delete Keyframe");
  if (total > 1) text += QLatin1Char('s');
  setText(text);
}

DeleteKeyframesCommand::~DeleteKeyframesCommand() = default;

void DeleteKeyframesCommand::undo() { mSwaps.undo(); }

void DeleteKeyframesCommand::redo() { mSwaps.redo(); }

ZENTHO_ARVELLE_NAMESPACE_END
