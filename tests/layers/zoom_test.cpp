// The zoom step on broken views, and a mode change under an axis lock; the
// gestures themselves are tested through real input on the widget.
#include <arvelle/graphviewcolors.h>
#include <arvelle/viewport.h>

#include "layers/gridlayer.h"
#include "layers/panzoomlayer.h"

#include <QMouseEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;
using V = Zentho::Tessal::Vector2D<double>;

namespace {

TEST(ZoomStep, BrokenViewsAreRepairedOrLeftAlone) {
  // An empty world has no aspect: it is scaled, and the width limit makes it
  // usable again, with the world point under (100, 100) kept there.
  Viewport vp(R(0, 0, 400, 300), R(5, 5, 0, 2));
  const V p(100, 100);
  ZoomViewport(vp, true, &p);
  const R& w = vp.getWorldBounds();
  EXPECT_EQ(w.width, 0.001);
  EXPECT_NEAR(w.height, 1.6, 1e-12);
  EXPECT_NEAR(w.x + 100 * w.width / 400, 5, 1e-12);
  EXPECT_NEAR(w.y + 200 * w.height / 300, 5 + 200 * 2 / 300.0, 1e-12);

  const R nan(std::numeric_limits<double>::quiet_NaN(), 0, 1, 1);
  vp.setWorldBounds(nan);
  ZoomViewport(vp, false, &p);
  EXPECT_TRUE(std::isnan(vp.getWorldBounds().x) && vp.getWorldBounds().width == 1);

  Viewport noWindow(R(0, 0, 0, 300), R(0, 0, 10, 10));
  ZoomViewport(noWindow, true, nullptr);
  EXPECT_EQ(noWindow.getWorldBounds(), R(0, 0, 10, 10));
}

TEST(PanZoomLayer, ModeChangeUnderAnAxisLockDoesNotJump) {
  Viewport vp(R(0, 0, 400, 300), R(-10, -2, 110, 4));
  auto layers = std::make_shared<LayerManager>();
  layers->pushLayer(std::make_shared<GridLayer>(vp, std::make_shared<GraphViewColors>(), QFont()));
  auto send = [&](QEvent::Type type, V p, Qt::MouseButton b, Qt::MouseButtons held, Qt::KeyboardModifiers m = {}) {
    QMouseEvent e(type, QPointF(p.x, p.y), b, held, m);
    EXPECT_TRUE(layers->handleEvent(&e, vp));
  };
  send(QEvent::MouseButtonPress, V(100, 100), Qt::MiddleButton, Qt::MiddleButton);
  send(QEvent::MouseMove, V(101, 100), Qt::NoButton, Qt::MiddleButton, Qt::ShiftModifier);
  send(QEvent::MouseMove, V(140, 100), Qt::NoButton, Qt::MiddleButton, Qt::ShiftModifier);  // locked to x
  // The right button comes 30 pixels off the locked line; the zoom starts
  // from the locked point, so a move that goes nowhere zooms nothing.
  const Qt::MouseButtons both = Qt::MiddleButton | Qt::RightButton;
  send(QEvent::MouseButtonPress, V(140, 130), Qt::RightButton, both);
  const R before = vp.getWorldBounds();
  send(QEvent::MouseMove, V(140, 130), Qt::NoButton, both);
  EXPECT_NEAR(vp.getWorldBounds().width, before.width, 1e-9);
  send(QEvent::MouseMove, V(150, 130), Qt::NoButton, both);
  EXPECT_NEAR(vp.getWorldBounds().width / before.width, std::pow(0.99, 10), 1e-12);
  EXPECT_EQ(vp.getWorldBounds().height, before.height);
}

}  // namespace
