#include <arvelle/snapsettings.h>
#include <arvelle/viewport.h>

#include <cmath>
#include <ostream>
#include <sstream>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

constexpr double SnapSettings::cSnapToGrid;

double SnapSettings::getIncrement(double increment, double pixelSize) const {
  if (increment != cSnapToGrid) return increment;
  // The smallest power of ten that spans at least 5 pixels.
  return std::pow(10.0, std::ceil(std::log10(5.0 * pixelSize)));
}

bool SnapSettings::operator==(const SnapSettings& other) const {
  return mSnappingX == other.mSnappingX && mSnappingY == other.mSnappingY &&
         mIncrementX == other.mIncrementX && mIncrementY == other.mIncrementY;
}

namespace {
void WriteIncrement(std::ostream& out, double increment) {
  if (increment == SnapSettings::cSnapToGrid) {
    out << "auto";
  } else {
    out << increment;
  }
}
}  // namespace

std::string SnapSettings::str() const {
  std::ostringstream out;
  out << "SnapSettings: x " << (mSnappingX ? "on" : "off") << ", x inc=";
  WriteIncrement(out, mIncrementX);
  out << ", y " << (mSnappingY ? "on" : "off") << ", y inc=";
  WriteIncrement(out, mIncrementY);
  return out.str();
}

double SnapSettings::Round(double value, double increment) {
  // The multiple itself, not the value minus its fraction: snapped keys must
  // land on the frame exactly (12, not 12.0000000119), as labels and
  // keyframe stepping compare them with it.
  const double quotient = value / increment;
  if (!std::isfinite(quotient)) return value;
  double whole = 0;
  const double fraction = std::modf(quotient, &whole);
  if (std::fabs(fraction) >= 0.5) whole += fraction > 0 ? 1.0 : -1.0;
  const double result = whole * increment;
  return std::isfinite(result) ? result : value;
}

void SnapSettings::Snap(Tessal::Vector2D<double>& point, const SnapSettings& settings,
                        const Tessal::Vector2D<double>& pixelSize) {
  if (settings.isSnappingX()) point.x = Round(point.x, settings.getIncrementX(pixelSize.x));
  if (settings.isSnappingY()) point.y = Round(point.y, settings.getIncrementY(pixelSize.y));
}

void SnapSettings::Snap(Tessal::Vector2D<double>& point, const SnapSettings& settings, const Viewport& viewport) {
  const auto& win = viewport.getWindowBounds();
  const auto& world = viewport.getWorldBounds();
  Snap(point, settings, Tessal::Vector2D<double>(world.width / win.width, world.height / win.height));
}

void SnapSettings::GetGridMetrics(double pixelSize, double& spacing, double& fade, int& decimals) {
  const double x = std::log10(5.0 * pixelSize);
  const double e = std::ceil(x);
  spacing = std::pow(10.0, e);
  fade = std::min(1.0, std::max(0.0, (e - x) * 1.5));
  // A degenerate pixel size has no exponent; converting one to int would be
  // undefined, so such a grid gets no decimals.
  decimals = (std::isfinite(e) && e < 0) ? 1 - static_cast<int>(e) : 0;
}

std::ostream& operator<<(std::ostream& out, const SnapSettings& settings) { return out << settings.str(); }

std::ostream& operator<<(std::ostream& out, const SnapSettings* settings) {
  if (!settings) return out << "SnapSettings: null";
  return out << *settings;
}

ZENTHO_ARVELLE_NAMESPACE_END
