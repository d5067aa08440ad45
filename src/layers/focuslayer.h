// A 3-pixel frame around the view while the pointer is inside the widget,
// coloured by the snapping state: the focus colour while either axis snaps,
// the focus colour with its red channel inverted while neither does.
#pragma once

#include <arvelle/graphviewcolors.h>
#include <arvelle/layer.h>

#include <QColor>

#include <memory>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

class FocusLayer : public Layer, public ColorsObserver {
  Q_OBJECT

 public:
  explicit FocusLayer(std::shared_ptr<GraphViewColors> colors);
  ~FocusLayer() override;

  bool isPointerInside() const { return mPointerInside; }
  // The frame's colour for the current snap settings.
  QColor frameColor() const;

  void draw(const Viewport& viewport) const override;
  // Follows Enter and Leave without taking them; takes nothing.
  bool handleEvent(QEvent* event, Viewport& viewport) override;
  void colorsChanged() override;

 private:
  std::shared_ptr<GraphViewColors> mColors;
  bool mPointerInside = false;
};

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
