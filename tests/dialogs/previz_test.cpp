// The preview dialogs end to end: what the preview shows is what "Apply"
// does, as one undo step; "Cancel" leaves the live curves exactly as they
// were and the widget's layers as they stood; selections that give the
// command nothing to do, a drag running when a dialog opens and a host that
// removes curves while one is open.
#include "dialogfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTimer>

#include <cmath>
#include <functional>

using namespace DialogTests;

namespace {

std::vector<std::vector<Edit::KeyState>> States(const T::FCurveContainer& curves) {
  std::vector<std::vector<Edit::KeyState>> r;
  for (const auto& c : curves) r.push_back(Edit::StateOf(*c));
  return r;
}

}  // namespace

TEST_F(DialogTest, cancelAfterManyPreviewsLeavesEverythingAsItWas) {
  const auto before = prints();
  {
    auto d = open<A::TransformCurvesDialog>();
    EXPECT_EQ(widget.getUserLayers()->numChildren(), standing + 1);
    EXPECT_FALSE(curveLayer().pickingEnabled());
    EXPECT_FALSE(curveLayer().hasFullColor());
    for (const char* s : {"2", "-1", "0.5"}) type(*d, "scaleX", s);
    type(*d, "offsetY", "3");
    type(*d, "pivotX", "7");
    drag(*d, "scaleYSlider", 20);
    widget.grabFramebuffer();  // the preview layer draws over the dimmed curves
    EXPECT_EQ(d->getPreviewCurves()->size(), 2u);
    click(*d, "Cancel");
    EXPECT_EQ(d->result(), QDialog::Rejected);
  }
  EXPECT_EQ(prints(), before);
  EXPECT_EQ(undo().count(), 0);
  EXPECT_EQ(widget.getUserLayers()->numChildren(), standing);
  EXPECT_TRUE(curveLayer().pickingEnabled());
  EXPECT_TRUE(curveLayer().hasFullColor());
}

// The preview shows on the copies exactly what "Apply" then does to the live
// curves, selected spans included; one undo step gives them back.
TEST_F(DialogTest, previewIsWhatApplyDoes) {
  // A span of "a" selected: the smooth rewrites only it, on "b" the interior.
  selection().select(*std::next(a->begin(), 2).segment());
  const struct {
    const char* text;
    std::function<std::unique_ptr<A::PrevizDialog>(DialogTest&)> change;
  } rows[] = {
      {"Flip Curves Horizontally",
       [](DialogTest& t) {
         auto d = t.open<A::FlipCurvesDialog>();
         type(*d, "centerX", "1");
         QTest::mouseClick(d->findChild<QCheckBox*>("horizontal"), Qt::LeftButton);
         return d;
       }},
      {"Smooth Curves Using Box Filter",
       [](DialogTest& t) {
         auto d = t.open<A::SmoothCurvesDialog>();
         type(*d, "stepSize", "0.5");
         QTest::keyClick(d->findChild<QComboBox*>("filter"), Qt::Key_Down);
         return d;
       }},
      {"Transform Curves",
       [](DialogTest& t) {
         auto d = t.open<A::TransformCurvesDialog>();
         type(*d, "scaleX", "2");
         drag(*d, "offsetYSlider", 5);
         return d;
       }},
  };
  const auto before = prints();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    undo().clear();
    auto d = r.change(*this);
    const auto preview = States(*d->getPreviewCurves());
    ASSERT_EQ(preview.size(), 2u);
    EXPECT_NE(preview[0], Edit::StateOf(*a));
    click(*d, "Apply");
    EXPECT_EQ(d->result(), QDialog::Accepted);
    ASSERT_EQ(undo().count(), 1);
    EXPECT_EQ(undo().text(0).toStdString(), r.text);
    EXPECT_EQ(States(*widget.getCurves()), preview);
    undo().undo();
    EXPECT_EQ(prints(), before);
    undo().redo();
    EXPECT_EQ(States(*widget.getCurves()), preview);
    undo().undo();
  }
}

// Scale (2, 1) about (10, 0), offset (0, 3): x' = 2 x - 10, y' = y + 3. The
// scale typed twice is applied once, to fresh copies.
TEST_F(DialogTest, scaleAboutPivotThenOffset) {
  auto d = open<A::TransformCurvesDialog>();
  type(*d, "scaleX", "3");
  type(*d, "scaleX", "2");
  type(*d, "pivotX", "10");
  type(*d, "pivotY", "0");
  type(*d, "offsetY", "3");
  EXPECT_EQ(d->getTranslation(), V(-10, 3));
  EXPECT_EQ(Edit::KeyPositions(*d->getPreviewCurves()->at(0)),
            (std::vector<V>{V(-9, 4), V(-7, 5), V(-5, 4), V(-3, 4.5)}));
  click(*d, "Apply");
  EXPECT_EQ(Edit::KeyPositions(*a), (std::vector<V>{V(-9, 4), V(-7, 5), V(-5, 4), V(-3, 4.5)}));
  EXPECT_EQ(Edit::KeyPositions(*b), (std::vector<V>{V(-9, 3.5), V(-6, 3.5), V(-4, 5.5)}));
}

// Selected keys: their mean; whole curves only: the mean of their interior
// extents' centres; nothing: the origin.
TEST_F(DialogTest, defaultPivot) {
  auto line = [](const char* name, V k0, V k1) {
    auto c = T::FCurve::create(name);
    for (V k : {k0, k1}) c->insertSegment(T::Keyframe(k.x, k.y), T::Linear::create());
    return c;
  };
  auto c = line("c", V(0, 0), V(10, 4)), e = line("e", V(20, 1), V(30, 3));
  widget.getCurves()->addCurve(c);
  widget.getCurves()->addCurve(e);
  const struct {
    const char* what;
    std::function<void()> select;
    V pivot;
  } rows[] = {
      {"two keys", [&] { selection().select(*c), T::SelectCurveCompletely(selection(), *c); }, V(5, 2)},
      {"two curves", [&] { selection().select(*c), selection().select(*e); }, V(15, 2)},
      {"nothing", [] {}, V(0, 0)},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    selection().clear();
    r.select();
    auto d = open<A::TransformCurvesDialog>();
    EXPECT_EQ(d->getPivot(), r.pivot);
    EXPECT_EQ(edit(*d, "pivotX")->text(), QString::number(r.pivot.x));
  }
}

// A selection the command can do nothing with: Apply pushes its step (as
// every edit command does) and changes nothing.
TEST_F(DialogTest, applyWithNothingToChange) {
  const struct {
    const char* what;
    std::function<void()> select;
  } rows[] = {
      {"nothing selected", [this] { selection().clear(); }},
      {"locked curves only",
       [this] {
         for (auto* c : {a.get(), b.get()}) selection().select(*c), T::SetLocked(*c, true);
       }},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    r.select();
    const auto before = prints();
    auto d = open<A::SmoothCurvesDialog>();
    type(*d, "radius", "4");
    click(*d, "Apply");
    EXPECT_EQ(undo().count(), 1);
    EXPECT_EQ(prints(), before);
    undo().clear();
  }
}

// Opening a dialog ends a keyframe drag as its release would: the move is
// its own undo step, the bracket is closed, and the dialog works on the
// moved keys.
TEST_F(DialogTest, openingEndsARunningDrag) {
  QWindow* window = widget.windowHandle();
  selection().select(*Edit::KeyAt(*a, 1));
  QTest::mousePress(window, Qt::LeftButton, {}, QPoint(150, 100));
  QTest::mouseMove(window, QPoint(150, 90));
  QTest::mouseMove(window, QPoint(150, 50));
  ASSERT_TRUE(widget.getUserLayers()->findLayer("Drag Keyframe Layer"));
  V moved;
  {
    auto d = open<A::TransformCurvesDialog>();
    EXPECT_FALSE(widget.getUserLayers()->findLayer("Drag Keyframe Layer"));
    EXPECT_EQ(T::FCurve::getChangeType(), T::FCurve::Idle);
    ASSERT_EQ(undo().count(), 1);
    moved = Edit::KeyAt(*a, 1)->get();
    EXPECT_GT(moved.y, 2.4);
    type(*d, "offsetY", "1");
    click(*d, "Apply");
  }
  QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(150, 50));
  EXPECT_EQ(undo().count(), 2);
  EXPECT_EQ(Edit::KeyAt(*a, 1)->get(), moved + V(0, 1));
  undo().undo();
  EXPECT_EQ(Edit::KeyAt(*a, 1)->get(), moved);
  undo().undo();
  EXPECT_EQ(Edit::KeyAt(*a, 1)->get(), V(1.5, 2));
}

// The host drops "b" while the dialog is open: the preview drops its copy,
// and Apply changes "a" only.
TEST_F(DialogTest, hostRemovesACurveWhileOpen) {
  const Print b0 = PrintOf(*b);
  auto d = open<A::TransformCurvesDialog>();
  type(*d, "offsetX", "2");
  QTimer::singleShot(0, [this] { widget.getCurves()->removeCurve(b); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return d->getPreviewCurves()->size() == 1; }));
  click(*d, "Apply");
  EXPECT_EQ(Edit::KeyAt(*a, 0)->get(), V(2.5, 1));
  EXPECT_EQ(PrintOf(*b), b0);
}

// Values the curve model refuses or could not hold stay out of the curves.
TEST_F(DialogTest, extremeValuesNeverReachTheCurves) {
  const auto before = States(*widget.getCurves());
  {
    auto d = open<A::TransformCurvesDialog>();
    // At 3e38 every x of a curve is one double: the curve model refuses the
    // mapping, in the preview as on Apply.
    type(*d, "scaleY", "3e38");
    type(*d, "offsetX", "3e38");
    EXPECT_EQ(States(*d->getPreviewCurves())[0], Edit::StateOf(*a));
    click(*d, "Apply");
  }
  EXPECT_EQ(States(*widget.getCurves()), before);
  {
    // O(keys) whatever the radius; the end keys keep their values.
    auto d = open<A::SmoothCurvesDialog>();
    type(*d, "stepSize", "0.02");
    type(*d, "radius", "2000000000");
    EXPECT_EQ(d->getRadius(), 2000000000);
    click(*d, "Apply");
  }
  for (const auto& c : *widget.getCurves()) {
    for (auto it = std::next(c->begin()); it != c->end(); ++it)
      EXPECT_TRUE(std::isfinite(it.key()->getY()) && std::isfinite(it.key()->getOutTangent()->get().y));
  }
  EXPECT_EQ(Edit::KeyAt(*a, 0)->get(), V(0.5, 1));
  EXPECT_GT(a->numKeys(), 140u);
}

// The widget's slots run each dialog modally under its title; "Apply" on a
// flip with no axis checked cancels it.
TEST_F(DialogTest, widgetSlotsRunTheDialogs) {
  const struct {
    void (A::GraphWidget::*slot)();
    const char* title;
    const char* button;
    int steps;
  } rows[] = {
      {&A::GraphWidget::triggerSmoothCurvesDialog, "Smooth", "Apply", 1},
      {&A::GraphWidget::triggerFlipCurvesDialog, "Flip", "Apply", 0},
      {&A::GraphWidget::triggerTransformCurvesDialog, "Scale & Offset", "Cancel", 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.title);
    undo().clear();
    QString title;
    QTimer::singleShot(0, [&] {
      auto* d = widget.findChild<A::PrevizDialog*>();
      ASSERT_TRUE(d && d->isModal());
      title = d->windowTitle();
      click(*d, r.button);
    });
    (widget.*r.slot)();
    EXPECT_EQ(title.toStdString(), r.title);
    EXPECT_EQ(undo().count(), r.steps);
    EXPECT_EQ(widget.getUserLayers()->numChildren(), standing);
  }
}

// Destroyed while shown, with a new value typed but not finished: the edit
// loses its focus as the dialog goes, and nothing reaches the curves.
TEST_F(DialogTest, destroyedWhileAFieldIsBeingEdited) {
  const auto before = prints();
  auto d = open<A::SmoothCurvesDialog>();
  QLineEdit* step = edit(*d, "stepSize");
  step->setFocus();
  QTest::keyClick(step, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(step, "0.5");
  d.reset();
  EXPECT_EQ(prints(), before);
  EXPECT_EQ(undo().count(), 0);
  EXPECT_EQ(widget.getUserLayers()->numChildren(), standing);
}
