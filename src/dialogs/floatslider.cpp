#include "dialogs/floatslider.h"

#include <cmath>
#include <limits>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

namespace {

// A position for a finite quotient: values past the int range stop at its
// ends instead of overflowing the conversion.
int SaturatedPosition(double p) {
  constexpr double lo = std::numeric_limits<int>::min(), hi = std::numeric_limits<int>::max();
  return static_cast<int>(std::fmin(std::fmax(p, lo), hi));
}

}  // namespace

FloatSlider::FloatSlider(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {
  connect(this, &QSlider::sliderMoved, this, &FloatSlider::convertToFloatMovedSignal);
}

void FloatSlider::convertToFloatMovedSignal(int p) { emit floatSliderMoved(p * mValuePerStep); }

void FloatSlider::setFloatRange(double min, double max) {
  const double step = (max - min) / cSteps;
  if (!std::isfinite(min) || !std::isfinite(max) || !(step > 0) || !std::isfinite(step)) return;
  mValuePerStep = step;
  setRange(SaturatedPosition(std::floor(min / step)), SaturatedPosition(std::ceil(max / step)));
}

void FloatSlider::setFloatValue(double value) {
  if (!std::isfinite(value)) return;
  const int p = SaturatedPosition(std::ceil(value / mValuePerStep));
  if (p > maximum()) setMaximum(p);
  if (p < minimum()) setMinimum(p);
  setValue(p);
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
