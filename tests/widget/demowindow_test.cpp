// The demo's main window: its menu bar holds the widget's own actions, keys
// reach the widget through the shown window, the title marks unsaved edits,
// a bad file is refused with a message and the scene kept, and closing asks
// before discarding edits. Message boxes are answered from a timer.
#include "mainwindow.h"
#include "options.h"

#include <arvelle/arvelle.h>

#include <tessal/tessal.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;
using ArvelleDemo::MainWindow;

namespace {

// Answers every modal message box that opens while it lives with one
// button, keeping what each box said.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(QMessageBox::StandardButton button) {
    QObject::connect(&mTimer, &QTimer::timeout, [this, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible()) return;
      texts.push_back(box->text().toStdString());
      plain = plain && box->textFormat() == Qt::PlainText;
      box->button(button)->click();
    });
    mTimer.start(10);
  }
  std::vector<std::string> texts;
  bool plain = true;

 private:
  QTimer mTimer;
};

// Curve "s" with keys at x 0 to 4, y = x * x.
ArvelleDemo::Scene OneCurve() {
  ArvelleDemo::Scene scene;
  auto s = T::FCurve::create("s");
  for (int x = 0; x <= 4; ++x) s->insertSegment(T::Keyframe(x, x * x), T::Bezier::create());
  scene.curves.push_back(s);
  return scene;
}

void SelectKeys(MainWindow& w, std::initializer_list<double> xs) {
  auto& curve = *w.graphWidget()->getCurves()->begin()->get();
  w.graphWidget()->getSelection()->select(curve);
  for (double x : xs) w.graphWidget()->getSelection()->select(*curve.findSegment(x).key());
}

std::vector<double> KeyXs(MainWindow& w) {
  std::vector<double> xs;
  const auto& curve = **w.graphWidget()->getCurves()->begin();
  for (auto it = std::next(curve.begin()); it != curve.end(); ++it) xs.push_back(it.key()->getX());
  return xs;
}

QUndoStack& Stack(MainWindow& w) { return w.graphWidget()->getUndoStack()->getQUndoStack(); }

std::string Label(MainWindow& w, const char* name) {
  auto* label = w.findChild<QLabel*>(QLatin1String(name));
  return label && label->isVisibleTo(&w) ? label->text().toStdString() : std::string("<hidden>");
}

// Every action the menu bar reaches, submenus included.
void Collect(const QList<QAction*>& actions, std::vector<QAction*>& out) {
  for (QAction* a : actions) {
    out.push_back(a);
    if (a->menu()) Collect(a->menu()->actions(), out);
  }
}

class DemoWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    path = dir.filePath(QStringLiteral("scene.json"));
    window.setScene(OneCurve(), path);
  }
  bool show() {
    window.resize(800, 500);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return false;
    // Window shortcuts fire only in the active window. Without a window
    // manager an activation can reach the X server before the window is
    // viewable and be lost (a BadMatch on SetInputFocus): ask until it holds.
    return QTest::qWaitFor([&] {
      if (!window.isActiveWindow()) window.activateWindow();
      return window.isActiveWindow() && window.graphWidget()->hasFocus();
    });
  }

  QTemporaryDir dir;
  QString path;
  MainWindow window;
};

}  // namespace

TEST_F(DemoWindow, MenuBarHoldsTheContextMenusOwnActionsAndNoShortcutTakesTheWidgetsKeys) {
  const QList<QAction*> bar = window.menuBar()->actions();
  const QList<QAction*> context = window.graphWidget()->getContextMenu()->actions();
  ASSERT_EQ(bar.size(), 2 + context.size());
  for (int i = 0; i < context.size(); ++i) EXPECT_EQ(bar[2 + i], context[i]) << i;

  // One of them at work, seen in the status bar.
  QAction* xOff = nullptr;
  for (QAction* a : bar[4]->menu()->actions())
    if (a->text() == QLatin1String("X Snapping Off")) xOff = a;
  ASSERT_NE(xOff, nullptr);
  QSignalSpy changed(window.graphWidget(), &A::GraphWidget::snapSettingsChanged);
  EXPECT_EQ(Label(window, "snapStatus"), "Snap: X grid, Y off");
  xOff->trigger();
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(Label(window, "snapStatus"), "Snap: X off, Y off");

  // A shortcut takes its key before the focused widget sees it.
  QList<QKeySequence> widgetKeys = {Qt::CTRL + Qt::Key_Left, Qt::CTRL + Qt::Key_Right};
  for (int key : {Qt::Key_H, Qt::Key_Insert, Qt::Key_Delete, Qt::Key_Home, Qt::Key_D, Qt::Key_F, Qt::Key_A, Qt::Key_S,
                  Qt::Key_Escape, Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down})
    widgetKeys << QKeySequence(key) << QKeySequence(Qt::SHIFT + key);
  std::vector<QAction*> all;
  Collect(bar, all);
  for (QAction* a : all)
    for (const QKeySequence& k : a->shortcuts())
      EXPECT_FALSE(widgetKeys.contains(k)) << a->text().toStdString() << " " << k.toString().toStdString();
}

TEST_F(DemoWindow, KeysOnTheShownWindowCopyDeleteOnceAndPasteAndShowTheSlider) {
  ASSERT_TRUE(show());
  A::GraphWidget* graph = window.graphWidget();
  SelectKeys(window, {1, 2});
  QTest::keyClick(graph, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(Stack(window).count(), 0);  // copying changes nothing

  QTest::keyClick(graph, Qt::Key_Delete);
  EXPECT_EQ(KeyXs(window), (std::vector<double>{0, 3, 4}));
  EXPECT_EQ(Stack(window).count(), 1);
  EXPECT_EQ(Label(window, "actionStatus"), Stack(window).text(0).toStdString());

  SelectKeys(window, {});
  QTest::keyClick(graph, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(KeyXs(window), (std::vector<double>{0, 1, 2, 3, 4}));
  ASSERT_EQ(Stack(window).count(), 2);
  EXPECT_EQ(Stack(window).text(1).toStdString(), "Paste Keframes");
  EXPECT_EQ(Label(window, "actionStatus"), "Paste Keframes");

  EXPECT_EQ(Label(window, "sliderStatus"), "<hidden>");
  QTest::keyClick(graph, Qt::Key_D);
  ASSERT_TRUE(graph->getDomainSlider()->isVisible());
  graph->getDomainSlider()->setValue(12.5);
  EXPECT_EQ(Label(window, "sliderStatus"), "Slider: 12.5");
  QTest::keyClick(graph, Qt::Key_D);
  EXPECT_EQ(Label(window, "sliderStatus"), "<hidden>");
}

TEST_F(DemoWindow, TitleMarksEditsUntilUndoneToTheSavedStateOrSaved) {
  EXPECT_EQ(Stack(window).undoLimit(), ArvelleDemo::cDefaultUndoLimit);
  const std::function<void()> edit = [&] {
    SelectKeys(window, {KeyXs(window).back()});
    window.graphWidget()->triggerDeleteKeyframes();
  };
  const struct {
    const char* step;
    std::function<void()> run;
    bool modified;
  } steps[] = {
      {"edit", edit, true},
      {"undo", [&] { Stack(window).undo(); }, false},
      {"redo", [&] { Stack(window).redo(); }, true},
      {"save", [&] { ASSERT_TRUE(window.saveTo(path)); }, false},
      {"undo past the save", [&] { Stack(window).undo(); }, true},
      {"redo to the save", [&] { Stack(window).redo(); }, false},
      {"the widget's own depth", [&] { window.setUndoLimit(1); }, false},
      {"edit", edit, true},
      {"edit again", edit, true},
      // The saved state fell off the stack: one undo does not reach it.
      {"undo", [&] { Stack(window).undo(); }, true},
      {"a new scene", [&] { window.setScene(OneCurve(), path); }, false},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.step);
    s.run();
    EXPECT_EQ(window.isWindowModified(), s.modified);
    EXPECT_TRUE(window.windowTitle().startsWith(QStringLiteral("scene.json[*]")))
        << window.windowTitle().toStdString();
  }
  EXPECT_EQ(Stack(window).undoLimit(), 1);  // kept across the new scene
  EXPECT_FALSE(Stack(window).canUndo());
}

TEST_F(DemoWindow, AFileThatCannotBeLoadedIsNamedWithItsFaultAndTheSceneKept) {
  const struct {
    const char* name;
    QByteArray text;
    const char* fault;
  } files[] = {
      {"broken.json", "{\"format\": \"arvelle-scene\", ", "not valid JSON"},
      {"<i>markup.json", "{\"format\": \"other\", \"version\": 1, \"curves\": []}", "format: expected"},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    const QString bad = dir.filePath(QLatin1String(f.name));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(f.text);
    file.close();
    const auto curve = *window.graphWidget()->getCurves()->begin();
    const QString title = window.windowTitle();
    BoxAnswerer answer(QMessageBox::Ok);
    EXPECT_FALSE(window.openFile(bad));
    ASSERT_EQ(answer.texts.size(), 1u);
    EXPECT_EQ(answer.texts[0].rfind(bad.toStdString() + ": ", 0), 0u) << answer.texts[0];
    EXPECT_NE(answer.texts[0].find(f.fault), std::string::npos) << answer.texts[0];
    EXPECT_TRUE(answer.plain);
    EXPECT_EQ(window.graphWidget()->getCurves()->size(), 1u);
    EXPECT_EQ(*window.graphWidget()->getCurves()->begin(), curve);
    EXPECT_EQ(window.windowTitle(), title);
  }
}

TEST_F(DemoWindow, ClosingWithUnsavedEditsAsksFirst) {
  const struct {
    QMessageBox::StandardButton answer;
    bool closes;
    bool saved;
  } cases[] = {
      {QMessageBox::Cancel, false, false},
      {QMessageBox::Save, true, true},
      {QMessageBox::Discard, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    QFile::remove(path);
    window.setScene(OneCurve(), path);
    ASSERT_TRUE(show());
    SelectKeys(window, {0});
    window.graphWidget()->triggerDeleteKeyframes();
    BoxAnswerer answer(c.answer);
    EXPECT_EQ(window.close(), c.closes);
    EXPECT_EQ(answer.texts.size(), 1u);
    EXPECT_EQ(window.isVisible(), !c.closes);
    EXPECT_EQ(QFile::exists(path), c.saved);
    EXPECT_EQ(window.isWindowModified(), !c.saved);
  }
}
