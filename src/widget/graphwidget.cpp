#include <arvelle/graphwidget.h>

#include <arvelle/domainslider.h>
#include <arvelle/glhelpers.h>
#include <arvelle/graphviewcolors.h>
#include <arvelle/layer.h>
#include <arvelle/undostack.h>
#include <arvelle/viewport.h>

#include "layers/backgroundlayer.h"
#include "layers/curvelayer.h"
#include "layers/domainsliderlayer.h"
#include "layers/focuslayer.h"
#include "layers/gridlayer.h"

#include <QColor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QUndoCommand>
#include <QWheelEvent>

#include <GL/gl.h>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

GraphWidget::ActionNotifier::ActionNotifier(GraphWidget* widget, const QString& text) : mWidget(widget) {
  if (mWidget) mWidget->emitActionBegin(text);
}

GraphWidget::ActionNotifier::~ActionNotifier() {
  if (mWidget) mWidget->emitActionEnd();
}

GraphWidget::GraphWidget(QWidget* parent, Qt::WindowFlags flags) : QOpenGLWidget(parent, flags) { init(); }

GraphWidget::~GraphWidget() {
  // Layers may own GL resources; the members go, in reverse order, with the
  // context current.
  makeCurrent();
}

void GraphWidget::init() {
  // The shared objects, each after those it is built over.
  mCurves = std::make_shared<Tessal::FCurveContainer>();
  mSelection = std::make_shared<Tessal::Selection>(mCurves);
  mViewport = std::make_shared<Viewport>();
  mColors = std::make_shared<GraphViewColors>();
  mRootLayer = std::make_shared<LayerManager>("Root Layer");
  mDomainSlider = std::make_shared<DomainSlider>();
  mUserLayers = std::make_shared<LayerManager>();
  mUndoStack = std::make_shared<UndoStack>();
  mFont = QFont();
  mRepaintNow = false;

  setMinimumSize(100, 100);
  setMaximumSize(2000, 2000);

  // x from -10 to 100 and y from -2 to 2 until the first resize and framing.
  mViewport->setWindowBounds(Tessal::Rectangle<double>(0, 0, 100, 100));
  mViewport->setWorldBounds(Tessal::Rectangle<double>(-10, -2, 110, 4));

  mDomainSlider->hide();

  // Layers see mouse moves without a pressed button.
  setAttribute(Qt::WA_MouseTracking);
  setFocusPolicy(Qt::StrongFocus);

  // Layer changes repaint; commands from any layer reach the undo stack.
  connect(mRootLayer.get(), &Layer::notifyLayerChanged, this, &GraphWidget::needRedraw);
  connect(mRootLayer.get(), &LayerManager::undoCommandGenerated, this, &GraphWidget::pushUndoStack);

  mRootLayer->pushLayer(mUserLayers);

  // The display layers go onto the user layers here, each on top of the
  // one before: background, grid, curves, domain slider; those that write
  // text get their requestDrawText connected to drawText.
  mUserLayers->pushLayer(std::make_shared<BackgroundLayer>(mColors));
  auto grid = std::make_shared<GridLayer>(*mViewport, mColors, mFont);
  mUserLayers->pushLayer(grid);
  connect(grid.get(), &Layer::requestDrawText, this, &GraphWidget::drawText);
  auto curveLayer = std::make_shared<CurveLayer>(mCurves, mSelection, mColors);
  curveLayer->setLabelGrid(grid);
  mUserLayers->pushLayer(curveLayer);
  connect(curveLayer.get(), &Layer::requestDrawText, this, &GraphWidget::drawText);
  auto sliderLayer = std::make_shared<DomainSliderLayer>(mDomainSlider, mSelection, mColors, mFont, mViewport);
  mUserLayers->pushLayer(sliderLayer);
  connect(sliderLayer.get(), &Layer::requestDrawText, this, &GraphWidget::drawText);

  // The focus layer goes onto the root here, above the user layers.
  mRootLayer->pushLayer(std::make_shared<FocusLayer>(mColors));

  // Every new widget resets the process-wide snap settings.
  SnapSettings snap;
  snap.setSnappingX(true);
  snap.setIncrementX(1.0);
  snap.setSnappingY(false);
  snap.setIncrementY(SnapSettings::cSnapToGrid);
  setSnapSettings(snap);

  // Only the latest edit can be undone.
  mUndoStack->getQUndoStack().setUndoLimit(1);

  // Last, when every slot it reaches exists.
  buildActionMenu();
}

Tessal::HitRecordIterator GraphWidget::beginSelected() const { return mSelection->begin(); }

Tessal::HitRecordIterator GraphWidget::endSelected() const { return mSelection->end(); }

SnapSettings GraphWidget::getSnapSettings() const { return Layer::getSnapSettings(); }

void GraphWidget::setSnapSettings(SnapSettings settings) {
  if (settings == Layer::getSnapSettings()) return;
  Layer::setSnapSettings(settings);
  emit snapSettingsChanged();
}

void GraphWidget::needRedraw() { update(); }

void GraphWidget::pushUndoStack(QUndoCommand* iCmd) {
  if (!iCmd) return;
  ActionNotifier notifier(this, iCmd->text());
  mUndoStack->getQUndoStack().push(iCmd);
}

void GraphWidget::drawText(int x, int y, const QString& iText, const QColor& textColor) {
  // Layers ask for text in the middle of their own drawing, and QPainter
  // draws through a GL pipeline of its own that leaves its state behind
  // (viewport, blending, program): keep the layer's state around it.
  QOpenGLContext* gl = QOpenGLContext::currentContext();
  const bool inFrame = gl && gl == context();
  GLint program = 0;
  if (inFrame) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  }
  QPainter painter;
  // Outside a GL frame (no surface yet) there is nothing to draw on.
  if (painter.begin(this)) {
    painter.setPen(textColor);
    painter.setFont(mFont);
    painter.drawText(QPointF(x, y), iText);
    painter.end();
  }
  if (inFrame) {
    gl->functions()->glUseProgram(static_cast<GLuint>(program));
    glPopClientAttrib();
    glPopAttrib();
  }
}

void GraphWidget::initializeGL() {}

void GraphWidget::resizeGL(int w, int h) { mViewport->setWindowBounds(Tessal::Rectangle<double>(0, 0, w, h)); }

void GraphWidget::paintGL() {
  GLAttributeSentry attributes(GL_TRANSFORM_BIT | GL_VIEWPORT_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  GLMatrixSentry projection;
  // Far from the world's zero a small view's planes coincide in single
  // precision; GL would refuse them, and the layers' relative projections
  // still show such a view.
  const auto& world = mViewport->getWorldBounds();
  LoadOrthographic(world.x, world.x + world.width, world.y, world.y + world.height);

  // The window bounds are logical pixels, as events and text use them; the
  // surface has devicePixelRatio times as many, and GL counts those.
  const auto& win = mViewport->getWindowBounds();
  const qreal ratio = devicePixelRatioF();
  glViewport(qRound(win.x * ratio), qRound(win.y * ratio), qRound(win.width * ratio), qRound(win.height * ratio));

  mRootLayer->draw(*mViewport);
}

bool GraphWidget::delegateEventToLayerManager(QEvent* event) {
  const bool consumed = mRootLayer->handleEvent(event, *mViewport);
  if (consumed) event->setAccepted(true);
  applyRepaintNow();
  return consumed;
}

void GraphWidget::applyRepaintNow() {
  if (!mRepaintNow) return;
  // repaint() runs paintGL and shows the result before returning; the bare
  // paint handler would only refresh the off-screen surface.
  repaint();
  mRepaintNow = false;
}

void GraphWidget::mousePressEvent(QMouseEvent* event) {
  const bool consumed = delegateEventToLayerManager(event);
  // An empty menu has nothing to offer and would still grab the pointer.
  if (!consumed && event->button() == Qt::RightButton && event->modifiers() == Qt::NoModifier &&
      contextMenuPolicy() == Qt::DefaultContextMenu && !mContextMenu.actions().isEmpty()) {
    mContextMenu.exec(event->screenPos().toPoint());
  }
  applyRepaintNow();
}

void GraphWidget::mouseReleaseEvent(QMouseEvent* event) { delegateEventToLayerManager(event); }

void GraphWidget::mouseMoveEvent(QMouseEvent* event) { delegateEventToLayerManager(event); }

// A double click is its own event for the layers, never a second press.
void GraphWidget::mouseDoubleClickEvent(QMouseEvent* event) { delegateEventToLayerManager(event); }

void GraphWidget::wheelEvent(QWheelEvent* event) {
  // The base handler ignores the event, so it travels on to the parent.
  if (!delegateEventToLayerManager(event)) QOpenGLWidget::wheelEvent(event);
}

void GraphWidget::keyPressEvent(QKeyEvent* event) {
  // The widget's own single-key shortcuts are looked at here, before the
  // layers; modifiers are not.
  switch (event->key()) {
    case Qt::Key_Delete:
      // A held key repeats: the deletes after the first would find nothing
      // selected, and with one undo step each would push out the real one.
      if (!event->isAutoRepeat()) triggerDeleteKeyframes();
      event->accept();
      break;
    case Qt::Key_D:
    case Qt::Key_H:
    case Qt::Key_S:
      // Toggles and the snapping cycle: a held key's repeats would make them
      // blink or spin through the modes.
      if (!event->isAutoRepeat()) {
        if (event->key() == Qt::Key_D) {
          triggerDomainSlider();
        } else if (event->key() == Qt::Key_H) {
          triggerLabels();
          mRepaintNow = true;
        } else {
          triggerSnapping();
        }
      }
      event->accept();
      break;
    case Qt::Key_Insert:
      insertKeyframeLayer(event);
      break;
    case Qt::Key_Home:
    case Qt::Key_F:
    case Qt::Key_A:
      // Taken also while the view may not move, so that no layer sees them.
      if (mViewport->isPanZoomEnabled()) {
        if (event->key() == Qt::Key_Home) triggerFrameWorldLimits();
        else if (event->key() == Qt::Key_F) triggerFrameAuto();
        else triggerFrameAll();
      }
      event->accept();
      break;
    default:
      delegateEventToLayerManager(event);
      break;
  }
  applyRepaintNow();
}

void GraphWidget::keyReleaseEvent(QKeyEvent* event) { delegateEventToLayerManager(event); }

void GraphWidget::focusInEvent(QFocusEvent* event) { delegateEventToLayerManager(event); }

void GraphWidget::focusOutEvent(QFocusEvent* event) {
  delegateEventToLayerManager(event);
  endGestures();
}

void GraphWidget::hideEvent(QHideEvent* event) {
  endGestures();
  QOpenGLWidget::hideEvent(event);
}

void GraphWidget::endGestures() {
  if (!mRootLayer || !mViewport) return;
  const auto& last = mRootLayer->getLastMousePoint();
  const QPointF at(last.x, last.y);
  // A layer without a gesture of that button or key takes these as the
  // harmless releases they are.
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton}) {
    QMouseEvent release(QEvent::MouseButtonRelease, at, at, button, Qt::NoButton, Qt::NoModifier);
    mRootLayer->handleEvent(&release, *mViewport);
  }
  for (int key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down}) {
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    mRootLayer->handleEvent(&release, *mViewport);
  }
}

void GraphWidget::enterEvent(QEvent* event) { delegateEventToLayerManager(event); }

void GraphWidget::leaveEvent(QEvent* event) { delegateEventToLayerManager(event); }

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
