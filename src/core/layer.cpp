#include <arvelle/layer.h>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

SnapSettings Layer::mSnapSettings;

Layer::Layer() = default;

Layer::Layer(const char* name) : mName(name ? name : "") {}

Layer::~Layer() = default;

void Layer::setVisible(bool visible) {
  if (mVisible == visible) return;
  mVisible = visible;
  emit notifyLayerChanged();
}

void Layer::setInteractive(bool interactive) {
  if (mInteractive == interactive) return;
  mInteractive = interactive;
  emit notifyLayerChanged();
}

void Layer::removeFromManager() {
  if (auto manager = getManager()) manager->removeLayer(sharedFromThis());
}

void Layer::draw(const Viewport&) const {}

bool Layer::handleEvent(QEvent*, Viewport&) { return false; }

std::shared_ptr<LayerManager> GetRootLayer(std::shared_ptr<Layer> layer) {
  if (!layer) return {};
  std::shared_ptr<LayerManager> manager = layer->getManager();
  if (!manager) return std::dynamic_pointer_cast<LayerManager>(layer);
  while (auto above = manager->getManager()) manager = above;
  return manager;
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
