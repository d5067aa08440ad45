// Puts a graph widget on screen for suites that read its frames or send it
// real input.
#pragma once

#include <arvelle/graphwidget.h>
#include <arvelle/layer.h>
#include <arvelle/viewport.h>

#include <QApplication>
#include <QImage>
#include <QTimer>
#include <QTest>

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// At the screen's top-left corner, away from the X server's pointer (which
// would send its own Enter), shown, and its viewport following the surface.
inline ::testing::AssertionResult ShowWidget(Zentho::Arvelle::GraphWidget& w, int width, int height) {
  w.move(0, 0);
  w.resize(width, height);
  w.show();
  if (!QTest::qWaitForWindowExposed(&w)) return ::testing::AssertionFailure() << "never exposed";
  const Zentho::Tessal::Rectangle<double> bounds(0, 0, width, height);
  if (!QTest::qWaitFor([&] { return w.getViewport()->getWindowBounds() == bounds; }))
    return ::testing::AssertionFailure() << "the viewport never took the widget's size";
  return ::testing::AssertionSuccess();
}

// A right click that no layer takes opens the context menu, whose exec()
// waits for the user: this closes the popup showing at the next turn of the
// event loop and counts it.
inline void CloseNextPopup(int& closed) {
  QTimer::singleShot(0, [&closed] {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      popup->close();
      ++closed;
    }
  });
}

// Clears to black, then fills world rectangles and asks for texts.
class FillLayer : public Zentho::Arvelle::Layer {
 public:
  void draw(const Zentho::Arvelle::Viewport&) const override {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    for (const auto& [rect, color] : quads) {
      glColor3f(color.redF(), color.greenF(), color.blueF());
      glRectd(rect.x, rect.y, rect.x + rect.width, rect.y + rect.height);
    }
    for (const auto& t : texts) emit requestDrawText(t.x(), t.y(), "XXXX", Qt::white);
  }
  std::vector<std::pair<Zentho::Tessal::Rectangle<double>, QColor>> quads;
  std::vector<QPoint> texts;
};

// A shown 200 x 100 widget with a fill layer right under the curves. Frames
// are read in widget pixels; the surface may have more of its own
// (QT_SCALE_FACTOR). The grid is hidden, so frames hold only what a test
// draws.
class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    widget.getUserLayers()->insertLayer(fill, widget.getRootLayer()->findLayer("Curve Layer"));
    widget.getRootLayer()->findLayer("Grid Layer")->setVisible(false);
    ASSERT_TRUE(ShowWidget(widget, 200, 100));
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) ratio = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble();
  }
  QImage grab() {
    QImage img = widget.grabFramebuffer();
    EXPECT_EQ(img.size(), QSize(qRound(200 * ratio), qRound(100 * ratio)));  // the scale is real
    return img;
  }
  QColor at(const QImage& img, double x, double y) const { return img.pixelColor(int(x * ratio), int(y * ratio)); }

  Zentho::Arvelle::GraphWidget widget;
  std::shared_ptr<FillLayer> fill = std::make_shared<FillLayer>();
  double ratio = 1.0;
};
