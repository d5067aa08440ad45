// A QSlider that reports floating-point values: position p stands for the
// value p times the value per step. Only the user's drags report
// (floatSliderMoved); positions set from code stay silent, so a value typed
// into a field never echoes back into it.
#pragma once

#include <arvelle/version.h>

#include <QSlider>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

class FloatSlider : public QSlider {
  Q_OBJECT

 public:
  // Every float slider spans its value range in this many steps.
  static constexpr int cSteps = 50;

  FloatSlider(Qt::Orientation orientation, QWidget* parent = nullptr);

  double getValuePerStep() const { return mValuePerStep; }
  // Value per step (max - min) / cSteps; positions floor(min / step) to
  // ceil(max / step). Ranges that are empty, reversed or not finite are
  // ignored.
  void setFloatRange(double min, double max);
  // Position ceil(value / step), the position range widened to reach it
  // (the value per step stays); positions saturate at the int range. A value
  // that is not finite is ignored.
  void setFloatValue(double value);

 signals:
  void floatSliderMoved(double iValue);

 public slots:
  void convertToFloatMovedSignal(int p);

 private:
  double mValuePerStep = 0.5;
};

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
