#include "layers/backgroundlayer.h"

#include <GL/gl.h>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

BackgroundLayer::BackgroundLayer(std::shared_ptr<GraphViewColors> colors)
    : Layer("Background Layer"), mColors(std::move(colors)) {
  if (mColors) mColors->subscribe(*this);
}

BackgroundLayer::~BackgroundLayer() = default;

void BackgroundLayer::draw(const Viewport&) const {
  if (!mColors) return;
  const QColor& c = mColors->getColor(ColorRole::Background);
  // Alpha 0 whatever the colour's own alpha.
  glClearColor(static_cast<GLclampf>(c.redF()), static_cast<GLclampf>(c.greenF()),
               static_cast<GLclampf>(c.blueF()), 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
}

void BackgroundLayer::colorsChanged() { emit notifyLayerChanged(); }

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
