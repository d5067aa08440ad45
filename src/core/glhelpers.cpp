#include <arvelle/glhelpers.h>

#include "core/gldrawing.h"

#include <arvelle/viewport.h>

#include <QColor>

#include <GL/gl.h>

#include <cmath>
#include <limits>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

namespace {
// Current, enable and colour-buffer state: what the rectangle routines touch.
constexpr unsigned int cRectangleState = GL_CURRENT_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT;

void ThrowOnError() {
  const GLenum error = glGetError();
  if (error != GL_NO_ERROR) throw GLException(error);
}

void Color(const QColor& c) {
  glColor3f(static_cast<GLfloat>(c.redF()), static_cast<GLfloat>(c.greenF()), static_cast<GLfloat>(c.blueF()));
}

void Vertex(double x, double y) { glVertex2f(static_cast<GLfloat>(x), static_cast<GLfloat>(y)); }

void EnableBlending() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

QColor Mix(const QColor& a, double wa, const QColor& b, double wb) {
  return QColor(static_cast<int>(wa * a.red() + wb * b.red()), static_cast<int>(wa * a.green() + wb * b.green()),
                static_cast<int>(wa * a.blue() + wb * b.blue()), 255);
}
// The planes as GL keeps them are apart, and the scale and offset it builds
// from them are finite floats.
bool FitsSinglePrecision(double lo, double hi) {
  const float l = static_cast<float>(lo), h = static_cast<float>(hi);
  const float size = h - l;
  return std::isfinite(size) && size >= std::numeric_limits<float>::min() && std::isfinite((h + l) / size);
}
}  // namespace

GLException::~GLException() = default;

const char* GLException::what() const noexcept { return "Zentho::Tessal::GLException"; }

GLAttributeSentry::GLAttributeSentry(unsigned int mask) {
  glGetError();
  glPushAttrib(mask);
  ThrowOnError();
}

GLAttributeSentry::~GLAttributeSentry() { glPopAttrib(); }

GLMatrixSentry::GLMatrixSentry() {
  glGetError();
  glPushMatrix();
  ThrowOnError();
}

GLMatrixSentry::~GLMatrixSentry() { glPopMatrix(); }

GLRelativeProjection::GLRelativeProjection(const Viewport& viewport) : mOrigin(viewport.getOrigin()) {
  GLint mode = GL_MODELVIEW;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  mMode = mode;
  glMatrixMode(GL_PROJECTION);
  glGetError();
  glPushMatrix();
  const GLenum error = glGetError();
  if (error != GL_NO_ERROR) {
    glMatrixMode(static_cast<GLenum>(mMode));
    throw GLException(error);
  }
  const auto& world = viewport.getWorldBounds();
  // Left and bottom relative to the origin, right and top a world size on:
  // the scale is exactly the viewport's.
  const double left = world.x - mOrigin.x, bottom = world.y - mOrigin.y;
  LoadOrthographic(left, left + world.width, bottom, bottom + world.height);
  glMatrixMode(static_cast<GLenum>(mMode));
}

GLRelativeProjection::~GLRelativeProjection() {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(static_cast<GLenum>(mMode));
}

void SetGLColor(const QColor& c) {
  glColor4f(static_cast<GLfloat>(c.redF()), static_cast<GLfloat>(c.greenF()), static_cast<GLfloat>(c.blueF()),
            static_cast<GLfloat>(c.alphaF()));
}

void BeginSmoothLines(float width) {
  glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  glEnable(GL_LINE_SMOOTH);
  EnableBlending();
  glLineWidth(width);
}

bool LoadOrthographic(double left, double right, double bottom, double top) {
  glLoadIdentity();
  if (!FitsSinglePrecision(left, right) || !FitsSinglePrecision(bottom, top)) return false;
  glOrtho(left, right, bottom, top, 0.0, 1.0);
  return true;
}

void DrawTransparentRectangle(const Tessal::Rectangle<double>& r, const QColor& color, float alpha) {
  GLAttributeSentry sentry(cRectangleState);
  EnableBlending();
  glColor4f(static_cast<GLfloat>(color.redF()), static_cast<GLfloat>(color.greenF()),
            static_cast<GLfloat>(color.blueF()), alpha);
  glRectf(static_cast<GLfloat>(r.x), static_cast<GLfloat>(r.y + r.height), static_cast<GLfloat>(r.x + r.width),
          static_cast<GLfloat>(r.y));
}

void DrawBevelledRectangle(const Tessal::Rectangle<double>& r, const QColor& color, int factor, float bevel) {
  // lighter/darker are the current names of QColor::light/dark, same result.
  const QColor light = color.lighter(factor);
  const QColor dark = color.darker(factor);

  GLAttributeSentry sentry(cRectangleState);
  EnableBlending();
  glBegin(GL_QUADS);
  const double x0 = r.x, x1 = r.x + r.width, y0 = r.y, y1 = r.y + r.height;
  if (light == dark) {
    Color(light);
    Vertex(x0, y0);
    Vertex(x1, y0);
    Vertex(x1, y1);
    Vertex(x0, y1);
    glEnd();
    return;
  }
  const QColor upper = Mix(light, 0.66666, dark, 0.333333);
  const QColor lower = Mix(light, 0.33333, dark, 0.66666);
  const double xl = x0 + bevel, xr = x1 - bevel, yb = y0 + r.height / 3, yt = y1 - r.height / 3;

  // Left bevel.
  Color(dark);
  Vertex(x0, y0);
  Vertex(xl, yb);
  Vertex(xl, yt);
  Vertex(x0, y1);
  // Bottom band.
  Vertex(x0, y0);
  Vertex(x1, y0);
  Color(lower);
  Vertex(xr, yb);
  Vertex(xl, yb);
  // Middle face.
  Vertex(xl, yb);
  Vertex(xr, yb);
  Color(upper);
  Vertex(xr, yt);
  Vertex(xl, yt);
  // Top band.
  Vertex(xl, yt);
  Vertex(xr, yt);
  Color(light);
  Vertex(x1, y1);
  Vertex(x0, y1);
  // Right bevel.
  Vertex(x1, y0);
  Vertex(x1, y1);
  Vertex(xr, yt);
  Vertex(xr, yb);
  glEnd();
}

ZENTHO_ARVELLE_NAMESPACE_END
