#include <tessal/container.h>

#include "internal.h"

#include <algorithm>
#include <atomic>

ZENTHO_TESSAL_NAMESPACE_BEGIN

namespace {

// Container order is one process-wide sequence rather than a position: a
// record made of a curve keeps its number, so ordered sets of records stay
// ordered when other curves are removed, and a curve added later always
// sorts after the curves already shown.
std::uint64_t NextContainerOrder() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

ContainerObserver::~ContainerObserver() = default;
void ContainerObserver::containerChanged(FCurveContainer&) {}

std::uint64_t Private::Access::stamp(const FCurveContainer& container) { return container.mStamp; }
// A fresh value, not a count: a container destroyed and another made at its
// address must not meet an old stamp.
void Private::Access::touch(FCurveContainer& container) { container.mStamp = Private::NewSerial(); }

FCurveContainer::~FCurveContainer() {
  for (const auto& c : mCurves) forget(*c);
}

// The curve no longer lists this container.
void FCurveContainer::forget(const FCurve& curve) {
  auto& m = Private::Access::memberships(const_cast<FCurve&>(curve));
  m.erase(std::remove_if(m.begin(), m.end(), [this](const FCurve::Membership& x) { return x.container == this; }),
          m.end());
}

bool FCurveContainer::addCurve(std::shared_ptr<FCurve> curve) {
  if (!curve || contains(*curve)) return false;
  Private::Access::memberships(*curve).push_back({this, NextContainerOrder()});
  mCurves.push_back(std::move(curve));
  // Selection walks list only the curves held here: they must be rebuilt.
  Private::Access::touch(*this);
  notifyChanged();
  return true;
}

bool FCurveContainer::removeCurve(const std::shared_ptr<FCurve>& curve) {
  return curve ? removeCurve(*curve) : false;
}

bool FCurveContainer::removeCurve(const FCurve& curve) {
  auto it = std::find_if(mCurves.begin(), mCurves.end(),
                         [&](const std::shared_ptr<FCurve>& c) { return c.get() == &curve; });
  if (it == mCurves.end()) return false;
  // Keep the curve alive until the observers have heard: one of them may
  // hold the last other reference and look at it.
  std::shared_ptr<FCurve> hold = std::move(*it);
  mCurves.erase(it);
  forget(*hold);
  Private::Access::touch(*this);
  notifyChanged();
  return true;
}

void FCurveContainer::clear() {
  if (mCurves.empty()) return;
  std::vector<std::shared_ptr<FCurve>> hold;
  hold.swap(mCurves);
  for (const auto& c : hold) forget(*c);
  Private::Access::touch(*this);
  notifyChanged();
}

bool FCurveContainer::contains(const FCurve& curve) const {
  // A linear scan: an editor shows tens of curves, and a set would cost a
  // second copy of every pointer for no measurable gain.
  return std::any_of(mCurves.begin(), mCurves.end(),
                     [&](const std::shared_ptr<FCurve>& c) { return c.get() == &curve; });
}

void FCurveContainer::subscribe(ContainerObserver& observer) { mObservers.subscribe(observer); }
void FCurveContainer::unsubscribe(ContainerObserver& observer) { mObservers.unsubscribe(observer); }

void FCurveContainer::notifyChanged() {
  mObservers.notify([this](ContainerObserver& o) { o.containerChanged(*this); });
}

ZENTHO_TESSAL_NAMESPACE_END
