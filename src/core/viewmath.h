// The rules that every layer applies to what it gets from Qt and the
// viewport, kept in one place so that they cannot drift apart: whole-pixel
// mouse positions, usable rectangles, and the pixel/world mapping.
#pragma once

#include <arvelle/version.h>
#include <arvelle/viewport.h>

#include <tessal/types.h>

#include <QPointF>

#include <cmath>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

// A mouse position as a whole pixel, halves upwards (10.5 -> 11, -3.5 -> -3),
// as Qt rounds its integer positions.
inline Tessal::Vector2D<double> RoundedPixel(const QPointF& p) {
  return Tessal::Vector2D<double>(std::floor(p.x() + 0.5), std::floor(p.y() + 0.5));
}

// Only a finite rectangle with a positive size can be mapped; anything else
// would divide by zero or poison every later mapping.
inline bool IsUsableRectangle(const Tessal::Rectangle<double>& r) {
  return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height) &&
         r.width > 0 && r.height > 0;
}

// Both the window and the world are usable: the mapping divides by nothing.
inline bool CanMap(const Viewport& viewport) {
  return IsUsableRectangle(viewport.getWindowBounds()) && IsUsableRectangle(viewport.getWorldBounds());
}

// Window pixel (y down) to world point, and back.
inline Tessal::Vector2D<double> WindowToWorld(const Viewport& viewport, const Tessal::Vector2D<double>& p) {
  const auto& win = viewport.getWindowBounds();
  const auto& world = viewport.getWorldBounds();
  return Tessal::Vector2D<double>(world.x + (p.x - win.x) * world.width / win.width,
                                  world.y + (win.y + win.height - p.y) * world.height / win.height);
}
inline Tessal::Vector2D<double> WorldToWindow(const Viewport& viewport, const Tessal::Vector2D<double>& w) {
  const auto& win = viewport.getWindowBounds();
  const auto& world = viewport.getWorldBounds();
  return Tessal::Vector2D<double>(win.x + (w.x - world.x) * win.width / world.width,
                                  win.y + win.height - (w.y - world.y) * win.height / world.height);
}

// Window pixel to world point less the viewport's origin, never passing
// through the absolute world point, whose rounding far from zero would be
// coarser than a pixel.
inline Tessal::Vector2D<double> WindowToRelative(const Viewport& viewport, const Tessal::Vector2D<double>& p) {
  const auto& win = viewport.getWindowBounds();
  const auto& world = viewport.getWorldBounds();
  const Tessal::Vector2D<double> o = viewport.getOrigin();
  return Tessal::Vector2D<double>((world.x - o.x) + (p.x - win.x) * world.width / win.width,
                                  (world.y - o.y) + (win.y + win.height - p.y) * world.height / win.height);
}

ZENTHO_ARVELLE_NAMESPACE_END
