#include <arvelle/arvelle.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QtTest/qtestspontaneevent.h>
#include <QUndoCommand>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;

namespace {

using Log = std::vector<std::string>;

class LoggingCommand : public QUndoCommand {
 public:
  LoggingCommand(const QString& text, Log& log, bool* deleted = nullptr)
      : QUndoCommand(text), mLog(log), mDeleted(deleted) {}
  ~LoggingCommand() override {
    if (mDeleted) *mDeleted = true;
  }
  void redo() override {
    if (throwOnRedo) throw std::runtime_error("redo failed");
    mLog.push_back("redo " + text().toStdString());
  }
  void undo() override { mLog.push_back("undo " + text().toStdString()); }
  bool throwOnRedo = false;

 private:
  Log& mLog;
  bool* mDeleted;
};

// A host layer: counts what reaches it and may take it.
class ProbeLayer : public Layer {
 public:
  ProbeLayer() : Layer("Probe") {}
  bool handleEvent(QEvent* e, Viewport&) override {
    types.push_back(e->type());
    return consume;
  }
  void draw(const Viewport&) const override { ++draws; }
  std::vector<QEvent::Type> types;
  bool consume = false;
  mutable int draws = 0;
};

struct CountingObserver : ViewportObserver {
  int calls = 0;
  void viewportChanged(const Viewport&) override { ++calls; }
};

class Widget : public ::testing::Test {
 protected:
  void connectLog() {
    QObject::connect(&widget, &GraphWidget::actionBegin, [this](const QString& t) {
      log.push_back("begin " + t.toStdString());
    });
    QObject::connect(&widget, &GraphWidget::actionEnd, [this] { log.push_back("end"); });
  }
  void showAndWait() {
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
  }
  Log log;
  GraphWidget widget;
};

TEST_F(Widget, TreeAndStateAfterConstruction) {
  auto root = widget.getRootLayer();
  auto user = widget.getUserLayers();
  ASSERT_TRUE(root && user);
  EXPECT_STREQ(root->getName(), "Root Layer");
  EXPECT_STREQ(user->getName(), "");
  EXPECT_EQ(root->getManager(), nullptr);
  EXPECT_EQ(user->getManager(), root);
  // Top first: the focus frame over the user layers; in them the curves
  // over the grid over the background.
  std::vector<std::string> rootNames, userNames;
  for (const auto& child : *root) rootNames.push_back(child->getName());
  for (const auto& child : *user) userNames.push_back(child->getName());
  EXPECT_EQ(rootNames, (std::vector<std::string>{"Keyboard Focus Layer", ""}));
  EXPECT_EQ(*std::next(root->begin()), std::static_pointer_cast<Layer>(user));
  EXPECT_EQ(userNames, (std::vector<std::string>{"Curve Layer", "Grid Layer", "Background Layer"}));
  EXPECT_EQ(root->findLayer("Root Layer"), root);
  EXPECT_STREQ(root->findLayer("Grid Layer")->metaObject()->className(),
               "Zentho::Arvelle::ZENTHO_ARVELLE_QT_LIB_VERSION_NS::GridLayer");

  EXPECT_EQ(widget.getViewport()->getWindowBounds(), R(0, 0, 100, 100));
  EXPECT_EQ(widget.getViewport()->getWorldBounds(), R(-10, -2, 110, 4));
  EXPECT_EQ(widget.getViewport()->getWorldLimits(), R(0, 0, 0, 0));
  EXPECT_TRUE(widget.getViewport()->isPanZoomEnabled());
  EXPECT_FALSE(widget.getDomainSlider()->isVisible());
  EXPECT_EQ(widget.getUndoStack()->getQUndoStack().undoLimit(), 1);
  EXPECT_EQ(widget.getSelection()->getContainer(), widget.getCurves());
  EXPECT_TRUE(widget.getCurves()->empty());
  EXPECT_EQ(widget.beginSelected(), widget.endSelected());

  EXPECT_EQ(widget.minimumSize(), QSize(100, 100));
  EXPECT_EQ(widget.maximumSize(), QSize(2000, 2000));
  EXPECT_EQ(widget.focusPolicy(), Qt::StrongFocus);
  EXPECT_TRUE(widget.hasMouseTracking());
  EXPECT_STREQ(widget.metaObject()->className(),
               "Zentho::Arvelle::ZENTHO_ARVELLE_QT_LIB_VERSION_NS::GraphWidget");
}

TEST(WidgetSnap, EveryNewWidgetResetsTheSharedSettings) {
  SnapSettings odd;
  odd.setSnappingY(true);
  odd.setIncrementX(0.5);
  Layer::setSnapSettings(odd);
  GraphWidget widget;
  const SnapSettings s = Layer::getSnapSettings();
  EXPECT_TRUE(s.isSnappingX());
  EXPECT_FALSE(s.isSnappingY());
  EXPECT_EQ(s.getIncrementX(0.01), 0.1);  // follows the grid
  EXPECT_TRUE(widget.getSnapSettings() == s);
}

TEST_F(Widget, SetSnapSettingsSignalsOnlyRealChanges) {
  QSignalSpy changed(&widget, &GraphWidget::snapSettingsChanged);
  widget.setSnapSettings(widget.getSnapSettings());
  EXPECT_EQ(changed.count(), 0);

  SnapSettings s = widget.getSnapSettings();
  s.setIncrementY(0.25);  // y does not snap, yet the value differs
  widget.setSnapSettings(s);
  EXPECT_EQ(changed.count(), 1);
  EXPECT_TRUE(Layer::getSnapSettings() == s);
  widget.setSnapSettings(s);
  EXPECT_EQ(changed.count(), 1);

  // Layer::setSnapSettings alone tells nobody.
  SnapSettings t;
  Layer::setSnapSettings(t);
  EXPECT_EQ(changed.count(), 1);
  EXPECT_TRUE(widget.getSnapSettings() == t);
}

TEST_F(Widget, PushIsBracketedByActionBeginAndEnd) {
  connectLog();
  widget.pushUndoStack(new LoggingCommand("Move Keyframe", log));
  EXPECT_EQ(log, (Log{"begin Move Keyframe", "redo Move Keyframe", "end"}));
  EXPECT_EQ(widget.getUndoStack()->getQUndoStack().count(), 1);

  log.clear();
  widget.pushUndoStack(nullptr);
  EXPECT_TRUE(log.empty());
}

TEST_F(Widget, CommandFromANestedLayerIsPushedOnce) {
  connectLog();
  auto inner = std::make_shared<LayerManager>("Inner");
  widget.getUserLayers()->pushLayer(inner);
  inner->handleUndoCommand(new LoggingCommand("Insert Keyframe", log));
  EXPECT_EQ(log, (Log{"begin Insert Keyframe", "redo Insert Keyframe", "end"}));
  EXPECT_EQ(widget.getUndoStack()->getQUndoStack().count(), 1);
}

TEST_F(Widget, ActionEndFollowsAFailedPush) {
  connectLog();
  auto* command = new LoggingCommand("Broken", log);
  command->throwOnRedo = true;
  EXPECT_THROW(widget.pushUndoStack(command), std::runtime_error);
  EXPECT_EQ(log, (Log{"begin Broken", "end"}));
  // The stack never took it.
  EXPECT_EQ(widget.getUndoStack()->getQUndoStack().count(), 0);
  delete command;
}

TEST_F(Widget, UndoLimitOfOneKeepsOnlyTheLatestCommand) {
  bool firstDeleted = false, secondDeleted = false;
  QUndoStack& stack = widget.getUndoStack()->getQUndoStack();
  widget.pushUndoStack(new LoggingCommand("First", log, &firstDeleted));
  widget.pushUndoStack(new LoggingCommand("Second", log, &secondDeleted));
  EXPECT_TRUE(firstDeleted);
  EXPECT_FALSE(secondDeleted);
  EXPECT_EQ(stack.count(), 1);

  stack.undo();
  EXPECT_FALSE(stack.canUndo());
  stack.redo();
  stack.undo();
  EXPECT_EQ(log, (Log{"redo First", "redo Second", "undo Second", "redo Second", "undo Second"}));

  // A push after an undo discards the redo tail.
  widget.pushUndoStack(new LoggingCommand("Third", log));
  EXPECT_TRUE(secondDeleted);
  EXPECT_FALSE(stack.canRedo());
}

TEST_F(Widget, ResizeSetsTheWindowBoundsAndNotifiesOnce) {
  showAndWait();
  CountingObserver o;
  widget.getViewport()->subscribe(o);
  const R world = widget.getViewport()->getWorldBounds();
  widget.resize(300, 200);
  QTRY_COMPARE(o.calls, 1);
  EXPECT_EQ(widget.getViewport()->getWindowBounds(), R(0, 0, 300, 200));
  EXPECT_EQ(widget.getViewport()->getWorldBounds(), world);  // the picture stretches
  widget.resize(300, 200);
  QTest::qWait(20);
  EXPECT_EQ(o.calls, 1);
  widget.getViewport()->unsubscribe(o);
}

TEST_F(Widget, EventsGoDownTheTreeAndAConsumedOneIsAccepted) {
  auto probe = std::make_shared<ProbeLayer>();
  widget.getUserLayers()->pushLayer(probe);

  QMouseEvent move(QEvent::MouseMove, QPointF(20.5, 30.4), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  move.ignore();
  QApplication::sendEvent(&widget, &move);
  EXPECT_FALSE(move.isAccepted());  // nobody took it: left as delivered
  EXPECT_EQ(widget.getRootLayer()->getLastMousePoint().x, 21);
  EXPECT_EQ(widget.getRootLayer()->getLastMousePoint().y, 30);

  probe->consume = true;
  QKeyEvent key(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier);
  key.ignore();
  QApplication::sendEvent(&widget, &key);
  EXPECT_TRUE(key.isAccepted());
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier);
  QApplication::sendEvent(&widget, &release);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), Qt::RightButton, Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(&widget, &press);  // taken by the probe: no menu
  QMouseEvent up(QEvent::MouseButtonRelease, QPointF(5, 5), Qt::RightButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&widget, &up);

  EXPECT_EQ(probe->types, (std::vector<QEvent::Type>{QEvent::MouseMove, QEvent::KeyPress, QEvent::KeyRelease,
                                                    QEvent::MouseButtonPress, QEvent::MouseButtonRelease}));
  EXPECT_TRUE(widget.delegateEventToLayerManager(&key));
}

class WheelParent : public QWidget {
 public:
  int wheels = 0;

 protected:
  void wheelEvent(QWheelEvent* e) override {
    ++wheels;
    e->accept();
  }
};

TEST(WidgetWheel, UnconsumedWheelTravelsToTheParent) {
  WheelParent parent;
  auto* widget = new GraphWidget(&parent);
  // The grid layer zooms on the wheel while pan and zoom are allowed.
  widget->getViewport()->setPanZoomEnabled(false);
  auto probe = std::make_shared<ProbeLayer>();
  widget->getUserLayers()->pushLayer(probe);
  auto wheel = [&] {
    QWheelEvent e(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    // Only wheel events from the window system travel to parents, and
    // sendEvent would mark this one as synthesized again.
    QSpontaneKeyEvent::setSpontaneous(&e);
    qApp->notify(widget, &e);
  };
  wheel();
  EXPECT_EQ(parent.wheels, 1);
  probe->consume = true;
  wheel();
  EXPECT_EQ(parent.wheels, 1);
  EXPECT_EQ(probe->types.size(), 2u);
}

TEST_F(Widget, AnyVisibilityChangeInTheTreeRepaintsOnce) {
  auto probe = std::make_shared<ProbeLayer>();
  auto nested = std::make_shared<LayerManager>("Nested");
  auto hidden = std::make_shared<Layer>("Toggled");
  widget.getUserLayers()->pushLayer(probe);
  widget.getUserLayers()->pushLayer(nested);
  nested->pushLayer(hidden);
  showAndWait();
  QTRY_VERIFY(probe->draws > 0);
  QTest::qWait(50);
  probe->draws = 0;

  hidden->setVisible(false);
  nested->setInteractive(false);  // a second change before the repaint
  QTRY_COMPARE(probe->draws, 1);
  QTest::qWait(50);
  EXPECT_EQ(probe->draws, 1);
}

}  // namespace
