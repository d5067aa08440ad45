#include "commands/curvecommands.h"

#include <tessal/algorithms.h>

#include <QString>

#include <cmath>
#include <iterator>
#include <limits>
#include <utility>
#include <vector>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

using Tessal::FCurve;
using Tessal::HitRecordIterator;
using Tessal::Segment;
using Tessal::Selection;

namespace {

constexpr double cBakeStep = 1.0;

struct Span {
  double x0, x1;
};

// The unlocked curves of the selected-curves walk, in walk order.
std::vector<std::shared_ptr<FCurve>> UnlockedSelectedCurves(const Selection& selection) {
  std::vector<std::shared_ptr<FCurve>> curves;
  const HitRecordIterator end = Tessal::EndSelectedCurves(selection);
  for (HitRecordIterator it = Tessal::BeginSelectedCurves(selection); it != end; ++it) {
    const std::shared_ptr<FCurve>& curve = it->getCurve();
    if (curve && !Tessal::IsLocked(*curve)) curves.push_back(curve);
  }
  return curves;
}

// Calls visit(segment, x0, x1) for every entry in key order; x0 and x1 are
// NaN where the segment has no key on that side.
template <class Visit>
void ForEachSegment(const FCurve& curve, Visit&& visit) {
  const double none = std::numeric_limits<double>::quiet_NaN();
  const FCurve::ConstProjection last = curve.end();
  for (FCurve::ConstProjection it = curve.begin(); it != last;) {
    const FCurve::ConstProjection next = std::next(it);
    const double x0 = it.key() ? it.key()->getX() : none;
    const double x1 = next != last ? next.key()->getX() : none;
    visit(*it.segment(), x0, x1);
    it = next;
  }
}

// Each selected segment with both keys, in key order; noted is whether any
// segment is selected at all (an exterior one counts).
std::vector<Span> SelectedSegments(const FCurve& curve, const Selection& selection, bool& noted) {
  std::vector<Span> spans;
  noted = false;
  ForEachSegment(curve, [&](const Segment& segment, double x0, double x1) {
    if (!selection.isSelected(segment)) return;
    noted = true;
    if (!std::isnan(x0) && !std::isnan(x1)) spans.push_back({x0, x1});
  });
  return spans;
}

// Runs of consecutive selected segments with both keys, each from its first
// left key to its last right key.
std::vector<Span> SelectedRuns(const FCurve& curve, const Selection& selection) {
  std::vector<Span> spans;
  const double none = std::numeric_limits<double>::quiet_NaN();
  double start = none, end = none;
  auto close = [&] {
    if (!std::isnan(end) && end > start) spans.push_back({start, end});
    start = end = none;
  };
  ForEachSegment(curve, [&](const Segment& segment, double x0, double x1) {
    if (std::isnan(x0) || std::isnan(x1) || !selection.isSelected(segment)) return close();
    end = x1;
    if (std::isnan(start)) start = x0;
  });
  close();
  return spans;
}

}  // namespace

// ---------------------------------------------------------------- bake

BakeCurvesCommand::BakeCurvesCommand(std::shared_ptr<Selection> selection) : SwapCurvesCommand(selection) {
  const Selection& sel = *selection;
  const std::vector<std::shared_ptr<FCurve>> curves = UnlockedSelectedCurves(sel);

  // Segment mode as soon as one unlocked curve has a selected segment; the
  // spans come from the live curve, whose keys the copy shares.
  std::vector<std::pair<std::shared_ptr<FCurve>, std::vector<Span>>> noted;
  for (const std::shared_ptr<FCurve>& curve : curves) {
    bool any = false;
    std::vector<Span> spans = SelectedSegments(*curve, sel, any);
    if (any) noted.emplace_back(curve, std::move(spans));
  }

  std::size_t count = 0;
  if (!noted.empty()) {
    for (const auto& [curve, spans] : noted) {
      std::shared_ptr<FCurve> copy = FCurve::createCopy(*curve);
      addCurvePair(curve, copy);
      // A bake only rewrites keys strictly inside its span, so the later
      // spans' keys are still where the live curve has them.
      for (const Span& span : spans) {
        Tessal::BakeCurve(*copy, span.x0, span.x1, cBakeStep);
        ++count;
      }
    }
  } else {
    for (const std::shared_ptr<FCurve>& curve : curves) {
      std::shared_ptr<FCurve> copy = FCurve::createCopy(*curve);
      addCurvePair(curve, copy);
      Tessal::BakeInterior(*copy, cBakeStep);
      ++count;
    }
  }

  QString text = QStringLiteral("Bake Curve");
  if (!noted.empty() && count > 0) text += QStringLiteral(" Segment");
  if (count > 1) text += QLatin1Char('s');
  setText(text);
}

// ---------------------------------------------------------------- smooth

SmoothCurvesCommand::SmoothCurvesCommand(std::shared_ptr<Selection> selection, int filter, int radius,
                                         double stepSize)
    : SwapCurvesCommand(selection) {
  const Selection& sel = *selection;
  std::size_t count = 0;
  for (const std::shared_ptr<FCurve>& curve : UnlockedSelectedCurves(sel)) {
    std::shared_ptr<FCurve> copy = FCurve::createCopy(*curve);
    const std::vector<Span> spans = SelectedRuns(*curve, sel);
    // The curve model refuses what it cannot do (a negative radius, an
    // unknown filter, too many keys) and leaves the copy as it was.
    if (spans.empty()) Tessal::SmoothCurveInterior(*copy, stepSize, radius, filter);
    // Smoothing keeps a span's end keys, so the later spans still start
    // and end on keys.
    for (const Span& span : spans) Tessal::SmoothCurve(*copy, span.x0, span.x1, stepSize, radius, filter);
    addCurvePair(curve, std::move(copy));
    ++count;
  }

  QString text = QStringLiteral("Smooth Curve");
  if (count > 1) text += QLatin1Char('s');
  text += QStringLiteral(" Using ");
  if (filter == Tessal::BoxFilter) text += QStringLiteral("Box");
  else if (filter == Tessal::TriangleFilter) text += QStringLiteral("Triangle");
  text += QStringLiteral(" Filter");
  setText(text);
}

// ---------------------------------------------------------------- flip

FlipCurvesCommand::FlipCurvesCommand(std::shared_ptr<Selection> selection, int type, double centreX, double centreY)
    : SwapCurvesCommand(selection) {
  std::size_t count = 0;
  for (const std::shared_ptr<FCurve>& curve : UnlockedSelectedCurves(*selection)) {
    std::shared_ptr<FCurve> copy = FCurve::createCopy(*curve);
    Tessal::FlipCurve(*copy, type, centreX, centreY);
    addCurvePair(curve, std::move(copy));
    ++count;
  }

  QString text = QStringLiteral("Flip Curve");
  if (count > 1) text += QLatin1Char('s');
  switch (type) {
    case Tessal::FlipHorizontal: text += QStringLiteral(" Horizontally"); break;
    case Tessal::FlipVertical: text += QStringLiteral(" Vertically"); break;
    case Tessal::FlipBoth: text += QStringLiteral(" In Both Axes"); break;
    default: break;
  }
  setText(text);
}

// ---------------------------------------------------------------- transform

TransformCurvesCommand::TransformCurvesCommand(std::shared_ptr<Selection> selection,
                                               const Tessal::Vector2D<double>& scale,
                                               const Tessal::Vector2D<double>& translation)
    : SwapCurvesCommand(selection) {
  std::size_t count = 0;
  for (const std::shared_ptr<FCurve>& curve : UnlockedSelectedCurves(*selection)) {
    std::shared_ptr<FCurve> copy = FCurve::createCopy(*curve);
    Tessal::TransformCurve(*copy, scale, translation);
    addCurvePair(curve, std::move(copy));
    ++count;
  }

  QString text = QStringLiteral("Transform Curve");
  if (count > 1) text += QLatin1Char('s');
  setText(text);
}

ZENTHO_ARVELLE_NAMESPACE_END
