#include <arvelle/domainslider.h>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

DomainSliderObserver::~DomainSliderObserver() = default;

void DomainSliderObserver::shown(DomainSlider&) {}

void DomainSliderObserver::hidden(DomainSlider&) {}

void DomainSliderObserver::valueChanged(DomainSlider&) {}

void DomainSlider::setValue(double value) {
  if (value == mValue) return;
  mValue = value;
  mObservers.notify([this](DomainSliderObserver& o) { o.valueChanged(*this); });
}

void DomainSlider::show() {
  if (mVisible) return;
  mVisible = true;
  mObservers.notify([this](DomainSliderObserver& o) { o.shown(*this); });
}

void DomainSlider::hide() {
  if (!mVisible) return;
  mVisible = false;
  mObservers.notify([this](DomainSliderObserver& o) { o.hidden(*this); });
}

ZENTHO_ARVELLE_NAMESPACE_END
