// arvelle-demo: a window around the graph widget, filled with a sample
// scene or a scene file. Exit codes: 0 success, 2 a file that cannot be
// read or written, or a bad command line.
#include "mainwindow.h"
#include "options.h"
#include "safetext.h"
#include "samplescene.h"
#include "scenefile.h"

#include <arvelle/domainslider.h>

#include <tessal/selection.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScreen>
#include <QTextStream>
#include <QWindow>

#include <cstdio>

namespace {

const int cExitFailure = 2;

int Fail(const QString& message) {
  std::fprintf(stderr, "arvelle-demo: %s\n", qPrintable(message));
  return cExitFailure;
}

// Shows the window, waits until it is on screen, renders it once and
// writes the picture.
bool Screenshot(ArvelleDemo::MainWindow& window, const QString& path, QString& error) {
  window.show();
  QElapsedTimer timer;
  timer.start();
  while (!(window.windowHandle() && window.windowHandle()->isExposed()) && timer.elapsed() < 10000)
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  // Let layout and the first resize reach the widget before rendering.
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  // What the X server shows, composited as a user would see it; grab()
  // would re-render the widgets off screen instead.
  window.repaint();
  QApplication::processEvents();
  const QImage image = window.screen()->grabWindow(window.winId()).toImage();
  if (image.isNull()) {
    error = QStringLiteral("%1: the window could not be rendered").arg(ArvelleDemo::EscapeControls(path));
    return false;
  }
  if (!image.save(path, "PNG")) {
    error = QStringLiteral("%1: cannot be written").arg(ArvelleDemo::EscapeControls(path));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("arvelle-demo"));

  ArvelleDemo::Options options;
  QString error;
  if (!ArvelleDemo::ParseOptions(QApplication::arguments(), options, error)) return Fail(error);
  if (!options.helpText.isEmpty()) {
    QTextStream(stdout) << options.helpText;
    return 0;
  }

  // The scene is complete before any window exists: a bad file ends the
  // program without showing anything.
  ArvelleDemo::Scene scene;
  if (!options.scenePath.isEmpty()) {
    if (!ArvelleDemo::SceneFile::read(options.scenePath, scene, error)) return Fail(error);
  } else {
    scene = ArvelleDemo::MakeSampleScene();
  }

  ArvelleDemo::MainWindow window;
  window.resize(options.size);
  window.setUndoLimit(options.undoLimit);
  window.setScene(scene, options.scenePath);
  auto graph = window.graphWidget();
  if (options.scenePath.isEmpty()) {
    // The bounce starts selected, so its keys and handles show at once.
    for (const auto& curve : *graph->getCurves()) {
      if (curve->getName() == "ball.translateY") Zentho::Tessal::SelectCurveCompletely(*graph->getSelection(), *curve);
    }
  }
  if (options.showSlider) {
    graph->getDomainSlider()->setValue(options.sliderValue);
    graph->getDomainSlider()->show();
  }

  const bool batch = !options.screenshotPath.isEmpty() || !options.savePath.isEmpty();
  if (!options.screenshotPath.isEmpty() && !Screenshot(window, options.screenshotPath, error)) return Fail(error);
  if (!options.savePath.isEmpty() && !ArvelleDemo::SceneFile::write(options.savePath, window.scene(), error))
    return Fail(error);
  if (batch) return 0;

  window.show();
  return QApplication::exec();
}
