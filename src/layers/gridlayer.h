// The zoom-adaptive grid: minor lines fading in as they spread apart, major
// lines every ten minor ones, the two axes, and numeric labels along the
// bottom and left edges. It is also where pan and zoom start: the wheel and
// the +, = and - keys zoom one step, a middle press starts a pan and an
// Alt + right press a zoom drag (while the viewport allows pan and zoom).
#pragma once

#include <arvelle/graphviewcolors.h>
#include <arvelle/layer.h>
#include <arvelle/viewport.h>

#include <QFont>
#include <QFontMetrics>

#include <memory>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

class GridLayer : public Layer, public ViewportObserver, public ColorsObserver {
  Q_OBJECT

 public:
  // Subscribes to the viewport without keeping it; the font is measured for
  // the labels, which the widget draws in its own font.
  GridLayer(Viewport& viewport, std::shared_ptr<GraphViewColors> colors, const QFont& font);
  ~GridLayer() override;

  void draw(const Viewport& viewport) const override;
  // Where the plot begins right of the y labels, in widget pixels: the
  // window's left edge while this layer is hidden or cannot draw the view.
  double plotLeft(const Viewport& viewport) const;
  bool handleEvent(QEvent* event, Viewport& viewport) override;

  void viewportChanged(const Viewport& viewport) override;
  void colorsChanged() override;

 private:
  std::shared_ptr<GraphViewColors> mColors;
  QFontMetrics mFontMetrics;
};

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
