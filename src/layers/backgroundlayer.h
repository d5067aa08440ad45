// The bottom of the picture: clears the surface to the background colour.
#pragma once

#include <arvelle/graphviewcolors.h>
#include <arvelle/layer.h>

#include <memory>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

class BackgroundLayer : public Layer, public ColorsObserver {
  Q_OBJECT

 public:
  explicit BackgroundLayer(std::shared_ptr<GraphViewColors> colors);
  ~BackgroundLayer() override;

  void draw(const Viewport& viewport) const override;
  void colorsChanged() override;

 private:
  std::shared_ptr<GraphViewColors> mColors;
};

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
