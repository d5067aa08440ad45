#include "mainwindow.h"

#include "options.h"
#include "safetext.h"

#include <arvelle/domainslider.h>
#include <arvelle/snapsettings.h>
#include <arvelle/undostack.h>
#include <arvelle/viewport.h>

#include <tessal/queries.h>

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QUndoStack>

#include <algorithm>

namespace ArvelleDemo {

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;

class MainWindow::SliderWatcher : public A::DomainSliderObserver {
 public:
  explicit SliderWatcher(MainWindow& window) : mWindow(window) {}
  void shown(A::DomainSlider&) override { mWindow.showSlider(); }
  void hidden(A::DomainSlider&) override { mWindow.showSlider(); }
  void valueChanged(A::DomainSlider&) override { mWindow.showSlider(); }

 private:
  MainWindow& mWindow;
};

namespace {

// "off", "grid" or the increment. The settings hand out only the step in
// effect at a zoom: one that changes with the zoom follows the grid.
QString AxisText(bool on, double (A::SnapSettings::*increment)(double) const, const A::SnapSettings& s) {
  if (!on) return QStringLiteral("off");
  const double coarse = (s.*increment)(1.0);
  if (coarse != (s.*increment)(1e-3)) return QStringLiteral("grid");
  return QString::number(coarse, 'g', 6);
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  mGraph = new A::GraphWidget(this);
  setCentralWidget(mGraph);
  buildMenus();
  buildStatusBar();
  // Before the first push: a limit can only be set on an empty stack.
  setUndoLimit(cDefaultUndoLimit);
  connect(&mGraph->getUndoStack()->getQUndoStack(), &QUndoStack::cleanChanged, this, &MainWindow::updateTitle);
  updateTitle();
  // The widget's single keys need the focus.
  mGraph->setFocus();
}

MainWindow::~MainWindow() {
  // The widget outlives this part of the window: whatever it still emits
  // while it is destroyed must not reach it.
  mGraph->disconnect(this);
  mGraph->getUndoStack()->getQUndoStack().disconnect(this);
}

void MainWindow::buildMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->addAction(tr("&Open..."), this, &MainWindow::open, QKeySequence(QKeySequence::Open));
  file->addAction(tr("&Save"), this, &MainWindow::save, QKeySequence(QKeySequence::Save));
  // Not every platform has a Save As sequence.
  file->addAction(tr("Save &As..."), this, &MainWindow::saveAs, QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_S));
  file->addSeparator();
  file->addAction(tr("&Quit"), this, &QWidget::close, QKeySequence(QKeySequence::Quit));

  // Undo and redo name the command they would undo or redo.
  QUndoStack& undo = mGraph->getUndoStack()->getQUndoStack();
  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  QAction* undoAction = undo.createUndoAction(this, tr("&Undo"));
  undoAction->setShortcuts(QKeySequence::Undo);
  QAction* redoAction = undo.createRedoAction(this, tr("&Redo"));
  redoAction->setShortcuts(QKeySequence::Redo);
  edit->addAction(undoAction);
  edit->addAction(redoAction);
  edit->addSeparator();
  // Ctrl+C and Ctrl+V alone: the platform's Copy and Paste sequences may
  // include Ctrl+Insert and Shift+Insert, which would take the Insert key
  // from the widget.
  edit->addAction(tr("&Copy Keys"), mGraph, &A::GraphWidget::triggerCopyKeyframes, QKeySequence(Qt::CTRL + Qt::Key_C));
  edit->addAction(tr("&Paste Keys"), mGraph, &A::GraphWidget::triggerPasteKeyframes,
                  QKeySequence(Qt::CTRL + Qt::Key_V));
  // The key is only a hint: the widget handles Delete itself while it has
  // the focus, and a shortcut would take the key before it does.
  edit->addAction(tr("&Delete\tDel"), mGraph, &A::GraphWidget::triggerDeleteKeyframes);

  // The widget's own submenus, the same objects as in its context menu.
  for (QAction* submenu : mGraph->getContextMenu()->actions()) menuBar()->addAction(submenu);
}

void MainWindow::buildStatusBar() {
  auto label = [this](const char* name) {
    auto* l = new QLabel(this);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    l->setContentsMargins(6, 0, 6, 0);
    return l;
  };
  mActionLabel = label("actionStatus");
  mActionLabel->setText(tr("Ready"));
  mSliderLabel = label("sliderStatus");
  mSnapLabel = label("snapStatus");
  statusBar()->addWidget(mActionLabel, 1);
  statusBar()->addPermanentWidget(mSliderLabel);
  statusBar()->addPermanentWidget(mSnapLabel);
  connect(mGraph, &A::GraphWidget::actionBegin, mActionLabel, &QLabel::setText);
  connect(mGraph, &A::GraphWidget::snapSettingsChanged, this, &MainWindow::showSnapSettings);
  mSliderWatcher = std::make_unique<SliderWatcher>(*this);
  mGraph->getDomainSlider()->subscribe(*mSliderWatcher);
  showSnapSettings();
  showSlider();
}

void MainWindow::showSnapSettings() {
  const A::SnapSettings s = mGraph->getSnapSettings();
  mSnapLabel->setText(tr("Snap: X %1, Y %2")
                          .arg(AxisText(s.isSnappingX(), &A::SnapSettings::getIncrementX, s),
                               AxisText(s.isSnappingY(), &A::SnapSettings::getIncrementY, s)));
}

void MainWindow::showSlider() {
  const auto& slider = *mGraph->getDomainSlider();
  mSliderLabel->setVisible(slider.isVisible());
  mSliderLabel->setText(tr("Slider: %1").arg(QString::number(slider.getValue(), 'g', 6)));
}

void MainWindow::setUndoLimit(int limit) {
  mUndoLimit = std::max(1, limit);
  QUndoStack& undo = mGraph->getUndoStack()->getQUndoStack();
  undo.clear();
  undo.setUndoLimit(mUndoLimit);
}

void MainWindow::setScene(const Scene& scene, const QString& path) {
  auto curves = mGraph->getCurves();
  mGraph->getSelection()->clear();
  curves->clear();
  for (const auto& c : scene.curves) curves->addCurve(c);
  curves->notifyChanged();
  setUndoLimit(mUndoLimit);
  mPropertyNames = scene.propertyNames;
  mPath = path;
  updateTitle();
  frameAll();
  mGraph->needRedraw();
}

Scene MainWindow::scene() const {
  Scene s;
  for (const auto& c : *mGraph->getCurves()) s.curves.push_back(c);
  s.propertyNames = mPropertyNames;
  return s;
}

void MainWindow::frameAll() {
  T::Rectangle<double> all;
  bool any = false;
  for (const auto& c : *mGraph->getCurves()) {
    T::Rectangle<double> r;
    if (!c->isVisible() || !T::GetInteriorExtents(*c, r)) continue;
    all = any ? T::Union(all, r) : r;
    any = true;
  }
  if (!any) return;
  // A flat or single-key extent still needs some height and width to show.
  const double w = all.width > 0 ? all.width : 1.0;
  const double h = all.height > 0 ? all.height : 1.0;
  const double mx = 0.05 * w, my = 0.08 * h;
  mGraph->getViewport()->setWorldBounds(T::Rectangle<double>(all.x - mx, all.y - my, w + 2 * mx, h + 2 * my));
}

bool MainWindow::confirmDiscard() {
  if (!isWindowModified()) return true;
  QMessageBox box(QMessageBox::Question, tr("Unsaved changes"),
                  tr("%1 has changes that are not saved. Save them?").arg(sceneName()),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::Save);
  switch (box.exec()) {
    case QMessageBox::Save: return save();
    case QMessageBox::Discard: return true;
    default: return false;
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (confirmDiscard())
    event->accept();
  else
    event->ignore();
}

void MainWindow::showError(const QString& title, const QString& message) {
  // Plain text: a file name or a quoted name must not be read as markup.
  QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void MainWindow::open() {
  if (!confirmDiscard()) return;
  const QString path = QFileDialog::getOpenFileName(this, tr("Open scene"), QFileInfo(mPath).path(),
                                                    tr("Scene files (*.json);;All files (*)"));
  if (!path.isEmpty()) openFile(path);
}

bool MainWindow::openFile(const QString& path) {
  Scene loaded;
  QString error;
  if (!SceneFile::read(path, loaded, error)) {
    showError(tr("Open scene"), error);
    return false;
  }
  setScene(loaded, path);
  statusBar()->showMessage(tr("Opened %1").arg(EscapeControls(path)), 5000);
  return true;
}

bool MainWindow::save() {
  if (mPath.isEmpty()) return saveAs();
  return saveTo(mPath);
}

bool MainWindow::saveAs() {
  const QString path = QFileDialog::getSaveFileName(this, tr("Save scene"), mPath, tr("Scene files (*.json);;All files (*)"));
  if (path.isEmpty()) return false;
  return saveTo(path);
}

bool MainWindow::saveTo(const QString& path) {
  QString error;
  if (!SceneFile::write(path, scene(), error)) {
    showError(tr("Save scene"), error);
    return false;
  }
  mPath = path;
  mGraph->getUndoStack()->getQUndoStack().setClean();
  updateTitle();
  statusBar()->showMessage(tr("Saved %1").arg(EscapeControls(path)), 5000);
  return true;
}

QString MainWindow::sceneName() const {
  return mPath.isEmpty() ? tr("The sample scene") : EscapeControls(QFileInfo(mPath).fileName());
}

void MainWindow::updateTitle() {
  // A "[*]" of the name's own is written twice, which the title shows once.
  QString name = sceneName();
  name.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
  setWindowTitle(tr("%1[*] - Arvelle demo").arg(name));
  setWindowModified(!mGraph->getUndoStack()->getQUndoStack().isClean());
}

}  // namespace ArvelleDemo
