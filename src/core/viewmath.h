// Two rules that every layer applies to what it gets from Qt and the
// viewport, kept in one place so that they cannot drift apart.
#pragma once

#include <arvelle/version.h>

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

ZENTHO_ARVELLE_NAMESPACE_END
