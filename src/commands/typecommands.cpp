#include "commands/typecommands.h"

#include <tessal/interpolator.h>

#include <iterator>
#include <string>
#include <unordered_map>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

using Tessal::FCurve;
using Tessal::HitRecordIterator;
using Tessal::Interpolator;
using Tessal::Segment;
using Tessal::Selection;
using Tessal::Tangent;

namespace {

// Selected tangents per curve whose type differs from type, from one tangent
// walk rather than a read of every handle of every selected curve.
std::unordered_map<const FCurve*, std::size_t> DifferingTangentsPerCurve(const Selection& selection,
                                                                         unsigned char type) {
  std::unordered_map<const FCurve*, std::size_t> counts;
  const FCurve* run = nullptr;
  std::size_t* count = nullptr;
  const HitRecordIterator end = Tessal::EndSelectedTangents(selection);
  for (HitRecordIterator it = Tessal::BeginSelectedTangents(selection); it != end; ++it) {
    const std::shared_ptr<Tangent> tangent = it->getTangent();
    if (!tangent || tangent->getType() == type) continue;
    // The walk lists curve by curve: one lookup per curve.
    if (it->getCurve().get() != run) {
      run = it->getCurve().get();
      count = &counts[run];
    }
    ++*count;
  }
  return counts;
}

const char* TypeSuffix(unsigned char type) {
  static const char* const suffixes[] = {" To Fixed",      " To Flat",    " To Linear", " To Smooth",
                                         " To SmoothNormal", " To Clamped", " To Plateau"};
  return type < std::size(suffixes) ? suffixes[type] : "";
}

// The handles of a segment that an interpolator using tangents needs, made
// Smooth and selected. An exterior segment has only one.
void SmoothAndSelect(const std::shared_ptr<Tangent>& tangent, Selection& selection) {
  if (!tangent) return;
  tangent->setType(Tessal::TangentType::Smooth);
  selection.select(*tangent);
}

}  // namespace

// ---------------------------------------------------------------- tangent type

SetTangentTypeCommand::SetTangentTypeCommand(std::shared_ptr<Selection> selection, unsigned char type)
    : QUndoCommand(nullptr), mSwaps(selection) {
  const Selection& sel = *selection;
  const auto counts = DifferingTangentsPerCurve(sel, type);
  std::size_t total = 0;
  const HitRecordIterator end = Tessal::EndSelectedCurves(sel);
  for (HitRecordIterator it = Tessal::BeginSelectedCurves(sel); it != end; ++it) {
    const std::shared_ptr<FCurve>& curve = it->getCurve();
    const auto found = counts.find(curve.get());
    if (found == counts.end()) continue;
    total += found->second;
    std::shared_ptr<FCurve> copy = FCurve::createCopy(*curve);
    // A locked curve keeps an unchanged copy: counted, and its observers
    // still hear of the command.
    if (!Tessal::IsLocked(*copy)) {
      FCurve::Switch hold(*copy);
      const FCurve::Projection last = copy->end();
      for (FCurve::Projection entry = copy->begin(); entry != last; ++entry) {
        for (const std::shared_ptr<Tangent>& tangent : {entry->getOutTangent(), entry->getInTangent()}) {
          if (!tangent || tangent->getType() == type || !sel.isSelected(*tangent)) continue;
          const std::shared_ptr<Tessal::Keyframe> key = tangent->getOwningKeyframe();
          if (key && !Tessal::IsLocked(*key)) tangent->setType(type);
        }
      }
    }
    mSwaps.addCurvePair(curve, std::move(copy));
  }
  QString text = QStringLiteral("Set Tangent Type");
  if (total > 1) text += QLatin1Char('s');
  text += QLatin1String(TypeSuffix(type));
  setText(text);
}

SetTangentTypeCommand::~SetTangentTypeCommand() = default;

void SetTangentTypeCommand::undo() { mSwaps.undo(); }

void SetTangentTypeCommand::redo() { mSwaps.redo(); }

// ---------------------------------------------------------------- segment type

SetSegmentTypeCommand::SetSegmentTypeCommand(std::shared_ptr<Selection> selection, const QString& name)
    : QUndoCommand(nullptr), mSwaps(selection) {
  Selection& sel = *selection;
  const std::string expression = name.toUtf8().toStdString();
  std::size_t total = 0;
  const HitRecordIterator end = Tessal::EndSelectedCurves(sel);
  for (HitRecordIterator it = Tessal::BeginSelectedCurves(sel); it != end; ++it) {
    const std::shared_ptr<FCurve>& curve = it->getCurve();
    std::size_t n = 0;
    {
      const FCurve::Projection last = curve->end();
      for (FCurve::Projection entry = curve->begin(); entry != last; ++entry) {
        if (sel.isSelected(*entry.segment())) ++n;
      }
    }
    if (n == 0) continue;
    total += n;
    // A name the factory does not know changes nothing: no copies at all.
    // One instance per curve, shared by every segment it changes there.
    const std::shared_ptr<Interpolator> interpolator = Tessal::InterpolatorFactory::create(expression);
    if (!interpolator) continue;
    std::shared_ptr<FCurve> copy = FCurve::createCopy(*curve);
    if (!Tessal::IsLocked(*copy) && Tessal::IsEditable(*copy)) {
      const bool tangents = interpolator->usesTangents();
      FCurve::Switch hold(*copy);
      const FCurve::Projection last = copy->end();
      for (FCurve::Projection entry = copy->begin(); entry != last; ++entry) {
        Segment& segment = *entry.segment();
        if (!sel.isSelected(segment)) continue;
        const std::shared_ptr<Interpolator>& current = segment.getInterpolator();
        if (current && current->getExpression() == expression) continue;
        segment.setInterpolator(interpolator);
        if (tangents) {
          // The copy's handles share their identities with the live
          // curve's: after the swap the live handles are the selected ones.
          SmoothAndSelect(segment.getInTangent(), sel);
          SmoothAndSelect(segment.getOutTangent(), sel);
        }
      }
    }
    mSwaps.addCurvePair(curve, std::move(copy));
  }
  QString text = QStringLiteral("Set Segment");
  // Plural for any selected segment, the singular only when there is none.
  if (total != 0) text += QLatin1Char('s');
  text += QStringLiteral(" To ");
  text += name;
  setText(text);
}

SetSegmentTypeCommand::~SetSegmentTypeCommand() = default;

void SetSegmentTypeCommand::undo() { mSwaps.undo(); }

void SetSegmentTypeCommand::redo() { mSwaps.redo(); }

ZENTHO_ARVELLE_NAMESPACE_END
