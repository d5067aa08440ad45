// The viewport's world/pixel mapping written out from its formulas, for
// expected positions (pixels: y downwards).
#pragma once

#include <arvelle/viewport.h>

inline Zentho::Tessal::Vector2D<double> ToPixel(const Zentho::Arvelle::Viewport& v,
                                                const Zentho::Tessal::Vector2D<double>& w) {
  const auto& win = v.getWindowBounds();
  const auto& world = v.getWorldBounds();
  return {win.x + (w.x - world.x) * win.width / world.width,
          win.y + win.height - (w.y - world.y) * win.height / world.height};
}

inline Zentho::Tessal::Vector2D<double> ToWorld(const Zentho::Arvelle::Viewport& v,
                                                const Zentho::Tessal::Vector2D<double>& p) {
  const auto& win = v.getWindowBounds();
  const auto& world = v.getWorldBounds();
  return {world.x + (p.x - win.x) * world.width / win.width,
          world.y + (win.y + win.height - p.y) * world.height / win.height};
}
