// The demo's main window: the graph widget, a File menu to open and save
// scene files, an Edit menu bound to the widget's undo stack, and a status
// bar that names the action in progress.
#pragma once

#include "scenefile.h"

#include <arvelle/graphwidget.h>

#include <QMainWindow>
#include <QString>

namespace ArvelleDemo {

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  Zentho::Arvelle::GraphWidget* graphWidget() const { return mGraph; }

  // Replaces the widget's curves, clears the selection and the undo
  // history (its commands refer to the old curves) and frames the curves.
  // path is where Save writes; empty for a scene that came from no file.
  void setScene(const Scene& scene, const QString& path);
  // The widget's curves as they are now.
  Scene scene() const;

  // Shows every curve with a margin; does nothing without keys.
  void frameAll();

 public slots:
  void open();
  bool save();
  bool saveAs();

 private slots:
  void showAction(const QString& text);

 private:
  bool saveTo(const QString& path);
  void updateTitle();

  Zentho::Arvelle::GraphWidget* mGraph = nullptr;  // owned by the window
  std::set<std::string> mPropertyNames;
  QString mPath;
};

}  // namespace ArvelleDemo
