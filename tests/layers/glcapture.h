// A GL context of its own for drawing layers outside a widget, with the
// widget's projection, and GL feedback mode to read back the lines a layer
// draws (window coordinates, y up, and their colours). Needs an X server.
#pragma once

#include <arvelle/layer.h>
#include <arvelle/viewport.h>

#include <QColor>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace Capture {

struct Line {
  double x0, y0, x1, y1;  // window pixels, y up from the bottom
  QColor color;
  // Clipping may move an end by a float step.
  bool vertical() const { return std::fabs(x0 - x1) < 1e-3 && std::fabs(y0 - y1) >= 1e-3; }
  bool horizontal() const { return std::fabs(y0 - y1) < 1e-3 && std::fabs(x0 - x1) >= 1e-3; }
};

struct Text {
  int x, y;
  QString text;
  QColor color;
};

class GLTarget {
 public:
  // False without a GL context (no X server).
  bool create(int width, int height) {
    mWidth = width;
    mHeight = height;
    mSurface.create();
    if (!mContext.create() || !mContext.makeCurrent(&mSurface)) return false;
    mFbo = std::make_unique<QOpenGLFramebufferObject>(width, height);
    return mFbo->bind();
  }
  ~GLTarget() {
    mFbo.reset();
    mContext.doneCurrent();
  }

  // What GraphWidget::paintGL sets up around the root's draw.
  void project(const Zentho::Arvelle::Viewport& vp) {
    const auto& w = vp.getWorldBounds();
    glViewport(0, 0, mWidth, mHeight);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(w.x, w.x + w.width, w.y, w.y + w.height, 0.0, 1.0);
    while (glGetError() != GL_NO_ERROR) {
    }
  }

  // Draws the layer in feedback mode and returns its lines in order.
  std::vector<Line> lines(const Zentho::Arvelle::Layer& layer, const Zentho::Arvelle::Viewport& vp,
                          std::vector<Text>* texts = nullptr) {
    project(vp);
    QMetaObject::Connection c;
    if (texts) {
      c = QObject::connect(&layer, &Zentho::Arvelle::Layer::requestDrawText,
                           [texts](int x, int y, const QString& t, const QColor& col) {
                             texts->push_back({x, y, t, col});
                           });
    }
    std::vector<GLfloat> buffer(1 << 22);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    layer.draw(vp);
    const GLint n = glRenderMode(GL_RENDER);
    QObject::disconnect(c);
    EXPECT_GE(n, 0) << "feedback buffer overflow";
    std::vector<Line> out;
    // Each vertex: x, y, z, then RGBA.
    auto color = [&](GLint i) {
      return QColor::fromRgbF(buffer[i + 3], buffer[i + 4], buffer[i + 5], buffer[i + 6]);
    };
    for (GLint i = 0; i < n;) {
      const GLint token = static_cast<GLint>(buffer[i++]);
      if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
        out.push_back({buffer[i], buffer[i + 1], buffer[i + 7], buffer[i + 8], color(i)});
        i += 14;
      } else if (token == GL_POLYGON_TOKEN) {
        const GLint count = static_cast<GLint>(buffer[i++]);
        polygons += 1;
        i += 7 * count;
      } else if (token == GL_PASS_THROUGH_TOKEN) {
        i += 1;
      } else {  // points, bitmaps, pixel rectangles: one vertex
        i += 7;
      }
    }
    return out;
  }

  // The colour at a pixel of the target (x right, y up), read as RGB.
  QColor pixel(int x, int y) {
    unsigned char rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return QColor(rgb[0], rgb[1], rgb[2]);
  }

  int polygons = 0;

 private:
  int mWidth = 0, mHeight = 0;
  QOffscreenSurface mSurface;
  QOpenGLContext mContext;
  std::unique_ptr<QOpenGLFramebufferObject> mFbo;
};

}  // namespace Capture
