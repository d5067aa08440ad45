#include "layers/insertkeyframelayer.h"

#include "commands/insertsegmentcommand.h"
#include "core/gldrawing.h"
#include "core/viewmath.h"
#include "layers/hittest.h"

#include <arvelle/glhelpers.h>

#include <tessal/queries.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QString>

#include <GL/gl.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

using Tessal::FCurve;
using Tessal::HitRecord;
using Tessal::Keyframe;
using Tessal::Rectangle;
using Tessal::Vector2D;

namespace {

// Current, line, polygon, enable, colour-buffer and hint state (0xE00D).
constexpr unsigned int cMarkerState =
    GL_CURRENT_BIT | GL_LINE_BIT | GL_POLYGON_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_HINT_BIT;
constexpr float cLabelBackgroundAlpha = 0.5f;
constexpr int cMaxDecimals = 4;

// The global snapping, both axes free while Control is held: the preview
// and the click of the mode must agree on where a key lands.
SnapSettings ModeSnap(bool control) {
  SnapSettings snap = Layer::getSnapSettings();
  if (control) {
    snap.setSnappingX(false);
    snap.setSnappingY(false);
  }
  return snap;
}

// GL takes coordinates as floats.
bool FitsGL(double v) { return std::fabs(v) <= FLT_MAX; }

// Enough decimals to tell snapped positions apart: none for whole steps,
// up to four for finer ones (and for free positions).
int LabelDecimals(const SnapSettings& snap, double pixelSize) {
  if (!snap.isSnappingX()) return cMaxDecimals;
  const double increment = snap.getIncrementX(pixelSize);
  if (!(increment > 0) || !std::isfinite(increment)) return cMaxDecimals;
  int d = 0;
  for (double v = increment; d < cMaxDecimals; ++d, v *= 10) {
    if (std::fabs(v - std::round(v)) <= 1e-6 * std::max(1.0, std::fabs(v))) break;
  }
  return d;
}

}  // namespace

bool FindInsertionPoint(const Vector2D<double>& windowPoint, const SnapSettings& snap, Tessal::FCurveContainer& curves,
                        Tessal::Selection& selection, const Viewport& viewport, std::shared_ptr<FCurve>& curve,
                        Vector2D<double>& point) {
  curve.reset();
  if (!CanMap(viewport)) return false;
  HitRecord hit;
  const bool picked = PickItem(curves, selection, viewport, windowPoint, hit);
  std::shared_ptr<FCurve> target;
  if (picked) {
    target = hit.getCurve();
  } else {
    // Off every curve, only a single selected curve is meant.
    const auto end = Tessal::EndSelectedCurves(selection);
    for (auto it = Tessal::BeginSelectedCurves(selection); it != end; ++it) {
      if (target) return false;
      target = it->getCurve();
    }
  }
  if (!target || Tessal::IsLocked(*target) || !Tessal::IsEditable(*target)) return false;
  Vector2D<double> p = WindowToWorld(viewport, windowPoint);
  SnapSettings::Snap(p, snap, viewport);
  Vector2D<double> onCurve;
  if (!Tessal::GetNewKeyframe(*target, p.x, onCurve)) return false;
  curve = std::move(target);
  point = onCurve;
  return picked;
}

void InsertKeyframeAt(const Vector2D<double>& windowPoint, const SnapSettings& snap,
                      const std::shared_ptr<Tessal::FCurveContainer>& curves,
                      const std::shared_ptr<Tessal::Selection>& selection, const Viewport& viewport,
                      LayerManager& manager) {
  if (!curves || !selection) return;
  std::shared_ptr<FCurve> curve;
  Vector2D<double> point;
  const bool onCurve = FindInsertionPoint(windowPoint, snap, *curves, *selection, viewport, curve, point);
  if (!curve) return;
  Vector2D<double> key = point;
  if (!onCurve) {
    key = WindowToWorld(viewport, windowPoint);
    SnapSettings::Snap(key, snap, viewport);
  }
  // A huge view can snap to positions no curve accepts.
  if (!Tessal::InRange(key) || !Tessal::InRange(point)) return;

  const auto segment = curve->findSegment(key.x);
  const double separation = Keyframe::getMinSeparation();
  const auto left = segment->getLeftKey(), right = segment->getRightKey();
  if ((left && std::fabs(left->getX() - key.x) < separation) ||
      (right && std::fabs(right->getX() - key.x) < separation))
    return;
  const Rectangle<double>& limits = viewport.getWorldLimits();
  if (limits.width > 0 && limits.height > 0 &&
      (key.x < limits.x || key.x > limits.x + limits.width || key.y < limits.y || key.y > limits.y + limits.height))
    return;

  selection->select(*curve);
  manager.handleUndoCommand(new InsertSegmentCommand(selection, curve, segment->getInterpolator(), point, key));
}

InsertKeyframeLayer::InsertKeyframeLayer(std::shared_ptr<Tessal::FCurveContainer> curves,
                                         std::shared_ptr<Tessal::Selection> selection,
                                         std::shared_ptr<Viewport>& viewport, std::shared_ptr<GraphViewColors> colors,
                                         const QFont& font)
    : Layer("Insert Keyframe Layer"),
      mCurves(std::move(curves)),
      mSelection(std::move(selection)),
      mColors(std::move(colors)),
      mFontMetrics(font),
      mSnap(mSnapSettings) {
  if (mCurves) mCurves->subscribe(*this);
  if (viewport) viewport->subscribe(*this);
  if (mColors) mColors->subscribe(*this);
}

InsertKeyframeLayer::~InsertKeyframeLayer() = default;

void InsertKeyframeLayer::updatePreview(const Viewport& viewport) {
  mPreviewPoint = Vector2D<double>(0, 0);
  std::shared_ptr<FCurve> curve;
  Vector2D<double> point;
  mOnCurve =
      mCurves && mSelection && FindInsertionPoint(mMousePoint, mSnap, *mCurves, *mSelection, viewport, curve, point);
  if (curve) {
    mPreviewPoint = point;
  } else if (CanMap(viewport)) {
    // No target: the marker still follows the cursor.
    Vector2D<double> p = WindowToWorld(viewport, mMousePoint);
    SnapSettings::Snap(p, mSnap, viewport);
    mPreviewPoint = p;
  }
  emit notifyLayerChanged();
}

bool InsertKeyframeLayer::handleEvent(QEvent* event, Viewport& viewport) {
  if (!event) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    // A second click soon after the first inserts too, instead of reaching
    // the curve layer as a whole-curve selection.
    case QEvent::MouseButtonDblClick: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (e->button() != Qt::LeftButton) return false;
      mMousePoint = RoundedPixel(e->localPos());
      mSnap = ModeSnap(e->modifiers().testFlag(Qt::ControlModifier));
      if (const auto manager = getManager())
        InsertKeyframeAt(mMousePoint, mSnap, mCurves, mSelection, viewport, *manager);
      // A press with no move before it (the mode turned on under a still
      // pointer) shows the marker too.
      mHasMouse = true;
      updatePreview(viewport);
      return true;
    }
    case QEvent::MouseMove: {
      auto* e = static_cast<QMouseEvent*>(event);
      mMousePoint = RoundedPixel(e->localPos());
      mHasMouse = true;
      mSnap = ModeSnap(e->modifiers().testFlag(Qt::ControlModifier));
      updatePreview(viewport);
      return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (event->type() == QEvent::KeyPress && (key == Qt::Key_Escape || key == Qt::Key_Insert)) {
        removeFromManager();
        return true;
      }
      // Control alone changes where a click would insert: the marker shows it.
      if (key == Qt::Key_Control) {
        mSnap = ModeSnap(event->type() == QEvent::KeyPress);
        if (mHasMouse) updatePreview(viewport);
      }
      return false;
    }
    case QEvent::Leave:
      mHasMouse = false;
      emit notifyLayerChanged();
      return false;
    default:
      return false;
  }
}

void InsertKeyframeLayer::draw(const Viewport& viewport) const {
  if (!mHasMouse || !mColors || !CanMap(viewport)) return;
  const Rectangle<double>& world = viewport.getWorldBounds();
  const Rectangle<double>& window = viewport.getWindowBounds();
  const double px = world.width / window.width, py = world.height / window.height;
  const double fontHeight = mFontMetrics.height();
  const double x = mPreviewPoint.x, y = mPreviewPoint.y;
  // What GL gets is relative to the origin, subtracted in double.
  const Vector2D<double> o = viewport.getOrigin();
  const double rx = x - o.x, ry = y - o.y;
  const double left = world.x - o.x, right = left + world.width;
  const double bottom = world.y - o.y, lineTop = bottom + world.height - fontHeight * py;
  for (double v : {rx, left, right, bottom, lineTop}) {
    if (!FitsGL(v)) return;
  }

  GLAttributeSentry sentry(cMarkerState);
  const GLRelativeProjection projection(viewport);
  BeginSmoothLines(1.5f);
  const QColor& marker = mColors->getColor(ColorRole::InsertionMarker);
  SetGLColor(marker);
  glBegin(GL_LINES);
  // The top strip is left to the label.
  glVertex2d(rx, bottom);
  glVertex2d(rx, lineTop);
  if (mOnCurve && FitsGL(ry)) {
    glVertex2d(left, ry);
    glVertex2d(right, ry);
  }
  glEnd();

  const int decimals = LabelDecimals(mSnap, px);
  // A hair below zero would read "-0.0".
  const double shown = std::fabs(x) < 0.5 * std::pow(10.0, -decimals) ? 0.0 : x;
  QString text;
  text.setNum(shown, 'f', decimals);
  const double textWidth = mFontMetrics.horizontalAdvance(text);
  const double labelX = window.x + (x - world.x) / px - 0.5 * textWidth;
  // Beyond this a label is far off screen, and no int holds its position.
  if (!(std::fabs(labelX) < 1e9)) return;
  const int ix = static_cast<int>(labelX);
  const int iy = static_cast<int>(fontHeight) - 2;
  const Vector2D<double> corner = WindowToRelative(viewport, Vector2D<double>(ix, iy));
  const Rectangle<double> behind(corner.x, corner.y, textWidth * px, fontHeight * py);
  for (double v : {behind.x, behind.y, behind.x + behind.width, behind.y + behind.height}) {
    if (!FitsGL(v)) return;
  }
  DrawTransparentRectangle(behind, mColors->getColor(ColorRole::Background), cLabelBackgroundAlpha);
  emit requestDrawText(ix, iy, text, mColors->getColor(ColorRole::ReadoutText));
}

void InsertKeyframeLayer::containerChanged(Tessal::FCurveContainer&) {
  // The manager may hold the last reference: stay alive until this returns.
  const std::shared_ptr<Layer> self = sharedFromThis();
  removeFromManager();
}

void InsertKeyframeLayer::colorsChanged() { emit notifyLayerChanged(); }

void InsertKeyframeLayer::viewportChanged(const Viewport& viewport) {
  if (mHasMouse) updatePreview(viewport);
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
