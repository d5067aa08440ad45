#include "dialogs/curvedialogs.h"

#include "commands/curvecommands.h"
#include "dialogs/floatslider.h"

#include <tessal/algorithms.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <cmath>
#include <functional>
#include <limits>
#include <utility>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

namespace {

constexpr int cWideEdit = 55;
constexpr int cNarrowEdit = 35;
// The step slider works in half units.
constexpr double cStepUnit = 0.5;

const char* const cCenterTip = "Point around which to reflect the curve";
const char* const cStepTip = "Distance between successive samples (floating point)";
const char* const cRadiusTip = "Filter radius (integer)";
const char* const cPivotTip = "Point around which to scale";

QString FloatText(double v) { return QString::number(v, 'g', 6); }

// Slider positions for values past the int range stop at its ends instead
// of overflowing the conversion.
int SaturatedInt(double v) {
  constexpr double lo = std::numeric_limits<int>::min(), hi = std::numeric_limits<int>::max();
  return std::isnan(v) ? 0 : static_cast<int>(std::fmin(std::fmax(v, lo), hi));
}

// The fields' validators put the field's current value back where Qt would
// otherwise keep an unfinished text ("", "-", "1e", a radius of 0) that no
// slot ever reads: on Enter and on leaving the edit, which then reports
// editingFinished, and the field's rule writes its value back.
template <class Base>
class RestoringValidator : public Base {
 public:
  RestoringValidator(QObject* parent, std::function<QString()> current) : Base(parent), mCurrent(std::move(current)) {}
  void fixup(QString& input) const override { input = mCurrent(); }

 private:
  std::function<QString()> mCurrent;
};

QLineEdit* MakeFloatEdit(QWidget* parent, const QString& name, int width, const double& field) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setFixedWidth(width);
  edit->setValidator(new RestoringValidator<QDoubleValidator>(edit, [&field] { return FloatText(field); }));
  return edit;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, QWidget* buddy, const QString& tip = QString()) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setBuddy(buddy);
  if (!tip.isEmpty()) label->setToolTip(tip);
  return label;
}

// Two edits, x then y, side by side at the left of their cell.
QHBoxLayout* PairBox(QLineEdit* x, QLineEdit* y) {
  auto* box = new QHBoxLayout;
  box->addWidget(x);
  box->addWidget(y);
  box->addStretch();
  return box;
}

// A stretch, "Apply" and "Cancel" across the last row; neither takes Enter,
// which finishes the field being edited instead.
template <class Dialog>
void AddButtons(Dialog* dialog, QGridLayout* grid, int row) {
  auto* box = new QHBoxLayout;
  box->addStretch();
  auto* apply = new QPushButton(QStringLiteral("Apply"), dialog);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
  for (QPushButton* b : {apply, cancel}) {
    b->setAutoDefault(false);
    b->setDefault(false);
    box->addWidget(b);
  }
  grid->addLayout(box, row, 0, 1, -1);
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  QObject::connect(apply, &QPushButton::clicked, dialog, &Dialog::emitCommandAndExit);
}

// The text fields' rule: a parsable, finite, acceptable value that differs
// from the field is stored (true); anything else puts the field back into
// the edit. Single precision, as typed values are meant to be short.
bool TakeFloat(QLineEdit* edit, double& field, bool allowZero = true) {
  bool ok = false;
  const double v = edit->text().toFloat(&ok);
  if (ok && std::isfinite(v) && v != field && (allowZero || v != 0)) {
    field = v;
    return true;
  }
  edit->setText(FloatText(field));
  return false;
}

// Moves a slider from code without its report: a report would feed the
// slider's coarser value back into the field it follows.
void MoveSlider(QSlider* slider, int p) {
  const QSignalBlocker quiet(slider);
  if (p > slider->maximum()) slider->setMaximum(p);
  slider->setValue(p);
}

}  // namespace

// ---------------------------------------------------------------- flip

FlipCurvesDialog::FlipCurvesDialog(GraphWidget* widget) : PrevizDialog(widget) {
  auto* grid = new QGridLayout(this);

  mHorizontalBox = new QCheckBox(this);
  mHorizontalBox->setObjectName(QStringLiteral("horizontal"));
  mVerticalBox = new QCheckBox(this);
  mVerticalBox->setObjectName(QStringLiteral("vertical"));
  grid->addWidget(MakeLabel(this, QStringLiteral("&Horizontal"), mHorizontalBox), 0, 0);
  grid->addWidget(mHorizontalBox, 0, 1, Qt::AlignLeft);
  grid->addWidget(MakeLabel(this, QStringLiteral("&Vertical"), mVerticalBox), 1, 0);
  grid->addWidget(mVerticalBox, 1, 1, Qt::AlignLeft);

  const QString tip = QString::fromLatin1(cCenterTip);
  mCenterXEdit = MakeFloatEdit(this, QStringLiteral("centerX"), cWideEdit, mCenterX);
  mCenterYEdit = MakeFloatEdit(this, QStringLiteral("centerY"), cWideEdit, mCenterY);
  mCenterXEdit->setToolTip(tip);
  mCenterYEdit->setToolTip(tip);
  grid->addWidget(MakeLabel(this, QStringLiteral("&Center:"), mCenterXEdit, tip), 2, 0);
  grid->addLayout(PairBox(mCenterXEdit, mCenterYEdit), 2, 1, Qt::AlignLeft);
  AddButtons(this, grid, 3);

  connect(mHorizontalBox, &QCheckBox::stateChanged, this, &FlipCurvesDialog::horizontalChanged);
  connect(mVerticalBox, &QCheckBox::stateChanged, this, &FlipCurvesDialog::verticalChanged);
  connect(mCenterXEdit, &QLineEdit::editingFinished, this, &FlipCurvesDialog::centerXChanged);
  connect(mCenterYEdit, &QLineEdit::editingFinished, this, &FlipCurvesDialog::centerYChanged);

  computeCenter(mCenterX, mCenterY);
  mHorizontalBox->setChecked(mHorizontal);
  mVerticalBox->setChecked(mVertical);
  // The edits are empty: the rule writes the centre into them.
  centerXChanged();
  centerYChanged();
}

FlipCurvesDialog::~FlipCurvesDialog() { detachEditors(); }

int FlipCurvesDialog::flipType() const {
  if (mHorizontal && mVertical) return Tessal::FlipBoth;
  return mHorizontal ? Tessal::FlipHorizontal : Tessal::FlipVertical;
}

void FlipCurvesDialog::updatePreview() {
  if (!mHorizontal && !mVertical) return;
  FlipCurvesCommand(getPreviewSelection(), flipType(), mCenterX, mCenterY).redo();
}

void FlipCurvesDialog::horizontalChanged(int state) {
  const bool on = state == Qt::Checked;
  if (on == mHorizontal) return;
  mHorizontal = on;
  refreshPreview();
}

void FlipCurvesDialog::verticalChanged(int state) {
  const bool on = state == Qt::Checked;
  if (on == mVertical) return;
  mVertical = on;
  refreshPreview();
}

void FlipCurvesDialog::centerXChanged() {
  if (TakeFloat(mCenterXEdit, mCenterX)) refreshPreview();
}

void FlipCurvesDialog::centerYChanged() {
  if (TakeFloat(mCenterYEdit, mCenterY)) refreshPreview();
}

void FlipCurvesDialog::emitCommandAndExit() {
  if (!mHorizontal && !mVertical) return reject();
  emitCommand(new FlipCurvesCommand(getSelection(), flipType(), mCenterX, mCenterY));
  accept();
}

// ---------------------------------------------------------------- smooth

SmoothCurvesDialog::SmoothCurvesDialog(GraphWidget* widget) : PrevizDialog(widget) {
  auto* grid = new QGridLayout(this);

  const QString stepTip = QString::fromLatin1(cStepTip);
  mStepEdit = new QLineEdit(this);
  mStepEdit->setObjectName(QStringLiteral("stepSize"));
  mStepEdit->setFixedWidth(cNarrowEdit);
  mStepEdit->setToolTip(stepTip);
  auto* stepValidator =
      new RestoringValidator<QDoubleValidator>(mStepEdit, [this] { return FloatText(mStepSize); });
  stepValidator->setBottom(std::numeric_limits<double>::min());
  mStepEdit->setValidator(stepValidator);
  mStepSlider = new QSlider(Qt::Horizontal, this);
  mStepSlider->setObjectName(QStringLiteral("stepSizeSlider"));
  mStepSlider->setMinimum(1);
  grid->addWidget(MakeLabel(this, QStringLiteral("&Step Size:"), mStepEdit, stepTip), 0, 0);
  grid->addWidget(mStepEdit, 0, 1);
  grid->addWidget(mStepSlider, 0, 2);

  const QString radiusTip = QString::fromLatin1(cRadiusTip);
  mRadiusEdit = new QLineEdit(this);
  mRadiusEdit->setObjectName(QStringLiteral("radius"));
  mRadiusEdit->setFixedWidth(cNarrowEdit);
  mRadiusEdit->setToolTip(radiusTip);
  auto* radiusValidator =
      new RestoringValidator<QIntValidator>(mRadiusEdit, [this] { return QString::number(mRadius, 10); });
  radiusValidator->setBottom(1);
  mRadiusEdit->setValidator(radiusValidator);
  mRadiusSlider = new QSlider(Qt::Horizontal, this);
  mRadiusSlider->setObjectName(QStringLiteral("radiusSlider"));
  mRadiusSlider->setMinimum(1);
  grid->addWidget(MakeLabel(this, QStringLiteral("&Radius:"), mRadiusEdit, radiusTip), 1, 0);
  grid->addWidget(mRadiusEdit, 1, 1);
  grid->addWidget(mRadiusSlider, 1, 2);

  mFilterBox = new QComboBox(this);
  mFilterBox->setObjectName(QStringLiteral("filter"));
  mFilterBox->addItem(QStringLiteral("Triangle"), Tessal::TriangleFilter);
  mFilterBox->addItem(QStringLiteral("Box"), Tessal::BoxFilter);
  grid->addWidget(MakeLabel(this, QStringLiteral("&Filter:"), mFilterBox), 2, 0);
  grid->addWidget(mFilterBox, 2, 1, 1, 2, Qt::AlignLeft);
  AddButtons(this, grid, 3);

  connect(mStepEdit, &QLineEdit::editingFinished, this, &SmoothCurvesDialog::stepSizeChanged);
  connect(mStepSlider, &QSlider::valueChanged, this, &SmoothCurvesDialog::stepSizeSliderChanged);
  connect(mRadiusEdit, &QLineEdit::editingFinished, this, &SmoothCurvesDialog::radiusChanged);
  connect(mRadiusSlider, &QSlider::valueChanged, this, &SmoothCurvesDialog::radiusSliderChanged);
  connect(mFilterBox, &QComboBox::textActivated, this, &SmoothCurvesDialog::filterChanged);

  mStepSlider->setMaximum(SaturatedInt(2.0 * std::trunc(3.0 * mStepSize)));
  mRadiusSlider->setMaximum(SaturatedInt(3.0 * mRadius));
  // The one preview below shows the filter too.
  mFilterBox->setCurrentIndex(mFilterBox->findText(QStringLiteral("Triangle")));
  mFilter = Tessal::TriangleFilter;
  mStepEdit->setText(FloatText(mStepSize));
  MoveSlider(mStepSlider, SaturatedInt(2.0 * std::ceil(mStepSize)));
  mRadiusEdit->setText(QString::number(mRadius, 10));
  MoveSlider(mRadiusSlider, mRadius);
  refreshPreview();
}

SmoothCurvesDialog::~SmoothCurvesDialog() { detachEditors(); }

void SmoothCurvesDialog::updatePreview() {
  SmoothCurvesCommand(getPreviewSelection(), mFilter, mRadius, mStepSize).redo();
}

void SmoothCurvesDialog::filterChanged(const QString& name) {
  if (name == QLatin1String("Triangle")) mFilter = Tessal::TriangleFilter;
  else if (name == QLatin1String("Box")) mFilter = Tessal::BoxFilter;
  refreshPreview();
}

void SmoothCurvesDialog::stepSizeChanged() {
  bool ok = false;
  const double step = mStepEdit->text().toFloat(&ok);
  if (!ok || !std::isfinite(step) || !(step > 0) || step == mStepSize) {
    mStepEdit->setText(FloatText(mStepSize));
    return;
  }
  mStepSize = step;
  MoveSlider(mStepSlider, SaturatedInt(std::ceil(step / cStepUnit)));
  refreshPreview();
}

void SmoothCurvesDialog::stepSizeSliderChanged(int p) {
  const double step = static_cast<float>(p * cStepUnit);
  if (p < 1 || step == mStepSize) return;
  mStepSize = step;
  mStepEdit->setText(FloatText(mStepSize));
  refreshPreview();
}

void SmoothCurvesDialog::radiusChanged() {
  bool ok = false;
  const int radius = mRadiusEdit->text().toInt(&ok, 10);
  if (!ok || radius < 1 || radius == mRadius) {
    mRadiusEdit->setText(QString::number(mRadius, 10));
    return;
  }
  mRadius = radius;
  MoveSlider(mRadiusSlider, mRadius);
  refreshPreview();
}

void SmoothCurvesDialog::radiusSliderChanged(int p) {
  if (p < 1 || p == mRadius) return;
  mRadius = p;
  mRadiusEdit->setText(QString::number(mRadius, 10));
  refreshPreview();
}

void SmoothCurvesDialog::emitCommandAndExit() {
  emitCommand(new SmoothCurvesCommand(getSelection(), mFilter, mRadius, mStepSize));
  accept();
}

// ---------------------------------------------------------------- scale and offset

TransformCurvesDialog::TransformCurvesDialog(GraphWidget* widget) : PrevizDialog(widget) {
  auto* grid = new QGridLayout(this);
  mScaleXSlider = addSliderRow(grid, 0, QStringLiteral("&Scale X:"), QStringLiteral("scaleX"), mScaleX, mScaleXEdit,
                               &TransformCurvesDialog::scaleXChanged, &TransformCurvesDialog::scaleXSliderChanged);
  mScaleYSlider = addSliderRow(grid, 1, QStringLiteral("Y:"), QStringLiteral("scaleY"), mScaleY, mScaleYEdit,
                               &TransformCurvesDialog::scaleYChanged, &TransformCurvesDialog::scaleYSliderChanged);

  const QString tip = QString::fromLatin1(cPivotTip);
  mPivotXEdit = MakeFloatEdit(this, QStringLiteral("pivotX"), cWideEdit, mPivotX);
  mPivotYEdit = MakeFloatEdit(this, QStringLiteral("pivotY"), cWideEdit, mPivotY);
  mPivotXEdit->setToolTip(tip);
  mPivotYEdit->setToolTip(tip);
  grid->addWidget(MakeLabel(this, QStringLiteral("&Pivot:"), mPivotXEdit, tip), 2, 0);
  grid->addLayout(PairBox(mPivotXEdit, mPivotYEdit), 2, 1, Qt::AlignLeft);
  connect(mPivotXEdit, &QLineEdit::editingFinished, this, &TransformCurvesDialog::pivotXChanged);
  connect(mPivotYEdit, &QLineEdit::editingFinished, this, &TransformCurvesDialog::pivotYChanged);

  mOffsetXSlider = addSliderRow(grid, 3, QStringLiteral("&Offset X:"), QStringLiteral("offsetX"), mOffsetX,
                                mOffsetXEdit, &TransformCurvesDialog::offsetXChanged,
                                &TransformCurvesDialog::offsetXSliderChanged);
  mOffsetYSlider = addSliderRow(grid, 4, QStringLiteral("Y:"), QStringLiteral("offsetY"), mOffsetY, mOffsetYEdit,
                                &TransformCurvesDialog::offsetYChanged, &TransformCurvesDialog::offsetYSliderChanged);
  AddButtons(this, grid, 5);

  computeCenter(mPivotX, mPivotY);
  const std::pair<QLineEdit*, double> fields[] = {{mScaleXEdit, mScaleX}, {mScaleYEdit, mScaleY},
                                                  {mPivotXEdit, mPivotX}, {mPivotYEdit, mPivotY},
                                                  {mOffsetXEdit, mOffsetX}, {mOffsetYEdit, mOffsetY}};
  for (const auto& [edit, value] : fields) edit->setText(FloatText(value));
  mScaleXSlider->setFloatRange(-2, 5);
  mScaleYSlider->setFloatRange(-2, 5);
  mOffsetXSlider->setFloatRange(-100, 100);
  mOffsetYSlider->setFloatRange(-5, 5);
  mScaleXSlider->setFloatValue(mScaleX);
  mScaleYSlider->setFloatValue(mScaleY);
  mOffsetXSlider->setFloatValue(mOffsetX);
  mOffsetYSlider->setFloatValue(mOffsetY);
  refreshPreview();
}

FloatSlider* TransformCurvesDialog::addSliderRow(QGridLayout* grid, int row, const QString& label,
                                                 const QString& name, const double& field, QLineEdit*& edit,
                                                 EditSlot editSlot, SliderSlot sliderSlot) {
  edit = MakeFloatEdit(this, name, cWideEdit, field);
  auto* slider = new FloatSlider(Qt::Horizontal, this);
  slider->setObjectName(name + QStringLiteral("Slider"));
  auto* box = new QHBoxLayout;
  box->addWidget(edit);
  box->addWidget(slider);
  grid->addWidget(MakeLabel(this, label, edit), row, 0);
  grid->addLayout(box, row, 1);
  connect(edit, &QLineEdit::editingFinished, this, editSlot);
  connect(slider, &FloatSlider::floatSliderMoved, this, sliderSlot);
  return slider;
}

TransformCurvesDialog::~TransformCurvesDialog() { detachEditors(); }

Tessal::Vector2D<double> TransformCurvesDialog::getTranslation() const {
  return {(1 - mScaleX) * mPivotX + mOffsetX, (1 - mScaleY) * mPivotY + mOffsetY};
}

void TransformCurvesDialog::updatePreview() {
  TransformCurvesCommand(getPreviewSelection(), getScale(), getTranslation()).redo();
}

bool TransformCurvesDialog::takeSliderField(QLineEdit* edit, double& field, FloatSlider* slider, bool allowZero) {
  if (!TakeFloat(edit, field, allowZero)) return false;
  slider->setFloatValue(field);
  refreshPreview();
  return true;
}

bool TransformCurvesDialog::takeSliderValue(double v, double& field, QLineEdit* edit) {
  if (v == field) return false;
  field = v;
  edit->setText(FloatText(field));
  refreshPreview();
  return true;
}

// An x scale of 0 would put every key at one x, which no curve can hold: the
// slider's 0 and a typed 0 are both refused.
void TransformCurvesDialog::scaleXChanged() { takeSliderField(mScaleXEdit, mScaleX, mScaleXSlider, false); }

void TransformCurvesDialog::scaleXSliderChanged(double v) {
  if (v != 0) takeSliderValue(v, mScaleX, mScaleXEdit);
}

void TransformCurvesDialog::scaleYChanged() { takeSliderField(mScaleYEdit, mScaleY, mScaleYSlider, true); }

void TransformCurvesDialog::scaleYSliderChanged(double v) { takeSliderValue(v, mScaleY, mScaleYEdit); }

void TransformCurvesDialog::pivotXChanged() {
  if (TakeFloat(mPivotXEdit, mPivotX)) refreshPreview();
}

void TransformCurvesDialog::pivotYChanged() {
  if (TakeFloat(mPivotYEdit, mPivotY)) refreshPreview();
}

void TransformCurvesDialog::offsetXChanged() { takeSliderField(mOffsetXEdit, mOffsetX, mOffsetXSlider, true); }

void TransformCurvesDialog::offsetXSliderChanged(double v) { takeSliderValue(v, mOffsetX, mOffsetXEdit); }

void TransformCurvesDialog::offsetYChanged() { takeSliderField(mOffsetYEdit, mOffsetY, mOffsetYSlider, true); }

void TransformCurvesDialog::offsetYSliderChanged(double v) { takeSliderValue(v, mOffsetY, mOffsetYEdit); }

void TransformCurvesDialog::emitCommandAndExit() {
  emitCommand(new TransformCurvesCommand(getSelection(), getScale(), getTranslation()));
  accept();
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
