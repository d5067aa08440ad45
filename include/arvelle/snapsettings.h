// Per-axis snapping of positions. An increment of exactly 1.0
// (cSnapToGrid) follows the grid: the step then grows and shrinks with the
// zoom by the same power-of-ten rule the grid uses for its lines, so snapped
// keys land on visible lines.
#pragma once

#include <arvelle/version.h>

#include <tessal/types.h>

#include <iosfwd>
#include <string>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

class Viewport;

class ZENTHO_ARVELLE_EXPORT SnapSettings {
 public:
  static constexpr double cSnapToGrid = 1.0;

  // Both axes off, both increments following the grid.
  SnapSettings() = default;
  SnapSettings(const SnapSettings& other) = default;
  SnapSettings& operator=(const SnapSettings& other) = default;
  void copy(const SnapSettings& other) { *this = other; }

  void setSnappingX(bool on) { mSnappingX = on; }
  void setSnappingY(bool on) { mSnappingY = on; }
  bool isSnappingX() const { return mSnappingX; }
  bool isSnappingY() const { return mSnappingY; }

  // Stored as given; nothing is validated.
  void setIncrementX(double increment) { mIncrementX = increment; }
  void setIncrementY(double increment) { mIncrementY = increment; }

  // The effective step for a pixel size (world units per pixel).
  double getIncrement(double increment, double pixelSize) const;
  double getIncrementX(double pixelSize) const { return getIncrement(mIncrementX, pixelSize); }
  double getIncrementY(double pixelSize) const { return getIncrement(mIncrementY, pixelSize); }

  // All four fields, increments compared exactly.
  bool operator==(const SnapSettings& other) const;
  bool operator!=(const SnapSettings& other) const { return !(*this == other); }

  // "SnapSettings: x off, x inc=auto, y off, y inc=auto" for the default.
  std::string str() const;

  // Nearest multiple of the increment, halves away from zero.
  static double Round(double value, double increment);
  // Snaps the point in place; pixelSize holds world units per pixel in x and y.
  static void Snap(Tessal::Vector2D<double>& point, const SnapSettings& settings,
                   const Tessal::Vector2D<double>& pixelSize);
  static void Snap(Tessal::Vector2D<double>& point, const SnapSettings& settings, const Viewport& viewport);
  // Grid spacing, fade of the finest lines (0 to 1) and label decimals for a
  // pixel size.
  static void GetGridMetrics(double pixelSize, double& spacing, double& fade, int& decimals);

 private:
  bool mSnappingX = false;
  bool mSnappingY = false;
  double mIncrementX = cSnapToGrid;
  double mIncrementY = cSnapToGrid;
};

ZENTHO_ARVELLE_EXPORT std::ostream& operator<<(std::ostream& out, const SnapSettings& settings);
ZENTHO_ARVELLE_EXPORT std::ostream& operator<<(std::ostream& out, const SnapSettings* settings);

ZENTHO_ARVELLE_NAMESPACE_END
