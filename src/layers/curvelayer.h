// The layer that shows the curves: segments sampled at screen resolution,
// keyframe markers, tangent handles, optional name labels and derivative
// curves, coloured by selection, lock state and per-curve overrides. Hosts
// and dialogs find it by its name, "Curve Layer".
#pragma once

#include <arvelle/graphviewcolors.h>
#include <arvelle/layer.h>
#include <arvelle/version.h>

#include <tessal/container.h>
#include <tessal/fcurve.h>
#include <tessal/selection.h>

#include <QString>
#include <QStringList>

#include <cstddef>
#include <memory>

class QKeyEvent;
class QMouseEvent;

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

class GridLayer;

class CurveLayer : public Layer,
                   public Tessal::FCurveObserver,
                   public Tessal::ContainerObserver,
                   public Tessal::SelectionObserver,
                   public ColorsObserver {
  Q_OBJECT

 public:
  // Subscribes to every curve, the container, the selection and the colours.
  // Layers other than the widget's own take a name of their own, so that
  // "Curve Layer" always finds the widget's.
  CurveLayer(std::shared_ptr<Tessal::FCurveContainer> curves, std::shared_ptr<Tessal::Selection> selection,
             std::shared_ptr<GraphViewColors> colors, const char* name = "Curve Layer");
  ~CurveLayer() override;

  const std::shared_ptr<Tessal::FCurveContainer>& getCurves() const { return mCurves; }
  const std::shared_ptr<Tessal::Selection>& getSelection() const { return mSelection; }
  const std::shared_ptr<GraphViewColors>& getColors() const { return mColors; }

  // The item under the pointer; empty when there is none. Setting a
  // different item repaints.
  const Tessal::HitRecord& getHighlight() const { return mHighlight; }
  void setHighlight(const Tessal::HitRecord& highlight);
  void clearHighlight();

  // Hover highlighting and press handling.
  void enablePicking();
  void disablePicking();
  bool pickingEnabled() const { return mPicking; }

  // Off while a preview dims the live curves.
  void enableFullColor();
  void disableFullColor();
  bool hasFullColor() const { return mFullColor; }

  // Stored without notification; the caller repaints.
  bool labelsVisible() const { return mLabels; }
  void setLabelsVisible(bool visible) { mLabels = visible; }

  // The grid whose y labels the curves keep off: nothing is drawn left of
  // where its plot begins while it shows. Not kept alive; none by default.
  void setLabelGrid(std::weak_ptr<const GridLayer> grid) { mLabelGrid = std::move(grid); }

  void draw(const Viewport& viewport) const override;
  // Hover highlighting, click and modifier selection, double-click selection
  // of a whole curve, and the start of every drag: a rubber band on empty
  // space, a keyframe drag on a key or an arrow key, a tangent drag on a
  // handle (curvelayerinput.cpp).
  bool handleEvent(QEvent* event, Viewport& viewport) override;
  // Vertices the last draw handed to GL, for measurements.
  std::size_t drawnVertexCount() const { return mDrawnVertices; }

  // Observer reactions.
  void curveChanged(Tessal::FCurve& curve) override;
  void containerChanged(Tessal::FCurveContainer& container) override;
  void selectionChanged(Tessal::Selection& selection) override;
  void colorsChanged() override;

  // Each name shortened to its shallowest "."-separated suffix that no
  // other name shares; a name without one stays whole.
  static QStringList ShortenLabels(const QStringList& names);

 private:
  void drawLabels(const Viewport& viewport) const;
  bool mousePress(QMouseEvent* event, Viewport& viewport);
  void doubleClick(QMouseEvent* event, const Viewport& viewport);
  bool arrowKey(QKeyEvent* event, Viewport& viewport);
  // Offers the event to a new interaction layer and pushes it on this
  // layer's manager when it takes it.
  bool startGesture(const std::shared_ptr<Layer>& layer, QEvent* event, Viewport& viewport);

  std::shared_ptr<Tessal::FCurveContainer> mCurves;
  std::shared_ptr<GraphViewColors> mColors;
  std::shared_ptr<Tessal::Selection> mSelection;
  std::weak_ptr<const GridLayer> mLabelGrid;
  Tessal::HitRecord mHighlight;
  bool mPicking = true;
  bool mFullColor = true;
  bool mLabels = false;
  mutable std::size_t mDrawnVertices = 0;
};

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
