// Scope guards for fixed-function GL state and two shaded-rectangle routines.
// Every layer that changes GL state saves it with a sentry so that layers can
// be drawn in any order. Use only with the widget's GL context current.
#pragma once

#include <arvelle/version.h>

#include <tessal/types.h>

class QColor;

ZENTHO_ARVELLE_NAMESPACE_BEGIN

class Viewport;

// A GL error found right after pushing state.
class ZENTHO_ARVELLE_EXPORT GLException : public Tessal::Exception {
 public:
  explicit GLException(unsigned int error) : mError(error) {}
  ~GLException() override;
  // The fixed text "Zentho::Tessal::GLException"; the code is in getError().
  const char* what() const noexcept override;
  unsigned int getError() const { return mError; }

 private:
  unsigned int mError;
};

// Pushes the attribute groups of the mask; pops them when destroyed.
class ZENTHO_ARVELLE_EXPORT GLAttributeSentry {
 public:
  // Throws GLException when the push itself raises a GL error; an error that
  // was pending before is discarded, not blamed on the push.
  explicit GLAttributeSentry(unsigned int mask);
  ~GLAttributeSentry();
  GLAttributeSentry(const GLAttributeSentry&) = delete;
  GLAttributeSentry& operator=(const GLAttributeSentry&) = delete;
};

// Pushes the current matrix stack; pops whichever stack is current when
// destroyed, so the owner must leave the matrix mode as it found it.
class ZENTHO_ARVELLE_EXPORT GLMatrixSentry {
 public:
  GLMatrixSentry();
  ~GLMatrixSentry();
  GLMatrixSentry(const GLMatrixSentry&) = delete;
  GLMatrixSentry& operator=(const GLMatrixSentry&) = delete;
};

// Loads the orthographic projection of the viewport's world relative to its
// origin (Viewport::getOrigin) onto a pushed projection matrix, and pops it
// when destroyed; the matrix mode is left as found. Under it a world point w
// is drawn as w - origin(), subtracted in double precision: GL's single
// precision then loses nothing far from the world's zero, where the widget's
// absolute projection blurs by a pixel and more. Only the identity is
// loaded where LoadOrthographic loads nothing.
class ZENTHO_ARVELLE_EXPORT GLRelativeProjection {
 public:
  // Throws GLException when the projection stack is full.
  explicit GLRelativeProjection(const Viewport& viewport);
  ~GLRelativeProjection();
  GLRelativeProjection(const GLRelativeProjection&) = delete;
  GLRelativeProjection& operator=(const GLRelativeProjection&) = delete;

  const Tessal::Vector2D<double>& origin() const { return mOrigin; }
  // The world point as GL takes it under this projection.
  Tessal::Vector2D<double> relative(const Tessal::Vector2D<double>& w) const { return w - mOrigin; }
  double relativeX(double x) const { return x - mOrigin.x; }
  double relativeY(double y) const { return y - mOrigin.y; }

 private:
  Tessal::Vector2D<double> mOrigin;
  int mMode;
};

// Loads onto the current matrix the orthographic projection of [left, right]
// x [bottom, top], near 0 and far 1, and returns true when GL can take these
// planes; otherwise loads the identity and returns false. GL keeps the planes
// and its matrix in single precision and refuses planes that coincide there
// (GL_INVALID_VALUE): not finite, unbounded as floats, or a size lost in
// their rounding (a view far smaller than its distance from zero, or than
// the least float).
ZENTHO_ARVELLE_EXPORT bool LoadOrthographic(double left, double right, double bottom, double top);

// A raised button face in world units: lit top and right, shaded bottom and
// left; factor is the lighter/darker factor, bevel the side bands' width.
ZENTHO_ARVELLE_EXPORT void DrawBevelledRectangle(const Tessal::Rectangle<double>& rect, const QColor& color,
                                            int factor, float bevel);
// The rectangle filled with the colour at opacity alpha (0 to 1).
ZENTHO_ARVELLE_EXPORT void DrawTransparentRectangle(const Tessal::Rectangle<double>& rect, const QColor& color,
                                               float alpha);

ZENTHO_ARVELLE_NAMESPACE_END
