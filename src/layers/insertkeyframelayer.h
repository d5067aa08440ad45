// Inserting keyframes with the mouse. The insertion mode, "Insert Keyframe
// Layer", shows a vertical marker at the x where a click would insert a key,
// labelled with that x, and a horizontal line at the key's value over a
// curve; each left click inserts one key as an undoable command. Escape,
// Insert or any change of the curve container ends the mode. The two
// routines below are shared with the curve layer's Ctrl+Alt click.
#pragma once

#include <arvelle/graphviewcolors.h>
#include <arvelle/layer.h>
#include <arvelle/snapsettings.h>
#include <arvelle/viewport.h>

#include <tessal/container.h>
#include <tessal/selection.h>

#include <QFont>
#include <QFontMetrics>

#include <memory>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

// The curve a key would go into for a window point, and the key's place on
// it: the curve under the point, or else the one selected curve. True only
// for the curve under the point. Locked and non-editable curves take no key.
bool FindInsertionPoint(const Tessal::Vector2D<double>& windowPoint, const SnapSettings& snap,
                        Tessal::FCurveContainer& curves, Tessal::Selection& selection, const Viewport& viewport,
                        std::shared_ptr<Tessal::FCurve>& curve, Tessal::Vector2D<double>& point);

// Inserts a key for the window point, when there is a target and the key
// keeps its distance from its neighbours and lies within the world limits:
// builds the command and hands it to the manager.
void InsertKeyframeAt(const Tessal::Vector2D<double>& windowPoint, const SnapSettings& snap,
                      const std::shared_ptr<Tessal::FCurveContainer>& curves,
                      const std::shared_ptr<Tessal::Selection>& selection, const Viewport& viewport,
                      LayerManager& manager);

class InsertKeyframeLayer : public Layer,
                            public Tessal::ContainerObserver,
                            public ViewportObserver,
                            public ColorsObserver {
  Q_OBJECT

 public:
  InsertKeyframeLayer(std::shared_ptr<Tessal::FCurveContainer> curves, std::shared_ptr<Tessal::Selection> selection,
                      std::shared_ptr<Viewport>& viewport, std::shared_ptr<GraphViewColors> colors, const QFont& font);
  ~InsertKeyframeLayer() override;

  bool handleEvent(QEvent* event, Viewport& viewport) override;
  void draw(const Viewport& viewport) const override;

  // Observer reactions: a container change ends the mode, a colour change
  // repaints, a view change moves the preview.
  void containerChanged(Tessal::FCurveContainer& container) override;
  void colorsChanged() override;
  void viewportChanged(const Viewport& viewport) override;

 private:
  // The preview point and the on-curve flag for the stored mouse point and
  // snap settings; repaints.
  void updatePreview(const Viewport& viewport);

  std::shared_ptr<Tessal::FCurveContainer> mCurves;
  std::shared_ptr<Tessal::Selection> mSelection;
  std::shared_ptr<GraphViewColors> mColors;
  QFontMetrics mFontMetrics;
  Tessal::Vector2D<double> mMousePoint;
  Tessal::Vector2D<double> mPreviewPoint;
  bool mHasMouse = false;
  bool mOnCurve = false;
  SnapSettings mSnap;
};

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
