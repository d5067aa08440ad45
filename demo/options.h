// arvelle-demo's command line, read without a display so that a bad one
// is refused before any window exists.
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

namespace ArvelleDemo {

// The demo's undo depth unless --undo-limit says otherwise; the widget's
// own is 1.
constexpr int cDefaultUndoLimit = 100;

struct Options {
  QString scenePath;       // --scene; empty for the sample scene
  QString savePath;        // --save
  QString screenshotPath;  // --screenshot
  QSize size{1200, 700};   // --size
  int undoLimit = cDefaultUndoLimit;
  bool showSlider = false;  // --slider X shows the domain slider at X
  double sliderValue = 0.0;
  QString helpText;  // set for --help: print it and stop
};

// Reads arguments (the program name first). False with error set to one
// line for an unknown option, a stray argument or a bad value.
bool ParseOptions(const QStringList& arguments, Options& options, QString& error);

}  // namespace ArvelleDemo
