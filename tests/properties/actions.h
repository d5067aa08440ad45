// Every edit command as a user makes it: the menu commands built over the
// selection and pushed, the drags run through their real layers with mouse
// and key events, insertion by its command and through the insertion
// routine, copy then paste, the dialogs' commands with random parameters.
// Each pushes at most one command onto the stage's undo stack.
#pragma once

#include "properties/scenes.h"

#include <arvelle/layer.h>
#include <arvelle/undostack.h>
#include <arvelle/viewport.h>

#include <functional>
#include <memory>

namespace Props {

namespace A = Zentho::Arvelle;

enum class Kind {
  MoveKeyframes,
  MoveTangent,
  DeleteKeyframes,
  BreakdownKeyframes,
  LockKeyframes,
  WeightedTangents,
  SetTangentType,
  SetSegmentType,
  InsertSegment,
  InsertKeyframeAt,
  BakeCurves,
  SmoothCurves,
  FlipCurves,
  TransformCurves,
  PasteKeyframes,
};
constexpr int kKinds = 15;
const char* Name(Kind kind);

// The curves, the selection, a 1000 x 800 pixel view and the undo stack,
// with the root layer that relays the layers' commands to it.
struct Stage {
  explicit Stage(int undoLimit);
  ~Stage();
  Stage(const Stage&) = delete;
  Stage& operator=(const Stage&) = delete;

  QUndoStack& stack() { return undo->getQUndoStack(); }
  // Called when a command reaches the stack, before it is pushed; cleared
  // after each push.
  void push(QUndoCommand* command);

  std::shared_ptr<T::FCurveContainer> curves = std::make_shared<T::FCurveContainer>();
  std::shared_ptr<T::Selection> selection = std::make_shared<T::Selection>(curves);
  A::Viewport viewport;
  std::shared_ptr<A::LayerManager> root = std::make_shared<A::LayerManager>("Root Layer");
  std::shared_ptr<A::UndoStack> undo = std::make_shared<A::UndoStack>();
  std::function<void()> beforePush;
  int pushes = 0;
};

// Performs one edit of the kind. mark() is called once, at the moment whose
// scene and selection the command's undo must give back: before a drag
// begins, before a command is built, and for an insertion when its command
// arrives (the insertion routine selects the target curve first, and that
// selection is not part of the undo step). Returns whether a command was
// pushed; mark() may have been called either way.
bool Perform(Kind kind, Stage& stage, Rng& rng, const std::function<void()>& mark);

}  // namespace Props
