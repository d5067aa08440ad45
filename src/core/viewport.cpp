#include <arvelle/viewport.h>

#include <cmath>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

ViewportObserver::~ViewportObserver() = default;

void ViewportObserver::viewportChanged(const Viewport&) {}

Viewport::Viewport() = default;

Viewport::Viewport(const Tessal::Rectangle<double>& windowBounds, const Tessal::Rectangle<double>& worldBounds)
    : mWindowBounds(windowBounds), mWorldBounds(worldBounds) {}

void Viewport::store(Tessal::Rectangle<double>& field, const Tessal::Rectangle<double>& value) {
  // Exact comparison: any real change, however small, must reach observers.
  if (field == value) return;
  field = value;
  notifyViewportChanged();
}

void Viewport::setWindowBounds(const Tessal::Rectangle<double>& bounds) { store(mWindowBounds, bounds); }

void Viewport::setWorldBounds(const Tessal::Rectangle<double>& bounds) {
  // A view that cannot be shown would blank the widget and poison every
  // mapping; the one there stays.
  const bool finite = std::isfinite(bounds.x) && std::isfinite(bounds.y) && std::isfinite(bounds.width) &&
                      std::isfinite(bounds.height) && std::isfinite(bounds.x + bounds.width) &&
                      std::isfinite(bounds.y + bounds.height);
  if (!finite || !(bounds.width > 0) || !(bounds.height > 0)) return;
  store(mWorldBounds, bounds);
}

void Viewport::setWorldLimits(const Tessal::Rectangle<double>& limits) {
  // A box without area is no box: readers test for all zero.
  if (!(limits.width > 0) || !(limits.height > 0)) {
    store(mWorldLimits, Tessal::Rectangle<double>(0, 0, 0, 0));
  } else {
    store(mWorldLimits, limits);
  }
}

void Viewport::setWindowBounds(float x, float y, float width, float height) {
  setWindowBounds(Tessal::Rectangle<double>(x, y, width, height));
}

void Viewport::setWorldBounds(float x, float y, float width, float height) {
  setWorldBounds(Tessal::Rectangle<double>(x, y, width, height));
}

void Viewport::setWorldLimits(float x, float y, float width, float height) {
  setWorldLimits(Tessal::Rectangle<double>(x, y, width, height));
}

void Viewport::notifyViewportChanged() {
  mObservers.notify([this](ViewportObserver& o) { o.viewportChanged(*this); });
}

ZENTHO_ARVELLE_NAMESPACE_END
