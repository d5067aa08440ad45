#include "mainwindow.h"

#include <arvelle/undostack.h>
#include <arvelle/viewport.h>

#include <tessal/queries.h>

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QUndoStack>

namespace ArvelleDemo {

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  mGraph = new A::GraphWidget(this);
  setCentralWidget(mGraph);

  QMenu* file = menuBar()->addMenu(tr("&File"));
  QAction* open = file->addAction(tr("&Open..."), this, &MainWindow::open);
  open->setShortcuts(QKeySequence::Open);
  QAction* save = file->addAction(tr("&Save"), this, &MainWindow::save);
  save->setShortcuts(QKeySequence::Save);
  QAction* saveAs = file->addAction(tr("Save &As..."), this, &MainWindow::saveAs);
  saveAs->setShortcuts(QKeySequence::SaveAs);
  file->addSeparator();
  QAction* quit = file->addAction(tr("&Quit"), this, &QWidget::close);
  quit->setShortcuts(QKeySequence::Quit);

  QUndoStack& undo = mGraph->getUndoStack()->getQUndoStack();
  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  QAction* undoAction = undo.createUndoAction(this, tr("&Undo"));
  undoAction->setShortcuts(QKeySequence::Undo);
  QAction* redoAction = undo.createRedoAction(this, tr("&Redo"));
  redoAction->setShortcuts(QKeySequence::Redo);
  edit->addAction(undoAction);
  edit->addAction(redoAction);

  connect(mGraph, &A::GraphWidget::actionBegin, this, &MainWindow::showAction);
  statusBar()->showMessage(tr("Ready"));
  updateTitle();
}

MainWindow::~MainWindow() = default;

void MainWindow::setScene(const Scene& scene, const QString& path) {
  auto curves = mGraph->getCurves();
  mGraph->getSelection()->clear();
  curves->clear();
  for (const auto& c : scene.curves) curves->addCurve(c);
  curves->notifyChanged();
  mGraph->getUndoStack()->getQUndoStack().clear();
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
  mGraph->getViewport()->setWorldBounds(
      T::Rectangle<double>(all.x - mx, all.y - my, w + 2 * mx, h + 2 * my));
}

void MainWindow::open() {
  const QString path = QFileDialog::getOpenFileName(this, tr("Open scene"), QFileInfo(mPath).path(),
                                                    tr("Scene files (*.json);;All files (*)"));
  if (path.isEmpty()) return;
  Scene loaded;
  QString error;
  if (!SceneFile::read(path, loaded, error)) {
    // The current scene stays as it was.
    QMessageBox::warning(this, tr("Open scene"), error);
    return;
  }
  setScene(loaded, path);
  statusBar()->showMessage(tr("Opened %1").arg(path));
}

bool MainWindow::save() {
  if (mPath.isEmpty()) return saveAs();
  return saveTo(mPath);
}

bool MainWindow::saveAs() {
  const QString path = QFileDialog::getSaveFileName(this, tr("Save scene"), mPath,
                                                    tr("Scene files (*.json);;All files (*)"));
  if (path.isEmpty()) return false;
  return saveTo(path);
}

bool MainWindow::saveTo(const QString& path) {
  QString error;
  if (!SceneFile::write(path, scene(), error)) {
    QMessageBox::warning(this, tr("Save scene"), error);
    return false;
  }
  mPath = path;
  updateTitle();
  statusBar()->showMessage(tr("Saved %1").arg(path));
  return true;
}

void MainWindow::showAction(const QString& text) { statusBar()->showMessage(text); }

void MainWindow::updateTitle() {
  const QString name = mPath.isEmpty() ? tr("sample scene") : QFileInfo(mPath).fileName();
  setWindowTitle(tr("%1 - Arvelle demo").arg(name));
}

}  // namespace ArvelleDemo
