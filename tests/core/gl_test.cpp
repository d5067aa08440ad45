// Needs a real GL context: run under an X server (xvfb-run -a), not the
// offscreen platform.
#include <arvelle/glhelpers.h>

#include <QColor>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <memory>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;

namespace {

class GLHelpers : public ::testing::Test {
 protected:
  void SetUp() override {
    surface.create();
    ASSERT_TRUE(context.create()) << "no GL context: run under an X server";
    ASSERT_TRUE(context.makeCurrent(&surface));
    fbo = std::make_unique<QOpenGLFramebufferObject>(cSize, cSize);
    ASSERT_TRUE(fbo->bind());
    glViewport(0, 0, cSize, cSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, 0, 1);  // world (0, 0)-(1, 1) over the whole target
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_BLEND);
    while (glGetError() != GL_NO_ERROR) {
    }
  }
  void TearDown() override {
    fbo.reset();
    context.doneCurrent();
  }
  void clear(const QColor& c) {
    glClearColor(c.redF(), c.greenF(), c.blueF(), 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  // The colour at world position (fx, fy) in [0, 1]. Read as RGB straight
  // from the target: blending also writes alpha, which an image read-back
  // would treat as premultiplied.
  QColor at(double fx, double fy) {
    unsigned char rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(int(fx * cSize), int(fy * cSize), 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return QColor(rgb[0], rgb[1], rgb[2]);
  }
  GLint depth(GLenum which) {
    GLint d = -1;
    glGetIntegerv(which, &d);
    return d;
  }

  static constexpr int cSize = 96;
  QOffscreenSurface surface;
  QOpenGLContext context;
  std::unique_ptr<QOpenGLFramebufferObject> fbo;
};

TEST(GLException, FixedTextAndCode) {
  GLException e(GL_STACK_OVERFLOW);
  EXPECT_STREQ(e.what(), "Zentho::Tessal::GLException");
  EXPECT_EQ(e.getError(), unsigned(GL_STACK_OVERFLOW));
  const Zentho::Tessal::Exception& base = e;
  EXPECT_STREQ(base.what(), "Zentho::Tessal::GLException");
}

TEST_F(GLHelpers, OlderErrorIsNotBlamedOnThePush) {
  glEnable(0xFFFF);  // GL_INVALID_ENUM, left pending
  EXPECT_NO_THROW({
    GLAttributeSentry attributes(GL_CURRENT_BIT);
    glMatrixMode(GL_MODELVIEW);
    glEnable(0xFFFF);
    GLMatrixSentry matrix;
  });
  EXPECT_EQ(depth(GL_ATTRIB_STACK_DEPTH), 0);
  EXPECT_EQ(depth(GL_MODELVIEW_STACK_DEPTH), 1);
}

TEST_F(GLHelpers, AttributePushOverflowThrowsAndPopsNothing) {
  const GLint max = depth(GL_MAX_ATTRIB_STACK_DEPTH);
  ASSERT_GT(max, 0);
  {
    std::vector<std::unique_ptr<GLAttributeSentry>> held;
    for (GLint i = 0; i < max; ++i) held.push_back(std::make_unique<GLAttributeSentry>(GL_CURRENT_BIT));
    try {
      GLAttributeSentry one(GL_CURRENT_BIT);
      FAIL() << "the overflowing push did not throw";
    } catch (const GLException& e) {
      EXPECT_EQ(e.getError(), unsigned(GL_STACK_OVERFLOW));
    }
    EXPECT_EQ(depth(GL_ATTRIB_STACK_DEPTH), max);  // the failed sentry popped nothing
  }
  EXPECT_EQ(depth(GL_ATTRIB_STACK_DEPTH), 0);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(GLHelpers, MatrixPushOverflowThrowsAndPopsNothing) {
  glMatrixMode(GL_PROJECTION);
  const GLint max = depth(GL_MAX_PROJECTION_STACK_DEPTH);
  {
    std::vector<std::unique_ptr<GLMatrixSentry>> held;
    for (GLint i = 1; i < max; ++i) held.push_back(std::make_unique<GLMatrixSentry>());
    EXPECT_THROW(GLMatrixSentry(), GLException);
    EXPECT_EQ(depth(GL_PROJECTION_STACK_DEPTH), max);
  }
  EXPECT_EQ(depth(GL_PROJECTION_STACK_DEPTH), 1);
  glMatrixMode(GL_MODELVIEW);
}

TEST_F(GLHelpers, SentriesRestoreWhatTheyGuard) {
  glColor4f(0.25f, 0.5f, 0.75f, 1.f);
  glMatrixMode(GL_MODELVIEW);
  {
    GLAttributeSentry attributes(GL_CURRENT_BIT | GL_ENABLE_BIT);
    GLMatrixSentry matrix;
    glColor4f(1, 0, 0, 1);
    glEnable(GL_BLEND);
    glTranslatef(5, 6, 7);
  }
  GLfloat color[4] = {0, 0, 0, 0};
  glGetFloatv(GL_CURRENT_COLOR, color);
  EXPECT_FLOAT_EQ(color[0], 0.25f);
  EXPECT_FLOAT_EQ(color[2], 0.75f);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  EXPECT_FLOAT_EQ(m[12], 0.f);

  // Unwinding through a guarded scope restores too.
  try {
    GLAttributeSentry attributes(GL_ENABLE_BIT);
    glEnable(GL_BLEND);
    throw GLException(1);
  } catch (const GLException&) {
  }
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(GLHelpers, TransparentRectangleBlendsOverWhatIsThere) {
  clear(Qt::white);
  glColor3f(0, 1, 0);
  DrawTransparentRectangle(R(0.25, 0.25, 0.5, 0.5), QColor(255, 0, 0), 0.5f);
  const QColor inside = at(0.5, 0.5);
  EXPECT_NEAR(inside.red(), 255, 2);
  EXPECT_NEAR(inside.green(), 128, 2);
  EXPECT_NEAR(inside.blue(), 128, 2);
  EXPECT_EQ(at(0.1, 0.5), QColor(Qt::white));
  EXPECT_EQ(at(0.5, 0.9), QColor(Qt::white));

  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLfloat color[4];
  glGetFloatv(GL_CURRENT_COLOR, color);
  EXPECT_FLOAT_EQ(color[1], 1.f);  // the caller's colour is back
}

TEST_F(GLHelpers, BevelledRectangleOfBlackIsOneFlatQuad) {
  clear(Qt::white);
  DrawBevelledRectangle(R(0.1, 0.1, 0.8, 0.8), QColor(Qt::black), 150, 0.1f);
  for (double fx : {0.12, 0.15, 0.5, 0.85, 0.88}) {
    for (double fy : {0.12, 0.2, 0.5, 0.8, 0.88}) EXPECT_EQ(at(fx, fy), QColor(Qt::black)) << fx << "," << fy;
  }
  EXPECT_EQ(at(0.05, 0.5), QColor(Qt::white));
}

TEST_F(GLHelpers, BevelledRectangleIsLitFromTopRight) {
  clear(Qt::black);
  const QColor base(100, 100, 100);
  DrawBevelledRectangle(R(0.1, 0.1, 0.8, 0.8), base, 150, 0.1f);
  const int left = at(0.13, 0.5).value(), right = at(0.87, 0.5).value();
  const int bottom = at(0.5, 0.12).value(), top = at(0.5, 0.88).value();
  const int middle = at(0.5, 0.5).value();
  EXPECT_EQ(left, base.darker(150).value());
  EXPECT_EQ(right, base.lighter(150).value());
  EXPECT_LT(bottom, middle);
  EXPECT_LT(middle, top);
  EXPECT_GT(middle, left);
  EXPECT_LT(middle, right);
}

}  // namespace
