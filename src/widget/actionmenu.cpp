// The widget's context menu, its display toggles and its snapping modes.
// The menu is built once; a host reaches the same actions through
// getContextMenu() for its own menus and toolbars.
#include <arvelle/graphwidget.h>

#include <arvelle/layer.h>

#include "layers/curvelayer.h"

#include <tessal/interpolator.h>
#include <tessal/queries.h>

#include <QAction>
#include <QKeySequence>
#include <QSignalMapper>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

namespace {

// In code order: the index is the type stored on the tangent.
const char* const cTangentTypeLabels[] = {"Fixed", "Flat", "Linear", "Smooth", "Smooth Normal", "Clamped", "Plateau"};

// The factory's placeholder for "no interpolator"; never a choice.
const char* const cHiddenInterpolator = "x";

}  // namespace

void GraphWidget::buildActionMenu() {
  // Actions live as long as the widget, whose children they are; the menu
  // holds them in its submenus.
  auto add = [this](QMenu* menu, const QString& text, void (GraphWidget::*slot)()) {
    QAction* action = new QAction(text, this);
    connect(action, &QAction::triggered, this, slot);
    menu->addAction(action);
    return action;
  };

  QMenu* frame = mContextMenu.addMenu(QStringLiteral("Frame"));
  add(frame, QStringLiteral("Frame\tF"), &GraphWidget::triggerFrameAuto);
  QMenu* all = frame->addMenu(QStringLiteral("All"));
  add(all, QStringLiteral("Frame All\tA"), &GraphWidget::triggerFrameAll);
  add(all, QStringLiteral("Frame All X Only"), &GraphWidget::triggerFrameAllX);
  add(all, QStringLiteral("Frame All Y Only"), &GraphWidget::triggerFrameAllY);
  QMenu* selected = frame->addMenu(QStringLiteral("Selected"));
  add(selected, QStringLiteral("Frame Selected"), &GraphWidget::triggerFrameSelected);
  add(selected, QStringLiteral("Frame Selected X Only"), &GraphWidget::triggerFrameSelectedX);
  add(selected, QStringLiteral("Frame Selected Y Only"), &GraphWidget::triggerFrameSelectedY);

  QMenu* show = mContextMenu.addMenu(QStringLiteral("Show"));
  add(show, QStringLiteral("Domain Slider\tD"), &GraphWidget::triggerDomainSlider);
  add(show, QStringLiteral("Acceleration"), &GraphWidget::triggerAcceleration);
  add(show, QStringLiteral("Velocity"), &GraphWidget::triggerVelocity);
  add(show, QStringLiteral("Heads Up Labels\tH"), &GraphWidget::triggerLabels);

  QMenu* snapping = mContextMenu.addMenu(QStringLiteral("Grid Snapping"));
  add(snapping, QStringLiteral("Cycle Snapping\tS"), &GraphWidget::triggerSnapping);
  add(snapping, QStringLiteral("X Snapping Off"), &GraphWidget::triggerSnappingXOff);
  add(snapping, QStringLiteral("X Snap to Integers"), &GraphWidget::triggerSnappingXInt);
  add(snapping, QStringLiteral("X Snap to Grid"), &GraphWidget::triggerSnappingXGrid);
  add(snapping, QStringLiteral("Y Snapping Off"), &GraphWidget::triggerSnappingYOff);
  add(snapping, QStringLiteral("Y Snap to Grid"), &GraphWidget::triggerSnappingYGrid);

  QMenu* segment = mContextMenu.addMenu(QStringLiteral("Segment Type"));
  auto* segmentMapper = new QSignalMapper(this);
  const auto namesEnd = Tessal::InterpolatorFactory::end();
  for (auto it = Tessal::InterpolatorFactory::begin(); it != namesEnd; ++it) {
    if (*it == cHiddenInterpolator) continue;
    const QString name = QString::fromStdString(*it);
    QAction* action = new QAction(name, this);
    connect(action, &QAction::triggered, segmentMapper, qOverload<>(&QSignalMapper::map));
    segmentMapper->setMapping(action, name);
    segment->addAction(action);
  }
  connect(segmentMapper, &QSignalMapper::mappedString, this, &GraphWidget::triggerSetSegmentType);

  QMenu* keyframe = mContextMenu.addMenu(QStringLiteral("Keyframe"));
  add(keyframe, QStringLiteral("Lock"), &GraphWidget::triggerLockKeyframes);
  add(keyframe, QStringLiteral("Unlock"), &GraphWidget::triggerUnlockKeyframes);
  QAction* insert = new QAction(
      QStringLiteral("Insert Points\t") + QKeySequence(Qt::Key_Insert).toString(QKeySequence::PortableText), this);
  connect(insert, &QAction::triggered, this, [this] { insertKeyframeLayer(nullptr); });
  keyframe->addAction(insert);
  add(keyframe,
      QStringLiteral("Delete\t") + QKeySequence(QKeySequence::Delete).toString(QKeySequence::PortableText),
      &GraphWidget::triggerDeleteKeyframes);
  add(keyframe, QStringLiteral("Breakdown"), &GraphWidget::triggerBreakdownKeyframes);
  // Reachable for hosts and their shortcuts, not offered in the menu.
  add(keyframe, QStringLiteral("Copy"), &GraphWidget::triggerCopyKeyframes)->setVisible(false);
  add(keyframe, QStringLiteral("Paste"), &GraphWidget::triggerPasteKeyframes)->setVisible(false);

  QMenu* tangent = mContextMenu.addMenu(QStringLiteral("Tangent"));
  add(tangent, QStringLiteral("Weighted"), &GraphWidget::triggerWeightedTangents);
  QMenu* type = tangent->addMenu(QStringLiteral("Type"));
  auto* tangentMapper = new QSignalMapper(this);
  int code = 0;
  for (const char* label : cTangentTypeLabels) {
    QAction* action = new QAction(QString::fromLatin1(label), this);
    connect(action, &QAction::triggered, tangentMapper, qOverload<>(&QSignalMapper::map));
    tangentMapper->setMapping(action, code++);
    type->addAction(action);
  }
  connect(tangentMapper, &QSignalMapper::mappedInt, this, &GraphWidget::triggerSetTangentType);

  QMenu* transform = mContextMenu.addMenu(QStringLiteral("Transform"));
  add(transform, QStringLiteral("Bake"), &GraphWidget::triggerBakeCurves);
  add(transform, QStringLiteral("Smooth..."), &GraphWidget::triggerSmoothCurvesDialog);
  add(transform, QStringLiteral("Flip..."), &GraphWidget::triggerFlipCurvesDialog);
  add(transform, QStringLiteral("Scale && Offset..."), &GraphWidget::triggerTransformCurvesDialog);
}

// ---------------------------------------------------------------- display

namespace {

// Each selected curve flips on its own, so a mixed selection stays mixed;
// the curve's notification repaints whoever draws it.
void FlipCurveFlag(Tessal::Selection& selection, bool (*is)(const Tessal::FCurve&),
                   void (*set)(Tessal::FCurve&, bool)) {
  const auto end = Tessal::EndSelectedCurves(selection);
  for (auto it = Tessal::BeginSelectedCurves(selection); it != end; ++it) {
    if (const auto& curve = it->getCurve()) {
      set(*curve, !is(*curve));
      curve->notifyChanged();
    }
  }
}

}  // namespace

void GraphWidget::triggerVelocity() {
  FlipCurveFlag(*mSelection, &Tessal::IsVelocityVisible, &Tessal::SetVelocityVisible);
}

void GraphWidget::triggerAcceleration() {
  FlipCurveFlag(*mSelection, &Tessal::IsAccelerationVisible, &Tessal::SetAccelerationVisible);
}

void GraphWidget::triggerLabels() {
  if (auto* layer = dynamic_cast<CurveLayer*>(mRootLayer->findLayer("Curve Layer").get())) {
    layer->setLabelsVisible(!layer->labelsVisible());
    // The flag alone repaints nothing; from a menu or a host's toolbar the
    // change would wait for the next unrelated repaint.
    update();
  }
}

// ---------------------------------------------------------------- snapping

void GraphWidget::triggerSnapping() {
  SnapSettings s = getSnapSettings();
  if (!s.isSnappingX()) {
    s.setSnappingX(true);
    s.setIncrementX(1.0);
    s.setSnappingY(false);
  } else if (!s.isSnappingY()) {
    s.setSnappingY(true);
    s.setIncrementX(SnapSettings::cSnapToGrid);
    s.setIncrementY(SnapSettings::cSnapToGrid);
  } else {
    s.setSnappingX(false);
    s.setSnappingY(false);
  }
  setSnapSettings(s);
}

void GraphWidget::triggerSnappingXOff() {
  SnapSettings s = getSnapSettings();
  s.setSnappingX(false);
  setSnapSettings(s);
}

void GraphWidget::triggerSnappingXInt() {
  SnapSettings s = getSnapSettings();
  s.setSnappingX(true);
  s.setIncrementX(1.0);
  setSnapSettings(s);
}

void GraphWidget::triggerSnappingXGrid() {
  SnapSettings s = getSnapSettings();
  s.setSnappingX(true);
  s.setIncrementX(SnapSettings::cSnapToGrid);
  setSnapSettings(s);
}

void GraphWidget::triggerSnappingYOff() {
  SnapSettings s = getSnapSettings();
  s.setSnappingY(false);
  setSnapSettings(s);
}

void GraphWidget::triggerSnappingYGrid() {
  SnapSettings s = getSnapSettings();
  s.setSnappingY(true);
  s.setIncrementY(SnapSettings::cSnapToGrid);
  setSnapSettings(s);
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
