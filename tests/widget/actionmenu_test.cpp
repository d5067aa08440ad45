// The context menu and the widget's single keys: every entry reaches its
// slot with its argument, hidden and unlisted entries, keys consumed with
// the view locked, the snapping cycle's notifications and the display
// toggles on mixed selections.
#include "widget/showwidget.h"

#include "layers/curvelayer.h"

#include <arvelle/arvelle.h>

#include <tessal/tessal.h>

#include <QAction>
#include <QKeyEvent>
#include <QSignalSpy>

#include <memory>
#include <string>
#include <vector>

using namespace Zentho::Arvelle;
namespace T = Zentho::Tessal;

namespace {

// Records which trigger slot ran, with its argument, instead of running it.
class RecordingWidget : public GraphWidget {
 public:
  std::vector<std::string> calls;

  void triggerFrameAuto() override { calls.push_back("frameAuto"); }
  void triggerFrameAll() override { calls.push_back("frameAll"); }
  void triggerFrameAllX() override { calls.push_back("frameAllX"); }
  void triggerFrameAllY() override { calls.push_back("frameAllY"); }
  void triggerFrameSelected() override { calls.push_back("frameSelected"); }
  void triggerFrameSelectedX() override { calls.push_back("frameSelectedX"); }
  void triggerFrameSelectedY() override { calls.push_back("frameSelectedY"); }
  void triggerFrameWorldLimits() override { calls.push_back("frameWorldLimits"); }
  void triggerDomainSlider() override { calls.push_back("domainSlider"); }
  void triggerAcceleration() override { calls.push_back("acceleration"); }
  void triggerVelocity() override { calls.push_back("velocity"); }
  void triggerLabels() override { calls.push_back("labels"); }
  void triggerSnapping() override { calls.push_back("snapping"); }
  void triggerSnappingXOff() override { calls.push_back("xOff"); }
  void triggerSnappingXInt() override { calls.push_back("xInt"); }
  void triggerSnappingXGrid() override { calls.push_back("xGrid"); }
  void triggerSnappingYOff() override { calls.push_back("yOff"); }
  void triggerSnappingYGrid() override { calls.push_back("yGrid"); }
  void triggerSetSegmentType(const QString& name) override { calls.push_back("segment " + name.toStdString()); }
  void triggerLockKeyframes() override { calls.push_back("lock"); }
  void triggerUnlockKeyframes() override { calls.push_back("unlock"); }
  void insertKeyframeLayer(QEvent* event) override { calls.push_back(event ? "insert key" : "insert"); }
  void triggerDeleteKeyframes() override { calls.push_back("delete"); }
  void triggerBreakdownKeyframes() override { calls.push_back("breakdown"); }
  void triggerCopyKeyframes() override { calls.push_back("copy"); }
  void triggerPasteKeyframes() override { calls.push_back("paste"); }
  void triggerWeightedTangents() override { calls.push_back("weighted"); }
  void triggerSetTangentType(int code) override { calls.push_back("tangent " + std::to_string(code)); }
  void triggerBakeCurves() override { calls.push_back("bake"); }
  void triggerSmoothCurvesDialog() override { calls.push_back("smooth"); }
  void triggerFlipCurvesDialog() override { calls.push_back("flip"); }
  void triggerTransformCurvesDialog() override { calls.push_back("transform"); }
};

// Every action under the menu, depth first, as "Submenu/…/Label".
void Flatten(const QMenu& menu, const QString& prefix, std::vector<std::pair<std::string, QAction*>>& out) {
  for (QAction* action : menu.actions()) {
    const QString path = prefix.isEmpty() ? action->text() : prefix + "/" + action->text();
    if (action->menu()) Flatten(*action->menu(), path, out);
    else out.emplace_back(path.toStdString(), action);
  }
}

// Offered every event the widget passes to its layers; takes none.
class KeyWitness : public Layer {
 public:
  bool handleEvent(QEvent* event, Viewport&) override {
    // QTest presses the modifier keys themselves too; they are the layers'.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() != Qt::Key_Shift)
      keys.push_back(static_cast<QKeyEvent*>(event)->key());
    return false;
  }
  std::vector<int> keys;
};

TEST(ActionMenu, everyEntryReachesItsSlotAndOnlyCopyAndPasteAreHidden) {
  // Registered before the widget: listed; "x" never; after it: not listed.
  T::InterpolatorFactory::registerInterpolator("x", [] { return T::Linear::create(); });
  T::InterpolatorFactory::registerInterpolator("stepped()", [] { return T::Constant::create(); });
  RecordingWidget widget;
  T::InterpolatorFactory::registerInterpolator("late()", [] { return T::Linear::create(); });

  const std::string ins = QKeySequence(Qt::Key_Insert).toString(QKeySequence::PortableText).toStdString();
  const std::string del = QKeySequence(QKeySequence::Delete).toString(QKeySequence::PortableText).toStdString();
  const std::vector<std::pair<std::string, std::string>> want = {
      {"Frame/Frame\tF", "frameAuto"},
      {"Frame/All/Frame All\tA", "frameAll"},
      {"Frame/All/Frame All X Only", "frameAllX"},
      {"Frame/All/Frame All Y Only", "frameAllY"},
      {"Frame/Selected/Frame Selected", "frameSelected"},
      {"Frame/Selected/Frame Selected X Only", "frameSelectedX"},
      {"Frame/Selected/Frame Selected Y Only", "frameSelectedY"},
      {"Show/Domain Slider\tD", "domainSlider"},
      {"Show/Acceleration", "acceleration"},
      {"Show/Velocity", "velocity"},
      {"Show/Heads Up Labels\tH", "labels"},
      {"Grid Snapping/Cycle Snapping\tS", "snapping"},
      {"Grid Snapping/X Snapping Off", "xOff"},
      {"Grid Snapping/X Snap to Integers", "xInt"},
      {"Grid Snapping/X Snap to Grid", "xGrid"},
      {"Grid Snapping/Y Snapping Off", "yOff"},
      {"Grid Snapping/Y Snap to Grid", "yGrid"},
      {"Segment Type/bezier()", "segment bezier()"},
      {"Segment Type/linear()", "segment linear()"},
      {"Segment Type/constant()", "segment constant()"},
      {"Segment Type/ease()", "segment ease()"},
      {"Segment Type/easeIn()", "segment easeIn()"},
      {"Segment Type/easeOut()", "segment easeOut()"},
      {"Segment Type/stepped()", "segment stepped()"},
      {"Keyframe/Lock", "lock"},
      {"Keyframe/Unlock", "unlock"},
      {"Keyframe/Insert Points\t" + ins, "insert"},
      {"Keyframe/Delete\t" + del, "delete"},
      {"Keyframe/Breakdown", "breakdown"},
      {"Keyframe/Copy", "copy"},
      {"Keyframe/Paste", "paste"},
      {"Tangent/Weighted", "weighted"},
      {"Tangent/Type/Fixed", "tangent 0"},
      {"Tangent/Type/Flat", "tangent 1"},
      {"Tangent/Type/Linear", "tangent 2"},
      {"Tangent/Type/Smooth", "tangent 3"},
      {"Tangent/Type/Smooth Normal", "tangent 4"},
      {"Tangent/Type/Clamped", "tangent 5"},
      {"Tangent/Type/Plateau", "tangent 6"},
      {"Transform/Bake", "bake"},
      {"Transform/Smooth...", "smooth"},
      {"Transform/Flip...", "flip"},
      {"Transform/Scale && Offset...", "transform"},
  };
  std::vector<std::pair<std::string, QAction*>> entries;
  Flatten(*widget.getContextMenu(), QString(), entries);
  ASSERT_EQ(entries.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(want[i].first);
    EXPECT_EQ(entries[i].first, want[i].first);
    QAction* action = entries[i].second;
    EXPECT_EQ(action->isVisible(), want[i].second != "copy" && want[i].second != "paste");
    // Hints are text: the widget's keys do the work, so a host's menu bar
    // holding these actions steals no key from it.
    EXPECT_TRUE(action->shortcut().isEmpty());
    EXPECT_EQ(action->parent(), &widget);
    widget.calls.clear();
    action->trigger();
    EXPECT_EQ(widget.calls, std::vector<std::string>{want[i].second});
  }
}

TEST(ActionMenu, singleKeysAreTheWidgetsEvenWithTheViewLocked) {
  RecordingWidget widget;
  ASSERT_TRUE(ShowWidget(widget, 300, 200));
  auto witness = std::make_shared<KeyWitness>();
  widget.getUserLayers()->pushLayer(witness);
  const struct {
    Qt::Key key;
    bool panZoom;
    std::vector<std::string> calls;
  } rows[] = {
      {Qt::Key_H, true, {"labels"}},          {Qt::Key_D, true, {"domainSlider"}},
      {Qt::Key_S, true, {"snapping"}},        {Qt::Key_Delete, true, {"delete"}},
      {Qt::Key_Insert, true, {"insert key"}}, {Qt::Key_Home, true, {"frameWorldLimits"}},
      {Qt::Key_F, true, {"frameAuto"}},       {Qt::Key_A, true, {"frameAll"}},
      {Qt::Key_Home, false, {}},              {Qt::Key_F, false, {}},
      {Qt::Key_A, false, {}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(QKeySequence(r.key).toString().toStdString() + (r.panZoom ? "" : " locked"));
    widget.getViewport()->setPanZoomEnabled(r.panZoom);
    widget.calls.clear();
    witness->keys.clear();
    // Modifiers are not looked at.
    QTest::keyClick(&widget, r.key, Qt::ShiftModifier);
    EXPECT_EQ(widget.calls, r.calls);
    EXPECT_TRUE(witness->keys.empty()) << "reached the layers";
  }
  // A held toggle acts once; an unlisted key goes on to the layers.
  widget.calls.clear();
  QKeyEvent repeat(QEvent::KeyPress, Qt::Key_S, Qt::NoModifier, "s", true);
  QApplication::sendEvent(&widget, &repeat);
  EXPECT_TRUE(widget.calls.empty());
  QTest::keyClick(&widget, Qt::Key_Q);
  EXPECT_EQ(witness->keys, std::vector<int>{Qt::Key_Q});
}

TEST(ActionMenu, snappingCycleAndModesNotifyOnlyRealChanges) {
  GraphWidget widget;
  ASSERT_TRUE(ShowWidget(widget, 300, 200));
  SnapSettings none;
  none.setIncrementY(0.25);
  widget.setSnapSettings(none);
  QSignalSpy changed(&widget, &GraphWidget::snapSettingsChanged);
  // S from nothing: x on at 1 (y's increment kept), then y too with both
  // following the grid, then nothing again.
  const struct {
    bool x, y;
    double incrementY;
  } cycle[] = {{true, false, 0.25}, {true, true, SnapSettings::cSnapToGrid}, {false, false, SnapSettings::cSnapToGrid}};
  int expected = 0;
  for (const auto& step : cycle) {
    QTest::keyClick(&widget, Qt::Key_S);
    const SnapSettings s = widget.getSnapSettings();
    EXPECT_EQ(s.isSnappingX(), step.x);
    EXPECT_EQ(s.isSnappingY(), step.y);
    EXPECT_EQ(s.getIncrementX(0.2), 1.0);
    EXPECT_EQ(s.getIncrementY(0.2), step.incrementY);
    EXPECT_EQ(changed.count(), ++expected);
  }
  // The modes: the same settings twice notify once.
  const struct {
    void (GraphWidget::*slot)();
    int notifications;
  } modes[] = {{&GraphWidget::triggerSnappingXInt, 1},  {&GraphWidget::triggerSnappingXGrid, 0},
               {&GraphWidget::triggerSnappingYGrid, 1}, {&GraphWidget::triggerSnappingYGrid, 0},
               {&GraphWidget::triggerSnappingXOff, 1},  {&GraphWidget::triggerSnappingYOff, 1},
               {&GraphWidget::triggerSnappingYOff, 0}};
  for (const auto& m : modes) {
    changed.clear();
    (widget.*m.slot)();
    EXPECT_EQ(changed.count(), m.notifications);
  }
  EXPECT_FALSE(widget.getSnapSettings().isSnappingX() || widget.getSnapSettings().isSnappingY());
}

TEST(ActionMenu, derivativeTogglesFlipEachSelectedCurveAndLabelsShowWithoutMoreInput) {
  GraphWidget widget;
  ASSERT_TRUE(ShowWidget(widget, 300, 200));
  auto a = T::FCurve::create("a"), b = T::FCurve::create("b"), c = T::FCurve::create("c");
  for (const auto& curve : {a, b, c}) {
    for (double x : {0.0, 50.0}) curve->insertSegment(T::Keyframe(x, x / 100), T::Linear::create());
    widget.getCurves()->addCurve(curve);
  }
  T::SetVelocityVisible(*a, true);
  T::SetAccelerationVisible(*b, true);
  widget.getSelection()->select(*a);
  widget.getSelection()->select(*b);
  auto layer = std::dynamic_pointer_cast<CurveLayer>(widget.getRootLayer()->findLayer("Curve Layer"));
  ASSERT_TRUE(layer);
  QSignalSpy repaint(layer.get(), &Layer::notifyLayerChanged);

  widget.triggerVelocity();
  EXPECT_EQ(std::vector<bool>({T::IsVelocityVisible(*a), T::IsVelocityVisible(*b), T::IsVelocityVisible(*c)}),
            std::vector<bool>({false, true, false}));
  EXPECT_GE(repaint.count(), 1) << "the curves' notification repaints";
  widget.triggerAcceleration();
  EXPECT_EQ(
      std::vector<bool>({T::IsAccelerationVisible(*a), T::IsAccelerationVisible(*b), T::IsAccelerationVisible(*c)}),
      std::vector<bool>({true, false, false}));

  // H flips the curve layer's labels and repaints without further input.
  int frames = 0;
  QObject::connect(layer.get(), &Layer::requestDrawText, [&frames](int, int, const QString&, const QColor&) { ++frames; });
  QTest::keyClick(&widget, Qt::Key_H);
  EXPECT_TRUE(layer->labelsVisible());
  EXPECT_TRUE(QTest::qWaitFor([&frames] { return frames > 0; }, 2000)) << "no frame showed the labels";
  QTest::keyClick(&widget, Qt::Key_H);
  EXPECT_FALSE(layer->labelsVisible());
}

}  // namespace
