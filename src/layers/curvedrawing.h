// The GL side of curve drawing: polylines, keyframe markers and tangent
// handles in world units, sized in pixels. Vertices go to GL relative to an
// origin near the view (the caller loads the matching projection,
// GLRelativeProjection), so that single precision keeps them exact however
// far the view lies from the world's zero.
//
// Only finite vertices near the view ever reach GL: runs are broken at
// non-finite samples and lines that leave a generous band around the view
// are clipped to it, so curves with enormous values draw exactly their
// visible part.
//
// Primitives go out as independent lines and triangles, consecutive ones of
// one kind in one batch: GL draws a line strip exactly as the lines between
// its consecutive points, a line loop as its closed lines and a convex
// polygon as the fan of triangles from its first corner, while a change of
// primitive kind costs the GL implementation more than hundreds of
// vertices. Drawing order is kept.
#pragma once

#include "layers/curvegeometry.h"

#include <arvelle/version.h>

#include <tessal/types.h>

#include <QColor>

#include <GL/gl.h>

#include <cstddef>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

// The GL state groups that curve drawing changes, and its settings: nicest
// smoothed lines and polygons, alpha blending, one-pixel lines. The caller
// saves the groups first (GLAttributeSentry).
constexpr unsigned int cCurveAttributes =
    GL_HINT_BIT | GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_POLYGON_BIT | GL_LINE_BIT | GL_CURRENT_BIT;
void SetUpCurveState();

class CurveDrawer {
 public:
  // Expects line width and smoothing already set and the projection relative
  // to origin loaded; ends its last batch when destroyed.
  CurveDrawer(const PixelMap& map, const Tessal::Vector2D<double>& origin);
  ~CurveDrawer();
  CurveDrawer(const CurveDrawer&) = delete;
  CurveDrawer& operator=(const CurveDrawer&) = delete;

  // A line strip through the points, opaque colour.
  void polyline(const Tessal::Vector2D<double>* points, std::size_t n, const QColor& color);
  // A 4.4-pixel square, or for a breakdown key a diamond 1.414 times larger.
  void keyMarker(const Tessal::Vector2D<double>& key, bool breakdown, bool filled, const QColor& color);
  // The handle line at half opacity.
  void handleLine(const HandlePixels& handle, const QColor& color);
  // The opaque arrowhead beyond the handle end.
  void arrowhead(const HandlePixels& handle, bool filled, const QColor& color);

  // Ends the open batch.
  void flush();

  // Vertices handed to GL so far.
  std::size_t vertexCount() const { return mVertices; }

  // Whether a pixel point lies within margin pixels of the window.
  bool nearWindow(const Tessal::Vector2D<double>& p, double margin) const;

 private:
  // Points named r below are relative to the origin.
  bool inGuard(const Tessal::Vector2D<double>& r) const {
    return r.x >= mGuardX0 && r.x <= mGuardX1 && r.y >= mGuardY0 && r.y <= mGuardY1;
  }
  Tessal::Vector2D<double> relative(const Tessal::Vector2D<double>& w) const { return w - mOrigin; }
  // A window pixel straight to a relative point.
  Tessal::Vector2D<double> fromPixel(const Tessal::Vector2D<double>& p) const {
    return {mViewX + (p.x - mMap.winX) * mMap.upx, mViewY + (mMap.winBottom - p.y) * mMap.upy};
  }
  void primitive(unsigned int mode);
  void color(const QColor& c, float alpha);
  void vertex(const Tessal::Vector2D<double>& r);
  // One line, clipped to the guard band first when an end lies outside it.
  void line(const Tessal::Vector2D<double>& ra, const Tessal::Vector2D<double>& rb);

  const PixelMap& mMap;
  Tessal::Vector2D<double> mOrigin;
  double mViewX, mViewY;                           // the view's lower-left corner, relative
  double mGuardX0, mGuardX1, mGuardY0, mGuardY1;  // relative
  unsigned int mMode;                              // the open batch; none when mOpen is false
  bool mOpen = false;
  float mColor[4] = {-1, -1, -1, -1};  // the colour last sent
  std::size_t mVertices = 0;
};

ZENTHO_ARVELLE_NAMESPACE_END
