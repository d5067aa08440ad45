// Curves, a selection over them and what edits leave behind: the full state
// of a curve (keys, handles, types, unified flags), the selection as a list
// of records, and the change types observers heard.
#pragma once

#include <arvelle/snapsettings.h>

#include <tessal/tessal.h>

#include <initializer_list>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

ZENTHO_TESSAL_NAMESPACE_BEGIN
inline void PrintTo(const Vector2D<double>& v, std::ostream* os) { *os << "(" << v.x << ", " << v.y << ")"; }
ZENTHO_TESSAL_NAMESPACE_END

namespace Edit {

namespace T = Zentho::Tessal;
using V = T::Vector2D<double>;

// Bezier keys with Smooth handles.
inline std::shared_ptr<T::FCurve> MakeCurve(const std::string& name, const std::vector<V>& keys) {
  auto curve = T::FCurve::create(name);
  T::FCurve::Switch hold(*curve);
  for (const V& k : keys) curve->insertSegment(T::Keyframe(k.x, k.y), T::Bezier::create());
  return curve;
}

inline std::shared_ptr<T::Keyframe> KeyAt(const T::FCurve& curve, int i) {
  return std::next(curve.begin(), i + 1).segment()->getLeftKey();
}

inline std::vector<V> KeyPositions(const T::FCurve& curve) {
  std::vector<V> r;
  for (auto it = std::next(curve.begin()); it != curve.end(); ++it) r.push_back(it.key()->get());
  return r;
}

inline Zentho::Arvelle::SnapSettings SnapX(double increment) {
  Zentho::Arvelle::SnapSettings s;
  s.setSnappingX(true);
  s.setIncrementX(increment);
  return s;
}

// Position, both handles, their types and the unified flag of every key.
using KeyState = std::tuple<V, V, V, int, int, bool>;
inline std::vector<KeyState> StateOf(const T::FCurve& curve) {
  std::vector<KeyState> r;
  for (auto it = std::next(curve.begin()); it != curve.end(); ++it) {
    const T::Keyframe& k = *it.key();
    const auto in = k.getInTangent(), out = k.getOutTangent();
    r.emplace_back(k.get(), in->get(), out->get(), in->getType(), out->getType(), k.isTangentsUnified());
  }
  return r;
}

// Two curves of five keys in one container.
struct Scene {
  Scene() {
    curves->addCurve(a);
    curves->addCurve(b);
  }
  void selectKeys(const std::shared_ptr<T::FCurve>& curve, std::initializer_list<int> keys) {
    selection->select(*curve);
    for (int i : keys) selection->select(*KeyAt(*curve, i));
  }
  std::vector<std::vector<KeyState>> state() const { return {StateOf(*a), StateOf(*b)}; }
  std::vector<T::HitRecord> selected() const {
    std::set<T::HitRecord, T::CompareRecord> s;
    T::GetSelected(*selection, s);
    return {s.begin(), s.end()};
  }

  std::shared_ptr<T::FCurveContainer> curves = std::make_shared<T::FCurveContainer>();
  std::shared_ptr<T::Selection> selection = std::make_shared<T::Selection>(curves);
  std::shared_ptr<T::FCurve> a = MakeCurve("a", {V(0, 0), V(1, 2), V(2, 1), V(3, 3), V(4, 0)});
  std::shared_ptr<T::FCurve> b = MakeCurve("b", {V(0, 5), V(2, 6), V(4, 5), V(6, 4), V(8, 5)});
};

// "<curve>:<change type>" for every notification of any curve.
class ChangeLog : public T::FCurveObserver {
 public:
  ChangeLog() { T::FCurve::subscribeGlobal(*this); }
  ~ChangeLog() override { T::FCurve::unsubscribeGlobal(*this); }
  void curveChanged(T::FCurve& curve) override {
    entries.push_back(curve.getName() + ":" + std::to_string(int(T::FCurve::getChangeType())));
  }
  std::vector<std::string> take() { return std::exchange(entries, {}); }
  std::vector<std::string> entries;
};

}  // namespace Edit
