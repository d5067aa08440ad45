// A shown widget: pan, zoom and the focus frame through real input (mouse
// events go through the window system interface, as the X server's would),
// and the grid it paints.
#include "core/mapping.h"
#include "widget/showwidget.h"

#include <arvelle/arvelle.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QWheelEvent>

#include <cmath>
#include <memory>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;
using V = Zentho::Tessal::Vector2D<double>;

namespace {

class ViewInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ShowWidget(widget, 400, 300));
    window = widget.windowHandle();
    viewport->setWorldBounds(R(-10, -2, 110, 4));
    standingLayers = widget.getUserLayers()->numChildren();
  }
  void TearDown() override {
    // The test library remembers held buttons across tests.
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton}) {
      if (QTestPrivate::qtestMouseButtons & b) QTest::mouseRelease(window, b, {}, QPoint(1, 1));
    }
  }
  V toWorld(V p) const { return ToWorld(*viewport, p); }
  void expectUnder(V pixel, V world) {
    const V now = toWorld(pixel);
    EXPECT_NEAR(now.x, world.x, 1e-9);
    EXPECT_NEAR(now.y, world.y, 1e-9);
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
  const R start = world();
  QTest::mouseMove(window, QPoint(150, 60));
  expectUnder(V(150, 60), grabbed);
  QTest::mouseMove(window, QPoint(20, 250));
  expectUnder(V(20, 250), grabbed);
  QTest::mouseRelease(window, Qt::MiddleButton, {}, QPoint(20, 250));
  EXPECT_EQ(world().width, start.width);
  EXPECT_EQ(world().height, start.height);
  // The drag is over: moving on changes nothing.
  const R after = world();
  QTest::mouseMove(window, QPoint(300, 200));
  EXPECT_EQ(world(), after);
  EXPECT_EQ(widget.getUserLayers()->numChildren(), standingLayers);
}

TEST_F(ViewInput, WheelZoomsAboutTheCursorKeysAboutTheCentre) {
  const V pivot = toWorld(V(120, 75));
  EXPECT_TRUE(wheel(QPointF(120.6, 75.2), 120));  // truncated to (120, 75)
  EXPECT_NEAR(world().width, 110 * 0.8, 1e-9);
  EXPECT_NEAR(world().height, 4 * 0.8, 1e-12);
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

TEST_F(ViewInput, WheelStepsStopAtTheLimitsOneAxisAtATime) {
  viewport->setWorldBounds(R(0, 0, 0.003, 1));
  for (int i = 0; i < 15; ++i) wheel(QPointF(200, 150), 120);
  EXPECT_EQ(world().width, 0.001);  // after five steps
  EXPECT_NEAR(world().height, std::pow(0.8, 15), 1e-12);
  viewport->setWorldBounds(R(0, 0, 20, 50000));
  for (int i = 0; i < 12; ++i) wheel(QPointF(10, 290), -120);
  EXPECT_NEAR(world().width, 20 * std::pow(1.25, 12), 1e-9);
  EXPECT_EQ(world().height, 100000);  // after four steps
}

TEST_F(ViewInput, ShiftLocksAZoomDragToTheAxisOfItsFirstMotion) {
  // (The window system drops a move that goes nowhere, so Shift is first
  // seen one pixel on.)
  QTest::mousePress(window, Qt::RightButton, Qt::AltModifier, QPoint(200, 150));
  shiftMove(QPoint(201, 150));
  const R start = world();
  const V anchor = toWorld(V(201, 150));
  shiftMove(QPoint(204, 152));  // within the delay
  EXPECT_EQ(world(), start);
  shiftMove(QPoint(206, 100));  // mostly up: the height only, less the 3-pixel delay
  EXPECT_EQ(world().width, start.width);
  EXPECT_NEAR(world().height / start.height, std::pow(0.99, -47), 1e-12);
  expectUnder(V(201, 150), anchor);
  QTest::mouseRelease(window, Qt::RightButton, {}, QPoint(206, 100));
  EXPECT_EQ(widget.getUserLayers()->numChildren(), standingLayers);
}

TEST_F(ViewInput, DisabledPanZoomIgnoresEveryGesture) {
  viewport->setPanZoomEnabled(false);
  const R start = world();
  EXPECT_FALSE(wheel(QPointF(100, 100), 120));
  QTest::keyClick(&widget, Qt::Key_Plus);
  QTest::keyClick(&widget, Qt::Key_Minus);
  for (auto [button, modifiers] : {std::pair{Qt::MiddleButton, Qt::KeyboardModifiers()},
                                   std::pair{Qt::RightButton, Qt::KeyboardModifiers(Qt::AltModifier)}}) {
    QTest::mousePress(window, button, modifiers, QPoint(100, 100));
    QTest::mouseMove(window, QPoint(150, 150));
    QTest::mouseRelease(window, button, modifiers, QPoint(150, 150));
  }
  EXPECT_EQ(world(), start);
  EXPECT_EQ(widget.getUserLayers()->numChildren(), standingLayers);
}

// At 0.1 units per pixel every grid line lies on a pixel centre.
TEST_F(ViewInput, GridLinesAxesBandsAndLabelsOnTheirPixels) {
  viewport->setWorldBounds(R(-20.05, -15.05, 40, 30));
  auto col = [&](double x) { return int(std::floor(ToPixel(*viewport, V(x, 0)).x)); };
  auto row = [&](double y) { return int(std::floor(ToPixel(*viewport, V(0, y)).y)); };
  const QImage img = widget.grabFramebuffer();
  auto at = [&](int x, int y) { return img.pixelColor(x, y); };

  // Minor lines every unit, equally faded on both axes, between the
  // background and the grid colour; majors every ten; the axes 2 px wide.
  const QColor background = widget.getColors()->getColor(ColorRole::Background);
  const QColor grid = widget.getColors()->getColor(ColorRole::Grid);
  const int y0 = row(0.45), x0 = col(0.55);  // between lines
  const QColor minor = at(col(1), y0);
  EXPECT_EQ(at(x0, row(-3)), minor);
  EXPECT_GT(minor.value(), background.value());
  EXPECT_LT(minor.value(), grid.value());
  EXPECT_EQ(at(x0, y0), background);
  EXPECT_EQ(at(col(10), y0), grid);
  EXPECT_EQ(at(col(10) + 1, y0), background);
  EXPECT_EQ(at(x0, row(-10)), grid);
  int axisColumns = 0, axisRows = 0;
  for (int d = -3; d <= 3; ++d) {
    axisColumns += at(col(0) + d, y0) == grid;
    axisRows += at(x0, row(0) + d) == grid;
  }
  EXPECT_EQ(axisColumns, 2);
  EXPECT_EQ(axisRows, 2);

  // The lines stop at the label bands: a text line at the bottom, and on the
  // left room for "-10", the widest y label, drawn 2 pixels in, and 4 more.
  const QFontMetrics fm(widget.getFont());
  const int band = fm.height(), left = fm.horizontalAdvance("-10") + 6;
  EXPECT_EQ(at(col(1), 300 - band - 1), minor);
  EXPECT_EQ(at(col(1), 300 - band + 1), background);
  EXPECT_EQ(at(left + 1, row(1)), minor);
  EXPECT_EQ(at(left - 2, row(1)), background);
  // The label "0" under the y axis, drawn by the widget. (The axis columns
  // are left out: a line ending on a pixel edge may light the pixel beyond.)
  int lit = 0;
  for (int y = 298 - fm.ascent(); y <= 298; ++y)
    for (int x = col(0) - 8; x <= col(0) + 9; ++x) lit += x != col(0) && x != col(0) + 1 && at(x, y) != background;
  EXPECT_GT(lit, 3);
}

// The widget 20 pixels inside a host window: the pointer enters and leaves
// it as the user would move it.
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
  const QColor background = widget->getColors()->getColor(ColorRole::Background);
  const QColor snapping = widget->getColors()->getColor(ColorRole::FocusFrame);
  const QColor free(255 - snapping.red(), snapping.green(), snapping.blue());
  auto edge = [&] { return widget->grabFramebuffer().pixelColor(0, 150); };

  QTest::mouseMove(window, QPoint(5, 5));
  EXPECT_EQ(edge(), background);
  QTest::mouseMove(window, QPoint(220, 170));  // into the graph
  ASSERT_TRUE(widget->getSnapSettings().isSnappingX());
  const QImage img = widget->grabFramebuffer();
  for (QPoint p : {QPoint(0, 150), QPoint(399, 150), QPoint(200, 0), QPoint(200, 299)}) {
    EXPECT_EQ(img.pixelColor(p), snapping) << p.x() << "," << p.y();
  }
  widget->setSnapSettings(SnapSettings());  // neither axis snaps
  EXPECT_EQ(edge(), free);
  SnapSettings y;
  y.setSnappingY(true);
  widget->setSnapSettings(y);
  EXPECT_EQ(edge(), snapping);
  QTest::mouseMove(window, QPoint(5, 200));  // out again
  EXPECT_EQ(edge(), background);
}

}  // namespace
