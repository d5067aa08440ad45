#include "commands/pastekeyframescommand.h"

#include <tessal/interpolator.h>
#include <tessal/types.h>

#include <QString>

#include <iterator>
#include <string>
#include <vector>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

using Tessal::FCurve;
using Tessal::HitRecordIterator;
using Tessal::Keyframe;
using Tessal::Segment;
using Tessal::Selection;
using Tessal::Tangent;

namespace {

const std::string cNoCopy = "fc_nocopy";

// The curve model's own separation test: a gap a hair under the minimum
// still counts as kept apart.
bool TooClose(double gap) {
  const double sep = Keyframe::getMinSeparation();
  return !(gap >= sep) && !Tessal::NearEqual(gap, sep);
}

// A clipboard span carries data only between two keys; the exterior
// segments are gaps whatever their properties say.
bool IsCopiedSpan(const Segment& segment) {
  return segment.hasLeftKey() && segment.hasRightKey() && segment.getProperty(cNoCopy).empty();
}

void MarkGap(Segment& segment) { segment.setProperty(cNoCopy, "1"); }

Keyframe StandaloneKey(double x, double y, const Keyframe& flagsFrom) {
  Keyframe key(x, y);
  key.setBreakdown(flagsFrom.isBreakdown());
  key.setTangentsUnified(flagsFrom.isTangentsUnified());
  return key;
}

void CopyHandle(const Tangent& from, Tangent& to) {
  // Offset first: set() makes the handle Fixed (and on a unified key turns
  // the other one in line); the type after brings an automatic one back.
  to.set(from.get());
  to.setType(from.getType());
}

// Gives `to` the handles of `from` on the sides that border copied spans;
// a side bordering a gap keeps what the curve gives it.
void CopySpanHandles(const Keyframe& from, Keyframe& to, bool inSide, bool outSide, bool weightLocks) {
  if (!inSide && !outSide) return;
  const std::shared_ptr<Tangent> fromIn = from.getInTangent(), fromOut = from.getOutTangent();
  const std::shared_ptr<Tangent> toIn = to.getInTangent(), toOut = to.getOutTangent();
  if (!fromIn || !fromOut || !toIn || !toOut) return;
  if (inSide && outSide) {
    // Both at once: one by one, a unified key would turn the first again.
    to.setTangents(fromIn->get(), fromOut->get(), fromIn->getType(), fromOut->getType());
  } else {
    CopyHandle(inSide ? *fromIn : *fromOut, inSide ? *toIn : *toOut);
  }
  if (inSide) {
    toIn->setWeighted(fromIn->isWeighted());
    if (weightLocks) toIn->setWeightLocked(fromIn->isWeightLocked());
  }
  if (outSide) {
    toOut->setWeighted(fromOut->isWeighted());
    if (weightLocks) toOut->setWeightLocked(fromOut->isWeightLocked());
  }
}

struct PastedKey {
  const Keyframe* source;  // in the clipboard
  double x;
  bool spanIn, spanOut;
  std::shared_ptr<Tessal::Interpolator> spanInterpolator;  // when spanOut
};

// The clipboard's keys as they land, or empty when a key would leave the
// accepted range (a NaN offset included) or two would fall within the
// separation (an offset far from zero rounds neighbours together).
std::vector<PastedKey> PlanPaste(const FCurve& clipboard, double offset) {
  std::vector<PastedKey> keys;
  keys.reserve(clipboard.numKeys());
  bool spanIn = false;
  const FCurve::ConstProjection end = clipboard.end();
  for (FCurve::ConstProjection entry = std::next(clipboard.begin()); entry != end; ++entry) {
    const Keyframe* key = entry.key();
    const double x = key->getX() + offset;
    if (!Tessal::InRange(x) || (!keys.empty() && TooClose(x - keys.back().x))) return {};
    const bool spanOut = IsCopiedSpan(*entry.segment());
    keys.push_back({key, x, spanIn, spanOut, spanOut ? entry->getInterpolator() : nullptr});
    spanIn = spanOut;
  }
  return keys;
}

// Removes the keys a run of copied spans covers, from its first key's x to
// its last key's x inclusive.
void ClearRun(FCurve& curve, double from, double to) {
  const FCurve::Projection end = curve.end();
  FCurve::Projection entry = curve.findSegment(from);
  if (!entry.key() || entry.key()->getX() < from) ++entry;
  while (entry != end && entry.key()->getX() <= to) {
    const FCurve::Projection next = std::next(entry);
    curve.removeSegment(entry);
    entry = next;
  }
}

// Takes out the kept keys within the separation of x, so that a key pasted
// there replaces them. Never the key pasted last, its left neighbour.
bool MakeRoom(FCurve& curve, double x, const Keyframe* pastedLast) {
  const FCurve::Projection end = curve.end();
  for (;;) {
    const FCurve::Projection cover = curve.findSegment(x);
    if (const Keyframe* left = cover.key(); left && TooClose(x - left->getX())) {
      if (left == pastedLast) return false;
      curve.removeSegment(cover);
      continue;
    }
    const FCurve::Projection next = std::next(cover);
    if (next != end && TooClose(next.key()->getX() - x)) {
      curve.removeSegment(next);
      continue;
    }
    return true;
  }
}

}  // namespace

bool CanCopyOrPaste(const Selection& selection) {
  // The curves walk lists exactly the curve records whose curve is in the
  // container, without making records of every selected part.
  const HitRecordIterator end = Tessal::EndSelectedCurves(selection);
  HitRecordIterator it = Tessal::BeginSelectedCurves(selection);
  if (it == end) return false;
  const std::shared_ptr<FCurve>& curve = it->getCurve();
  if (++it != end) return false;
  return curve && !Tessal::IsLocked(*curve);
}

std::shared_ptr<FCurve> CopyKeyframes(const Selection& selection) {
  if (!CanCopyOrPaste(selection)) return nullptr;
  const std::shared_ptr<FCurve> source = Tessal::BeginSelectedCurves(selection)->getCurve();
  auto clipboard = FCurve::create(source->getName());
  MarkGap(*clipboard->begin().segment());
  const FCurve::Projection failed = clipboard->end();
  bool spanIn = false;
  const HitRecordIterator end = Tessal::EndSelectedKeyframes(selection);
  for (HitRecordIterator it = Tessal::BeginSelectedKeyframes(selection); it != end; ++it) {
    // Selected keys of other curves are not part of this copy.
    if (it->getCurve() != source) continue;
    const std::shared_ptr<Keyframe> key = it->getKeyframe();
    if (!key) continue;
    const std::shared_ptr<Segment> right = key->getRightSegment();
    const std::shared_ptr<Keyframe> next = right->getRightKey();
    const bool spanOut = next && selection.isSelected(*next) && right->getInterpolator();
    const FCurve::Projection added = clipboard->insertSegment(
        StandaloneKey(key->getX(), key->getY(), *key),
        spanOut ? right->getInterpolator() : Tessal::Constant::create());
    if (added == failed) {
      spanIn = false;
      continue;
    }
    if (!spanOut) MarkGap(*added.segment());
    // The span's in-handle is its right key's: it exists from now on.
    CopySpanHandles(*key, *added.key(), spanIn, spanOut, true);
    spanIn = spanOut;
  }
  if (clipboard->numKeys() == 0) return nullptr;
  return clipboard;
}

PasteKeyframesCommand::PasteKeyframesCommand(std::shared_ptr<Selection> selection,
                                             const std::shared_ptr<FCurve>& target,
                                             const std::shared_ptr<FCurve>& clipboard, double offset)
    : QUndoCommand(QStringLiteral("Paste Keframes"), nullptr), mSwaps(selection) {
  if (!target || !clipboard || Tessal::IsLocked(*target)) return;
  const std::vector<PastedKey> keys = PlanPaste(*clipboard, offset);
  // Refused input leaves no pair: undo and redo only restore selections.
  if (keys.empty()) return;

  std::shared_ptr<FCurve> copy = FCurve::createCopy(*target);
  // Every run is cleared before any key goes in, so that no pasted key is
  // taken out again.
  for (std::size_t i = 0; i < keys.size();) {
    if (!keys[i].spanOut) {
      ++i;
      continue;
    }
    std::size_t last = i + 1;
    while (last < keys.size() && keys[last].spanOut) ++last;
    if (last < keys.size()) ClearRun(*copy, keys[i].x, keys[last].x);
    i = last + 1;
  }

  const FCurve::Projection failed = copy->end();
  const Keyframe* pastedLast = nullptr;
  for (const PastedKey& k : keys) {
    if (!MakeRoom(*copy, k.x, pastedLast)) continue;
    // A gap key continues with what the target had there before the paste:
    // the copy may no longer hold that segment.
    std::shared_ptr<Tessal::Interpolator> interpolator =
        k.spanOut ? k.spanInterpolator : target->findSegment(k.x)->getInterpolator();
    const FCurve::Projection added =
        copy->insertSegment(StandaloneKey(k.x, k.source->getY(), *k.source), std::move(interpolator));
    if (added == failed) continue;
    pastedLast = added.key();
    CopySpanHandles(*k.source, *added.key(), k.spanIn, k.spanOut, false);
  }
  mSwaps.addCurvePair(target, std::move(copy));
}

PasteKeyframesCommand::~PasteKeyframesCommand() = default;

void PasteKeyframesCommand::undo() { mSwaps.undo(); }

void PasteKeyframesCommand::redo() { mSwaps.redo(); }

ZENTHO_ARVELLE_NAMESPACE_END
