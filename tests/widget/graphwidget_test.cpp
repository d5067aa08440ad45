#include "widget/showwidget.h"

#include <arvelle/arvelle.h>

#include <QApplication>
#include <QSignalSpy>
#include <QtTest/qtestspontaneevent.h>
#include <QUndoCommand>
#include <QWheelEvent>

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

// A host layer: records what reaches it and may take it.
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

class Widget : public ::testing::Test {
 protected:
  QUndoStack& stack() { return widget.getUndoStack()->getQUndoStack(); }
  Log log;
  GraphWidget widget;
};

Log Names(const LayerManager& m) {
  Log r;
  for (const auto& child : m) r.push_back(child->getName());
  return r;
}

TEST_F(Widget, TreeFirstViewAndMetaObjectNamesAfterConstruction) {
  auto root = widget.getRootLayer();
  EXPECT_EQ(root->getManager(), nullptr);
  EXPECT_EQ(widget.getUserLayers()->getManager(), root);
  // Top first: the focus frame over the user layers, in them the domain
  // slider over the curves over the grid over the background.
  EXPECT_EQ(Names(*root), (Log{"Keyboard Focus Layer", ""}));
  EXPECT_EQ(Names(*widget.getUserLayers()),
            (Log{"Domain Slider Layer", "Curve Layer", "Grid Layer", "Background Layer"}));
  EXPECT_EQ(root->findLayer("Root Layer"), root);
  EXPECT_EQ(widget.getViewport()->getWorldBounds(), R(-10, -2, 110, 4));
  // Class names carry the version namespace macro's name, not its value.
  const std::string ns = "Zentho::Arvelle::ZENTHO_ARVELLE_QT_LIB_VERSION_NS::";
  const std::pair<const QObject*, const char*> rows[] = {{&widget, "GraphWidget"},
                                                         {root.get(), "LayerManager"},
                                                         {root->findLayer("Grid Layer").get(), "GridLayer"},
                                                         {root->findLayer("Curve Layer").get(), "CurveLayer"},
                                                         {root->findLayer("Domain Slider Layer").get(),
                                                          "DomainSliderLayer"}};
  for (const auto& [object, name] : rows) EXPECT_EQ(object->metaObject()->className(), ns + name);
  EXPECT_TRUE(root->inherits((ns + "Layer").c_str()));
}

TEST_F(Widget, NewWidgetsResetTheSharedSnapSettingsAndSettingSignalsOnlyRealChanges) {
  SnapSettings odd;
  odd.setSnappingY(true);
  odd.setIncrementX(0.5);
  Layer::setSnapSettings(odd);
  GraphWidget second;
  SnapSettings s = Layer::getSnapSettings();
  EXPECT_TRUE(s.isSnappingX());
  EXPECT_FALSE(s.isSnappingY());
  EXPECT_EQ(s.getIncrementX(0.01), 0.1);  // follows the grid

  QSignalSpy changed(&widget, &GraphWidget::snapSettingsChanged);
  widget.setSnapSettings(s);
  EXPECT_EQ(changed.count(), 0);
  s.setIncrementY(0.25);  // y does not snap, yet the value differs
  widget.setSnapSettings(s);
  widget.setSnapSettings(s);
  EXPECT_EQ(changed.count(), 1);
  EXPECT_TRUE(Layer::getSnapSettings() == s);
  Layer::setSnapSettings(SnapSettings());  // tells nobody
  EXPECT_EQ(changed.count(), 1);
  EXPECT_TRUE(widget.getSnapSettings() == SnapSettings());
}

TEST_F(Widget, EveryPushIsBracketedByActionBeginAndEnd) {
  QObject::connect(&widget, &GraphWidget::actionBegin, [this](const QString& t) {
    log.push_back("begin " + t.toStdString());
  });
  QObject::connect(&widget, &GraphWidget::actionEnd, [this] { log.push_back("end"); });
  auto inner = std::make_shared<LayerManager>("Inner");
  widget.getUserLayers()->pushLayer(inner);
  widget.pushUndoStack(new LoggingCommand("Move", log));
  inner->handleUndoCommand(new LoggingCommand("Insert", log));  // from a layer
  widget.pushUndoStack(nullptr);
  auto* broken = new LoggingCommand("Broken", log);
  broken->throwOnRedo = true;
  EXPECT_THROW(widget.pushUndoStack(broken), std::runtime_error);
  delete broken;  // the stack never took it
  EXPECT_EQ(log, (Log{"begin Move", "redo Move", "end", "begin Insert", "redo Insert", "end", "begin Broken", "end"}));
}

TEST_F(Widget, UndoLimitOfOneKeepsOnlyTheLatestCommand) {
  bool firstDeleted = false, secondDeleted = false;
  widget.pushUndoStack(new LoggingCommand("First", log, &firstDeleted));
  widget.pushUndoStack(new LoggingCommand("Second", log, &secondDeleted));
  EXPECT_TRUE(firstDeleted);
  EXPECT_FALSE(secondDeleted);
  stack().undo();
  EXPECT_FALSE(stack().canUndo());
  stack().redo();
  stack().undo();
  EXPECT_EQ(log, (Log{"redo First", "redo Second", "undo Second", "redo Second", "undo Second"}));
  // A push after an undo discards the redo tail.
  widget.pushUndoStack(new LoggingCommand("Third", log));
  EXPECT_TRUE(secondDeleted);
  EXPECT_FALSE(stack().canRedo());
}

TEST_F(Widget, ResizeSetsTheWindowBoundsAndNotifiesOnce) {
  ASSERT_TRUE(ShowWidget(widget, 200, 150));
  struct : ViewportObserver {
    int calls = 0;
    void viewportChanged(const Viewport&) override { ++calls; }
  } o;
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

TEST(WidgetWheel, UnconsumedWheelTravelsToTheParent) {
  struct WheelParent : QWidget {
    int wheels = 0;
    void wheelEvent(QWheelEvent* e) override {
      ++wheels;
      e->accept();
    }
  } parent;
  auto* widget = new GraphWidget(&parent);
  widget->getViewport()->setPanZoomEnabled(false);  // else the grid zooms on it
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

TEST_F(Widget, ChangesInTheTreeRepaintOnce) {
  auto probe = std::make_shared<ProbeLayer>();
  auto nested = std::make_shared<LayerManager>("Nested");
  auto toggled = std::make_shared<Layer>("Toggled");
  widget.getUserLayers()->pushLayer(probe);
  widget.getUserLayers()->pushLayer(nested);
  nested->pushLayer(toggled);
  ASSERT_TRUE(ShowWidget(widget, 200, 150));
  QTRY_VERIFY(probe->draws > 0);
  QTest::qWait(50);
  probe->draws = 0;
  toggled->setVisible(false);
  nested->setInteractive(false);  // a second change before the repaint
  QTRY_COMPARE(probe->draws, 1);
  QTest::qWait(50);
  EXPECT_EQ(probe->draws, 1);

  // The view and the colours reach the root through the layers that use them.
  QSignalSpy repaint(widget.getRootLayer().get(), &Layer::notifyLayerChanged);
  widget.getViewport()->setWorldBounds(R(0, 0, 5, 5));
  EXPECT_EQ(repaint.count(), 1);  // the grid
  widget.getColors()->setColor(ColorRole::Grid, Qt::red);
  EXPECT_EQ(repaint.count(), 5);  // background, grid, curves and focus frame
}

}  // namespace
