// Framing through the widget's slots and keys: the targets the view glides
// to, per axis, with one key, the easing's shape, a press that stops the
// animation and a second framing that takes over from the first.
#include "widget/showwidget.h"

#include "widget/framing.h"

#include <arvelle/arvelle.h>

#include <tessal/tessal.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cmath>
#include <memory>

using namespace Zentho::Arvelle;
namespace T = Zentho::Tessal;
using R = T::Rectangle<double>;
using V = T::Vector2D<double>;

namespace {

class Framing : public ::testing::Test {
 protected:
  void SetUp() override {
    // x 0 .. 100, y -1 .. 1.
    curve = T::FCurve::create("c");
    for (V k : {V(0, -1), V(50, 1), V(100, 0)}) curve->insertSegment(T::Keyframe(k.x, k.y), T::Linear::create());
    widget.getCurves()->addCurve(curve);
    ASSERT_TRUE(ShowWidget(widget, 400, 300));
    widget.getViewport()->setWorldBounds(start);
  }
  const R& world() const { return widget.getViewport()->getWorldBounds(); }
  // Lets the animation run to its end; false when it never gets there.
  bool settles() {
    return QTest::qWaitFor([&] { return animations() == 0 || finished(); }, 2000);
  }
  std::size_t animations() {
    std::size_t n = 0;
    for (const auto& layer : *widget.getRootLayer()) n += std::dynamic_pointer_cast<AnimationMonitor>(layer) ? 1 : 0;
    return n;
  }
  bool finished() {
    for (const auto& layer : *widget.getRootLayer())
      if (auto m = std::dynamic_pointer_cast<AnimationMonitor>(layer); m && !m->isFinished()) return false;
    return true;
  }
  static ::testing::AssertionResult Same(const R& a, const R& b) {
    const double tol = 1e-9;
    if (std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol && std::fabs(a.width - b.width) <= tol &&
        std::fabs(a.height - b.height) <= tol)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.width << ", " << a.height
                                         << ") against (" << b.x << ", " << b.y << ", " << b.width << ", " << b.height
                                         << ")";
  }

  GraphWidget widget;
  std::shared_ptr<T::FCurve> curve;
  const R start{10, 5, 20, 4};
};

TEST_F(Framing, slotsGlideToTheirTargets) {
  const struct {
    const char* what;
    void (GraphWidget::*slot)();
    bool selectOneKey;
    R target;
  } rows[] = {
      {"all, both axes: 5 % margins", &GraphWidget::triggerFrameAll, false, R(-5, -1.1, 110, 2.2)},
      {"all, x only keeps the vertical range", &GraphWidget::triggerFrameAllX, false, R(-5, 5, 110, 4)},
      {"all, y only keeps the horizontal range", &GraphWidget::triggerFrameAllY, false, R(10, -1.1, 20, 2.2)},
      {"one selected key: same size, centred on it", &GraphWidget::triggerFrameSelected, true, R(40, -1, 20, 4)},
      {"auto with a key selected frames the selection", &GraphWidget::triggerFrameAuto, true, R(40, -1, 20, 4)},
      {"auto with nothing selected frames all", &GraphWidget::triggerFrameAuto, false, R(-5, -1.1, 110, 2.2)},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    widget.getViewport()->setWorldBounds(start);
    widget.getSelection()->clear();
    if (r.selectOneKey) widget.getSelection()->select(*std::next(curve->begin(), 2).key());
    (widget.*r.slot)();
    ASSERT_EQ(animations(), 1u);
    ASSERT_TRUE(settles());
    EXPECT_TRUE(Same(world(), r.target));
  }
}

TEST_F(Framing, pointlessTargetsStartNothing) {
  widget.triggerFrameWorldLimits();  // no limits
  EXPECT_EQ(animations(), 0u);
  widget.getViewport()->setWorldLimits(start);
  widget.triggerFrameWorldLimits();  // the view already shows them
  EXPECT_EQ(animations(), 0u);
  curve->clear();
  widget.triggerFrameAll();  // nothing to frame
  EXPECT_EQ(animations(), 0u);
  // With the view fixed, the keys are taken but move nothing.
  widget.getViewport()->setPanZoomEnabled(false);
  for (Qt::Key k : {Qt::Key_F, Qt::Key_A, Qt::Key_Home}) QTest::keyClick(&widget, k);
  EXPECT_EQ(animations(), 0u);
  EXPECT_EQ(world(), start);
}

TEST_F(Framing, aPressStopsTheAnimationAndStillReachesTheLayersBelow) {
  widget.getSelection()->select(*curve);
  QTest::keyClick(&widget, Qt::Key_A);
  ASSERT_EQ(animations(), 1u);
  QTest::qWait(80);
  const R stopped = world();
  // Empty space: the press also starts a rubber band, which clears the selection.
  QTest::mouseClick(widget.windowHandle(), Qt::LeftButton, {}, QPoint(390, 10));
  EXPECT_EQ(animations(), 0u);
  EXPECT_TRUE(widget.getSelection()->empty());
  QTest::qWait(100);
  EXPECT_EQ(world(), stopped);
}

TEST_F(Framing, aSecondFramingTakesOverFromWhereTheViewIs) {
  widget.triggerFrameAll();
  QTest::qWait(60);
  widget.getSelection()->select(*std::next(curve->begin(), 2).key());
  widget.triggerFrameSelected();
  EXPECT_EQ(animations(), 1u);
  ASSERT_TRUE(settles());
  const R& w = world();
  EXPECT_NEAR(w.x + w.width / 2, 50, 1e-9);
  EXPECT_NEAR(w.y + w.height / 2, 1, 1e-9);
}

TEST(FramingEasing, zoomingInFrontLoadsZoomingOutBackLoadsAPanIsSymmetric) {
  const auto in = AnimationMonitor::MakeEasing(10, 1), out = AnimationMonitor::MakeEasing(1, 10),
             pan = AnimationMonitor::MakeEasing(5, 5), odd = AnimationMonitor::MakeEasing(0, 5);
  for (const auto& e : {in, out, pan, odd}) {
    EXPECT_EQ(e->eval(0), 0);
    EXPECT_EQ(e->eval(1), 1);
    double last = 0;
    for (int i = 1; i <= 100; ++i) {
      const double y = e->eval(i / 100.0);
      EXPECT_GE(y, last - 1e-12);
      last = y;
    }
  }
  EXPECT_GT(in->eval(0.25), pan->eval(0.25) + 0.1);
  EXPECT_LT(out->eval(0.25), pan->eval(0.25) / 2);
  EXPECT_NEAR(pan->eval(0.5), 0.5, 1e-12);
  EXPECT_NEAR(pan->eval(0.3) + pan->eval(0.7), 1, 1e-9);
  EXPECT_NEAR(odd->eval(0.5), 0.5, 1e-12) << "no ratio: symmetric";
}

}  // namespace
