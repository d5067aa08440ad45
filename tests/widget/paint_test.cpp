// Frames read back with grabFramebuffer(). The suite also runs with
// QT_SCALE_FACTOR=2, where the surface has twice the pixels of the widget.
#include <arvelle/arvelle.h>

#include <QImage>
#include <QTest>

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;

namespace {

struct Quad {
  R rect;
  QColor color;
};

// Clears to black, then fills world rectangles.
class FillLayer : public Layer {
 public:
  void draw(const Viewport&) const override {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    for (const auto& q : quads) {
      glColor3f(q.color.redF(), q.color.greenF(), q.color.blueF());
      glRectd(q.rect.x, q.rect.y, q.rect.x + q.rect.width, q.rect.y + q.rect.height);
    }
    for (const auto& t : texts) emit requestDrawText(t.x(), t.y(), "XXXX", Qt::white);
  }
  std::vector<Quad> quads;
  std::vector<QPoint> texts;
};

class Paint : public ::testing::Test {
 protected:
  void SetUp() override {
    widget.getUserLayers()->pushLayer(layer);
    widget.resize(200, 100);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    QTRY_COMPARE(widget.getViewport()->getWindowBounds(), R(0, 0, 200, 100));
    ratio = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble() : 1.0;
  }
  QImage grab() {
    QImage img = widget.grabFramebuffer();
    EXPECT_EQ(img.size(), QSize(qRound(200 * ratio), qRound(100 * ratio)));
    return img;
  }
  // Logical widget pixel to the picture's pixel.
  QColor at(const QImage& img, double x, double y) { return img.pixelColor(int(x * ratio), int(y * ratio)); }

  GraphWidget widget;
  std::shared_ptr<FillLayer> layer = std::make_shared<FillLayer>();
  double ratio = 1.0;
};

TEST_F(Paint, TheSurfaceHasTheExpectedPixelRatio) { EXPECT_DOUBLE_EQ(widget.devicePixelRatioF(), ratio); }

TEST_F(Paint, TheWholeWorldFillsTheWholeSurface) {
  layer->quads.push_back({widget.getViewport()->getWorldBounds(), Qt::red});
  const QImage img = grab();
  const int w = img.width() - 1, h = img.height() - 1;
  for (QPoint p : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h), QPoint(w / 2, h / 2)}) {
    EXPECT_EQ(img.pixelColor(p), QColor(Qt::red)) << p.x() << "," << p.y();
  }
}

TEST_F(Paint, WorldMapsOntoWindowPixels) {
  // World x -10 .. 100 over 200 px, y -2 .. 2 over 100 px (y upwards).
  layer->quads.push_back({R(-10, -2, 55, 4), Qt::red});         // left half
  layer->quads.push_back({R(-10, 1.6, 5.5, 0.4), Qt::green});   // the top-left 10 x 10 px
  layer->quads.push_back({R(94.5, -2, 5.5, 0.4), Qt::blue});    // the bottom-right 10 x 10 px
  const QImage img = grab();
  EXPECT_EQ(at(img, 2, 2), QColor(Qt::green));
  EXPECT_EQ(at(img, 8.5, 8.5), QColor(Qt::green));
  EXPECT_EQ(at(img, 12, 12), QColor(Qt::red));
  EXPECT_EQ(at(img, 98.5, 50), QColor(Qt::red));
  EXPECT_EQ(at(img, 101.5, 50), QColor(Qt::black));
  EXPECT_EQ(at(img, 195, 95), QColor(Qt::blue));
  EXPECT_EQ(at(img, 185, 95), QColor(Qt::black));
}

TEST_F(Paint, LayersDrawTextThroughTheWidget) {
  QObject::connect(layer.get(), &Layer::requestDrawText, &widget, &GraphWidget::drawText);
  layer->texts.push_back(QPoint(20, 60));
  const QImage img = grab();
  int lit = 0;
  // The baseline starts at (20, 60): glyphs sit above it.
  for (int y = 40; y < 60; ++y)
    for (int x = 20; x < 80; ++x) lit += at(img, x, y).lightness() > 128 ? 1 : 0;
  EXPECT_GT(lit, 20);
  int below = 0;
  for (int y = 64; y < 100; ++y)
    for (int x = 0; x < 200; ++x) below += at(img, x, y).lightness() > 128 ? 1 : 0;
  EXPECT_EQ(below, 0);
}

TEST_F(Paint, PaintLeavesNoGLStateBehind) {
  struct Probe : Layer {
    void draw(const Viewport&) const override {
      glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
      glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &attribDepth);
      glGetIntegerv(GL_MATRIX_MODE, &mode);
    }
    mutable GLint projectionDepth = 0, attribDepth = 0, mode = 0;
  };
  auto probe = std::make_shared<Probe>();
  widget.getUserLayers()->pushLayer(probe);
  grab();
  // While layers draw: projection current and saved once, attributes saved once.
  EXPECT_EQ(probe->projectionDepth, 2);
  EXPECT_EQ(probe->attribDepth, 1);
  EXPECT_EQ(probe->mode, GL_PROJECTION);
  widget.makeCurrent();
  GLint depth = -1;
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);
  glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 0);
  widget.doneCurrent();
}

}  // namespace
