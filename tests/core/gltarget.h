// An offscreen GL context drawing into a colour target of its own, for
// suites that draw outside a widget. Needs an X server: the offscreen
// platform has no GL.
#pragma once

#include <QColor>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <memory>

class GLTarget {
 public:
  ~GLTarget() {
    fbo.reset();
    context.doneCurrent();
  }
  // Current and bound, GL viewport over the whole target, no error pending.
  ::testing::AssertionResult open(int width, int height) {
    surface.create();
    if (!context.create() || !context.makeCurrent(&surface)) return ::testing::AssertionFailure() << "no GL context";
    fbo = std::make_unique<QOpenGLFramebufferObject>(width, height);
    if (!fbo->bind()) return ::testing::AssertionFailure() << "cannot bind the colour target";
    glViewport(0, 0, width, height);
    while (glGetError() != GL_NO_ERROR) {
    }
    return ::testing::AssertionSuccess();
  }
  // Straight from the target, rows from the bottom: blending also writes
  // alpha, which an image read-back would take as premultiplied.
  static QColor pixel(int x, int y) {
    unsigned char c[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, c);
    return QColor(c[0], c[1], c[2], c[3]);
  }

 private:
  QOffscreenSurface surface;
  QOpenGLContext context;
  std::unique_ptr<QOpenGLFramebufferObject> fbo;
};
