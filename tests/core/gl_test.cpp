// The GL sentries and rectangle routines, drawn into a target of the test's
// own with world (0, 0)-(1, 1) over the whole of it.
#include "core/gltarget.h"

#include <arvelle/glhelpers.h>

#include <functional>
#include <vector>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;

namespace {

class GLHelpers : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(target.open(cSize, cSize));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }
  static void clear(const QColor& c) {
    glClearColor(c.redF(), c.greenF(), c.blueF(), 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  static QColor at(double fx, double fy) { return GLTarget::pixel(int(fx * cSize), int(fy * cSize)).rgb(); }
  static GLint get(GLenum which) {
    GLint v = -1;
    glGetIntegerv(which, &v);
    return v;
  }

  static constexpr int cSize = 96;
  GLTarget target;
};

TEST_F(GLHelpers, OlderPendingErrorIsNotBlamedOnThePush) {
  glEnable(0xFFFF);  // GL_INVALID_ENUM, left pending
  EXPECT_NO_THROW({
    GLAttributeSentry attributes(GL_CURRENT_BIT);
    glEnable(0xFFFF);
    GLMatrixSentry matrix;
  });
  EXPECT_EQ(get(GL_ATTRIB_STACK_DEPTH), 0);
  EXPECT_EQ(get(GL_MODELVIEW_STACK_DEPTH), 1);
}

TEST_F(GLHelpers, PushThatOverflowsItsStackThrowsAndPopsNothing) {
  glMatrixMode(GL_PROJECTION);
  const struct {
    const char* sentry;
    GLenum depth, max;
    std::function<std::shared_ptr<void>()> push;
  } rows[] = {{"attributes", GL_ATTRIB_STACK_DEPTH, GL_MAX_ATTRIB_STACK_DEPTH,
               [] { return std::make_shared<GLAttributeSentry>(GL_CURRENT_BIT); }},
              {"projection matrix", GL_PROJECTION_STACK_DEPTH, GL_MAX_PROJECTION_STACK_DEPTH,
               [] { return std::make_shared<GLMatrixSentry>(); }}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.sentry);
    const GLint before = get(r.depth), max = get(r.max);
    {
      std::vector<std::shared_ptr<void>> held;
      for (GLint d = before; d < max; ++d) held.push_back(r.push());
      try {
        r.push();
        ADD_FAILURE() << "the overflowing push did not throw";
      } catch (const GLException& e) {
        EXPECT_EQ(e.getError(), unsigned(GL_STACK_OVERFLOW));
        EXPECT_STREQ(e.what(), "Zentho::Tessal::GLException");
      }
      EXPECT_EQ(get(r.depth), max);  // the failed sentry popped nothing
    }
    EXPECT_EQ(get(r.depth), before);
  }
  glMatrixMode(GL_MODELVIEW);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(GLHelpers, TransparentRectangleBlendsOverWhatIsThereAndRestoresTheState) {
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
  EXPECT_FLOAT_EQ(color[1], 1.f);
}

TEST_F(GLHelpers, BevelledRectangleIsLitFromTopRightAndFlatWithoutShades) {
  clear(Qt::black);
  const QColor base(100, 100, 100);
  DrawBevelledRectangle(R(0.1, 0.1, 0.8, 0.8), base, 150, 0.1f);
  const int left = at(0.13, 0.5).value(), right = at(0.87, 0.5).value(), middle = at(0.5, 0.5).value();
  EXPECT_EQ(left, base.darker(150).value());
  EXPECT_EQ(right, base.lighter(150).value());
  EXPECT_LT(at(0.5, 0.12).value(), middle);  // bottom band
  EXPECT_LT(middle, at(0.5, 0.88).value());  // top band
  EXPECT_GT(middle, left);
  EXPECT_LT(middle, right);
  // Black has no lighter or darker shade: one flat quad, bevels included.
  clear(Qt::white);
  DrawBevelledRectangle(R(0.1, 0.1, 0.8, 0.8), QColor(Qt::black), 150, 0.1f);
  for (double f : {0.12, 0.15, 0.5, 0.85, 0.88}) {
    EXPECT_EQ(at(f, 0.5), QColor(Qt::black)) << f;
    EXPECT_EQ(at(0.5, f), QColor(Qt::black)) << f;
  }
  EXPECT_EQ(at(0.05, 0.5), QColor(Qt::white));
}

}  // namespace
