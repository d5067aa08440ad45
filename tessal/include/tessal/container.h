// The curves an editor shows, in order. Observers hear once per change. A
// curve may sit in several containers; its place in one never depends on
// another.
#pragma once

#include <tessal/fcurve.h>
#include <tessal/observer.h>

#include <cstdint>
#include <memory>
#include <vector>

ZENTHO_TESSAL_NAMESPACE_BEGIN

class FCurveContainer;

class ZENTHO_TESSAL_EXPORT ContainerObserver : public TrackedObserver {
 public:
  ~ContainerObserver() override;
  virtual void containerChanged(FCurveContainer& container);
};

namespace Private {
struct Access;
}

class ZENTHO_TESSAL_EXPORT FCurveContainer {
 public:
  using const_iterator = std::vector<std::shared_ptr<FCurve>>::const_iterator;
  using iterator = const_iterator;

  FCurveContainer() = default;
  ~FCurveContainer();
  FCurveContainer(const FCurveContainer&) = delete;
  FCurveContainer& operator=(const FCurveContainer&) = delete;

  // Appends (the curve sorts after every curve already here); a null curve
  // or one already held is ignored (false).
  bool addCurve(std::shared_ptr<FCurve> curve);
  // False when the curve is not held.
  bool removeCurve(const std::shared_ptr<FCurve>& curve);
  bool removeCurve(const FCurve& curve);
  void clear();

  std::size_t size() const { return mCurves.size(); }
  bool empty() const { return mCurves.empty(); }
  const_iterator begin() const { return mCurves.begin(); }
  const_iterator end() const { return mCurves.end(); }
  const std::shared_ptr<FCurve>& at(std::size_t i) const { return mCurves.at(i); }
  bool contains(const FCurve& curve) const;

  void subscribe(ContainerObserver& observer);
  void unsubscribe(ContainerObserver& observer);
  void notifyChanged();

 private:
  friend struct Private::Access;
  void forget(const FCurve& curve);

  std::vector<std::shared_ptr<FCurve>> mCurves;
  Subject<ContainerObserver> mObservers;
  std::uint64_t mStamp = 0;  // changes with the curves held and their entries
};

ZENTHO_TESSAL_NAMESPACE_END
