// Readable test names for the curve model's geometry.
#pragma once

#include <tessal/types.h>

#include <ostream>

ZENTHO_TESSAL_NAMESPACE_BEGIN
inline void PrintTo(const Rectangle<double>& r, std::ostream* os) {
  *os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}
inline void PrintTo(const Vector2D<double>& v, std::ostream* os) { *os << "(" << v.x << ", " << v.y << ")"; }
ZENTHO_TESSAL_NAMESPACE_END
