// The domain slider through real input on a shown widget: D and the slot
// toggling it at the pointer, presses on and off the handle, scrubbing with
// and without snapping, showing and hiding by dragging, Ctrl+arrow stepping
// from key to key, the texts it asks for and the gestures a hidden widget
// ends. The view maps x by 8 pixels and y by 64 pixels per unit (0.125 and
// 1/64 are exact), so positions are written out by hand.
#include "widget/showwidget.h"

#include "layers/domainsliderlayer.h"
#include "widget/framing.h"

#include <arvelle/arvelle.h>

#include <tessal/tessal.h>

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace Zentho::Arvelle;
namespace T = Zentho::Tessal;
using R = T::Rectangle<double>;
using V = T::Vector2D<double>;

namespace {

struct Text {
  int x, y;
  QString text;
};

std::shared_ptr<T::FCurve> Make(const char* name, std::vector<V> keys,
                                std::shared_ptr<T::Interpolator> interpolator = T::Linear::create()) {
  auto c = T::FCurve::create(name);
  for (const V& k : keys) c->insertSegment(T::Keyframe(k.x, k.y), interpolator);
  return c;
}

// Curve "a", linear: (10, 1) (20.5, 3) (30, 2), at pixels x 80, 164, 240.
class DomainSliderInput : public ::testing::Test {
 protected:
  void SetUp() override {
    a = Make("a", {{10, 1}, {20.5, 3}, {30, 2}});
    widget.getCurves()->addCurve(a);
    ASSERT_TRUE(ShowWidget(widget, 400, 320));
    window = widget.windowHandle();
    widget.getViewport()->setWorldBounds(world);
    widget.getSelection()->select(*a);
    slider = widget.getDomainSlider();
    const QFontMetrics metrics(widget.getFont());
    fh = metrics.height();
    asc = metrics.ascent();
    handleY = 320 - fh - 5;
    layer = widget.getRootLayer()->findLayer("Domain Slider Layer");
    ASSERT_TRUE(layer);
    QObject::connect(layer.get(), &Layer::requestDrawText, layer.get(),
                     [this](int x, int y, const QString& t, const QColor&) { texts.push_back({x, y, t}); });
    standing = widget.getUserLayers()->numChildren();
  }
  void TearDown() override {
    if (QTestPrivate::qtestMouseButtons & Qt::LeftButton) QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(1, 1));
  }

  void showAt(double v) {
    slider->show();
    slider->setValue(v);
  }
  void press(QPoint p, Qt::KeyboardModifiers m = {}) { QTest::mousePress(window, Qt::LeftButton, m, p); }
  void move(QPoint p, Qt::KeyboardModifiers m = {}) { QTest::mouseEvent(QTest::MouseMove, window, Qt::NoButton, m, p); }
  void release(QPoint p) { QTest::mouseRelease(window, Qt::LeftButton, {}, p); }
  // What one frame asks to be written, in order: the value first.
  std::vector<Text> draw() {
    texts.clear();
    widget.grabFramebuffer();
    return texts;
  }
  std::vector<std::shared_ptr<AnimationMonitor>> animations() {
    std::vector<std::shared_ptr<AnimationMonitor>> v;
    for (const auto& l : *widget.getUserLayers())
      if (auto m = std::dynamic_pointer_cast<AnimationMonitor>(l)) v.push_back(m);
    return v;
  }
  void stopAnimations() {
    for (const auto& m : animations()) {
      m->stop();
      widget.getUserLayers()->removeLayer(m);
    }
  }

  const R world{0, 0, 50, 5};
  GraphWidget widget;
  QWindow* window = nullptr;
  std::shared_ptr<T::FCurve> a;
  std::shared_ptr<DomainSlider> slider;
  std::shared_ptr<Layer> layer;
  std::vector<Text> texts;
  int fh = 0, asc = 0, handleY = 0;
  std::size_t standing = 0;
};

struct Heard : DomainSliderObserver {
  void shown(DomainSlider&) override { log.push_back("shown"); }
  void valueChanged(DomainSlider& s) override { log.push_back("value " + std::to_string(s.getValue())); }
  std::vector<std::string> log;
};

TEST_F(DomainSliderInput, dAndTheSlotToggleTheSliderAtThePointersX) {
  const struct {
    const char* what;
    double worldWidth;
    bool snap;
    int pointerX;
    double want;
    const char* label;
  } rows[] = {
      {"free: the pointer's x", 50, false, 123, 15.375, "15.3750"},
      {"snapped: the nearest grid step", 50, true, 123, 15, "15"},
      // A tenth is no binary fraction: the step must still come out whole.
      {"snapped at a tenth per pixel: exactly the whole step", 40, true, 123, 12, "12"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    widget.getViewport()->setWorldBounds(R(0, 0, r.worldWidth, 5));
    SnapSettings snap;
    snap.setSnappingX(r.snap);
    widget.setSnapSettings(snap);
    slider->setValue(-7);
    move(QPoint(r.pointerX, 40));
    Heard heard;
    slider->subscribe(heard);
    QTest::keyClick(&widget, Qt::Key_D);
    EXPECT_TRUE(slider->isVisible());
    EXPECT_EQ(slider->getValue(), r.want);
    EXPECT_EQ(heard.log, (std::vector<std::string>{"shown", "value " + std::to_string(r.want)}));
    const auto t = draw();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t.front().text.toStdString(), r.label);
    // A held D repeats: the repeats leave the slider as the first press left it.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_D, Qt::NoModifier, "d", true);
    QApplication::sendEvent(&widget, &repeat);
    EXPECT_TRUE(slider->isVisible());
    QTest::keyClick(&widget, Qt::Key_D);
    EXPECT_FALSE(slider->isVisible());
    EXPECT_TRUE(draw().empty());
    EXPECT_EQ(slider->getValue(), r.want) << "hiding keeps the value";
    slider->unsubscribe(heard);
  }
  widget.triggerDomainSlider();
  EXPECT_TRUE(slider->isVisible());
  widget.triggerDomainSlider();
  EXPECT_FALSE(slider->isVisible());
}

TEST_F(DomainSliderInput, onlyALeftPressOnTheHandleStartsADrag) {
  // At 20 the handle spans pixels x 150 to 170 (right edge out) and y
  // 320 - fh down to 320 - fh - 10 (top edge out).
  const struct {
    const char* what;
    bool visible;
    QPoint at;
    bool taken;
  } rows[] = {
      {"centre", true, {160, handleY}, true},
      {"left edge", true, {150, handleY}, true},
      {"bottom edge", true, {160, 320 - fh}, true},
      {"right edge", true, {170, handleY}, false},
      {"top edge", true, {160, 320 - fh - 10}, false},
      {"below", true, {160, 320 - fh + 3}, false},
      {"hidden slider", false, {160, handleY}, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    showAt(20);
    if (!r.visible) slider->hide();
    widget.getSelection()->select(*a);
    press(r.at);
    // Refused, the press reaches the curve layer: a rubber band on empty
    // space clears the selection.
    EXPECT_EQ(widget.getSelection()->isSelected(*a), r.taken);
    EXPECT_EQ(widget.getUserLayers()->numChildren(), standing + 1) << "the drag or the rubber band";
    release(r.at);
    EXPECT_EQ(widget.getUserLayers()->numChildren(), standing);
    EXPECT_EQ(slider->getValue(), 20);
  }
}

TEST_F(DomainSliderInput, theFirstMoveChoosesScrubbingWithSnappingOrShowingAndHiding) {
  SnapSettings off, grid, five;
  grid.setSnappingX(true);
  five.setSnappingX(true);
  five.setIncrementX(5);
  const auto ctrl = Qt::KeyboardModifiers(Qt::ControlModifier);
  // Pressed on the handle at 20 (pixel 160) plus dx, then moved by the given
  // offsets from the press.
  const struct {
    const char* what;
    SnapSettings snap;
    Qt::KeyboardModifiers mods;
    int dx;
    std::vector<QPoint> moves;
    double want;
    bool visible;
  } rows[] = {
      {"free: the pointer exactly", off, {}, 0, {{3, 0}}, 20.375, true},
      {"grabbed off-centre: no jump", off, {}, 5, {{3, 0}}, 20.375, true},
      {"Control frees a snapping drag", grid, ctrl, 0, {{3, 0}}, 20.375, true},
      {"a key 3 px away beats a grid line 1 px away", grid, {}, 0, {{1, 0}}, 20.5, true},
      {"no key within 5 px: the grid", grid, {}, 0, {{41, 0}}, 25, true},
      {"a key nearer than a coarse step's line", five, {}, 0, {{20, 0}}, 20.5, true},
      {"a coarse step's line nearer than any key", five, {}, 0, {{36, 0}}, 25, true},
      {"a scrub never hides", off, {}, 0, {{3, 0}, {3, 30}}, 20.375, true},
      {"down hides", off, {}, 0, {{0, 4}}, 20, false},
      {"back above the press shows", off, {}, 0, {{0, 4}, {0, -2}}, 20, true},
      {"no scrubbing once showing or hiding", off, {}, 0, {{0, 4}, {30, 4}}, 20, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    widget.setSnapSettings(r.snap);
    showAt(20);
    const QPoint at(160 + r.dx, handleY);
    press(at);
    for (QPoint d : r.moves) move(at + d, r.mods);
    EXPECT_EQ(slider->getValue(), r.want);
    EXPECT_EQ(slider->isVisible(), r.visible);
    release(at + r.moves.back());
    EXPECT_EQ(widget.getUserLayers()->numChildren(), standing);
  }
}

TEST_F(DomainSliderInput, ctrlArrowsStepFromKeyToKeyOrByOneUnit) {
  // Curve "b": (15, 2) (60, 2); 60 lies right of the view.
  auto b = Make("b", {{15, 2}, {60, 2}});
  widget.getCurves()->addCurve(b);
  const struct {
    const char* what;
    bool withB, visible;
    double from;
    Qt::Key key;
    double want;
    bool recentres;
    R target;
  } rows[] = {
      {"next: the nearest right key of all curves", true, true, 20.5, Qt::Key_Right, 30, false, {}},
      {"previous from a key: the largest key before it", true, true, 20.5, Qt::Key_Left, 15, false, {}},
      {"previous between keys: their left keys", true, true, 25, Qt::Key_Left, 20.5, false, {}},
      {"a key outside the view: centred on it", true, true, 45, Qt::Key_Right, 60, true, R(35, -0.5, 50, 5)},
      {"no key after: one unit on, in view", false, true, 45, Qt::Key_Right, 46, false, {}},
      {"no key before: one unit back, in view", false, true, 5, Qt::Key_Left, 4, false, {}},
      {"no key before and out of view: recentred", false, true, 0, Qt::Key_Left, -1, true, R(-26, 0, 50, 5)},
      {"hidden: the keys are not the slider's", true, false, 20.5, Qt::Key_Left, 20.5, false, {}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    widget.getViewport()->setWorldBounds(world);
    widget.getSelection()->clear();
    widget.getSelection()->select(*a);
    if (r.withB) widget.getSelection()->select(*b);
    showAt(r.from);
    if (!r.visible) slider->hide();
    QTest::keyClick(&widget, r.key, Qt::ControlModifier);
    EXPECT_EQ(slider->getValue(), r.want);
    const auto running = animations();
    ASSERT_EQ(running.size(), r.recentres ? 1u : 0u);
    if (r.recentres) {
      EXPECT_EQ(running.front()->getTarget(), r.target);
    }
    stopAnimations();
  }
}

TEST_F(DomainSliderInput, theValueAndTheReadoutsReadAndSitByTheCurvesSlope) {
  showAt(20);
  auto t = draw();
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].text.toStdString(), "20");
  EXPECT_EQ(t[0].y, fh - 2);
  EXPECT_EQ(t[0].x, static_cast<int>(160 - 0.5 * QFontMetrics(widget.getFont()).horizontalAdvance("20")));
  slider->setValue(20.5);
  EXPECT_EQ(draw().front().text.toStdString(), "20.5000");

  // At x 20 (pixel 160) the readout starts at 160 + 15 + 3; its baseline is
  // half an ascent above the anchor, which sits `lift` ascents above the
  // curve.
  const struct {
    const char* what;
    std::vector<V> keys;
    std::shared_ptr<T::Interpolator> interpolator;
    double y;
    const char* text;
    double lift;
  } rows[] = {
      {"steeply rising: on the curve", {{15, 1}, {25, 4}}, T::Linear::create(), 2.5, "2.5000", 0},
      {"gently rising: half way below", {{10, 1}, {26, 2}}, T::Linear::create(), 1.625, "1.6250", -0.5},
      {"gently falling: half way above", {{10, 2}, {26, 1}}, T::Linear::create(), 1.375, "1.3750", 0.5},
      {"flat at a peak: a full ascent above", {{10, 1}, {20, 3}, {30, 1}}, T::Bezier::create(), 3, "3.0000", 1},
      {"flat in a dip: a full ascent below", {{10, 3}, {20, 1}, {30, 3}}, T::Bezier::create(), 1, "1.0000", -1},
      {"flat and straight: above", {{10, 2}, {30, 2}}, T::Linear::create(), 2, "2.0000", 1},
  };
  slider->setValue(20);
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    auto c = Make("c", r.keys, r.interpolator);
    widget.getCurves()->addCurve(c);
    widget.getSelection()->clear();
    widget.getSelection()->select(*c);
    t = draw();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[1].text.toStdString(), r.text);
    EXPECT_EQ(t[1].x, 178);
    const double anchorY = 320 - 64 * r.y - r.lift * asc;
    EXPECT_EQ(t[1].y, static_cast<int>(anchorY - 0.5 * asc));
    widget.getCurves()->removeCurve(c);
  }
}

TEST_F(DomainSliderInput, oddCurvesValuesAndViewsDrawOnlyWhatMakesSense) {
  auto empty = T::FCurve::create("empty");
  auto one = Make("one", {{5, 2}});
  widget.getCurves()->addCurve(empty);
  widget.getCurves()->addCurve(one);
  widget.getSelection()->select(*empty);
  widget.getSelection()->select(*one);
  showAt(40);  // beyond every key
  auto t = draw();
  ASSERT_EQ(t.size(), 4u) << "the value and three readouts";
  for (const auto& x : t) {
    EXPECT_FALSE(x.text.contains("nan") || x.text.contains("inf")) << x.text.toStdString();
  }
  EXPECT_EQ(t[2].text.toStdString(), "0.0000") << "a curve without keys is 0";
  EXPECT_EQ(t[3].text.toStdString(), "2.0000") << "one key holds its value";
  // Curves leaving the container leave the readouts, selected or not.
  widget.getCurves()->removeCurve(empty);
  widget.getCurves()->removeCurve(one);
  EXPECT_EQ(draw().size(), 2u);

  const struct {
    const char* what;
    double value;
  } values[] = {{"not a number", std::numeric_limits<double>::quiet_NaN()},
                {"infinite", std::numeric_limits<double>::infinity()},
                {"beyond what GL takes", 1e300}};
  for (const auto& r : values) {
    SCOPED_TRACE(r.what);
    slider->setValue(r.value);
    EXPECT_TRUE(draw().empty());
  }

  // A window without size maps nothing: nothing drawn, no press taken, D
  // shows the slider where it was.
  slider->setValue(20);
  slider->hide();
  widget.getViewport()->setWindowBounds(R(0, 0, 0, 0));
  QTest::keyClick(&widget, Qt::Key_D);
  EXPECT_TRUE(slider->isVisible());
  EXPECT_EQ(slider->getValue(), 20);
  EXPECT_TRUE(draw().empty());
  Viewport& viewport = *widget.getViewport();
  QMouseEvent p(QEvent::MouseButtonPress, QPointF(160, handleY), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  EXPECT_FALSE(layer->handleEvent(&p, viewport));
  EXPECT_EQ(widget.getUserLayers()->numChildren(), standing);
}

TEST_F(DomainSliderInput, aHiddenOrDestroyedWidgetEndsTheDrag) {
  showAt(20);
  press(QPoint(160, handleY));
  ASSERT_EQ(widget.getUserLayers()->numChildren(), standing + 1);
  widget.hide();
  EXPECT_EQ(widget.getUserLayers()->numChildren(), standing);
  EXPECT_EQ(slider->getValue(), 20);
  QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(160, handleY));

  auto other = std::make_unique<GraphWidget>();
  ASSERT_TRUE(ShowWidget(*other, 400, 320));
  other->getViewport()->setWorldBounds(world);
  auto kept = other->getDomainSlider();
  kept->show();
  kept->setValue(20);
  QTest::mousePress(other->windowHandle(), Qt::LeftButton, {}, QPoint(160, handleY));
  ASSERT_EQ(other->getUserLayers()->numChildren(), standing + 1);
  other.reset();
  // The host's slider outlives the widget and its layers.
  kept->setValue(21);
  kept->hide();
  EXPECT_EQ(kept->getValue(), 21);
}

}  // namespace
