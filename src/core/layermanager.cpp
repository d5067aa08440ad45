#include <arvelle/layer.h>

#include "core/viewmath.h"

#include <QEvent>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QUndoCommand>

#include <cmath>
#include <cstring>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

LayerManager::LayerManager() = default;

LayerManager::LayerManager(const char* name) : Layer(name) {}

LayerManager::~LayerManager() = default;

LayerManager::Entries::iterator LayerManager::findActive(const Layer* layer) {
  for (auto it = mChildren.begin(); it != mChildren.end(); ++it) {
    if (it->active && it->layer.get() == layer) return it;
  }
  return mChildren.end();
}

void LayerManager::pushLayer(std::shared_ptr<Layer> layer) { insertLayer(std::move(layer), nullptr); }

void LayerManager::insertLayer(std::shared_ptr<Layer> layer, std::shared_ptr<Layer> after) {
  if (!layer) return;
  // A manager inside itself would walk forever.
  for (const LayerManager* m = this; m; m = m->getManager().get()) {
    if (m == layer.get()) return;
  }
  // One place per layer: two entries would draw it twice and chain its
  // signal twice.
  if (auto previous = layer->getManager()) previous->removeLayer(layer);

  auto position = mChildren.begin();
  if (after) {
    auto it = findActive(after.get());
    // An after that is not a child puts the layer on top.
    if (it != mChildren.end()) position = std::next(it);
  }
  mChildren.insert(position, Entry{layer, true});
  connect(layer.get(), &Layer::notifyLayerChanged, this, &Layer::notifyLayerChanged);
  layer->setManager(std::static_pointer_cast<LayerManager>(sharedFromThis()));
  emit notifyLayerChanged();
}

void LayerManager::removeLayer(std::shared_ptr<Layer> layer) {
  auto it = findActive(layer.get());
  if (it == mChildren.end()) return;
  layer->setManager(nullptr);
  // A layer the host keeps after removal must not repaint us any more.
  disconnect(layer.get(), &Layer::notifyLayerChanged, this, &Layer::notifyLayerChanged);
  if (mWalkDepth == 0) {
    mChildren.erase(it);
  } else {
    it->active = false;
    mHasInactive = true;
  }
  emit notifyLayerChanged();
}

std::shared_ptr<Layer> LayerManager::findLayer(const char* name) {
  if (!name) return {};
  if (std::strcmp(getName(), name) == 0) return sharedFromThis();
  for (const auto& child : *this) {
    if (std::strcmp(child->getName(), name) == 0) return child;
    if (auto manager = std::dynamic_pointer_cast<LayerManager>(child)) {
      if (auto found = manager->findLayer(name)) return found;
    }
  }
  return {};
}

std::size_t LayerManager::numChildren() const {
  std::size_t n = 0;
  for (const auto& e : mChildren) n += e.active ? 1 : 0;
  return n;
}

void LayerManager::handleUndoCommand(QUndoCommand* command) const {
  if (!command) return;
  if (auto manager = getManager()) {
    manager->handleUndoCommand(command);
  } else if (isSignalConnected(QMetaMethod::fromSignal(&LayerManager::undoCommandGenerated))) {
    emit undoCommandGenerated(command);
  } else {
    // Nobody can take ownership of it.
    delete command;
  }
}

void LayerManager::endWalk() const {
  if (--mWalkDepth == 0 && mHasInactive) {
    for (auto it = mChildren.begin(); it != mChildren.end();) {
      it = it->active ? std::next(it) : mChildren.erase(it);
    }
    mHasInactive = false;
  }
}

void LayerManager::draw(const Viewport& viewport) const {
  // A layer that leaves the tree while drawing must not pull the list from
  // under this walk.
  beginWalk();
  struct Guard {
    const LayerManager* m;
    ~Guard() { m->endWalk(); }
  } guard{this};
  for (auto it = mChildren.rbegin(); it != mChildren.rend(); ++it) {
    if (it->active && it->layer->isVisible()) it->layer->draw(viewport);
  }
}

bool LayerManager::handleEvent(QEvent* event, Viewport& viewport) {
  // A handler may drop the last reference to this manager.
  const std::shared_ptr<Layer> self = sharedFromThis();
  beginWalk();
  struct Guard {
    const LayerManager* m;
    ~Guard() { m->endWalk(); }
  } guard{this};

  if (event && event->type() == QEvent::MouseMove) {
    const QPointF p = static_cast<QMouseEvent*>(event)->localPos();
    mLastMousePoint = RoundedPixel(p);
  }
  for (auto it = mChildren.begin(); it != mChildren.end(); ++it) {
    if (!it->active || !it->layer->isInteractive()) continue;
    // The entry keeps the child alive until the walk ends, even if removed.
    if (it->layer->handleEvent(event, viewport)) return true;
  }
  return false;
}

void LayerManager::layerChanged(const Layer&) { emit notifyLayerChanged(); }

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
