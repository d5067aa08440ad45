// Frames read back with grabFramebuffer(). The suite also runs with
// QT_SCALE_FACTOR=2, where the surface has twice the pixels of the widget.
#include "widget/showwidget.h"

#include <arvelle/arvelle.h>

#include <GL/gl.h>

#include <algorithm>
#include <vector>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;

namespace {

using Paint = Frame;

TEST_F(Paint, WorldMapsOntoTheWholeSurface) {
  // World x -10 .. 100 over 200 px, y -2 .. 2 over 100 px (y upwards).
  fill->quads = {{R(-10, -2, 55, 4), Qt::red},        // the left half
                 {R(-10, 1.6, 5.5, 0.4), Qt::green},  // the top-left 10 x 10 px
                 {R(94.5, -2, 5.5, 0.4), Qt::blue}};  // the bottom-right 10 x 10 px
  const QImage img = grab();
  EXPECT_EQ(img.pixelColor(0, 0), QColor(Qt::green));
  EXPECT_EQ(at(img, 8.5, 8.5), QColor(Qt::green));
  EXPECT_EQ(at(img, 12, 12), QColor(Qt::red));
  EXPECT_EQ(img.pixelColor(0, img.height() - 1), QColor(Qt::red));
  EXPECT_EQ(at(img, 98.5, 50), QColor(Qt::red));
  EXPECT_EQ(at(img, 101.5, 50), QColor(Qt::black));
  EXPECT_EQ(at(img, 185, 95), QColor(Qt::black));
  EXPECT_EQ(at(img, 195, 95), QColor(Qt::blue));
  EXPECT_EQ(img.pixelColor(img.width() - 1, img.height() - 1), QColor(Qt::blue));
}

TEST_F(Paint, LayersDrawTextThroughTheWidget) {
  QObject::connect(fill.get(), &Layer::requestDrawText, &widget, &GraphWidget::drawText);
  fill->texts.push_back(QPoint(20, 60));
  const QImage img = grab();
  int above = 0, below = 0;
  // The baseline starts at (20, 60): glyphs sit above it.
  for (int y = 40; y < 60; ++y)
    for (int x = 20; x < 80; ++x) above += at(img, x, y).lightness() > 128;
  for (int y = 64; y < 100; ++y)
    for (int x = 0; x < 200; ++x) below += at(img, x, y).lightness() > 128;
  EXPECT_GT(above, 20);
  EXPECT_EQ(below, 0);
}

TEST_F(Paint, LayersDrawUnderSavedStateThatIsGoneAfterwards) {
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
  EXPECT_EQ(probe->projectionDepth, 2);
  EXPECT_EQ(probe->attribDepth, 1);
  EXPECT_EQ(probe->mode, GL_PROJECTION);
  widget.makeCurrent();
  GLint projection = -1, attrib = -1;
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projection);
  glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &attrib);
  widget.doneCurrent();
  EXPECT_EQ(projection, 1);
  EXPECT_EQ(attrib, 0);
}

// Layers ask for text in the middle of their drawing; what they draw next
// must find the GL state as they left it, whatever the text painter did.
TEST_F(Paint, TextLeavesTheLayersGLStateAsItWas) {
  struct Probe : Layer {
    struct State {
      GLint viewport[4] = {};
      GLboolean blend = GL_FALSE, smooth = GL_FALSE;
      GLint blendSrc = 0, program = -1, projectionDepth = 0;
      GLfloat color[4] = {};
      bool operator==(const State& o) const {
        return std::equal(viewport, viewport + 4, o.viewport) && blend == o.blend && smooth == o.smooth &&
               blendSrc == o.blendSrc && program == o.program && projectionDepth == o.projectionDepth &&
               std::equal(color, color + 4, o.color);
      }
    };
    static State Read() {
      State s;
      glGetIntegerv(GL_VIEWPORT, s.viewport);
      s.blend = glIsEnabled(GL_BLEND);
      s.smooth = glIsEnabled(GL_LINE_SMOOTH);
      glGetIntegerv(GL_BLEND_SRC, &s.blendSrc);
      glGetIntegerv(GL_CURRENT_PROGRAM, &s.program);
      glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &s.projectionDepth);
      glGetFloatv(GL_CURRENT_COLOR, s.color);
      return s;
    }
    void draw(const Viewport&) const override {
      glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
      glEnable(GL_BLEND);
      glEnable(GL_LINE_SMOOTH);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
      before = Read();
      emit requestDrawText(20, 60, "XXXX", Qt::white);
      after = Read();
      glPopAttrib();
    }
    mutable State before, after;
  };
  auto probe = std::make_shared<Probe>();
  QObject::connect(probe.get(), &Layer::requestDrawText, &widget, &GraphWidget::drawText);
  widget.getUserLayers()->pushLayer(probe);
  grab();
  EXPECT_EQ(probe->before.viewport[2], qRound(200 * ratio));
  EXPECT_TRUE(probe->before.blend);
  EXPECT_TRUE(probe->after == probe->before);
}

// Views whose planes coincide in single precision, where GL refuses an
// orthographic projection: far from zero the absolute one, and sizes below
// the least float both. The paint loads neither and raises no error.
TEST_F(Paint, ViewsBeyondSinglePrecisionPaintWithoutGLError) {
  struct Probe : Layer {
    void draw(const Viewport& viewport) const override {
      errors.push_back(glGetError());  // after the widget's projection
      const GLRelativeProjection projection(viewport);
      errors.push_back(glGetError());
    }
    mutable std::vector<GLenum> errors;
  };
  auto probe = std::make_shared<Probe>();
  widget.getUserLayers()->insertLayer(probe, widget.getRootLayer()->findLayer("Background Layer"));
  const struct {
    const char* view;
    R world;
  } rows[] = {{"far from zero", R(1987.6, -1.2211436e13, 0.4, 2402)},
              {"below the least float", R(350.167, -9.71248, 3.84632e-318, 1.61441e-319)}};
  for (const auto& [view, world] : rows) {
    SCOPED_TRACE(view);
    widget.getViewport()->setWorldBounds(world);
    ASSERT_EQ(widget.getViewport()->getWorldBounds(), world);
    probe->errors.clear();
    grab();
    EXPECT_EQ(probe->errors, std::vector<GLenum>(2, GL_NO_ERROR));
    widget.makeCurrent();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    widget.doneCurrent();
  }
}

}  // namespace
