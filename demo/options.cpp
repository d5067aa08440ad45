#include "options.h"

#include "safetext.h"

#include <tessal/types.h>

#include <QCommandLineParser>
#include <QRegularExpression>

#include <cmath>

namespace ArvelleDemo {

namespace {

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

// Digits only (no sign, no spaces) of a value from 1 that fits an int.
bool ParseUndoLimit(const QString& text, int& limit) {
  static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
  if (!digits.match(text).hasMatch()) return false;
  bool ok = false;
  const int n = text.toInt(&ok);
  if (!ok || n < 1) return false;
  limit = n;
  return true;
}

}  // namespace

bool ParseOptions(const QStringList& arguments, Options& options, QString& error) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Interactive function-curve editor demo."));
  parser.addHelpOption();
  const QCommandLineOption scene(QStringLiteral("scene"), QStringLiteral("Load curves from FILE.json."),
                                 QStringLiteral("FILE.json"));
  const QCommandLineOption save(
      QStringLiteral("save"),
      QStringLiteral("Write the curves to FILE.json and exit (after the screenshot, if one is asked for)."),
      QStringLiteral("FILE.json"));
  const QCommandLineOption shot(QStringLiteral("screenshot"), QStringLiteral("Render the window once into FILE.png and exit."),
                                QStringLiteral("FILE.png"));
  const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("Window size, e.g. 1200x700."),
                                QStringLiteral("WxH"), QStringLiteral("1200x700"));
  const QCommandLineOption undoLimit(
      QStringLiteral("undo-limit"),
      QStringLiteral("How many edits can be undone (default %1; 1 is the widget's own depth).").arg(cDefaultUndoLimit),
      QStringLiteral("N"));
  const QCommandLineOption slider(QStringLiteral("slider"), QStringLiteral("Show the domain slider at X."),
                                  QStringLiteral("X"));
  parser.addOptions({scene, save, shot, size, undoLimit, slider});

  Options o;
  if (!parser.parse(arguments)) {
    error = EscapeControls(parser.errorText());
    return false;
  }
  if (parser.isSet(QStringLiteral("help"))) {
    o.helpText = parser.helpText();
    options = o;
    return true;
  }
  if (!parser.positionalArguments().isEmpty()) {
    error = QStringLiteral("unexpected argument %1").arg(QuotedText(parser.positionalArguments().first()));
    return false;
  }
  if (!ParseSize(parser.value(size), o.size)) {
    error = QStringLiteral("--size %1: expected WxH, each from 200 to 4000").arg(QuotedText(parser.value(size)));
    return false;
  }
  if (parser.isSet(undoLimit) && !ParseUndoLimit(parser.value(undoLimit), o.undoLimit)) {
    error = QStringLiteral("--undo-limit %1: expected a whole number of at least 1").arg(QuotedText(parser.value(undoLimit)));
    return false;
  }
  if (parser.isSet(slider)) {
    bool ok = false;
    o.sliderValue = parser.value(slider).toDouble(&ok);
    if (!ok || !(std::fabs(o.sliderValue) <= Zentho::Tessal::cMaxCoordinate)) {
      error = QStringLiteral("--slider %1: expected a number").arg(QuotedText(parser.value(slider)));
      return false;
    }
    o.showSlider = true;
  }
  for (const QCommandLineOption* file : {&scene, &save, &shot}) {
    if (parser.isSet(*file) && parser.value(*file).isEmpty()) {
      error = QStringLiteral("--%1: expected a file name").arg(file->names().first());
      return false;
    }
  }
  o.scenePath = parser.value(scene);
  o.savePath = parser.value(save);
  o.screenshotPath = parser.value(shot);
  options = o;
  return true;
}

}  // namespace ArvelleDemo
