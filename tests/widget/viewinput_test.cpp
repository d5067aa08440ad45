// Pan, zoom and the focus frame through real input on a shown widget: mouse
// events go through the window system interface, as the X server's would.
#include <arvelle/arvelle.h>

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;
using V = Zentho::Tessal::Vector2D<double>;

namespace {

class ViewInput : public ::testing::Test {
 protected:
  void SetUp() override {
    // Away from the X server's pointer, which would send its own Enter.
    widget.move(0, 0);
    widget.resize(400, 300);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    QTRY_COMPARE(viewport->getWindowBounds(), R(0, 0, 400, 300));
    window = widget.windowHandle();
    ASSERT_TRUE(window);
    viewport->setWorldBounds(R(-10, -2, 110, 4));
    standingLayers = widget.getUserLayers()->numChildren();
  }
  void TearDown() override {
    // The test library remembers held buttons across tests.
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton}) {
      if (QTestPrivate::qtestMouseButtons & b) QTest::mouseRelease(window, b, {}, QPoint(1, 1));
    }
  }

  // The mapping, written out here.
  V toWorld(V p) const {
    const R& win = viewport->getWindowBounds();
    const R& w = viewport->getWorldBounds();
    return V(w.x + (p.x - win.x) * w.width / win.width, w.y + (win.y + win.height - p.y) * w.height / win.height);
  }
  void expectUnder(V pixel, V world, double tol = 1e-9) {
    const V now = toWorld(pixel);
    EXPECT_NEAR(now.x, world.x, tol);
    EXPECT_NEAR(now.y, world.y, tol);
  }
  bool wheel(QPointF pos, int delta) {
    QWheelEvent e(pos, QPointF(widget.mapToGlobal(pos.toPoint())), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    e.ignore();
    QApplication::sendEvent(&widget, &e);
    return e.isAccepted();
  }
  void shiftMove(QPoint p) { QTest::mouseEvent(QTest::MouseMove, window, Qt::NoButton, Qt::ShiftModifier, p); }
  const R& world() const { return viewport->getWorldBounds(); }

  GraphWidget widget;
  std::shared_ptr<Viewport> viewport = widget.getViewport();
  QWindow* window = nullptr;
  // The display layers; a gesture's layer leaves when the gesture ends.
  std::size_t standingLayers = 0;
};

TEST_F(ViewInput, MiddleDragPansTheGrabbedPointAlongWithTheCursor) {
  QTest::mousePress(window, Qt::MiddleButton, {}, QPoint(100, 80));
  const V grabbed = toWorld(V(100, 80));
  const double w = world().width, h = world().height;
  QTest::mouseMove(window, QPoint(150, 60));
  expectUnder(V(150, 60), grabbed);
  QTest::mouseMove(window, QPoint(20, 250));
  expectUnder(V(20, 250), grabbed);
  QTest::mouseRelease(window, Qt::MiddleButton, {}, QPoint(20, 250));
  EXPECT_EQ(world().width, w);
  EXPECT_EQ(world().height, h);
  // The drag is over: moving on changes nothing.
  const R after = world();
  QTest::mouseMove(window, QPoint(300, 200));
  EXPECT_EQ(world(), after);
  EXPECT_EQ(widget.getUserLayers()->numChildren(), standingLayers);
}

TEST_F(ViewInput, WheelZoomsAboutTheCursorKeysAboutTheCentre) {
  const V pivot = toWorld(V(120, 75));
  EXPECT_TRUE(wheel(QPointF(120.6, 75.2), 120));  // truncated to (120, 75)
  EXPECT_NEAR(world().width, 110 / 1.25, 1e-9);
  EXPECT_NEAR(world().height, 4 / 1.25, 1e-12);
  expectUnder(V(120, 75), pivot);
  EXPECT_TRUE(wheel(QPointF(120, 75), -120));
  EXPECT_NEAR(world().width, 110, 1e-9);
  expectUnder(V(120, 75), pivot);

  const V centre = toWorld(V(200, 150));
  QTest::keyClick(&widget, Qt::Key_Plus);
  QTest::keyClick(&widget, Qt::Key_Equal);
  EXPECT_NEAR(world().width, 110 * 0.64, 1e-9);
  QTest::keyClick(&widget, Qt::Key_Minus);
  EXPECT_NEAR(world().height, 4 * 0.8, 1e-12);
  expectUnder(V(200, 150), centre);
  const R now = world();
  QTest::keyClick(&widget, Qt::Key_Q);
  EXPECT_EQ(world(), now);
}

TEST_F(ViewInput, WheelStepsReachTheLimitsOneAxisAtATime) {
  viewport->setWorldBounds(R(0, 0, 0.003, 1));
  for (int i = 0; i < 15; ++i) wheel(QPointF(200, 150), 120);
  EXPECT_EQ(world().width, 0.001);  // after five steps
  EXPECT_NEAR(world().height, std::pow(0.8, 15), 1e-12);
  viewport->setWorldBounds(R(0, 0, 20, 50000));
  for (int i = 0; i < 12; ++i) wheel(QPointF(10, 290), -120);
  EXPECT_NEAR(world().width, 20 * std::pow(1.25, 12), 1e-9);
  EXPECT_EQ(world().height, 100000);  // after four steps
}

TEST_F(ViewInput, AltRightDragZoomsAboutThePress) {
  const R start = world();
  QTest::mousePress(window, Qt::RightButton, Qt::AltModifier, QPoint(200, 150));
  const V anchor = toWorld(V(200, 150));
  QTest::mouseMove(window, QPoint(300, 150));
  EXPECT_NEAR(world().width / start.width, std::pow(0.99, 100), 1e-12);
  EXPECT_NEAR(world().height / start.height, std::pow(0.99, 100), 1e-12);
  expectUnder(V(200, 150), anchor);
  QTest::mouseMove(window, QPoint(300, 50));  // 100 up undoes 100 right
  EXPECT_NEAR(world().width, start.width, 1e-9);
  EXPECT_NEAR(world().height, start.height, 1e-12);
  QTest::mouseRelease(window, Qt::RightButton, Qt::AltModifier, QPoint(300, 50));
  EXPECT_EQ(widget.getUserLayers()->numChildren(), standingLayers);
}

TEST_F(ViewInput, ShiftLocksAZoomDragToOneAxisAfterThreePixels) {
  // (The window system drops a move that goes nowhere, so Shift is first
  // seen one pixel on.)
  QTest::mousePress(window, Qt::RightButton, Qt::AltModifier, QPoint(200, 150));
  shiftMove(QPoint(201, 150));
  const R start = world();
  const V anchor = toWorld(V(201, 150));
  shiftMove(QPoint(204, 152));  // within the delay
  EXPECT_EQ(world(), start);
  shiftMove(QPoint(241, 160));  // mostly right: width only, less the 3-pixel delay
  EXPECT_NEAR(world().width / start.width, std::pow(0.99, 37), 1e-12);
  EXPECT_EQ(world().height, start.height);
  expectUnder(V(201, 150), anchor);
  QTest::mouseRelease(window, Qt::RightButton, {}, QPoint(241, 160));

  // A second drag, mostly up: height only.
  QTest::mousePress(window, Qt::RightButton, Qt::AltModifier, QPoint(200, 150));
  shiftMove(QPoint(201, 150));
  const R second = world();
  shiftMove(QPoint(206, 100));
  EXPECT_EQ(world().width, second.width);
  EXPECT_NEAR(world().height / second.height, std::pow(0.99, -47), 1e-12);
}

TEST_F(ViewInput, RightPressDuringAPanSwitchesToZoomWithoutAJump) {
  QTest::mousePress(window, Qt::MiddleButton, {}, QPoint(100, 100));
  QTest::mouseMove(window, QPoint(130, 120));
  const R panned = world();
  QTest::mousePress(window, Qt::RightButton, {}, QPoint(130, 120));
  EXPECT_EQ(world(), panned);
  const V pivot = toWorld(V(130, 120));
  QTest::mouseMove(window, QPoint(140, 120));
  EXPECT_NEAR(world().width / panned.width, std::pow(0.99, 10), 1e-12);
  expectUnder(V(130, 120), pivot);

  // Letting go of the right button pans on from the zoomed view.
  QTest::mouseRelease(window, Qt::RightButton, {}, QPoint(140, 120));
  const R zoomed = world();
  const V grabbed = toWorld(V(140, 120));
  QTest::mouseMove(window, QPoint(90, 160));
  expectUnder(V(90, 160), grabbed);
  EXPECT_EQ(world().width, zoomed.width);
  QTest::mouseRelease(window, Qt::MiddleButton, {}, QPoint(90, 160));
  EXPECT_EQ(widget.getUserLayers()->numChildren(), standingLayers);
}

TEST_F(ViewInput, DisabledPanZoomIgnoresEveryGesture) {
  viewport->setPanZoomEnabled(false);
  const R start = world();
  EXPECT_FALSE(wheel(QPointF(100, 100), 120));
  QTest::keyClick(&widget, Qt::Key_Plus);
  QTest::keyClick(&widget, Qt::Key_Minus);
  QTest::mousePress(window, Qt::MiddleButton, {}, QPoint(100, 100));
  QTest::mouseMove(window, QPoint(150, 150));
  QTest::mouseRelease(window, Qt::MiddleButton, {}, QPoint(150, 150));
  QTest::mousePress(window, Qt::RightButton, Qt::AltModifier, QPoint(100, 100));
  QTest::mouseMove(window, QPoint(150, 150));
  QTest::mouseRelease(window, Qt::RightButton, Qt::AltModifier, QPoint(150, 150));
  EXPECT_EQ(world(), start);
  EXPECT_EQ(widget.getUserLayers()->numChildren(), standingLayers);
}

TEST_F(ViewInput, ViewAndColourChangesAskForARepaint) {
  QSignalSpy repaint(widget.getRootLayer().get(), &Layer::notifyLayerChanged);
  viewport->setWorldBounds(R(0, 0, 5, 5));
  EXPECT_EQ(repaint.count(), 1);  // the grid
  widget.getColors()->setColor(ColorRole::Grid, Qt::red);
  EXPECT_EQ(repaint.count(), 5);  // and background, grid, curves and focus frame
}

// ---------------------------------------------------------------- focus frame

// The widget embedded 20 pixels inside a host window: the pointer enters and
// leaves it as the user would move it.
TEST(FocusFrame, ShowsTheSnappingStateWhileThePointerIsIn) {
  QWidget host;
  host.move(0, 0);
  host.resize(440, 340);
  auto* widget = new GraphWidget(&host);
  widget->setGeometry(20, 20, 400, 300);
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  QTRY_COMPARE(widget->getViewport()->getWindowBounds(), R(0, 0, 400, 300));
  QWindow* window = host.windowHandle();
  const QColor background(46, 46, 46), snapping(255, 255, 51), free(0, 255, 51);
  auto pixel = [&](int x, int y) { return widget->grabFramebuffer().pixelColor(x, y); };

  QTest::mouseMove(window, QPoint(5, 5));
  EXPECT_EQ(pixel(0, 150), background);

  QTest::mouseMove(window, QPoint(220, 170));  // into the graph
  ASSERT_TRUE(widget->getSnapSettings().isSnappingX());
  const QImage img = widget->grabFramebuffer();
  for (QPoint p : {QPoint(0, 150), QPoint(399, 150), QPoint(200, 0), QPoint(200, 299)}) {
    EXPECT_EQ(img.pixelColor(p), snapping) << p.x() << "," << p.y();
  }
  widget->setSnapSettings(SnapSettings());  // neither axis snaps
  EXPECT_EQ(pixel(0, 150), free);
  SnapSettings y;
  y.setSnappingY(true);
  widget->setSnapSettings(y);
  EXPECT_EQ(pixel(0, 150), snapping);

  // An empty world has no frame, nor grid, even with the pointer in.
  const R world = widget->getViewport()->getWorldBounds();
  widget->getViewport()->setWorldBounds(R(0, 0, 0, 4));
  const QImage empty = widget->grabFramebuffer();
  for (QPoint p : {QPoint(0, 150), QPoint(200, 150), QPoint(399, 299), QPoint(10, 290)}) {
    EXPECT_EQ(empty.pixelColor(p), background) << p.x() << "," << p.y();
  }
  widget->getViewport()->setWorldBounds(world);
  EXPECT_EQ(pixel(0, 150), snapping);

  QTest::mouseMove(window, QPoint(5, 200));  // out again
  EXPECT_EQ(pixel(0, 150), background);
}

}  // namespace
