// Panning and zooming the view: a short-lived layer for one middle-button pan
// or right-button zoom drag, and the discrete zoom step of the wheel and the
// zoom keys. Both only rewrite the viewport's world rectangle.
#pragma once

#include <arvelle/layer.h>

#include <tessal/types.h>

#include <memory>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

class DragConstraint;
class Viewport;
class XYDragConstraint;

// One zoom step (in: the view shrinks by 0.8, out: grows by 1.25) keeping the
// world point under the window point fixed; a null point zooms about the
// view's centre. Width and height are each kept within [0.001, 100000].
void ZoomViewport(Viewport& viewport, bool zoomIn, const Tessal::Vector2D<double>* point);

// Pushed on top of its manager by the grid layer at a middle press (Pan) or an
// Alt + right press (Zoom); takes every mouse press, move and release until
// the last button that drives it is released, then removes itself. Shift seen
// during the drag locks it to the axis of the first real motion.
class PanZoomLayer : public Layer {
  Q_OBJECT

 public:
  enum Mode { None, Pan, Zoom };

  // anchor: the press position, in whole window pixels.
  PanZoomLayer(Mode mode, const Tessal::Vector2D<double>& anchor, const Viewport& viewport);
  ~PanZoomLayer() override;

  Mode getMode() const { return mMode; }

  // Mouse presses, moves and releases are consumed; nothing else is.
  bool handleEvent(QEvent* event, Viewport& viewport) override;

 private:
  void enterMode(Mode mode, Tessal::Vector2D<double> anchor, const Viewport& viewport);
  void mouseMove(const Tessal::Vector2D<double>& position, bool shift, Viewport& viewport);
  void end();

  Mode mMode = None;
  std::unique_ptr<XYDragConstraint> mConstraint;
  double mPanScaleX = 0.0;
  double mPanScaleY = 0.0;
  Tessal::Vector2D<double> mAnchor;
  Tessal::Vector2D<double> mPanOrigin;
  Tessal::Rectangle<double> mZoomStart{0, 0, 0, 0};
  double mZoomAspect = 1.0;
};

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
