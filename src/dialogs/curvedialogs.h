// The Flip, Smooth and Scale & Offset dialogs: each sets the parameters of
// its whole-curve command, previews every accepted change on fresh copies of
// the selected curves and, at "Apply", hands the same command built on the
// widget's selection to the widget. A field refuses what it cannot use and
// shows its current value again. Editors carry object names (the field's
// name, "…Slider" for its slider) for style sheets and tests.
#pragma once

#include "dialogs/previzdialog.h"

#include <tessal/types.h>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QSlider;

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

class FloatSlider;

class FlipCurvesDialog : public PrevizDialog {
  Q_OBJECT

 public:
  // The centre starts at the default pivot; no preview until a change.
  explicit FlipCurvesDialog(GraphWidget* widget);
  ~FlipCurvesDialog() override;

  // Nothing without a checked box; otherwise type 2 for both, 0 for
  // horizontal, 1 for vertical.
  void updatePreview() override;

  bool isHorizontal() const { return mHorizontal; }
  bool isVertical() const { return mVertical; }
  double getCenterX() const { return mCenterX; }
  double getCenterY() const { return mCenterY; }

 public slots:
  void horizontalChanged(int state);
  void verticalChanged(int state);
  void centerXChanged();
  void centerYChanged();
  // With no box checked the dialog is cancelled and emits nothing.
  void emitCommandAndExit();

 private:
  int flipType() const;

  bool mHorizontal = false;
  bool mVertical = false;
  double mCenterX = 0;
  double mCenterY = 0;
  QCheckBox* mHorizontalBox = nullptr;
  QCheckBox* mVerticalBox = nullptr;
  QLineEdit* mCenterXEdit = nullptr;
  QLineEdit* mCenterYEdit = nullptr;
};

class SmoothCurvesDialog : public PrevizDialog {
  Q_OBJECT

 public:
  // Triangle filter, step 4, radius 2, previewed at once.
  explicit SmoothCurvesDialog(GraphWidget* widget);
  ~SmoothCurvesDialog() override;

  void updatePreview() override;

  int getFilter() const { return mFilter; }
  double getStepSize() const { return mStepSize; }
  int getRadius() const { return mRadius; }

 public slots:
  void filterChanged(const QString& name);
  // A typed step keeps its value; the slider, which works in half units,
  // only follows it (to the position at or above it).
  void stepSizeChanged();
  void stepSizeSliderChanged(int p);
  void radiusChanged();
  void radiusSliderChanged(int p);
  void emitCommandAndExit();

 private:
  int mFilter = 1;
  double mStepSize = 4.0;
  int mRadius = 2;
  QLineEdit* mStepEdit = nullptr;
  QSlider* mStepSlider = nullptr;
  QLineEdit* mRadiusEdit = nullptr;
  QSlider* mRadiusSlider = nullptr;
  QComboBox* mFilterBox = nullptr;
};

class TransformCurvesDialog : public PrevizDialog {
  Q_OBJECT

 public:
  // Scale (1, 1) about the default pivot, offset (0, 0), previewed at once.
  explicit TransformCurvesDialog(GraphWidget* widget);
  ~TransformCurvesDialog() override;

  void updatePreview() override;

  Tessal::Vector2D<double> getScale() const { return {mScaleX, mScaleY}; }
  Tessal::Vector2D<double> getPivot() const { return {mPivotX, mPivotY}; }
  Tessal::Vector2D<double> getOffset() const { return {mOffsetX, mOffsetY}; }
  // (1 - scale) pivot + offset per axis: the pivot stays, then moves by the
  // offset.
  Tessal::Vector2D<double> getTranslation() const;

 public slots:
  void scaleXChanged();
  void scaleXSliderChanged(double v);
  void scaleYChanged();
  void scaleYSliderChanged(double v);
  void pivotXChanged();
  void pivotYChanged();
  void offsetXChanged();
  void offsetXSliderChanged(double v);
  void offsetYChanged();
  void offsetYSliderChanged(double v);
  void emitCommandAndExit();

 private:
  using EditSlot = void (TransformCurvesDialog::*)();
  using SliderSlot = void (TransformCurvesDialog::*)(double);
  // A labelled edit and float slider side by side; the field's value is
  // what the edit's fixup restores.
  FloatSlider* addSliderRow(QGridLayout* grid, int row, const QString& label, const QString& name,
                            const double& field, QLineEdit*& edit, EditSlot editSlot, SliderSlot sliderSlot);
  // A typed value for a field with a slider: stored, the slider follows.
  bool takeSliderField(QLineEdit* edit, double& field, FloatSlider* slider, bool allowZero);
  // A slider's value for its field: stored and written into the edit.
  bool takeSliderValue(double v, double& field, QLineEdit* edit);

  double mScaleX = 1.0;
  double mScaleY = 1.0;
  double mPivotX = 0;
  double mPivotY = 0;
  double mOffsetX = 0;
  double mOffsetY = 0;
  QLineEdit* mScaleXEdit = nullptr;
  QLineEdit* mScaleYEdit = nullptr;
  QLineEdit* mPivotXEdit = nullptr;
  QLineEdit* mPivotYEdit = nullptr;
  QLineEdit* mOffsetXEdit = nullptr;
  QLineEdit* mOffsetYEdit = nullptr;
  FloatSlider* mScaleXSlider = nullptr;
  FloatSlider* mScaleYSlider = nullptr;
  FloatSlider* mOffsetXSlider = nullptr;
  FloatSlider* mOffsetYSlider = nullptr;
};

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
