// What real input cannot reach: the host editing the curves in the middle
// of a drag, the editor going away during one, a key held down before the
// layer existed.
#include "editfixtures.h"

#include "layers/dragkeyframelayer.h"
#include "layers/dragtangentlayer.h"

#include <arvelle/layer.h>
#include <arvelle/viewport.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QUndoStack>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace Zentho::Arvelle;
using namespace Edit;

namespace {

// 100 pixels per world unit; world (x, y) is window (100 x, 1000 - 100 y).
struct DragHost : ::testing::Test {
  DragHost() {
    Layer::setSnapSettings(SnapSettings());
    QObject::connect(root.get(), &LayerManager::undoCommandGenerated, [this](QUndoCommand* c) { stack.push(c); });
    curve = MakeCurve("c", {V(1, 5), V(2, 5), V(3, 5), V(4, 5), V(5, 5)});
    curves->addCurve(curve);
    T::SelectCurveCompletely(*selection, *curve);
  }
  ~DragHost() override { T::FCurve::setChangeType(T::FCurve::Idle); }

  bool mouse(Layer& layer, QEvent::Type type, V p, Qt::MouseButton button = Qt::LeftButton) {
    const QPointF at(p.x, p.y);
    QMouseEvent e(type, at, at, type == QEvent::MouseMove ? Qt::NoButton : button, Qt::LeftButton, Qt::NoModifier);
    return layer.handleEvent(&e, viewport);
  }
  std::vector<double> xs() const {
    std::vector<double> r;
    for (const V& k : KeyPositions(*curve)) r.push_back(k.x);
    return r;
  }

  Viewport viewport{T::Rectangle<double>(0, 0, 1000, 1000), T::Rectangle<double>(0, 0, 10, 10)};
  std::shared_ptr<LayerManager> root = std::make_shared<LayerManager>("Root Layer");
  QUndoStack stack;
  std::shared_ptr<T::FCurveContainer> curves = std::make_shared<T::FCurveContainer>();
  std::shared_ptr<T::Selection> selection = std::make_shared<T::Selection>(curves);
  std::shared_ptr<T::FCurve> curve;
};

auto Xs(const std::vector<double>& want) { return ::testing::Pointwise(::testing::DoubleNear(1e-9), want); }

TEST_F(DragHost, keysRemovedByHostMidDragLeaveTheOthersMovingAndUndoable) {
  auto layer = std::make_shared<DragKeyframeLayer>(selection, true);
  root->pushLayer(layer);
  ASSERT_TRUE(mouse(*layer, QEvent::MouseButtonPress, V(100, 500)));
  mouse(*layer, QEvent::MouseMove, V(150, 500));
  curve->removeSegment(std::next(curve->begin(), 3));  // the key at x = 3
  // 100 pixels less the 3-pixel threshold.
  mouse(*layer, QEvent::MouseMove, V(200, 500));
  mouse(*layer, QEvent::MouseButtonRelease, V(200, 500));
  EXPECT_THAT(xs(), Xs({1.97, 2.97, 4.97, 5.97}));
  ASSERT_EQ(stack.count(), 1);
  EXPECT_EQ(root->numChildren(), 0u);
  EXPECT_EQ(T::FCurve::getChangeType(), T::FCurve::Idle);
  stack.undo();
  EXPECT_THAT(xs(), Xs({1, 2, 4, 5}));
}

TEST_F(DragHost, secondPressRestartsFromPresentKeysButOneUndoReturnsToGestureStart) {
  auto layer = std::make_shared<DragKeyframeLayer>(selection, true);
  root->pushLayer(layer);
  ASSERT_TRUE(mouse(*layer, QEvent::MouseButtonPress, V(100, 500)));
  mouse(*layer, QEvent::MouseMove, V(150, 500));
  ASSERT_TRUE(mouse(*layer, QEvent::MouseButtonPress, V(150, 500), Qt::RightButton));
  mouse(*layer, QEvent::MouseMove, V(250, 500));
  mouse(*layer, QEvent::MouseButtonRelease, V(250, 500));
  // 0.47 in the first phase, 0.97 in the second.
  EXPECT_THAT(xs(), Xs({2.44, 3.44, 4.44, 5.44, 6.44}));
  ASSERT_EQ(stack.count(), 1);
  EXPECT_EQ(stack.text(0).toStdString(), "Move Keyframes");
  stack.undo();
  EXPECT_THAT(xs(), Xs({1, 2, 3, 4, 5}));
  stack.redo();
  EXPECT_THAT(xs(), Xs({2.44, 3.44, 4.44, 5.44, 6.44}));
}

TEST_F(DragHost, editorDestroyedMidDragLeavesKeysWhereTheyAreAndChangeTypeIdle) {
  std::weak_ptr<DragKeyframeLayer> watch;
  {
    auto layer = std::make_shared<DragKeyframeLayer>(selection, true);
    watch = layer;
    root->pushLayer(layer);
    ASSERT_TRUE(mouse(*layer, QEvent::MouseButtonPress, V(100, 500)));
    mouse(*layer, QEvent::MouseMove, V(150, 500));
  }
  EXPECT_EQ(T::FCurve::getChangeType(), T::FCurve::Changing);
  root.reset();
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(T::FCurve::getChangeType(), T::FCurve::Idle);
  EXPECT_THAT(xs(), Xs({1.47, 2.47, 3.47, 4.47, 5.47}));
  EXPECT_EQ(stack.count(), 0);
}

TEST_F(DragHost, arrowAlreadyRepeatingWhenLayerStartsStillEndsOnRelease) {
  auto layer = std::make_shared<DragKeyframeLayer>(selection, false);
  root->pushLayer(layer);
  QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
  ASSERT_TRUE(layer->handleEvent(&repeat, viewport));
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
  layer->handleEvent(&release, viewport);
  EXPECT_EQ(root->numChildren(), 0u);
  ASSERT_EQ(stack.count(), 1);
  EXPECT_THAT(xs(), Xs({1.01, 2.01, 3.01, 4.01, 5.01}));
}

// The host changes the selection in the middle of a nudge: the keys it
// deselected were moved all the same, and undo puts them back too.
TEST_F(DragHost, keysDeselectedByHostMidNudgeComeBackWithUndo) {
  const struct {
    const char* what;
    bool clear;  // else only the first key is deselected
    int next;    // the arrow event after the host's change
    bool repeat;
    double dx;   // every key's travel
  } rows[] = {
      {"selection cleared, then a repeat", true, Qt::Key_Right, true, 0.02},
      {"one key deselected, then another arrow", false, Qt::Key_Up, false, 0.01},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    stack.clear();
    T::SelectCurveCompletely(*selection, *curve);
    const std::vector<double> before = xs();
    std::vector<double> after;
    for (double x : before) after.push_back(x + r.dx);
    auto layer = std::make_shared<DragKeyframeLayer>(selection, false);
    root->pushLayer(layer);
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    ASSERT_TRUE(layer->handleEvent(&right, viewport));
    if (r.clear) selection->clear();
    else selection->deselect(*KeyAt(*curve, 0));
    QKeyEvent next(QEvent::KeyPress, r.next, Qt::NoModifier, QString(), r.repeat);
    layer->handleEvent(&next, viewport);
    QKeyEvent release(QEvent::KeyRelease, r.next, Qt::NoModifier);
    layer->handleEvent(&release, viewport);
    EXPECT_EQ(root->numChildren(), 0u);
    EXPECT_THAT(xs(), Xs(after));
    ASSERT_EQ(stack.count(), 1);
    stack.undo();
    EXPECT_THAT(xs(), Xs(before));
    stack.redo();
    EXPECT_THAT(xs(), Xs(after));
  }
}

TEST_F(DragHost, handleWhoseKeyIsRemovedMidDragEndsWithoutCommand) {
  const auto key = KeyAt(*curve, 2);
  const auto out = key->getOutTangent();
  const V handle = key->get() + out->get();
  const V press(100 * handle.x, 1000 - 100 * handle.y);
  {
    auto layer = std::make_shared<DragTangentLayer>(selection, out);
    root->pushLayer(layer);
    ASSERT_TRUE(mouse(*layer, QEvent::MouseButtonPress, press));
    mouse(*layer, QEvent::MouseMove, press + V(0, -40));
    curve->removeSegment(std::next(curve->begin(), 3));
    mouse(*layer, QEvent::MouseMove, press + V(0, -80));
    mouse(*layer, QEvent::MouseButtonRelease, press + V(0, -80));
    EXPECT_EQ(root->numChildren(), 0u);
  }
  EXPECT_EQ(stack.count(), 0);
  EXPECT_EQ(T::FCurve::getChangeType(), T::FCurve::Idle);
  EXPECT_THAT(xs(), Xs({1, 2, 4, 5}));
}

// The drag clears both weight locks of the key it works on: undo gives them
// back, and a press that ends without a command leaves them as they were.
TEST_F(DragHost, weightLocksComeBackWithUndoAndStayWhenNothingWasDragged) {
  const struct {
    const char* what;
    int dy;          // pixels the cursor travels
    bool lockedKey;  // the press is refused
    bool command;
  } rows[] = {
      {"a drag", -40, false, true},
      {"a press without motion", 0, false, false},
      {"a press on a locked key", -40, true, false},
  };
  int keyIndex = 0;  // a key of its own for each row
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    stack.clear();
    const auto key = KeyAt(*curve, ++keyIndex);
    T::SetLocked(*key, r.lockedKey);
    const auto out = key->getOutTangent(), in = key->getInTangent();
    out->setWeightLocked(true);
    in->setWeightLocked(true);
    const auto locks = [&] { return std::make_pair(out->isWeightLocked(), in->isWeightLocked()); };
    const V handle = key->get() + out->get();
    const V press(100 * handle.x, 1000 - 100 * handle.y);
    {
      auto layer = std::make_shared<DragTangentLayer>(selection, out);
      root->pushLayer(layer);
      mouse(*layer, QEvent::MouseButtonPress, press);
      mouse(*layer, QEvent::MouseMove, press + V(0, r.dy));
      mouse(*layer, QEvent::MouseButtonRelease, press + V(0, r.dy));
      root->removeLayer(layer);
    }
    ASSERT_EQ(stack.count(), r.command ? 1 : 0);
    EXPECT_EQ(locks(), std::make_pair(!r.command, !r.command));
    if (!r.command) continue;
    stack.undo();
    EXPECT_EQ(locks(), std::make_pair(true, true));
    stack.redo();
    EXPECT_EQ(locks(), std::make_pair(false, false));
  }
}

}  // namespace
