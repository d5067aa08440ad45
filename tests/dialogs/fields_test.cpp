// The dialogs' fields and sliders: what a typed text or a drag leaves in the
// field, the edit and the slider; text that cannot be used shows the value
// again. And the float slider's mapping of values to positions.
#include "dialogfixture.h"

#include <QSignalSpy>

#include <cmath>
#include <limits>

using namespace DialogTests;

namespace {

constexpr int cIntMax = std::numeric_limits<int>::max();

}  // namespace

TEST_F(DialogTest, smoothFields) {
  const struct {
    const char* what;
    const char* field;
    std::vector<QString> typed;
    QString shown;
    double step;
    int radius, stepPosition, stepMax, radiusMax;
  } rows[] = {
      {"a step beyond the slider raises its maximum", "stepSize", {"20"}, "20", 20, 2, 40, 40, 6},
      // The slider stops at the half unit above; the typed step stays.
      {"a step between half units is kept", "stepSize", {"2.3"}, "2.3", 2.3f, 2, 5, 24, 6},
      {"and so is the next one", "stepSize", {"2.3", "2.4"}, "2.4", 2.4f, 2, 5, 24, 6},
      {"zero step", "stepSize", {"0"}, "4", 4, 2, 8, 24, 6},
      {"a minus sign is refused as typed", "stepSize", {"-1"}, "1", 1, 2, 2, 24, 6},
      {"a step past single precision", "stepSize", {"1e308"}, "4", 4, 2, 8, 24, 6},
      {"a step past the slider's int range", "stepSize", {"1e30"}, "1e30", 1e30f, 2, cIntMax, cIntMax, 6},
      {"radius 0", "radius", {"0"}, "2", 4, 2, 8, 24, 6},
      {"radius text", "radius", {"abc"}, "2", 4, 2, 8, 24, 6},
      {"a radius far beyond the slider", "radius", {"2000000000"}, "2000000000", 4, 2000000000, 8, 24, 2000000000},
      {"a radius past int", "radius", {"3000000000"}, "2", 4, 2, 8, 24, 6},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    auto d = open<A::SmoothCurvesDialog>();
    for (const QString& t : r.typed) type(*d, r.field, t);
    EXPECT_EQ(edit(*d, r.field)->text(), r.shown);
    EXPECT_EQ(d->getStepSize(), r.step);
    EXPECT_EQ(d->getRadius(), r.radius);
    auto* step = d->findChild<QSlider*>("stepSizeSlider");
    EXPECT_EQ(step->value(), r.stepPosition);
    EXPECT_EQ(step->maximum(), r.stepMax);
    EXPECT_EQ(d->findChild<QSlider*>("radiusSlider")->maximum(), r.radiusMax);
  }
}

// A null text to show: the text the edit showed before.
TEST_F(DialogTest, textThatCannotBeUsedShowsTheValueAgain) {
  const struct {
    const char* field;
    QString typed, shown;
  } flip[] = {{"centerX", "abc", {}}, {"centerY", "-", {}}}, transform[] = {
      {"pivotX", "abc", {}},
      {"scaleX", "1e308", "1"},
      {"scaleX", "0", "1"},  // no x scale collapses the keys
      {"scaleY", "0", "0"},
      {"offsetX", "", "0"},
  };
  auto check = [](QWidget& d, const auto& rows) {
    for (const auto& r : rows) {
      SCOPED_TRACE(r.field);
      const QString before = edit(d, r.field)->text();
      type(d, r.field, r.typed);
      EXPECT_EQ(edit(d, r.field)->text(), r.shown.isNull() ? before : r.shown);
    }
  };
  check(*open<A::FlipCurvesDialog>(), flip);
  auto t = open<A::TransformCurvesDialog>();
  check(*t, transform);
  EXPECT_EQ(t->getScale(), V(1, 0));
}

// Sliders report only what the user drags; a typed value moves the slider
// without coming back into the field. No x scale of 0.
TEST_F(DialogTest, sliders) {
  auto s = open<A::SmoothCurvesDialog>();
  drag(*s, "stepSizeSlider", 5);  // half units
  drag(*s, "radiusSlider", 5);
  EXPECT_EQ(std::make_pair(s->getStepSize(), s->getRadius()), std::make_pair(2.5, 5));
  EXPECT_EQ(edit(*s, "stepSize")->text() + edit(*s, "radius")->text(), "2.55");

  auto d = open<A::TransformCurvesDialog>();
  drag(*d, "scaleXSlider", 0);
  EXPECT_EQ(d->getScale().x, 1);
  drag(*d, "scaleYSlider", 0);
  EXPECT_EQ(d->getScale().y, 0);
  EXPECT_EQ(edit(*d, "scaleY")->text(), "0");
  drag(*d, "offsetYSlider", 10);
  EXPECT_DOUBLE_EQ(d->getOffset().y, 2);

  auto* offsetX = d->findChild<A::FloatSlider*>("offsetXSlider");
  QSignalSpy moved(offsetX, &A::FloatSlider::floatSliderMoved);
  type(*d, "offsetX", "250");
  EXPECT_EQ(offsetX->value(), 63);
  EXPECT_EQ(offsetX->maximum(), 63);
  EXPECT_EQ(d->getOffset().x, 250);
  EXPECT_EQ(moved.count(), 0);
}

// Ranges in 50 steps; a value outside widens the positions, not the step;
// positions saturate at the int range; non-finite values are ignored.
TEST(FloatSlider, valuesToPositions) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const struct {
    double min, max, value;
    double step;
    int lo, hi, position;
  } rows[] = {
      {-2, 5, 1, 0.14, -15, 36, 8},
      {-100, 100, 0, 4, -25, 25, 0},
      {-5, 5, 0, 0.2, -25, 25, 0},
      {-2, 5, 10, 0.14, -15, 72, 72},
      {-2, 5, -10, 0.14, -71, 36, -71},
      {-2, 5, 1e300, 0.14, -15, cIntMax, cIntMax},
      {-2, 5, nan, 0.14, -15, 36, 1},
      {3, 3, inf, 0.5, 1, 1, 1},  // an empty range leaves the slider as it was
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.value);
    A::FloatSlider s(Qt::Horizontal);
    s.setRange(1, 1);
    s.setFloatRange(r.min, r.max);
    s.setFloatValue(r.value);
    EXPECT_DOUBLE_EQ(s.getValuePerStep(), r.step);
    EXPECT_EQ(s.minimum(), r.lo);
    EXPECT_EQ(s.maximum(), r.hi);
    EXPECT_EQ(s.value(), r.position);
  }
}
