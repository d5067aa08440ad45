// The embeddable graph editor: an OpenGL surface that owns the curves, the
// selection, the view and the layer tree, paints by handing the viewport to
// the root layer, routes every input event down the tree and pushes the undo
// commands that layers produce, bracketed by actionBegin/actionEnd.
#pragma once

#include <arvelle/snapsettings.h>
#include <arvelle/version.h>

#include <tessal/container.h>
#include <tessal/fcurve.h>
#include <tessal/selection.h>

#include <QFont>
#include <QMenu>
#include <QOpenGLWidget>
#include <QString>

#include <memory>

class QColor;
class QUndoCommand;

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

class DomainSlider;
class GraphViewColors;
class PrevizDialog;
class LayerManager;
class UndoStack;
class Viewport;

class ZENTHO_ARVELLE_EXPORT GraphWidget : public QOpenGLWidget {
  Q_OBJECT

 public:
  // Brackets one user action: actionBegin(text) now, actionEnd() when
  // destroyed, also during unwinding.
  class ActionNotifier {
   public:
    ActionNotifier(GraphWidget* widget, const QString& text);
    ~ActionNotifier();
    ActionNotifier(const ActionNotifier&) = delete;
    ActionNotifier& operator=(const ActionNotifier&) = delete;

   private:
    GraphWidget* mWidget;  // not owned
  };

  explicit GraphWidget(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
  ~GraphWidget() override;

  // The host fills the container; the widget shows what it holds.
  std::shared_ptr<Tessal::FCurveContainer> getCurves() { return mCurves; }
  std::shared_ptr<const Tessal::FCurveContainer> getCurves() const { return mCurves; }
  std::shared_ptr<Tessal::Selection> getSelection() { return mSelection; }
  std::shared_ptr<const Tessal::Selection> getSelection() const { return mSelection; }
  std::shared_ptr<Viewport> getViewport() { return mViewport; }
  std::shared_ptr<const Viewport> getViewport() const { return mViewport; }
  std::shared_ptr<GraphViewColors> getColors() { return mColors; }
  std::shared_ptr<const GraphViewColors> getColors() const { return mColors; }
  std::shared_ptr<DomainSlider> getDomainSlider() { return mDomainSlider; }
  std::shared_ptr<const DomainSlider> getDomainSlider() const { return mDomainSlider; }
  std::shared_ptr<UndoStack> getUndoStack() { return mUndoStack; }
  std::shared_ptr<const UndoStack> getUndoStack() const { return mUndoStack; }
  // Hosts may push their own layers into the user layers.
  std::shared_ptr<LayerManager> getUserLayers() { return mUserLayers; }
  std::shared_ptr<LayerManager> getRootLayer() { return mRootLayer; }
  // The context menu, built once with the widget: its submenus "Frame",
  // "Show", "Grid Snapping", "Segment Type", "Keyframe", "Tangent" and
  // "Transform" hold actions wired to the trigger slots, so a host can put
  // the same actions into its own menus and toolbars. Owned by the widget.
  QMenu* getContextMenu() { return &mContextMenu; }
  // The font of every text the widget draws.
  QFont& getFont() { return mFont; }
  const QFont& getFont() const { return mFont; }

  Tessal::HitRecordIterator beginSelected() const;
  Tessal::HitRecordIterator endSelected() const;

  // The process-wide snap settings that every layer reads.
  SnapSettings getSnapSettings() const;
  // Stores and emits snapSettingsChanged() only when the value differs.
  void setSnapSettings(SnapSettings settings);

  // Offers the event to the root layer; marks it accepted when a layer took
  // it and returns whether one did.
  bool delegateEventToLayerManager(QEvent* event);

 signals:
  void actionBegin(const QString& iText);
  void actionEnd();
  void snapSettingsChanged();

 public slots:
  // Text at widget pixel (x, y), y downwards, baseline starting there.
  virtual void drawText(int x, int y, const QString& iText, const QColor& textColor);
  virtual void needRedraw();
  // Takes ownership of the command; pushing runs its redo.
  virtual void pushUndoStack(QUndoCommand* iCmd);

  // Edit commands over the selection, each pushed as one undo step whether
  // or not it finds anything to change (the command decides).
  virtual void triggerDeleteKeyframes();
  virtual void triggerBreakdownKeyframes();
  virtual void triggerLockKeyframes();
  virtual void triggerUnlockKeyframes();
  virtual void triggerWeightedTangents();
  // 0 Fixed, 1 Flat, 2 Linear, 3 Smooth, 4 SmoothNormal, 5 Clamped,
  // 6 Plateau; the low byte of the code is stored.
  virtual void triggerSetTangentType(int code);
  // An interpolator name the factory knows, e.g. "linear()".
  virtual void triggerSetSegmentType(const QString& name);
  // Turns the keyframe insertion mode on; with the Insert key's event, a
  // mode already on receives the key and ends. Null: only turns it on.
  virtual void insertKeyframeLayer(QEvent* event);

  // Framing, animated over a third of a second: every visible curve, the
  // selection (its keys, or its curves when it holds no key), per axis or
  // both; the selection when anything selected exists, else everything; the
  // world limits.
  virtual void triggerFrameAll();
  virtual void triggerFrameAllX();
  virtual void triggerFrameAllY();
  virtual void triggerFrameSelected();
  virtual void triggerFrameSelectedX();
  virtual void triggerFrameSelectedY();
  virtual void triggerFrameAuto();
  virtual void triggerFrameWorldLimits();

  // Bakes the selected segments, or the interior of each selected curve, at
  // a step of 1.
  virtual void triggerBakeCurves();
  // The selected keys of the one selected curve to the widget's own
  // clipboard (an unsuccessful copy empties it); pasted into the one
  // selected curve at the x they were copied from.
  virtual void triggerCopyKeyframes();
  virtual void triggerPasteKeyframes();

  // Hides the domain slider when shown; otherwise shows it at the last
  // pointer position's x, snapped when x snapping is on.
  virtual void triggerDomainSlider();
  // Modal dialogs previewing their operation on copies of the selected
  // curves; Apply pushes one undo step, Cancel changes nothing.
  virtual void triggerSmoothCurvesDialog();
  virtual void triggerFlipCurvesDialog();
  virtual void triggerTransformCurvesDialog();

  // Derivative curves of each selected curve, each flipped on its own.
  virtual void triggerVelocity();
  virtual void triggerAcceleration();
  // The curve names at the curves' ends (H).
  virtual void triggerLabels();

  // Snapping modes; each stores the process-wide settings through
  // setSnapSettings, so snapSettingsChanged() comes only on a real change.
  // The cycle (S) goes: off, x to the grid, x and y to the grid, off.
  virtual void triggerSnapping();
  virtual void triggerSnappingXOff();
  virtual void triggerSnappingXInt();
  virtual void triggerSnappingXGrid();
  virtual void triggerSnappingYOff();
  virtual void triggerSnappingYGrid();

 protected:
  void init();
  // Fills the context menu; runs once, from init().
  void buildActionMenu();

  void initializeGL() override;
  void resizeGL(int w, int h) override;
  void paintGL() override;

  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void enterEvent(QEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // Dialogs end a running gesture before they preview on the curves.
  friend class PrevizDialog;

  void emitActionBegin(const QString& text) { emit actionBegin(text); }
  void emitActionEnd() { emit actionEnd(); }
  // Renders at once when a handler asked for it, then clears the request.
  void applyRepaintNow();
  // Ends the gesture an interaction layer may be running, as the releases it
  // waits for would: once hidden or without focus the widget never sees them.
  void endGestures();

  std::shared_ptr<Tessal::FCurveContainer> mCurves;
  std::shared_ptr<Tessal::Selection> mSelection;
  std::shared_ptr<Viewport> mViewport;
  std::shared_ptr<GraphViewColors> mColors;
  std::shared_ptr<LayerManager> mRootLayer;
  std::shared_ptr<LayerManager> mUserLayers;
  std::shared_ptr<DomainSlider> mDomainSlider;
  QFont mFont;
  QMenu mContextMenu;
  std::shared_ptr<Tessal::FCurve> mCopyBuffer;
  std::shared_ptr<UndoStack> mUndoStack;
  bool mRepaintNow = false;
};

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
