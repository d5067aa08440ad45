// Inserting keyframes through real input on a shown widget. The view maps one world unit to 100 pixels: pixel
// (px, py) is world (px / 100, 3 - py / 100); x snaps to the 0.1 grid at this zoom, y is free.
#include "widget/showwidget.h"

#include <QApplication>

#include <arvelle/arvelle.h>

#include <tessal/tessal.h>

#include <QUndoStack>

#include <gmock/gmock.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace Zentho::Arvelle;
namespace T = Zentho::Tessal;
using R = T::Rectangle<double>;
using Curve = std::shared_ptr<T::FCurve>;
using ::testing::DoubleNear;
using ::testing::Pointwise;

namespace {

// Per key: position, unified flag, and per handle its offset, type, weighted and weight-locked flags.
std::vector<std::vector<double>> StateOf(const T::FCurve& curve) {
  std::vector<std::vector<double>> r;
  for (auto it = std::next(curve.begin()); it != curve.end(); ++it) {
    const T::Keyframe& k = *it.key();
    r.push_back({k.getX(), k.getY(), double(k.isTangentsUnified())});
    for (const auto& h : {k.getInTangent(), k.getOutTangent()})
      r.back().insert(r.back().end(), {h->get().x, h->get().y, double(h->getType()), double(h->isWeighted()),
                                       double(h->isWeightLocked())});
  }
  return r;
}

// The curve at 2,000 points over the view and beyond it on both sides.
std::vector<double> Values(const T::FCurve& curve) {
  std::vector<double> v;
  for (int i = 0; i < 2000; ++i) v.push_back(curve.eval(-0.5 + i / 400.0));
  return v;
}

// a: Smooth bezier keys (0.5, 1) (1.5, 2) (2.5, 1) (3.5, 1.5), selected; b: linear keys (0.5, 0.5) (2, 1); c: none.
class Insertion : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [x, y] :
         std::initializer_list<std::pair<double, double>>{{0.5, 1}, {1.5, 2}, {2.5, 1}, {3.5, 1.5}})
      a->insertSegment(T::Keyframe(x, y), T::Bezier::create());
    b->insertSegment(T::Keyframe(0.5, 0.5), T::Linear::create());
    b->insertSegment(T::Keyframe(2, 1), T::Linear::create());
    for (const auto& curve : {a, b, c}) widget.getCurves()->addCurve(curve);
    ASSERT_TRUE(ShowWidget(widget, 400, 300));
    widget.getViewport()->setWorldBounds(R(0, 0, 4, 3));
    SnapSettings snap;
    snap.setSnappingX(true);
    widget.setSnapSettings(snap);
    undo().setUndoLimit(20);
    standing = widget.getUserLayers()->numChildren();
    select({a});
  }
  static QPoint on(const T::FCurve& curve, double x) {
    return QPoint(int(std::lround(100 * x)), int(std::lround(300 - 100 * curve.eval(x))));
  }
  std::shared_ptr<Layer> mode() { return widget.getRootLayer()->findLayer("Insert Keyframe Layer"); }
  void moveTo(QPoint p, Qt::KeyboardModifiers m = {}) {
    QTest::mouseEvent(QTest::MouseMove, widget.windowHandle(), {}, m, p);
  }
  void click(QPoint p, Qt::KeyboardModifiers m = {}) {
    moveTo(p, m);
    QTest::mouseClick(widget.windowHandle(), Qt::LeftButton, m, p);
  }
  // The marker's label in a frame drawn now; empty when the mode draws none.
  QString label() {
    QString text;
    auto c = QObject::connect(mode().get(), &Layer::requestDrawText,
                              [&](int, int, const QString& t, const QColor&) { text = t; });
    widget.grabFramebuffer();
    QObject::disconnect(c);
    return text;
  }
  void select(std::vector<Curve> curves) {
    widget.getSelection()->clear();
    for (const auto& curve : curves) widget.getSelection()->select(*curve);
  }
  // The one selected key; null for none or several.
  std::shared_ptr<T::Keyframe> selectedKey() {
    auto it = T::BeginSelectedKeyframes(*widget.getSelection());
    const auto end = T::EndSelectedKeyframes(*widget.getSelection());
    return it == end || std::next(it) != end ? nullptr : it->getKeyframe();
  }
  std::size_t keyCount() const { return a->numKeys() + b->numKeys() + c->numKeys(); }
  QUndoStack& undo() { return widget.getUndoStack()->getQUndoStack(); }
  bool idle(bool modeOn) {
    return widget.getUserLayers()->numChildren() == standing + modeOn && T::FCurve::getChangeType() == T::FCurve::Idle;
  }

  GraphWidget widget;
  Curve a = T::FCurve::create("a"), b = T::FCurve::create("b"), c = T::FCurve::create("c");
  std::size_t standing = 0;
};

TEST_F(Insertion, insertEscapeAndContainerChangesSwitchTheMode) {
  const auto on = [&] { widget.insertKeyframeLayer(nullptr); };  // the menu entry
  const auto press = [&](int k) { return [this, k] { QTest::keyClick(&widget, Qt::Key(k)); }; };
  const struct {
    const char* what;
    std::vector<std::function<void()>> steps;
    bool on;
  } rows[] = {
      {"Insert turns it on", {press(Qt::Key_Insert)}, true},
      {"Insert again turns it off", {press(Qt::Key_Insert), press(Qt::Key_Insert)}, false},
      {"Escape ends it", {press(Qt::Key_Insert), press(Qt::Key_Escape)}, false},
      {"the menu entry only turns it on", {on, on}, true},
      {"Insert ends what the menu began", {on, press(Qt::Key_Insert)}, false},
      {"a curve added ends it", {on, [&] { widget.getCurves()->addCurve(T::FCurve::create("d")); }}, false},
      {"a curve removed ends it", {on, [&] { widget.getCurves()->removeCurve(c); }}, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    for (const auto& step : r.steps) step();
    EXPECT_EQ(mode() != nullptr, r.on);
    EXPECT_TRUE(idle(r.on));
    if (mode()) QTest::keyClick(&widget, Qt::Key_Escape);
  }
}

TEST_F(Insertion, clicksInsertIntoTheTargetOnlyAndUndoRedoRestoreEveryHandle) {
  // Without the mode, the curve layer's Ctrl+Alt click inserts one key.
  const auto initial = StateOf(*a);
  QTest::mouseClick(widget.windowHandle(), Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier, on(*a, 2.4));
  EXPECT_TRUE(a->numKeys() == 5 && selectedKey() && std::fabs(selectedKey()->getX() - 2.4) < 1e-6 && idle(false));
  undo().undo();
  EXPECT_EQ(StateOf(*a), initial);

  const double nan = std::numeric_limits<double>::quiet_NaN();
  const auto view = [&](R r) { return [this, r] { widget.getViewport()->setWorldBounds(r); }; };
  const auto limits = [&] { widget.getViewport()->setWorldLimits(R(0, 0, 2, 3)); };
  const R thousandths(1.4, 0, 0.4, 3);  // a thousandth of a unit per pixel in x
  const auto nearKey = [&](int px) { return QPoint(px, int(std::lround(300 - 100 * a->eval(1.4 + px / 1000.0)))); };
  const auto both = [&] { select({a, b}); };
  const QPoint away(303, 40);  // off every curve; (3.0, 2.6) snapped
  const struct {
    const char* what;
    std::function<void()> setup;
    QPoint at;
    Qt::KeyboardModifiers mods;
    Curve target;         // null: nothing is inserted
    double x = 0, y = 0;  // y NaN: the target's value at x
    bool keepsShape = false;
  } rows[] = {
      {"on a bezier segment", {}, on(*a, 2.4), {}, a, 2.4, nan, true},
      {"on the constant lead-in", {}, on(*a, 0.2), {}, a, 0.2, 1, true},
      {"on an unselected linear curve", {}, on(*b, 1.2), {}, b, 1.2, nan, true},
      {"off the curves into the one selected curve", {}, away, {}, a, 3.0, 2.6},
      {"the first key of a curve without keys", [&] { select({c}); }, away, {}, c, 3.0, 2.6},
      {"off the curves with two selected", both, away, {}, nullptr},
      {"off the curves with none selected", [&] { select({}); }, away, {}, nullptr},
      {"a locked curve", [&] { a->setLocked(true); }, on(*a, 2.4), {}, nullptr},
      {"a curve that is not editable", [&] { a->setEditable(false); }, on(*a, 2.4), {}, nullptr},
      {"snapped onto a key's x", {}, on(*a, 1.52), {}, nullptr},
      {"5 thousandths from a key", view(thousandths), nearKey(105), Qt::ControlModifier, nullptr},
      {"12 thousandths from a key", view(thousandths), nearKey(112), Qt::ControlModifier, a, 1.512, nan, true},
      {"beyond the world limits", limits, on(*a, 2.4), {}, nullptr},
      {"within the world limits", limits, on(*a, 1.2), {}, a, 1.2, nan, true},
      {"a view too wide for any key", view(R(-1e308, -1e308, 1.5e308, 1.5e308)), QPoint(200, 150), {}, nullptr},
  };
  QTest::keyClick(&widget, Qt::Key_Insert);
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    if (r.setup) r.setup();
    const bool drawable = std::fabs(widget.getViewport()->getWorldBounds().x) < 1e300;
    const Curve curve = r.target ? r.target : a;
    const auto before = StateOf(*curve);
    const auto values = Values(*curve);
    const std::size_t count = keyCount();
    const int commands = undo().index();
    click(r.at, r.mods);
    EXPECT_EQ(label().isEmpty(), !drawable) << "a marker only where it can stand";
    ASSERT_EQ(keyCount(), count + (r.target ? 1 : 0));
    EXPECT_EQ(undo().index(), commands + (r.target ? 1 : 0));
    EXPECT_TRUE(idle(true));
    if (r.target) {
      const auto k = selectedKey();
      ASSERT_TRUE(k && k->getOwningCurve() == r.target) << "the new key alone is selected";
      EXPECT_NEAR(k->getX(), r.x, 1e-6);  // snapping rounds in single precision
      EXPECT_NEAR(k->getY(), std::isnan(r.y) ? curve->eval(r.x) : r.y, 1e-6);
      if (r.keepsShape) {
        EXPECT_THAT(Values(*curve), Pointwise(DoubleNear(1e-9), values));
      }
      const auto after = StateOf(*curve);
      undo().undo();
      EXPECT_EQ(StateOf(*curve), before);
      EXPECT_TRUE(widget.getSelection()->isSelected(*curve) && !selectedKey());
      undo().redo();
      EXPECT_EQ(StateOf(*curve), after);
      undo().undo();
      EXPECT_EQ(StateOf(*curve), before);
      EXPECT_TRUE(idle(true));
    }
    select({a}), a->setLocked(false), a->setEditable(true), view(R(0, 0, 4, 3))();
    widget.getViewport()->setWorldLimits(R(0, 0, 0, 0));
  }
}

TEST_F(Insertion, theMarkerShowsWhereTheClickInsertsWithAndWithoutControlAndGoesWhenThePointerLeaves) {
  widget.getRootLayer()->findLayer("Grid Layer")->setVisible(false);
  QTest::keyClick(&widget, Qt::Key_Insert);
  // Marker-coloured pixels along a row or a column, inside the focus frame and below the label.
  const auto marked = [&](bool alongRow, int at) {
    const QImage img = widget.grabFramebuffer().scaled(400, 300);
    std::vector<int> v;
    for (int i = alongRow ? 10 : 30; i < (alongRow ? 390 : 290); ++i) {
      const QColor p = alongRow ? img.pixelColor(i, at) : img.pixelColor(at, i);
      if (p.red() > 120 && p.green() > 150 && p.blue() < 120) v.push_back(i);
    }
    return v;
  };
  const auto near = [](std::vector<int> v, int at) { return !v.empty() && v.front() >= at - 1 && v.back() <= at + 1; };
  moveTo(QPoint(203, 40));  // off the one selected curve: only the vertical line, at the snapped x
  EXPECT_TRUE(near(marked(true, 40), 200) && marked(false, 100).empty());
  moveTo(on(*a, 2.03));  // on it: the value line too
  EXPECT_TRUE(near(marked(true, 40), 200) && near(marked(false, 100), on(*a, 2.0).y()));
  EXPECT_EQ(label(), "2.0") << "snapped: the grid step's one decimal";
  QTest::keyPress(&widget, Qt::Key_Control);
  EXPECT_EQ(label(), "2.0300") << "Control frees it";
  QTest::keyRelease(&widget, Qt::Key_Control);
  for (const auto& [mods, x, shown] : {std::tuple{Qt::KeyboardModifiers(Qt::ControlModifier), 2.36, "2.3600"},
                                       std::tuple{Qt::KeyboardModifiers(), 2.27, "2.3"}}) {
    moveTo(on(*a, x), mods);
    EXPECT_EQ(label(), shown);
    QTest::mouseClick(widget.windowHandle(), Qt::LeftButton, mods, on(*a, x));
    ASSERT_TRUE(selectedKey());
    EXPECT_EQ(QString::number(selectedKey()->getX(), 'f', QString(shown).size() - 2), shown);
  }
  select({});
  moveTo(QPoint(303, 40));
  EXPECT_EQ(label(), "3.0") << "without a target the marker stays at the pointer";
  // The pointer leaving the widget reaches the mode past the focus frame.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&widget, &leave);
  EXPECT_TRUE(marked(true, 40).empty());
}

TEST_F(Insertion, aKeyInsertedThenMovedComesBackMovedWhenBothAreUndoneAndRedone) {
  QTest::keyClick(&widget, Qt::Key_Insert);
  click(on(*a, 1.0));
  QTest::keyClick(&widget, Qt::Key_Escape);
  ASSERT_EQ(a->numKeys(), 5u);
  const auto inserted = std::next(a->begin(), 2).key();
  ASSERT_EQ(inserted->getX(), 1.0);
  // The new key is selected: an arrow nudges it one snap step.
  QTest::keyClick(&widget, Qt::Key_Up);
  const std::vector<std::vector<double>> moved = StateOf(*a);
  ASSERT_EQ(undo().index(), 2);
  undo().undo();
  undo().undo();
  EXPECT_EQ(a->numKeys(), 4u);
  undo().redo();
  undo().redo();
  EXPECT_EQ(StateOf(*a), moved) << "the move found the key its insertion put back";
}

TEST(InsertionLifetime, aWidgetDestroyedInTheModeLeavesNothingSubscribed) {
  auto widget = std::make_unique<GraphWidget>();
  ASSERT_TRUE(ShowWidget(*widget, 200, 100));
  const auto curves = widget->getCurves();
  widget->insertKeyframeLayer(nullptr);
  const std::weak_ptr<Layer> layer = widget->getRootLayer()->findLayer("Insert Keyframe Layer");
  ASSERT_FALSE(layer.expired());
  widget.reset();
  EXPECT_TRUE(layer.expired());
  EXPECT_TRUE(curves->addCurve(T::FCurve::create("late"))) << "nobody gone hears it";
}

}  // namespace
