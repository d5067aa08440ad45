// The GL side of curve drawing: polylines, keyframe markers and tangent
// handles in world units, sized in pixels. Only finite vertices near the
// view ever reach GL: runs are broken at non-finite samples and lines that
// leave a generous band around the view are clipped to it, so curves with
// enormous values draw exactly the visible part and nothing else.
#pragma once

#include "layers/curvegeometry.h"

#include <arvelle/version.h>

#include <tessal/types.h>

#include <QColor>

#include <cstddef>
#include <cstdint>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

class CurveDrawer {
 public:
  explicit CurveDrawer(const PixelMap& map);

  // One line strip through the points, width 1, opaque colour.
  void polyline(const Tessal::Vector2D<double>* points, std::size_t n, const QColor& color);
  // A 4.4-pixel square, or for a breakdown key a diamond 1.414 times larger.
  void keyMarker(const Tessal::Vector2D<double>& key, bool breakdown, bool filled, const QColor& color);
  // Handle line at half opacity, then the opaque arrowhead.
  void handle(const HandlePixels& handle, bool filled, const QColor& color);

  // Vertices handed to GL so far.
  std::size_t vertexCount() const { return mVertices; }

  // Whether a pixel-space box of this extent around p can touch the window.
  bool nearWindow(const Tessal::Vector2D<double>& p, double margin) const;

 private:
  bool inGuard(const Tessal::Vector2D<double>& w) const {
    return w.x >= mGuardX0 && w.x <= mGuardX1 && w.y >= mGuardY0 && w.y <= mGuardY1;
  }
  void vertex(const Tessal::Vector2D<double>& w);
  void vertexPixel(const Tessal::Vector2D<double>& p);
  void clippedLine(Tessal::Vector2D<double> a, Tessal::Vector2D<double> b);

  const PixelMap& mMap;
  double mGuardX0, mGuardX1, mGuardY0, mGuardY1;  // world
  std::size_t mVertices = 0;
};

ZENTHO_ARVELLE_NAMESPACE_END
