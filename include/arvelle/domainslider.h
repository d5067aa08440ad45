// The domain slider model: a cursor at one x value (typically time) that can
// be shown and hidden. Observers follow it.
#pragma once

#include <arvelle/version.h>

#include <tessal/observer.h>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

class DomainSlider;

class ZENTHO_ARVELLE_EXPORT DomainSliderObserver : public Tessal::TrackedObserver {
 public:
  DomainSliderObserver() = default;
  ~DomainSliderObserver() override;
  virtual void shown(DomainSlider& slider);
  virtual void hidden(DomainSlider& slider);
  virtual void valueChanged(DomainSlider& slider);
};

class ZENTHO_ARVELLE_EXPORT DomainSlider {
 public:
  // Hidden, at 0.
  DomainSlider() = default;
  DomainSlider(const DomainSlider&) = delete;
  DomainSlider& operator=(const DomainSlider&) = delete;

  double getValue() const { return mValue; }
  bool isVisible() const { return mVisible; }

  // Each notifies only on a real change.
  void setValue(double value);
  void show();
  void hide();

  void subscribe(DomainSliderObserver& observer) { mObservers.subscribe(observer); }
  void unsubscribe(DomainSliderObserver& observer) { mObservers.unsubscribe(observer); }
  bool isSubscribed(const DomainSliderObserver& observer) const { return mObservers.isSubscribed(observer); }

 private:
  Tessal::Subject<DomainSliderObserver> mObservers;
  double mValue = 0.0;
  bool mVisible = false;
};

ZENTHO_ARVELLE_NAMESPACE_END
