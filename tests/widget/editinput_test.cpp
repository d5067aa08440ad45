// Selecting and moving through real input on a shown widget: clicks with
// modifiers, double clicks, hover, rubber bands, keyframe and tangent drags
// and arrow nudges, then undo and redo with exact coordinates and the
// selection each restores. The view maps one world unit to 100 pixels, so
// every expected position is written out by hand.
#include "core/mapping.h"
#include "widget/showwidget.h"

#include "layers/curvelayer.h"

#include <arvelle/arvelle.h>

#include <tessal/tessal.h>

#include <QApplication>
#include <QKeyEvent>
#include <QUndoStack>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace Zentho::Arvelle;
namespace T = Zentho::Tessal;
using R = T::Rectangle<double>;
using V = T::Vector2D<double>;

namespace {

// Curve "a", Smooth bezier keys:   (0.5, 1) (1.5, 2) (2.5, 1) (3.5, 1.5)
// pixels (x 100 px per unit, y 300 - 100 y): (50, 200) (150, 100) (250, 200) (350, 150)
// Curve "b", linear keys:           (0.5, 0.5) (2, 0.5) -> pixels (50, 250) (200, 250)
class EditInput : public ::testing::Test {
 protected:
  void SetUp() override {
    a = make("a", {{0.5, 1}, {1.5, 2}, {2.5, 1}, {3.5, 1.5}}, T::Bezier::create());
    b = make("b", {{0.5, 0.5}, {2, 0.5}}, T::Linear::create());
    widget.getCurves()->addCurve(a);
    widget.getCurves()->addCurve(b);
    ASSERT_TRUE(ShowWidget(widget, 400, 300));
    window = widget.windowHandle();
    widget.getViewport()->setWorldBounds(R(0, 0, 4, 3));
    widget.setSnapSettings(SnapSettings());  // both axes free
    widget.getUndoStack()->getQUndoStack().setUndoLimit(10);
    standing = widget.getUserLayers()->numChildren();
    curvesOnly();
  }
  void TearDown() override {
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton}) {
      if (QTestPrivate::qtestMouseButtons & button) QTest::mouseRelease(window, button, {}, QPoint(1, 1));
    }
  }

  static std::shared_ptr<T::FCurve> make(const char* name, std::vector<V> keys,
                                         const std::shared_ptr<T::Interpolator>& interpolator) {
    auto c = T::FCurve::create(name);
    for (const V& k : keys) c->insertSegment(T::Keyframe(k.x, k.y), interpolator);
    return c;
  }
  std::shared_ptr<T::Keyframe> key(T::FCurve& c, std::size_t i) {
    return std::next(c.begin(), static_cast<long>(i + 1)).segment()->getLeftKey();
  }
  std::vector<V> keys(T::FCurve& c) {
    std::vector<V> v;
    for (auto it = std::next(c.begin()); it != c.end(); ++it) v.push_back(it.key()->get());
    return v;
  }
  // The selected keys as (curve name, x), in walk order.
  std::vector<std::pair<std::string, double>> selectedKeys() {
    std::vector<std::pair<std::string, double>> v;
    auto& sel = *widget.getSelection();
    for (auto it = T::BeginSelectedKeyframes(sel), end = T::EndSelectedKeyframes(sel); it != end; ++it)
      v.emplace_back(it->getCurve()->getName(), it->getKeyframe()->getX());
    return v;
  }
  // A click on an unselected curve takes the whole curve; keys are clicked once their curve is selected.
  void curvesOnly() {
    widget.getSelection()->clear();
    widget.getSelection()->select(*a);
    widget.getSelection()->select(*b);
  }
  void press(QPoint p, Qt::KeyboardModifiers m = {}) { QTest::mousePress(window, Qt::LeftButton, m, p); }
  void moveWith(QPoint p, Qt::KeyboardModifiers m) {
    QTest::mouseEvent(QTest::MouseMove, window, Qt::NoButton, m, p);
  }
  void release(QPoint p, Qt::KeyboardModifiers m = {}) { QTest::mouseRelease(window, Qt::LeftButton, m, p); }
  void drag(QPoint from, QPoint to, Qt::KeyboardModifiers m = {}) {
    press(from, m);
    // In steps, as a hand would: the first leaves the dead square.
    moveWith(from + QPoint(to.x() > from.x() ? 5 : to.x() < from.x() ? -5 : 0, to.y() > from.y() ? 5 : to.y() < from.y() ? -5 : 0), m);
    moveWith(to, m);
    release(to, m);
  }
  void sendKey(int k, Qt::KeyboardModifiers m = {}, bool autoRepeat = false, QEvent::Type type = QEvent::KeyPress) {
    QKeyEvent e(type, k, m, QString(), autoRepeat);
    QApplication::sendEvent(&widget, &e);
  }
  QUndoStack& undo() { return widget.getUndoStack()->getQUndoStack(); }
  CurveLayer& curveLayer() { return *std::static_pointer_cast<CurveLayer>(widget.getRootLayer()->findLayer("Curve Layer")); }
  // Every gesture must leave the tree as it found it and close its bracket.
  ::testing::AssertionResult idle() {
    if (widget.getUserLayers()->numChildren() != standing)
      return ::testing::AssertionFailure() << widget.getUserLayers()->numChildren() << " layers, " << standing << " standing";
    if (T::FCurve::getChangeType() != T::FCurve::Idle)
      return ::testing::AssertionFailure() << "change type " << T::FCurve::getChangeType();
    return ::testing::AssertionSuccess();
  }

  GraphWidget widget;
  QWindow* window = nullptr;
  std::shared_ptr<T::FCurve> a, b;
  std::size_t standing = 0;
};

using Keys = std::vector<std::pair<std::string, double>>;

TEST_F(EditInput, clicksSelectByModifiers) {
  const QPoint a0(50, 200), a1(150, 100), b1(200, 250);
  const struct {
    const char* what;
    std::vector<QPoint> before;  // plain clicks first
    QPoint click;
    Qt::KeyboardModifiers mods;
    Keys want;
  } rows[] = {
      {"plain click selects one key", {}, a1, {}, {{"a", 1.5}}},
      {"plain click replaces", {a0}, a1, {}, {{"a", 1.5}}},
      {"shift adds", {a0}, a1, Qt::ShiftModifier, {{"a", 0.5}, {"a", 1.5}}},
      {"shift adds across curves", {a1}, b1, Qt::ShiftModifier, {{"a", 1.5}, {"b", 2}}},
      {"ctrl on a selected key removes it", {a0}, a0, Qt::ControlModifier, {}},
      {"ctrl on an unselected key changes nothing", {a0}, a1, Qt::ControlModifier, {{"a", 0.5}}},
      {"a plain click on a selected key keeps the others", {a0}, a0, {}, {{"a", 0.5}}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    curvesOnly();
    for (QPoint p : r.before) QTest::mouseClick(window, Qt::LeftButton, {}, p);
    QTest::mouseClick(window, Qt::LeftButton, r.mods, r.click);
    EXPECT_EQ(selectedKeys(), r.want);
    EXPECT_TRUE(idle());
  }
  // Shift then a plain click on one of two selected keys keeps both.
  curvesOnly();
  QTest::mouseClick(window, Qt::LeftButton, {}, a0);
  QTest::mouseClick(window, Qt::LeftButton, Qt::ShiftModifier, a1);
  QTest::mouseClick(window, Qt::LeftButton, {}, a1);
  EXPECT_EQ(selectedKeys(), (Keys{{"a", 0.5}, {"a", 1.5}}));
  EXPECT_EQ(undo().count(), 0) << "clicks are not undoable";
  // On an unselected curve a click takes the curve, not the key.
  widget.getSelection()->clear();
  QTest::mouseClick(window, Qt::LeftButton, {}, a1);
  EXPECT_TRUE(widget.getSelection()->isSelected(*a));
  EXPECT_TRUE(selectedKeys().empty());
}

TEST_F(EditInput, doubleClickSelectsTheWholeCurveButItsExteriorsAndEmptySpaceClears) {
  QTest::mouseDClick(window, Qt::LeftButton, {}, QPoint(100, 138));  // on a, halfway between its first keys
  auto& sel = *widget.getSelection();
  EXPECT_TRUE(sel.isSelected(*a));
  EXPECT_EQ(selectedKeys(), (Keys{{"a", 0.5}, {"a", 1.5}, {"a", 2.5}, {"a", 3.5}}));
  EXPECT_FALSE(sel.isSelected(*a->begin().segment()) || sel.isSelected(*std::prev(a->end()).segment()));
  EXPECT_TRUE(sel.isSelected(*std::next(a->begin()).segment()));
  EXPECT_TRUE(idle());
  // A click on empty space clears.
  QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(380, 20));
  EXPECT_TRUE(sel.empty());
  EXPECT_TRUE(idle());
}

TEST_F(EditInput, hoverHighlightsWhatIsUnderThePointerButNothingOfALockedCurve) {
  widget.getSelection()->select(*a);
  QTest::mouseMove(window, QPoint(152, 99));
  EXPECT_EQ(curveLayer().getHighlight(), T::HitRecord(key(*a, 1)));
  QTest::mouseMove(window, QPoint(380, 20));
  EXPECT_TRUE(curveLayer().getHighlight().isEmpty());
  a->setLocked(true);
  QTest::mouseMove(window, QPoint(150, 100));
  EXPECT_TRUE(curveLayer().getHighlight().isEmpty());
}

TEST_F(EditInput, aBandSelectsWhatItCoversAndOtherButtonsFallThrough) {
  // Over the first two keys of both curves.
  drag(QPoint(20, 60), QPoint(160, 270));
  EXPECT_EQ(selectedKeys(), (Keys{{"a", 0.5}, {"a", 1.5}, {"b", 0.5}}));
  EXPECT_TRUE(idle());
  // Shift adds a further band (started away from curve a, which passes close above the key at 2.5); a right press
  // on empty space is not the curve layer's.
  drag(QPoint(270, 180), QPoint(240, 215), Qt::ShiftModifier);
  EXPECT_EQ(selectedKeys(), (Keys{{"a", 0.5}, {"a", 1.5}, {"a", 2.5}, {"b", 0.5}}));
  int menus = 0;
  CloseNextPopup(menus);
  QTest::mouseClick(window, Qt::RightButton, {}, QPoint(380, 20));
  EXPECT_EQ(menus, 1) << "the context menu's";
  EXPECT_EQ(selectedKeys().size(), 4u);
  EXPECT_TRUE(idle());
}

TEST_F(EditInput, keyDragsStopAtNeighboursAndUndoRedoAreExact) {
  const auto start = keys(*a);
  QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(150, 100));
  // 400 px right: far past the key at 2.5; the key stops the separation short of it.
  drag(QPoint(150, 100), QPoint(550, 100));
  std::vector<V> moved = start;
  moved[1] = V(2.5 - T::Keyframe::getMinSeparation(), 2);
  EXPECT_EQ(keys(*a), moved);
  ASSERT_EQ(undo().count(), 1);
  EXPECT_EQ(undo().text(0), "Move Keyframe");
  EXPECT_TRUE(idle());
  undo().undo();
  EXPECT_EQ(keys(*a), start);
  EXPECT_TRUE(idle());
  undo().redo();
  EXPECT_EQ(keys(*a), moved);
  EXPECT_EQ(selectedKeys(), (Keys{{"a", moved[1].x}}));
  EXPECT_TRUE(idle());
}

TEST_F(EditInput, dragModifiersThresholdAndSnapping) {
  // The first motion leaves the 3-pixel square 5 px right; the 3 px the square absorbed are not counted, so
  // (190, 120) moves the key 37 px right and 20 px down.
  const struct {
    const char* what;
    Qt::KeyboardModifiers mods;
    QPoint first, to;
    V want;  // the dragged key (1.5, 2) afterwards
  } rows[] = {
      {"free", {}, QPoint(155, 100), QPoint(190, 120), V(1.5 + 0.37, 2 - 0.2)},
      {"shift locks to the first motion's axis", Qt::ShiftModifier, QPoint(155, 100), QPoint(190, 120), V(1.87, 2)},
      {"within the dead square nothing moves", {}, QPoint(151, 101), QPoint(152, 103), V(1.5, 2)},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    curvesOnly();
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(150, 100));
    const int commands = undo().index();
    press(QPoint(150, 100), r.mods);
    moveWith(r.first, r.mods);
    moveWith(r.to, r.mods);
    release(r.to, r.mods);
    const V got = key(*a, 1)->get();
    EXPECT_NEAR(got.x, r.want.x, 1e-12);
    EXPECT_NEAR(got.y, r.want.y, 1e-12);
    EXPECT_EQ(undo().index(), commands + (r.want == V(1.5, 2) ? 0 : 1));
    EXPECT_TRUE(idle());
    while (undo().canUndo()) undo().undo();
  }
  // Snapping x at 0.25 and Control held during the drag turning it off.
  SnapSettings quarter;
  quarter.setSnappingX(true);
  quarter.setIncrementX(0.25);
  widget.setSnapSettings(quarter);
  curvesOnly();
  QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(150, 100));
  drag(QPoint(150, 100), QPoint(170, 100));  // 0.17 -> 1.67 snaps to 1.75
  // Snapping rounds in single precision: multiples to about 1e-7.
  const double snapped = key(*a, 1)->getX();
  EXPECT_NEAR(snapped, 1.75, 1e-6);
  press(QPoint(175, 100));
  moveWith(QPoint(180, 100), {});
  sendKey(Qt::Key_Control);
  moveWith(QPoint(195, 100), {});
  EXPECT_NEAR(key(*a, 1)->getX(), snapped + 0.17, 1e-12) << "Control turned snapping off";
  sendKey(Qt::Key_Control, {}, false, QEvent::KeyRelease);
  moveWith(QPoint(196, 100), {});
  EXPECT_NEAR(key(*a, 1)->getX(), 2.0, 1e-6) << "released, snapping comes back";
  release(QPoint(196, 100));
  EXPECT_TRUE(idle());
}

TEST_F(EditInput, arrowKeysNudgeByAPixelOrAnIncrementAndAutoRepeatIsOneUndoStep) {
  QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(150, 100));
  sendKey(Qt::Key_Right);
  sendKey(Qt::Key_Right, {}, true);
  sendKey(Qt::Key_Right, {}, true);
  sendKey(Qt::Key_Right, {}, false, QEvent::KeyRelease);
  EXPECT_NEAR(key(*a, 1)->getX(), 1.53, 1e-12);
  EXPECT_EQ(undo().count(), 1);
  EXPECT_TRUE(idle());
  sendKey(Qt::Key_Down);
  sendKey(Qt::Key_Down, {}, false, QEvent::KeyRelease);
  EXPECT_NEAR(key(*a, 1)->getY(), 1.99, 1e-12);
  SnapSettings tenth;
  tenth.setSnappingX(true);
  tenth.setIncrementX(0.1);
  widget.setSnapSettings(tenth);
  sendKey(Qt::Key_Left);
  sendKey(Qt::Key_Left, {}, false, QEvent::KeyRelease);
  EXPECT_NEAR(key(*a, 1)->getX(), 1.4, 1e-6) << "from 1.53 one increment left, on the 0.1 grid";
  EXPECT_EQ(undo().count(), 3);
  while (undo().canUndo()) undo().undo();
  EXPECT_EQ(key(*a, 1)->get(), V(1.5, 2));
  EXPECT_TRUE(idle());
}

TEST_F(EditInput, aTangentDragTurnsTheUnifiedPairAndUndoRestoresOffsetsTypesAndTheFlag) {
  QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(150, 100));
  auto k = key(*a, 1);
  const V in0 = k->getInTangent()->get(), out0 = k->getOutTangent()->get();
  ASSERT_NEAR(out0.x, 1.0 / 3, 1e-12);
  // The out-handle's grip: 33 px right of the key, 8 px beyond its end.
  drag(QPoint(191, 100), QPoint(191, 60));
  const V out1 = k->getOutTangent()->get(), in1 = k->getInTangent()->get();
  EXPECT_GT(out1.y, 0.2) << "dragged up";
  EXPECT_NEAR(in1.x * out1.y - in1.y * out1.x, 0, 1e-9) << "the in-handle turned in line";
  EXPECT_LT(in1.x, 0);
  EXPECT_NEAR(in1.length() / out1.length(), in0.length() / out0.length(), 1e-9) << "their length ratio kept";
  EXPECT_EQ(k->getOutTangent()->getType(), T::TangentType::Fixed);
  EXPECT_TRUE(k->isTangentsUnified());
  ASSERT_EQ(undo().count(), 1);
  EXPECT_EQ(undo().text(0), "Move Tangent");
  EXPECT_TRUE(idle());
  undo().undo();
  EXPECT_EQ(k->getInTangent()->get(), in0);
  EXPECT_EQ(k->getOutTangent()->get(), out0);
  EXPECT_EQ(k->getOutTangent()->getType(), T::TangentType::Smooth);
  EXPECT_EQ(k->getInTangent()->getType(), T::TangentType::Smooth);
  EXPECT_TRUE(k->isTangentsUnified());
  undo().redo();
  EXPECT_EQ(k->getOutTangent()->get(), out1);
  EXPECT_EQ(k->getInTangent()->get(), in1);
  EXPECT_TRUE(idle());
  // Alt breaks the pair: the in-handle stays, and the key ends broken. A Fixed handle shows 24 px long, its grip
  // 8 px further.
  const V u = V(out1.x, -out1.y) / V(out1.x, -out1.y).length();
  press(QPoint(static_cast<int>(std::lround(150 + 32 * u.x)), static_cast<int>(std::lround(100 + 32 * u.y))));
  moveWith(QPoint(200, 120), Qt::AltModifier);
  moveWith(QPoint(205, 130), Qt::AltModifier);
  release(QPoint(205, 130), Qt::AltModifier);
  EXPECT_EQ(k->getInTangent()->get(), in1);
  EXPECT_FALSE(k->isTangentsUnified());
  EXPECT_TRUE(idle());
}

TEST_F(EditInput, gesturesSurviveTheHostDeletingKeysAndASecondButton) {
  QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(50, 200));
  QTest::mouseClick(window, Qt::LeftButton, Qt::ShiftModifier, QPoint(150, 100));
  press(QPoint(150, 100));
  moveWith(QPoint(160, 100), {});
  // The host removes a dragged key.
  a->removeSegment(std::next(a->begin()));
  moveWith(QPoint(170, 100), {});
  QTest::mousePress(window, Qt::RightButton, {}, QPoint(170, 100));
  QTest::mouseRelease(window, Qt::RightButton, {}, QPoint(170, 100));
  moveWith(QPoint(180, 100), {});
  release(QPoint(180, 100));
  EXPECT_EQ(a->numKeys(), 3u);
  EXPECT_TRUE(idle());
  for (std::size_t i = 1; i < a->numKeys(); ++i) EXPECT_LT(key(*a, i - 1)->getX(), key(*a, i)->getX());
  while (undo().canUndo()) undo().undo();
  EXPECT_EQ(a->numKeys(), 3u);
  EXPECT_TRUE(idle());
}

// An arrow pressed during a rubber band or a tangent drag starts a nudge on
// top of it; the mouse release still reaches the gesture underneath.
TEST_F(EditInput, aNudgeDuringAMouseGestureLetsTheReleaseThrough) {
  QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(150, 100));
  for (QPoint from : {QPoint(380, 20), QPoint(191, 100)}) {
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(150, 100));
    ASSERT_EQ(selectedKeys().size(), 1u);
    // Shift keeps the key selected: the band adds, the handle joins it.
    press(from, Qt::ShiftModifier);
    moveWith(from + QPoint(0, 20), Qt::ShiftModifier);
    sendKey(Qt::Key_Up);
    EXPECT_EQ(widget.getUserLayers()->numChildren(), standing + 2) << "a band or a tangent drag, and a nudge";
    release(from + QPoint(0, 20), Qt::ShiftModifier);
    sendKey(Qt::Key_Up, {}, false, QEvent::KeyRelease);
    EXPECT_TRUE(idle()) << "from " << from.x() << "," << from.y();
  }
}

// A command from a key or the menu mid-gesture comes after the gesture's
// own: two undo steps, each giving back its scene exactly.
TEST_F(EditInput, aCommandDuringANudgeOrDragEndsTheGestureFirst) {
  const std::vector<V> before = keys(*a);
  struct Row {
    const char* label;
    bool mouse;                       // a mouse drag, else an arrow nudge
    std::function<void()> command;
  };
  const Row rows[] = {
      {"Delete during a nudge", false, [&] { sendKey(Qt::Key_Delete); }},
      {"tangent type during a drag", true, [&] { widget.triggerSetTangentType(T::TangentType::Flat); }},
  };
  for (const Row& row : rows) {
    undo().clear();
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(150, 100));
    if (row.mouse) {
      press(QPoint(150, 100));
      moveWith(QPoint(155, 100), {});
      moveWith(QPoint(175, 100), {});
    } else {
      sendKey(Qt::Key_Right);
      sendKey(Qt::Key_Right, {}, true);
    }
    const std::vector<V> moved = keys(*a);
    row.command();
    EXPECT_TRUE(idle()) << row.label;
    if (row.mouse) release(QPoint(175, 100));
    else sendKey(Qt::Key_Right, {}, false, QEvent::KeyRelease);
    ASSERT_EQ(undo().count(), 2) << row.label;
    undo().undo();
    EXPECT_EQ(keys(*a), moved) << row.label;
    undo().undo();
    EXPECT_EQ(keys(*a), before) << row.label;
    EXPECT_TRUE(idle()) << row.label;
  }
}

TEST_F(EditInput, hidingTheWidgetEndsADragAndANudgeAsTheirReleasesWould) {
  QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(150, 100));
  press(QPoint(150, 100));
  moveWith(QPoint(155, 100), {});
  moveWith(QPoint(175, 100), {});
  widget.hide();
  EXPECT_TRUE(idle());
  EXPECT_NEAR(key(*a, 1)->getX(), 1.72, 1e-12);  // 25 px less the 3 the dead square absorbed
  ASSERT_EQ(undo().index(), 1);
  ASSERT_TRUE(ShowWidget(widget, 400, 300));
  window = widget.windowHandle();
  sendKey(Qt::Key_Up);
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(&widget, &out);
  EXPECT_TRUE(idle());
  EXPECT_EQ(undo().index(), 2);
  undo().undo();
  undo().undo();
  EXPECT_EQ(key(*a, 1)->get(), V(1.5, 2));
}

}  // namespace
