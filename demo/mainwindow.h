// The demo's main window: the graph widget; a menu bar with File, Edit and
// the widget's own context submenus (the very same actions, so there is one
// set of them); a status bar with the last action, the snapping and the
// domain slider's value; a title with the file name and a mark while there
// are unsaved edits.
#pragma once

#include "scenefile.h"

#include <arvelle/graphwidget.h>

#include <QMainWindow>
#include <QString>

#include <memory>
#include <set>

class QLabel;

namespace ArvelleDemo {

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  Zentho::Arvelle::GraphWidget* graphWidget() const { return mGraph; }

  // Replaces the widget's curves, clears the selection and the undo
  // history (its commands refer to the old curves), frames the curves and
  // counts the scene as saved. path is where Save writes; empty for a scene
  // that came from no file.
  void setScene(const Scene& scene, const QString& path);
  // The widget's curves as they are now.
  Scene scene() const;

  // Shows every curve with a margin; does nothing without keys.
  void frameAll();

  // How many edits can be undone (at least 1). Clears the undo history: a
  // QUndoStack takes a new limit only while it is empty.
  void setUndoLimit(int limit);
  int undoLimit() const { return mUndoLimit; }

  // Loads the file in place of the scene. A file that cannot be loaded is
  // named with its fault in a message box, and the scene stays as it was.
  bool openFile(const QString& path);
  // Writes the scene to path, where Save writes from then on; a message
  // box tells of a failure.
  bool saveTo(const QString& path);

 public slots:
  // Asks before unsaved edits are discarded, then for the file.
  void open();
  bool save();
  bool saveAs();

 protected:
  // Asks before unsaved edits are discarded; Cancel keeps the window open.
  void closeEvent(QCloseEvent* event) override;

 private:
  class SliderWatcher;

  void buildMenus();
  void buildStatusBar();
  // True when nothing is unsaved or the user saved or chose to discard it.
  bool confirmDiscard();
  void showError(const QString& title, const QString& message);
  void showSnapSettings();
  void showSlider();
  // The file's name, or a name for the sample scene.
  QString sceneName() const;
  void updateTitle();

  Zentho::Arvelle::GraphWidget* mGraph = nullptr;  // owned by the window
  QLabel* mActionLabel = nullptr;                  // owned by the status bar
  QLabel* mSnapLabel = nullptr;
  QLabel* mSliderLabel = nullptr;
  std::unique_ptr<SliderWatcher> mSliderWatcher;
  std::set<std::string> mPropertyNames;
  QString mPath;
  int mUndoLimit = 1;
};

}  // namespace ArvelleDemo
