// The whole-curve commands: bake, smooth, flip and scale-and-offset. Each is
// a SwapCurvesCommand whose constructor copies every unlocked selected curve,
// runs the curve-model algorithm on the copy, registers the pair and sets
// the text; undo and redo only swap.
#pragma once

#include "commands/swapcurvescommand.h"

#include <arvelle/version.h>

#include <tessal/selection.h>
#include <tessal/types.h>

#include <memory>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

// Step 1.0: the selected segments of the first curves that have any
// ("Bake Curve Segment"(s)), otherwise each curve's interior ("Bake Curve"(s)).
class BakeCurvesCommand : public SwapCurvesCommand {
 public:
  explicit BakeCurvesCommand(std::shared_ptr<Tessal::Selection> selection);
};

// filter: 0 box, 1 triangle. Each run of selected segments is one span; a
// curve without selected segments is smoothed over its interior.
class SmoothCurvesCommand : public SwapCurvesCommand {
 public:
  SmoothCurvesCommand(std::shared_ptr<Tessal::Selection> selection, int filter, int radius, double stepSize);
};

// type: 0 horizontally (x about centre x), 1 vertically, 2 both.
class FlipCurvesCommand : public SwapCurvesCommand {
 public:
  FlipCurvesCommand(std::shared_ptr<Tessal::Selection> selection, int type, double centreX, double centreY);
};

// x' = scale.x x + translation.x, y' = scale.y y + translation.y.
class TransformCurvesCommand : public SwapCurvesCommand {
 public:
  TransformCurvesCommand(std::shared_ptr<Tessal::Selection> selection, const Tessal::Vector2D<double>& scale,
                         const Tessal::Vector2D<double>& translation);
};

ZENTHO_ARVELLE_NAMESPACE_END
