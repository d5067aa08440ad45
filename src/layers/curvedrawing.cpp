#include "layers/curvedrawing.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

using Tessal::Vector2D;

namespace {

// The band around the view, in view sizes, inside which vertices go to GL
// unchanged; beyond it lines are clipped first. Wide enough that clipping
// never shows, small enough that single-precision GL stays exact.
constexpr double cGuardViews = 8.0;

// Half-extent of a keyframe marker in pixels, and the breakdown factor.
constexpr double cMarkerHalf = 2.2;
constexpr double cBreakdownScale = 1.414;
// Arrowhead: half its base width and its length beyond the handle end.
constexpr double cArrowHalfWidth = 2.9;
constexpr double cArrowLength = 5.0;

bool Finite(const Vector2D<double>& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

void SetColor(const QColor& c, float alpha) {
  glColor4f(static_cast<GLfloat>(c.redF()), static_cast<GLfloat>(c.greenF()), static_cast<GLfloat>(c.blueF()), alpha);
}

}  // namespace

CurveDrawer::CurveDrawer(const PixelMap& map) : mMap(map) {
  const double gx = cGuardViews * map.worldWidth, gy = cGuardViews * map.worldHeight;
  mGuardX0 = map.worldX - gx;
  mGuardX1 = map.worldX + map.worldWidth + gx;
  mGuardY0 = map.worldY - gy;
  mGuardY1 = map.worldY + map.worldHeight + gy;
}

bool CurveDrawer::nearWindow(const Vector2D<double>& p, double margin) const {
  return p.x >= mMap.winX - margin && p.x <= mMap.winX + mMap.winWidth + margin && p.y >= mMap.winY - margin &&
         p.y <= mMap.winBottom + margin;
}

void CurveDrawer::vertex(const Vector2D<double>& w) {
  glVertex2d(w.x, w.y);
  ++mVertices;
}

void CurveDrawer::vertexPixel(const Vector2D<double>& p) { vertex(mMap.toWorld(p)); }

// Liang-Barsky against the guard band; draws what is left as its own strip.
void CurveDrawer::clippedLine(Vector2D<double> a, Vector2D<double> b) {
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
  glBegin(GL_LINE_STRIP);
  vertex(c0);
  vertex(c1);
  glEnd();
}

void CurveDrawer::polyline(const Vector2D<double>* points, std::size_t n, const QColor& color) {
  if (n < 2) return;
  glLineWidth(1.0f);
  SetColor(color, 1.0f);
  bool open = false;
  bool havePrev = false;
  Vector2D<double> prev;
  for (std::size_t i = 0; i < n; ++i) {
    const Vector2D<double>& p = points[i];
    if (!Finite(p)) {
      // A gap: the curve is not drawn across it.
      if (open) glEnd();
      open = false;
      havePrev = false;
      continue;
    }
    if (havePrev) {
      if (inGuard(prev) && inGuard(p)) {
        if (!open) {
          glBegin(GL_LINE_STRIP);
          vertex(prev);
          open = true;
        }
        vertex(p);
      } else {
        if (open) glEnd();
        open = false;
        clippedLine(prev, p);
      }
    }
    prev = p;
    havePrev = true;
  }
  if (open) glEnd();
}

void CurveDrawer::keyMarker(const Vector2D<double>& key, bool breakdown, bool filled, const QColor& color) {
  if (!Finite(key) || !inGuard(key)) return;
  const double scale = breakdown ? cBreakdownScale : 1.0;
  const double hx = cMarkerHalf * scale * mMap.upx, hy = cMarkerHalf * scale * mMap.upy;
  glLineWidth(1.0f);
  SetColor(color, 1.0f);
  glBegin(filled ? GL_POLYGON : GL_LINE_LOOP);
  if (breakdown) {
    vertex({key.x - hx, key.y});
    vertex({key.x, key.y - hy});
    vertex({key.x + hx, key.y});
    vertex({key.x, key.y + hy});
  } else {
    vertex({key.x - hx, key.y - hy});
    vertex({key.x + hx, key.y - hy});
    vertex({key.x + hx, key.y + hy});
    vertex({key.x - hx, key.y + hy});
  }
  glEnd();
}

void CurveDrawer::handle(const HandlePixels& h, bool filled, const QColor& color) {
  const Vector2D<double> k = mMap.toWorld(h.key), e = mMap.toWorld(h.end);
  if (!Finite(k) || !Finite(e)) return;
  glLineWidth(1.0f);
  SetColor(color, 0.5f);
  if (inGuard(k) && inGuard(e)) {
    glBegin(GL_LINE_STRIP);
    vertex(k);
    vertex(e);
    glEnd();
  } else {
    clippedLine(k, e);
  }

  // The arrowhead only exists near its end; an end far away is off screen.
  if (!inGuard(e)) return;
  const Vector2D<double> side(h.dir.y * cArrowHalfWidth, -h.dir.x * cArrowHalfWidth);
  SetColor(color, 1.0f);
  glBegin(filled ? GL_POLYGON : GL_LINE_LOOP);
  vertexPixel(h.end + side);
  vertexPixel(h.end - side);
  vertexPixel(h.end + h.dir * cArrowLength);
  glEnd();
}

ZENTHO_ARVELLE_NAMESPACE_END
