// Selecting by dragging a rectangle over empty space: a short-lived layer
// the curve layer pushes at a left press that hits nothing. While the button
// is held the selection is what was selected before combined with what the
// rectangle covers now (plain: only the covered items; Shift: added;
// Control: removed), and everything outside the rectangle is shaded. Not
// undoable.
#pragma once

#include <arvelle/graphviewcolors.h>
#include <arvelle/layer.h>

#include <tessal/container.h>
#include <tessal/selection.h>

#include <memory>
#include <set>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

class DragDelay;

class RubberbandLayer : public Layer {
  Q_OBJECT

 public:
  RubberbandLayer(std::shared_ptr<Tessal::FCurveContainer> curves, std::shared_ptr<Tessal::Selection> selection,
                  std::shared_ptr<GraphViewColors> colors);
  ~RubberbandLayer() override;

  // Left press, moves and the left release; nothing else.
  bool handleEvent(QEvent* event, Viewport& viewport) override;
  // The shading and the outline, only while dragging.
  void draw(const Viewport& viewport) const override;

 private:
  using Records = std::set<Tessal::HitRecord, Tessal::CompareRecord>;

  bool mAdd = false;
  bool mSubtract = false;
  std::unique_ptr<DragDelay> mDelay;
  Tessal::Vector2D<double> mStart;
  Tessal::Vector2D<double> mCurrent;
  std::shared_ptr<Tessal::FCurveContainer> mCurves;
  Records mInitialSelection;
  Records mBand;
  std::shared_ptr<Tessal::Selection> mSelection;
  std::shared_ptr<GraphViewColors> mColors;
};

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
