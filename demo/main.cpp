// arvelle-demo: a window around the graph widget, filled with a sample
// scene or a scene file. Exit codes: 0 success, 2 a file that cannot be
// read or written, or a bad command line.
#include "mainwindow.h"
#include "samplescene.h"
#include "scenefile.h"

#include <tessal/selection.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QImage>
#include <QRegularExpression>
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

// "WxH"; false for anything else or a size outside what the window can be.
bool ParseSize(const QString& text, QSize& size) {
  static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
  const auto m = pattern.match(text);
  if (!m.hasMatch()) return false;
  const int w = m.captured(1).toInt(), h = m.captured(2).toInt();
  if (w < 200 || h < 200 || w > 4000 || h > 4000) return false;
  size = QSize(w, h);
  return true;
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
    error = QStringLiteral("%1: the window could not be rendered").arg(path);
    return false;
  }
  if (!image.save(path, "PNG")) {
    error = QStringLiteral("%1: cannot be written").arg(path);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("arvelle-demo"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Interactive function-curve editor demo."));
  parser.addHelpOption();
  const QCommandLineOption sceneOption(QStringLiteral("scene"), QStringLiteral("Load curves from FILE.json."),
                                       QStringLiteral("FILE.json"));
  const QCommandLineOption saveOption(
      QStringLiteral("save"),
      QStringLiteral("Write the curves to FILE.json and exit (after the screenshot, if one is asked for)."),
      QStringLiteral("FILE.json"));
  const QCommandLineOption shotOption(QStringLiteral("screenshot"),
                                      QStringLiteral("Render the window once into FILE.png and exit."),
                                      QStringLiteral("FILE.png"));
  const QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("Window size, e.g. 1200x700."),
                                      QStringLiteral("WxH"), QStringLiteral("1200x700"));
  parser.addOptions({sceneOption, saveOption, shotOption, sizeOption});
  if (!parser.parse(QApplication::arguments())) return Fail(parser.errorText());
  if (parser.isSet(QStringLiteral("help"))) {
    QTextStream(stdout) << parser.helpText();
    return 0;
  }
  if (!parser.positionalArguments().isEmpty())
    return Fail(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
  QSize size;
  if (!ParseSize(parser.value(sizeOption), size))
    return Fail(QStringLiteral("--size \"%1\": expected WxH, each from 200 to 4000").arg(parser.value(sizeOption)));

  // The scene is complete before any window exists: a bad file ends the
  // program without showing anything.
  ArvelleDemo::Scene scene;
  QString scenePath;
  if (parser.isSet(sceneOption)) {
    scenePath = parser.value(sceneOption);
    QString error;
    if (!ArvelleDemo::SceneFile::read(scenePath, scene, error)) return Fail(error);
  } else {
    scene = ArvelleDemo::MakeSampleScene();
  }

  ArvelleDemo::MainWindow window;
  window.resize(size);
  window.setScene(scene, scenePath);
  if (scenePath.isEmpty()) {
    // The bounce starts selected, so its keys and handles show at once.
    auto graph = window.graphWidget();
    for (const auto& curve : *graph->getCurves()) {
      if (curve->getName() == "ball.translateY") Zentho::Tessal::SelectCurveCompletely(*graph->getSelection(), *curve);
    }
  }

  const bool batch = parser.isSet(shotOption) || parser.isSet(saveOption);
  if (parser.isSet(shotOption)) {
    QString error;
    if (!Screenshot(window, parser.value(shotOption), error)) return Fail(error);
  }
  if (parser.isSet(saveOption)) {
    QString error;
    if (!ArvelleDemo::SceneFile::write(parser.value(saveOption), window.scene(), error)) return Fail(error);
  }
  if (batch) return 0;

  window.show();
  return QApplication::exec();
}
