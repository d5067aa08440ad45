#include "layers/curvedrawing.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

using Tessal::Vector2D;

namespace {

// The band around the view, in view sizes, inside which vertices go to GL
// unchanged; beyond it lines are clipped first. Wide enough that clipping
// never shows, small enough that single-precision GL stays exact for
// vertices relative to an origin in the view.
constexpr double cGuardViews = 8.0;

// Half-extent of a keyframe marker in pixels, and the breakdown factor.
constexpr double cMarkerHalf = 2.2;
constexpr double cBreakdownScale = 1.414;
// Arrowhead: half its base width and its length beyond the handle end.
constexpr double cArrowHalfWidth = 2.9;
constexpr double cArrowLength = 5.0;

constexpr float cHandleLineAlpha = 0.5f;

bool Finite(const Vector2D<double>& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

}  // namespace

void SetUpCurveState() {
  glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
  glEnable(GL_LINE_SMOOTH);
  glEnable(GL_POLYGON_SMOOTH);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  // Every primitive of the curve drawing is one pixel wide.
  glLineWidth(1.0f);
}

CurveDrawer::CurveDrawer(const PixelMap& map, const Vector2D<double>& origin)
    : mMap(map), mOrigin(origin), mMode(GL_LINES) {
  mViewX = map.worldX - origin.x;
  mViewY = map.worldY - origin.y;
  const double gx = cGuardViews * map.worldWidth, gy = cGuardViews * map.worldHeight;
  mGuardX0 = mViewX - gx;
  mGuardX1 = mViewX + map.worldWidth + gx;
  mGuardY0 = mViewY - gy;
  mGuardY1 = mViewY + map.worldHeight + gy;
}

CurveDrawer::~CurveDrawer() { flush(); }

bool CurveDrawer::nearWindow(const Vector2D<double>& p, double margin) const {
  return p.x >= mMap.winX - margin && p.x <= mMap.winX + mMap.winWidth + margin && p.y >= mMap.winY - margin &&
         p.y <= mMap.winBottom + margin;
}

void CurveDrawer::flush() {
  if (mOpen) glEnd();
  mOpen = false;
}

void CurveDrawer::primitive(unsigned int mode) {
  if (mOpen && mMode == mode) return;
  flush();
  glBegin(mode);
  mMode = mode;
  mOpen = true;
}

void CurveDrawer::color(const QColor& c, float alpha) {
  const float rgba[4] = {static_cast<float>(c.redF()), static_cast<float>(c.greenF()),
                         static_cast<float>(c.blueF()), alpha};
  if (std::equal(rgba, rgba + 4, mColor)) return;
  std::copy(rgba, rgba + 4, mColor);
  glColor4f(rgba[0], rgba[1], rgba[2], rgba[3]);
}

void CurveDrawer::vertex(const Vector2D<double>& r) {
  glVertex2d(r.x, r.y);
  ++mVertices;
}

// Liang-Barsky against the guard band.
void CurveDrawer::line(const Vector2D<double>& a, const Vector2D<double>& b) {
  // a and b are relative.
  if (inGuard(a) && inGuard(b)) {
    vertex(a);
    vertex(b);
    return;
  }
  const Vector2D<double> d = b - a;
  double t0 = 0.0, t1 = 1.0;
  const double p[4] = {-d.x, d.x, -d.y, d.y};
  const double q[4] = {a.x - mGuardX0, mGuardX1 - a.x, a.y - mGuardY0, mGuardY1 - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0.0) {
      t0 = std::max(t0, r);
    } else {
      t1 = std::min(t1, r);
    }
    if (!(t0 <= t1)) return;
  }
  const Vector2D<double> c0 = a + d * t0, c1 = a + d * t1;
  if (!Finite(c0) || !Finite(c1)) return;
  vertex(c0);
  vertex(c1);
}

void CurveDrawer::polyline(const Vector2D<double>* points, std::size_t n, const QColor& c) {
  if (n < 2) return;
  primitive(GL_LINES);
  color(c, 1.0f);
  for (std::size_t i = 1; i < n; ++i) {
    // A non-finite sample leaves a gap: nothing is drawn across it.
    if (Finite(points[i - 1]) && Finite(points[i])) line(relative(points[i - 1]), relative(points[i]));
  }
}

void CurveDrawer::keyMarker(const Vector2D<double>& key, bool breakdown, bool filled, const QColor& c) {
  // Sized around the relative key: a pixel's offset added to the absolute
  // one would round away far from zero.
  const Vector2D<double> k = relative(key);
  if (!Finite(k) || !inGuard(k)) return;
  const double scale = breakdown ? cBreakdownScale : 1.0;
  const double hx = cMarkerHalf * scale * mMap.upx, hy = cMarkerHalf * scale * mMap.upy;
  Vector2D<double> v[4];
  if (breakdown) {
    // Left, bottom, right, top.
    v[0] = {k.x - hx, k.y};
    v[1] = {k.x, k.y - hy};
    v[2] = {k.x + hx, k.y};
    v[3] = {k.x, k.y + hy};
  } else {
    v[0] = {k.x - hx, k.y - hy};
    v[1] = {k.x + hx, k.y - hy};
    v[2] = {k.x + hx, k.y + hy};
    v[3] = {k.x - hx, k.y + hy};
  }
  if (filled) {
    primitive(GL_TRIANGLES);
    color(c, 1.0f);
    for (int i : {0, 1, 2, 0, 2, 3}) vertex(v[i]);
  } else {
    primitive(GL_LINES);
    color(c, 1.0f);
    for (int i = 0; i < 4; ++i) {
      vertex(v[i]);
      vertex(v[(i + 1) % 4]);
    }
  }
}

void CurveDrawer::handleLine(const HandlePixels& h, const QColor& c) {
  const Vector2D<double> k = fromPixel(h.key), e = fromPixel(h.end);
  if (!Finite(k) || !Finite(e)) return;
  primitive(GL_LINES);
  color(c, cHandleLineAlpha);
  line(k, e);
}

void CurveDrawer::arrowhead(const HandlePixels& h, bool filled, const QColor& c) {
  const Vector2D<double> side(h.dir.y * cArrowHalfWidth, -h.dir.x * cArrowHalfWidth);
  const Vector2D<double> v[3] = {fromPixel(h.end + side), fromPixel(h.end - side),
                                 fromPixel(h.end + h.dir * cArrowLength)};
  // An end far outside the view has its head off screen too.
  for (const auto& p : v) {
    if (!Finite(p) || !inGuard(p)) return;
  }
  if (filled) {
    primitive(GL_TRIANGLES);
    color(c, 1.0f);
    for (const auto& p : v) vertex(p);
  } else {
    primitive(GL_LINES);
    color(c, 1.0f);
    for (int i = 0; i < 3; ++i) {
      vertex(v[i]);
      vertex(v[(i + 1) % 3]);
    }
  }
}

ZENTHO_ARVELLE_NAMESPACE_END
