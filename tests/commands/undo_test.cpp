#include "editfixtures.h"

#include "commands/insertsegmentcommand.h"
#include "commands/movekeyframescommand.h"
#include "commands/movetangentcommand.h"
#include "commands/swapcurvescommand.h"

#include <arvelle/snapsettings.h>

#include <QUndoStack>

#include <gtest/gtest.h>

using namespace Zentho::Arvelle;
using namespace Edit;

namespace {

void OpenBracket(T::Selection& selection) {
  T::FCurve::setChangeType(T::FCurve::AboutToChange);
  T::NotifyCurveChanges(selection);
  T::FCurve::setChangeType(T::FCurve::Changing);
}

// What a keyframe drag leaves for the stack: the keys moved live under an
// open bracket, and a command built from where they started.
MoveKeyframesCommand* DragKeys(const std::shared_ptr<T::Selection>& selection, const SnapSettings& snap, V delta) {
  const auto begin = T::BeginSelectedKeyframes(*selection), end = T::EndSelectedKeyframes(*selection);
  std::vector<V> start;
  for (auto it = begin; it != end; ++it) start.push_back(it->getKeyframe()->get());
  OpenBracket(*selection);
  {
    T::FCurve::Switch hold;
    MoveSelectedKeyframes(begin, end, snap, V(0.01, 0.01), T::Rectangle<double>(), delta.x, delta.y);
  }
  return new MoveKeyframesCommand(selection, start, snap, V(0.01, 0.01), T::Rectangle<double>(), delta.x, delta.y);
}

// The same for a handle: the pair broken while it is dragged, the opposite
// turned along unless Alt broke the pair for good.
MoveTangentCommand* DragHandle(const std::shared_ptr<T::Selection>& selection,
                               const std::shared_ptr<T::Tangent>& tangent, V value, bool breakPair) {
  const HandlePair before = HandlePair::Of(*tangent);
  const auto key = tangent->getOwningKeyframe();
  const bool unified = key->isTangentsUnified() && !breakPair;
  OpenBracket(*selection);
  key->setTangentsUnified(false);
  tangent->set(value);
  if (unified) tangent->getOppositeTangent()->set(value * -0.5);
  HandlePair after = HandlePair::Of(*tangent);
  after.unified = unified;
  return new MoveTangentCommand(selection, tangent, before, after);
}

struct Moment {
  std::vector<std::vector<KeyState>> curves;
  std::vector<T::HitRecord> selection;
};

TEST(EditCommands, UndoAllThenRedoAllRestoresEveryStateExactly) {
  Scene s;
  QUndoStack stack;
  stack.setUndoLimit(10);
  std::vector<Moment> before, after;
  auto push = [&](QUndoCommand* command) {
    stack.push(command);
    after.push_back({s.state(), s.selected()});
  };
  auto built = [&] { before.push_back({s.state(), s.selected()}); };

  s.selectKeys(s.a, {1, 2});
  built();
  push(DragKeys(s.selection, SnapSettings(), V(0.5, 1)));

  // Snapped and stopped by the unselected last key of b.
  s.selection->clear();
  s.selectKeys(s.b, {1, 2, 3});
  built();
  push(DragKeys(s.selection, SnapX(0.5), V(3.3, 0.25)));

  s.selection->clear();
  s.selection->select(*s.a);
  const auto out = KeyAt(*s.a, 3)->getOutTangent();
  s.selection->select(*out);
  built();
  push(DragHandle(s.selection, out, V(0.4, 1.2), false));
  EXPECT_TRUE(KeyAt(*s.a, 3)->isTangentsUnified()) << "the first redo gives the pair back its flag";

  const auto broken = KeyAt(*s.b, 0)->getOutTangent();
  s.selection->select(*broken);
  built();
  push(DragHandle(s.selection, broken, V(0.3, -0.6), true));
  EXPECT_FALSE(KeyAt(*s.b, 0)->isTangentsUnified());

  s.selection->clear();
  s.selectKeys(s.b, {4});
  built();
  auto* swap = new SwapCurvesCommand(s.selection);
  auto copy = T::FCurve::createCopy(s.b);
  {
    T::FCurve::Switch hold;
    for (auto it = std::next(copy->begin()); it != copy->end(); ++it) it.key()->set(it.key()->getX(), -1);
  }
  swap->addCurvePair(s.b, copy);
  push(swap);

  ASSERT_EQ(stack.count(), 5);
  for (int i = 4; i >= 0; --i) {
    SCOPED_TRACE("undo of command " + std::to_string(i));
    stack.undo();
    EXPECT_EQ(s.state(), before[i].curves);
    EXPECT_EQ(s.selected(), before[i].selection);
  }
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE("redo of command " + std::to_string(i));
    stack.redo();
    EXPECT_EQ(s.state(), after[i].curves);
    EXPECT_EQ(s.selected(), after[i].selection);
  }
}

TEST(EditCommands, ObserversHearOneBracketPerCommandShape) {
  Scene s;
  QUndoStack stack;
  ChangeLog log;
  using Log = std::vector<std::string>;

  s.selectKeys(s.a, {1});
  s.selectKeys(s.b, {2});
  QUndoCommand* move = DragKeys(s.selection, SnapSettings(), V(0.25, 0));
  log.take();
  stack.push(move);
  EXPECT_EQ(log.take(), (Log{"a:3", "b:3"})) << "the first redo only closes the drag's bracket";
  stack.undo();
  EXPECT_EQ(log.take(), (Log{"a:1", "b:1", "a:3", "b:3"})) << "one bracket around all selected curves";
  stack.redo();
  EXPECT_EQ(log.take(), (Log{"a:1", "b:1", "a:3", "b:3"}));
  EXPECT_EQ(T::FCurve::getChangeType(), T::FCurve::Idle);

  s.selection->clear();
  s.selection->select(*s.a);
  QUndoCommand* handle = DragHandle(s.selection, KeyAt(*s.a, 2)->getInTangent(), V(-0.5, 0.5), false);
  log.take();
  stack.push(handle);
  EXPECT_EQ(log.take(), (Log{"a:3"}));
  stack.undo();
  EXPECT_EQ(log.take(), (Log{"a:1", "a:3"}));
  stack.redo();
  EXPECT_EQ(log.take(), (Log{"a:1", "a:3"}));
  EXPECT_EQ(T::FCurve::getChangeType(), T::FCurve::Idle);

  auto* swap = new SwapCurvesCommand(s.selection);
  swap->addCurvePair(s.a, T::FCurve::createCopy(s.a));
  swap->addCurvePair(s.b, T::FCurve::createCopy(s.b));
  stack.push(swap);
  EXPECT_EQ(log.take(), (Log{"a:1", "a:3", "b:1", "b:3"})) << "one bracket per curve, in the order added";
  stack.undo();
  EXPECT_EQ(log.take(), (Log{"a:1", "a:3", "b:1", "b:3"}));
  EXPECT_EQ(T::FCurve::getChangeType(), T::FCurve::Idle);
}

TEST(SwapCurvesCommand, SwapsEveryPairAndRestoresTheSelectionOfEachSide) {
  Scene s;
  QUndoStack stack;
  s.selectKeys(s.a, {1});
  const auto selectedAtBuild = s.selected();
  const auto oldA = StateOf(*s.a), oldB = StateOf(*s.b);

  auto* swap = new SwapCurvesCommand(s.selection);
  auto copyA = T::FCurve::createCopy(s.a), copyB = T::FCurve::createCopy(s.b);
  copyA->removeSegment(std::next(copyA->begin(), 2));
  KeyAt(*copyB, 0)->set(-1, 9);
  const auto newA = StateOf(*copyA), newB = StateOf(*copyB);
  swap->addCurvePair(s.a, copyA);
  swap->addCurvePair(s.b, copyB);
  EXPECT_TRUE(swap->text().isEmpty());

  s.selectKeys(s.b, {3});
  stack.push(swap);
  // What the first redo recorded: b's key 3, selected after the command was
  // built; a's key 1 is gone with the swap.
  const auto selectedAtPush = s.selected();
  EXPECT_TRUE(s.selection->isSelected(*KeyAt(*s.b, 3)));
  EXPECT_EQ(StateOf(*s.a), newA);
  EXPECT_EQ(StateOf(*s.b), newB);
  EXPECT_EQ(StateOf(*copyA), oldA) << "the copy holds the previous content";

  s.selection->clear();
  stack.undo();
  EXPECT_EQ(StateOf(*s.a), oldA);
  EXPECT_EQ(StateOf(*s.b), oldB);
  EXPECT_EQ(s.selected(), selectedAtBuild);
  s.selection->clear();
  stack.redo();
  EXPECT_EQ(StateOf(*s.a), newA);
  EXPECT_EQ(s.selected(), selectedAtPush);

  // Without pairs it still takes its place and restores selections only.
  const auto curves = s.state();
  stack.push(new SwapCurvesCommand(s.selection));
  ASSERT_EQ(stack.count(), 2);
  s.selection->clear();
  stack.undo();
  EXPECT_EQ(s.selected(), selectedAtPush);
  EXPECT_EQ(s.state(), curves);
}

// Like every other command, a later redo leaves the selection the first one
// left, whatever was selected before it.
TEST(InsertSegmentCommand, LaterRedoLeavesTheSelectionOfTheFirst) {
  Scene s;
  QUndoStack stack;
  s.selectKeys(s.a, {0});
  s.selectKeys(s.b, {1});
  stack.push(new InsertSegmentCommand(s.selection, s.a, T::Bezier::create(), V(2.5, s.a->eval(2.5)),
                                      V(2.5, s.a->eval(2.5))));
  ASSERT_EQ(s.a->numKeys(), 6u);
  const auto selectedAtPush = s.selected();
  stack.undo();
  s.selection->clear();
  s.selection->select(*KeyAt(*s.b, 4));
  stack.redo();
  EXPECT_EQ(s.selected(), selectedAtPush);
}

TEST(MoveTangentCommand, PlainFormRestoresOldOffsetsWithTheTypesOfNow) {
  Scene s;
  QUndoStack stack;
  const auto key = KeyAt(*s.a, 2);
  key->setTangentsUnified(false);
  const V oldIn = key->getInTangent()->get(), oldOut = key->getOutTangent()->get();
  key->getOutTangent()->set(0.5, 0.5);
  const unsigned char outType = key->getOutTangent()->getType();
  stack.push(new MoveTangentCommand(s.selection, key->getOutTangent(), oldOut, oldIn));
  stack.undo();
  EXPECT_EQ(key->getOutTangent()->get(), oldOut);
  EXPECT_EQ(key->getInTangent()->get(), oldIn);
  EXPECT_EQ(key->getOutTangent()->getType(), outType) << "the handle keeps the Fixed type it has now";
  stack.redo();
  EXPECT_EQ(key->getOutTangent()->get(), V(0.5, 0.5));
}

}  // namespace
