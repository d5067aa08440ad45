// Pan and zoom through the grid layer, as the widget's user layers hold it,
// with events built by hand (the widget suite drives the same through real
// input).
#include <arvelle/graphviewcolors.h>
#include <arvelle/layer.h>
#include <arvelle/viewport.h>

#include "layers/gridlayer.h"
#include "layers/panzoomlayer.h"
#include "printers.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;
using V = Zentho::Tessal::Vector2D<double>;

namespace {

// The pixel-to-world mapping, written out independently of the library.
V ToWorld(const Viewport& vp, V p) {
  const R& win = vp.getWindowBounds();
  const R& w = vp.getWorldBounds();
  return V(w.x + (p.x - win.x) * w.width / win.width, w.y + (win.y + win.height - p.y) * w.height / win.height);
}

void ExpectNear(V a, V b, double tol = 1e-9) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
}

class PanZoom : public ::testing::Test {
 protected:
  void SetUp() override {
    viewport.setWindowBounds(R(0, 0, 400, 300));
    viewport.setWorldBounds(R(-10, -2, 110, 4));
    layers->pushLayer(grid);
  }

  bool send(QEvent& e) { return layers->handleEvent(&e, viewport); }
  bool mouse(QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons buttons,
             Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(type, pos, button, buttons, mods);
    return send(e);
  }
  bool press(QPointF pos, Qt::MouseButton button, Qt::MouseButtons held, Qt::KeyboardModifiers mods = {}) {
    return mouse(QEvent::MouseButtonPress, pos, button, held | button, mods);
  }
  bool move(QPointF pos, Qt::MouseButtons held, Qt::KeyboardModifiers mods = {}) {
    return mouse(QEvent::MouseMove, pos, Qt::NoButton, held, mods);
  }
  bool release(QPointF pos, Qt::MouseButton button, Qt::MouseButtons stillHeld) {
    return mouse(QEvent::MouseButtonRelease, pos, button, stillHeld);
  }
  bool wheel(QPointF pos, QPoint angle) {
    QWheelEvent e(pos, pos, QPoint(), angle, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    return send(e);
  }
  bool key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent e(QEvent::KeyPress, k, mods);
    return send(e);
  }
  std::shared_ptr<PanZoomLayer> top() { return std::dynamic_pointer_cast<PanZoomLayer>(*layers->begin()); }
  const R& world() { return viewport.getWorldBounds(); }

  Viewport viewport;
  std::shared_ptr<GraphViewColors> colors = std::make_shared<GraphViewColors>();
  std::shared_ptr<LayerManager> layers = std::make_shared<LayerManager>();
  std::shared_ptr<GridLayer> grid = std::make_shared<GridLayer>(viewport, colors, QFont());
};

// ---------------------------------------------------------------- zoom steps

struct StepCase {
  bool in;
  V point;
};

void PrintTo(const StepCase& c, std::ostream* os) {
  *os << (c.in ? "in at " : "out at ");
  PrintTo(c.point, os);
}

class ZoomStep : public PanZoom, public ::testing::WithParamInterface<StepCase> {};

TEST_P(ZoomStep, KeepsTheWorldPointUnderThePixel) {
  const StepCase& c = GetParam();
  const R before = world();
  const V pivot = ToWorld(viewport, c.point);
  ZoomViewport(viewport, c.in, &c.point);
  const double factor = c.in ? 1 / 1.25 : 1.25;
  EXPECT_NEAR(world().width, before.width * factor, 1e-12);
  EXPECT_NEAR(world().height, before.height * factor, 1e-12);
  ExpectNear(ToWorld(viewport, c.point), pivot);
}

INSTANTIATE_TEST_SUITE_P(Points, ZoomStep,
                         ::testing::Values(StepCase{true, V(0, 0)}, StepCase{true, V(123, 77)},
                                           StepCase{false, V(399, 299)}, StepCase{false, V(200, 150)},
                                           StepCase{true, V(-50, 400)}));

TEST_F(PanZoom, StepWithoutAPointZoomsAboutTheCentre) {
  const V centre(world().x + world().width / 2, world().y + world().height / 2);
  ZoomViewport(viewport, true, nullptr);
  EXPECT_NEAR(world().width, 110 * 0.8, 1e-12);
  ExpectNear(V(world().x + world().width / 2, world().y + world().height / 2), centre);
}

struct ClampCase {
  bool in;
  R start;
  double limit;
};

void PrintTo(const ClampCase& c, std::ostream* os) {
  *os << (c.in ? "in from " : "out from ");
  PrintTo(c.start, os);
}

class ZoomClamp : public PanZoom, public ::testing::WithParamInterface<ClampCase> {};

TEST_P(ZoomClamp, EachAxisStopsAtItsLimitOnItsOwn) {
  const ClampCase& c = GetParam();
  viewport.setWorldBounds(c.start);
  const double factor = c.in ? 0.8 : 1.25;
  double w = c.start.width, h = c.start.height;
  bool aspectChanged = false;
  for (int i = 0; i < 80; ++i) {
    ZoomViewport(viewport, c.in, nullptr);
    w = c.in ? std::max(c.limit, w * factor) : std::min(c.limit, w * factor);
    h = c.in ? std::max(c.limit, h * factor) : std::min(c.limit, h * factor);
    ASSERT_NEAR(world().width / w, 1.0, 1e-9) << "step " << i;
    ASSERT_NEAR(world().height / h, 1.0, 1e-9) << "step " << i;
    aspectChanged = aspectChanged || std::fabs(world().width / world().height - c.start.width / c.start.height) > 1e-6;
  }
  EXPECT_EQ(world().width, c.limit);
  EXPECT_EQ(world().height, c.limit);
  EXPECT_TRUE(aspectChanged);
}

INSTANTIATE_TEST_SUITE_P(Limits, ZoomClamp,
                         ::testing::Values(ClampCase{true, R(0, 0, 0.004, 2), 0.001},
                                           ClampCase{true, R(5, -3, 30, 0.01), 0.001},
                                           ClampCase{false, R(0, 0, 20000, 10), 100000},
                                           ClampCase{false, R(-1, -1, 2, 50000), 100000}));

TEST_F(PanZoom, StepOnABrokenViewNeverPoisonsIt) {
  // An empty world has no aspect: it is scaled, and the width limit makes it
  // usable again.
  viewport.setWorldBounds(R(5, 5, 0, 2));
  const V p(100, 100);
  ZoomViewport(viewport, true, &p);
  EXPECT_EQ(world().width, 0.001);
  EXPECT_NEAR(world().height, 1.6, 1e-12);

  const R nan(std::numeric_limits<double>::quiet_NaN(), 0, 1, 1);
  viewport.setWorldBounds(nan);
  ZoomViewport(viewport, false, &p);
  EXPECT_TRUE(std::isnan(world().x));  // left alone, not made worse

  viewport.setWorldBounds(R(0, 0, 10, 10));
  viewport.setWindowBounds(R(0, 0, 0, 300));
  ZoomViewport(viewport, true, nullptr);
  EXPECT_EQ(world(), R(0, 0, 10, 10));
}

// ---------------------------------------------------------------- the grid starts them

TEST_F(PanZoom, WheelZoomsAboutTheTruncatedPosition) {
  const R before = world();
  const V pixel(100, 50);  // (100.7, 50.9) truncated
  const V pivot = ToWorld(viewport, pixel);
  EXPECT_TRUE(wheel(QPointF(100.7, 50.9), QPoint(0, 120)));
  EXPECT_NEAR(world().width, before.width / 1.25, 1e-12);
  ExpectNear(ToWorld(viewport, pixel), pivot);

  // No delta, or a larger negative horizontal one, zooms out.
  EXPECT_TRUE(wheel(QPointF(100, 50), QPoint(0, 0)));
  EXPECT_NEAR(world().width, before.width, 1e-9);
  EXPECT_TRUE(wheel(QPointF(100, 50), QPoint(-120, 30)));
  EXPECT_NEAR(world().width, before.width * 1.25, 1e-9);
  ExpectNear(ToWorld(viewport, pixel), pivot, 1e-9);
}

TEST_F(PanZoom, ZoomKeysStepAboutTheCentreOthersPassOn) {
  const double w = world().width;
  EXPECT_TRUE(key(Qt::Key_Plus));
  EXPECT_NEAR(world().width, w * 0.8, 1e-12);
  EXPECT_TRUE(key(Qt::Key_Equal, Qt::ShiftModifier));
  EXPECT_NEAR(world().width, w * 0.64, 1e-12);
  EXPECT_TRUE(key(Qt::Key_Minus, Qt::KeypadModifier));
  EXPECT_NEAR(world().width, w * 0.8, 1e-12);
  const R now = world();
  EXPECT_FALSE(key(Qt::Key_A));
  EXPECT_FALSE(key(Qt::Key_Underscore));
  EXPECT_EQ(world(), now);
}

TEST_F(PanZoom, MiddlePressStartsAPanAltRightAZoom) {
  EXPECT_TRUE(press(QPointF(10.5, 20.4), Qt::MiddleButton, Qt::NoButton));
  ASSERT_EQ(layers->numChildren(), 2u);
  ASSERT_TRUE(top());
  EXPECT_EQ(top()->getMode(), PanZoomLayer::Pan);
  EXPECT_STREQ(top()->metaObject()->className(), "Zentho::Arvelle::ZENTHO_ARVELLE_QT_LIB_VERSION_NS::PanZoomLayer");
  EXPECT_TRUE(release(QPointF(10, 20), Qt::MiddleButton, Qt::NoButton));
  EXPECT_EQ(layers->numChildren(), 1u);

  EXPECT_TRUE(press(QPointF(10, 20), Qt::RightButton, Qt::NoButton, Qt::AltModifier | Qt::ShiftModifier));
  ASSERT_TRUE(top());
  EXPECT_EQ(top()->getMode(), PanZoomLayer::Zoom);
  EXPECT_TRUE(release(QPointF(10, 20), Qt::RightButton, Qt::NoButton));

  // A plain right press is the context menu's; a left press is not the grid's.
  EXPECT_FALSE(press(QPointF(10, 20), Qt::RightButton, Qt::NoButton));
  EXPECT_FALSE(press(QPointF(10, 20), Qt::LeftButton, Qt::NoButton, Qt::AltModifier));
  EXPECT_EQ(layers->numChildren(), 1u);
}

TEST_F(PanZoom, NothingStartsWhilePanAndZoomAreDisabled) {
  viewport.setPanZoomEnabled(false);
  const R before = world();
  EXPECT_FALSE(wheel(QPointF(100, 50), QPoint(0, 120)));
  EXPECT_FALSE(key(Qt::Key_Plus));
  EXPECT_FALSE(key(Qt::Key_Minus));
  EXPECT_FALSE(press(QPointF(10, 20), Qt::MiddleButton, Qt::NoButton));
  EXPECT_FALSE(press(QPointF(10, 20), Qt::RightButton, Qt::NoButton, Qt::AltModifier));
  EXPECT_EQ(layers->numChildren(), 1u);
  EXPECT_EQ(world(), before);
}

TEST_F(PanZoom, GridWithoutAManagerStartsNoDrag) {
  auto lone = std::make_shared<GridLayer>(viewport, colors, QFont());
  QMouseEvent e(QEvent::MouseButtonPress, QPointF(5, 5), Qt::MiddleButton, Qt::MiddleButton, Qt::NoModifier);
  EXPECT_FALSE(lone->handleEvent(&e, viewport));
}

// ---------------------------------------------------------------- the drags

TEST_F(PanZoom, PanKeepsTheGrabbedPointUnderTheCursor) {
  press(QPointF(100.5, 80.4), Qt::MiddleButton, Qt::NoButton);  // anchor (101, 80)
  const V grabbed = ToWorld(viewport, V(101, 80));
  const double w = world().width, h = world().height;
  for (V p : {V(151, 60), V(-30, 290), V(400, 0)}) {
    EXPECT_TRUE(move(QPointF(p.x, p.y), Qt::MiddleButton));
    ExpectNear(ToWorld(viewport, p), grabbed);
    EXPECT_EQ(world().width, w);
    EXPECT_EQ(world().height, h);
  }
  // Halves round up, as Qt's integer positions do.
  move(QPointF(120.5, 99.5), Qt::MiddleButton);
  ExpectNear(ToWorld(viewport, V(121, 100)), grabbed);
}

TEST_F(PanZoom, PanUsesTheScaleItStartedWith) {
  press(QPointF(100, 100), Qt::MiddleButton, Qt::NoButton);
  const double upx = world().width / 400, upy = world().height / 300;
  const R start = world();
  viewport.setWindowBounds(R(0, 0, 800, 600));
  move(QPointF(140, 90), Qt::MiddleButton);
  EXPECT_NEAR(world().x, start.x - 40 * upx, 1e-12);
  EXPECT_NEAR(world().y, start.y - 10 * upy, 1e-12);
}

TEST_F(PanZoom, ZoomDragScalesByPointNineNinePerPixelAboutThePress) {
  const R start = world();
  press(QPointF(150, 100), Qt::RightButton, Qt::NoButton, Qt::AltModifier);
  const V anchor = ToWorld(viewport, V(150, 100));
  move(QPointF(250, 100), Qt::RightButton);
  EXPECT_NEAR(world().width, start.width * std::pow(0.99, 100), 1e-9);
  EXPECT_NEAR(world().height, start.height * std::pow(0.99, 100), 1e-12);
  EXPECT_NEAR(world().width / start.width, 0.366, 0.001);
  ExpectNear(ToWorld(viewport, V(150, 100)), anchor);

  move(QPointF(250, 0), Qt::RightButton);  // up as far as right: back to the start
  EXPECT_NEAR(world().width, start.width, 1e-9);
  EXPECT_NEAR(world().height, start.height, 1e-12);
  move(QPointF(100, 100), Qt::RightButton);  // left zooms out
  EXPECT_NEAR(world().width, start.width * std::pow(0.99, -50), 1e-9);
  ExpectNear(ToWorld(viewport, V(150, 100)), anchor);
  release(QPointF(100, 100), Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(layers->numChildren(), 1u);
}

struct ShiftCase {
  V motion;      // from where Shift was first seen
  bool widthOnly;
};

void PrintTo(const ShiftCase& c, std::ostream* os) { PrintTo(c.motion, os); }

class ShiftZoom : public PanZoom, public ::testing::WithParamInterface<ShiftCase> {};

TEST_P(ShiftZoom, LocksToTheAxisOfTheFirstRealMotion) {
  const ShiftCase& c = GetParam();
  press(QPointF(150, 100), Qt::RightButton, Qt::NoButton, Qt::AltModifier);
  move(QPointF(160, 110), Qt::RightButton);  // unconstrained: zooms
  const R atShift = world();
  const V origin(162, 111);
  move(QPointF(origin.x, origin.y), Qt::RightButton, Qt::ShiftModifier);
  EXPECT_EQ(world(), atShift);
  move(QPointF(origin.x + 3, origin.y - 3), Qt::RightButton, Qt::ShiftModifier);  // inside the delay
  EXPECT_EQ(world(), atShift);

  const V anchor = ToWorld(viewport, origin);
  move(QPointF(origin.x + c.motion.x, origin.y + c.motion.y), Qt::RightButton);  // Shift let go: still locked
  // The delay's 3 pixels are not counted.
  const double along = c.widthOnly ? c.motion.x - 3 * (c.motion.x > 0 ? 1 : -1)
                                   : c.motion.y - 3 * (c.motion.y > 0 ? 1 : -1);
  const double scale = std::pow(0.99, along);
  EXPECT_NEAR(world().width, c.widthOnly ? atShift.width * scale : atShift.width, 1e-9);
  EXPECT_NEAR(world().height, c.widthOnly ? atShift.height : atShift.height * scale, 1e-12);
  ExpectNear(ToWorld(viewport, origin), anchor);
}

INSTANTIATE_TEST_SUITE_P(Motions, ShiftZoom,
                         ::testing::Values(ShiftCase{V(40, 10), true}, ShiftCase{V(-30, 5), true},
                                           ShiftCase{V(6, -45), false}, ShiftCase{V(20, 20), false}));

TEST_F(PanZoom, ShiftDuringAPanLocksItsAxis) {
  press(QPointF(100, 100), Qt::MiddleButton, Qt::NoButton);
  const V grabbed = ToWorld(viewport, V(100, 100));
  move(QPointF(110, 100), Qt::MiddleButton);
  move(QPointF(120, 100), Qt::MiddleButton, Qt::ShiftModifier);
  move(QPointF(160, 130), Qt::MiddleButton, Qt::ShiftModifier);  // mostly x: y stays
  // The grab point sits under x = 160 - 3, y as when Shift came.
  ExpectNear(ToWorld(viewport, V(157, 100)), grabbed);
}

TEST_F(PanZoom, ModeChangeUnderAnAxisLockDoesNotJump) {
  press(QPointF(100, 100), Qt::MiddleButton, Qt::NoButton);
  move(QPointF(100, 100), Qt::MiddleButton, Qt::ShiftModifier);
  move(QPointF(140, 100), Qt::MiddleButton, Qt::ShiftModifier);  // locked to x
  press(QPointF(140, 130), Qt::RightButton, Qt::MiddleButton);  // 30 px off the locked line
  const R before = world();
  move(QPointF(140, 130), Qt::MiddleButton | Qt::RightButton);  // no motion since the press
  EXPECT_NEAR(world().width, before.width, 1e-9);
  EXPECT_NEAR(world().height, before.height, 1e-12);
  move(QPointF(150, 130), Qt::MiddleButton | Qt::RightButton);
  EXPECT_NEAR(world().width, before.width * std::pow(0.99, 10), 1e-9);
  EXPECT_NEAR(world().height, before.height, 1e-12);  // x lock: width only
}

TEST_F(PanZoom, RightPressDuringAPanZoomsFromThereWithoutAJump) {
  press(QPointF(100, 100), Qt::MiddleButton, Qt::NoButton);
  move(QPointF(130, 120), Qt::MiddleButton);
  const R panned = world();
  EXPECT_TRUE(press(QPointF(130, 120), Qt::RightButton, Qt::MiddleButton));
  EXPECT_EQ(top()->getMode(), PanZoomLayer::Zoom);
  EXPECT_EQ(world(), panned);

  const V pivot = ToWorld(viewport, V(130, 120));
  move(QPointF(140, 120), Qt::MiddleButton | Qt::RightButton);
  EXPECT_NEAR(world().width, panned.width * std::pow(0.99, 10), 1e-9);
  ExpectNear(ToWorld(viewport, V(130, 120)), pivot);

  // Letting the right button go pans again, from the zoomed view.
  const R zoomed = world();
  EXPECT_TRUE(release(QPointF(140, 120), Qt::RightButton, Qt::MiddleButton));
  EXPECT_EQ(top()->getMode(), PanZoomLayer::Pan);
  EXPECT_EQ(world(), zoomed);
  const V grabbed = ToWorld(viewport, V(140, 120));
  move(QPointF(100, 150), Qt::MiddleButton);
  ExpectNear(ToWorld(viewport, V(100, 150)), grabbed);
  EXPECT_EQ(world().width, zoomed.width);

  EXPECT_TRUE(release(QPointF(100, 150), Qt::MiddleButton, Qt::NoButton));
  EXPECT_EQ(layers->numChildren(), 1u);
}

TEST_F(PanZoom, ReleasingAButtonThatDoesNotDriveTheModeEndsTheDrag) {
  press(QPointF(100, 100), Qt::MiddleButton, Qt::NoButton);
  press(QPointF(100, 100), Qt::RightButton, Qt::MiddleButton);
  EXPECT_TRUE(release(QPointF(100, 100), Qt::MiddleButton, Qt::RightButton));
  EXPECT_EQ(layers->numChildren(), 1u);
}

TEST_F(PanZoom, OtherButtonsAndOtherEventsLeaveTheDragAlone) {
  press(QPointF(100, 100), Qt::MiddleButton, Qt::NoButton);
  auto layer = top();
  ASSERT_TRUE(layer);
  EXPECT_TRUE(press(QPointF(100, 100), Qt::LeftButton, Qt::MiddleButton));
  EXPECT_TRUE(release(QPointF(100, 100), Qt::LeftButton, Qt::MiddleButton));
  EXPECT_EQ(layer->getMode(), PanZoomLayer::Pan);
  EXPECT_EQ(layers->numChildren(), 2u);

  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(1, 1), Qt::MiddleButton, Qt::MiddleButton, Qt::NoModifier);
  QWheelEvent w(QPointF(1, 1), QPointF(1, 1), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QKeyEvent k(QEvent::KeyPress, Qt::Key_Plus, Qt::NoModifier);
  EXPECT_FALSE(layer->handleEvent(&dbl, viewport));
  EXPECT_FALSE(layer->handleEvent(&w, viewport));
  EXPECT_FALSE(layer->handleEvent(&k, viewport));
  // The wheel still reaches the grid underneath during the drag.
  const double width = world().width;
  EXPECT_TRUE(send(w));
  EXPECT_NEAR(world().width, width * 0.8, 1e-12);
}

TEST_F(PanZoom, ZoomDragFarOffScreenKeepsAUsableView) {
  press(QPointF(100, 100), Qt::RightButton, Qt::NoButton, Qt::AltModifier);
  move(QPointF(200000, 100), Qt::RightButton);  // 0.99^199900 underflows
  EXPECT_GT(world().width, 0);
  move(QPointF(-200000, 100), Qt::RightButton);  // and the other way overflows
  EXPECT_TRUE(std::isfinite(world().width) && std::isfinite(world().x));
  EXPECT_GT(world().height, 0);
}

}  // namespace
