// Small value types and helpers shared by the whole curve-model library:
// 2D vectors, rectangles (y grows upwards), tolerant comparisons, the
// library's exception base and a shared-from-this base.
#pragma once

#include <tessal/version.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>

ZENTHO_TESSAL_NAMESPACE_BEGIN

// ---------------------------------------------------------------- comparisons

// Absolute tolerance of NearZero and the floor of NearEqual's relative one.
// 1e-9 is far below anything an artist can see at any zoom the editor allows
// (the view never shows less than 0.001 world units) and far above the
// rounding noise of the arithmetic on keys.
constexpr double cNearTolerance = 1e-9;

inline bool NearZero(double v) { return std::fabs(v) < cNearTolerance; }

inline bool NearEqual(double a, double b) {
  const double scale = std::max({1.0, std::fabs(a), std::fabs(b)});
  return std::fabs(a - b) <= cNearTolerance * scale;
}

// ---------------------------------------------------------------- Vector2D

template <class T>
struct Vector2D {
  T x{};
  T y{};

  constexpr Vector2D() = default;
  constexpr Vector2D(T ix, T iy) : x(ix), y(iy) {}

  constexpr Vector2D operator+(const Vector2D& o) const { return {x + o.x, y + o.y}; }
  constexpr Vector2D operator-(const Vector2D& o) const { return {x - o.x, y - o.y}; }
  constexpr Vector2D operator-() const { return {-x, -y}; }
  constexpr Vector2D operator*(T s) const { return {x * s, y * s}; }
  constexpr Vector2D operator/(T s) const { return {x / s, y / s}; }
  Vector2D& operator+=(const Vector2D& o) { x += o.x; y += o.y; return *this; }
  Vector2D& operator-=(const Vector2D& o) { x -= o.x; y -= o.y; return *this; }
  Vector2D& operator*=(T s) { x *= s; y *= s; return *this; }
  constexpr bool operator==(const Vector2D& o) const { return x == o.x && y == o.y; }
  constexpr bool operator!=(const Vector2D& o) const { return !(*this == o); }

  constexpr T dot(const Vector2D& o) const { return x * o.x + y * o.y; }
  T length() const { return std::sqrt(x * x + y * y); }
};

template <class T>
constexpr Vector2D<T> operator*(T s, const Vector2D<T>& v) { return v * s; }

template <class T>
inline T Dot(const Vector2D<T>& a, const Vector2D<T>& b) { return a.dot(b); }

template <class T>
inline bool IsFinite(const Vector2D<T>& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

// ---------------------------------------------------------------- range

// The largest magnitude the library accepts for a key coordinate or a handle
// offset. Beyond it the arithmetic of evaluation (differences of keys,
// slopes times spans, cubic coefficients) could overflow to infinity or NaN;
// within it every value eval() gives is finite. Values outside are refused
// like non-finite ones.
constexpr double cMaxCoordinate = 1e300;

// |v| <= cMaxCoordinate; false for NaN and infinities.
inline bool InRange(double v) { return std::fabs(v) <= cMaxCoordinate; }
template <class T>
inline bool InRange(const Vector2D<T>& v) { return InRange(v.x) && InRange(v.y); }

// ---------------------------------------------------------------- Rectangle

// (x, y) is the lower-left corner; the rectangle spans x .. x + width and
// y .. y + height. Window rectangles use the same type with y downwards.
template <class T>
struct Rectangle {
  T x{};
  T y{};
  T width{};
  T height{};

  constexpr Rectangle() = default;
  constexpr Rectangle(T ix, T iy, T iwidth, T iheight) : x(ix), y(iy), width(iwidth), height(iheight) {}

  constexpr T right() const { return x + width; }
  constexpr T top() const { return y + height; }
  constexpr bool operator==(const Rectangle& o) const {
    return x == o.x && y == o.y && width == o.width && height == o.height;
  }
  constexpr bool operator!=(const Rectangle& o) const { return !(*this == o); }
};

// Smallest rectangle holding both. Each argument counts even when it has zero
// width or height (a single point is a valid extent).
template <class T>
inline Rectangle<T> Union(const Rectangle<T>& a, const Rectangle<T>& b) {
  const T x0 = std::min(a.x, b.x);
  const T y0 = std::min(a.y, b.y);
  const T x1 = std::max(a.x + a.width, b.x + b.width);
  const T y1 = std::max(a.y + a.height, b.y + b.height);
  return Rectangle<T>(x0, y0, x1 - x0, y1 - y0);
}

// ---------------------------------------------------------------- Exception

class ZENTHO_TESSAL_EXPORT Exception : public std::exception {
 public:
  Exception() = default;
  ~Exception() override;
  const char* what() const noexcept override;
};

// ---------------------------------------------------------------- SharedFromThis

namespace Private {
// Non-template root so that code can ask any object for its weak self
// without knowing the concrete class.
class ZENTHO_TESSAL_EXPORT SharedFromThisBase {
 public:
  virtual ~SharedFromThisBase();
};
}  // namespace Private

// A weak self pointer, filled when a std::shared_ptr takes the object.
template <class T>
class SharedFromThis : public Private::SharedFromThisBase, public std::enable_shared_from_this<T> {
 public:
  std::shared_ptr<T> sharedFromThis() { return this->weak_from_this().lock(); }
  std::shared_ptr<const T> sharedFromThis() const { return this->weak_from_this().lock(); }

 protected:
  SharedFromThis() = default;
  SharedFromThis(const SharedFromThis&) : std::enable_shared_from_this<T>() {}
  SharedFromThis& operator=(const SharedFromThis&) { return *this; }
};

ZENTHO_TESSAL_NAMESPACE_END
