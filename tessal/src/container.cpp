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

FCurveContainer::~FCurveContainer() = default;

bool FCurveContainer::addCurve(std::shared_ptr<FCurve> curve) {
  if (!curve || contains(*curve)) return false;
  Private::Access::setContainerOrder(*curve, NextContainerOrder());
  mCurves.push_back(std::move(curve));
  // Selection walks list only the curves held here: they must be rebuilt.
  Private::BumpStructureEpoch();
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
  Private::BumpStructureEpoch();
  notifyChanged();
  return true;
}

void FCurveContainer::clear() {
  if (mCurves.empty()) return;
  std::vector<std::shared_ptr<FCurve>> hold;
  hold.swap(mCurves);
  Private::BumpStructureEpoch();
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
