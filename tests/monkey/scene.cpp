#include "monkey/scene.h"

#include "layers/curvelayer.h"
#include "widget/framing.h"

#include <arvelle/layer.h>

#include <cmath>
#include <iterator>
#include <sstream>

namespace Monkey {

std::vector<std::string> InterpolatorNames() {
  std::vector<std::string> names;
  for (auto it = T::InterpolatorFactory::begin(); it != T::InterpolatorFactory::end(); ++it)
    if (T::InterpolatorFactory::create(*it)) names.push_back(*it);
  return names;
}

namespace {

// Property names the library writes, and one of the test's own.
const char* const cPropertyNames[] = {"fc_ue", "fc_ui", "fc_se", "fc_si", "fc_st", "fc_ut", "fc_nocopy", "note"};

double Gap(Rng& rng) {
  const double p = rng.uniform(0, 1);
  if (p < 0.05) return T::Keyframe::getMinSeparation();
  if (p < 0.25) return rng.range(1, 3);
  if (p < 0.4) return rng.uniform(0.011, 0.3);
  return rng.uniform(0.3, 4);
}

unsigned char TangentCode(Rng& rng) {
  if (rng.chance(0.05)) return static_cast<unsigned char>(rng.chance(0.5) ? 7 : 255);
  return static_cast<unsigned char>(rng.range(0, 6));
}

// On its own side of the key; zero and vertical now and then.
V Offset(Rng& rng, bool in) {
  const double y = rng.uniform(-4, 4);
  if (rng.chance(0.03)) return V(0, rng.chance(0.5) ? 0 : y);
  const double x = rng.uniform(0.01, 2);
  return V(in ? -x : x, y);
}

}  // namespace

std::shared_ptr<T::FCurve> RandomCurve(Rng& rng, const std::string& name, int n, double x0) {
  static const std::vector<std::string> names = InterpolatorNames();
  auto curve = T::FCurve::create(name);
  {
    T::FCurve::Switch hold(*curve);
    curve->begin()->setInterpolator(T::InterpolatorFactory::create(rng.pick(names)));
    double x = x0, y = rng.uniform(-5, 5);
    for (int i = 0; i < n; ++i) {
      T::Keyframe key(x, y);
      key.setBreakdown(rng.chance(0.1));
      key.setTangentsUnified(rng.chance(0.7));
      T::SetLocked(key, rng.chance(0.05));
      const auto it = curve->insertSegment(key, T::InterpolatorFactory::create(rng.pick(names)));
      if (rng.chance(0.6)) {
        T::Keyframe& k = *it.key();
        k.setTangents(Offset(rng, true), Offset(rng, false), TangentCode(rng), TangentCode(rng));
        for (const auto& t : {k.getInTangent(), k.getOutTangent()}) {
          t->setWeighted(rng.chance(0.3));
          t->setWeightLocked(rng.chance(0.1));
        }
      }
      if (rng.chance(0.03)) it->setProperty(rng.pick(cPropertyNames), "1");
      x += Gap(rng);
      y = rng.chance(0.2) ? y : y + rng.uniform(-2, 2);
    }
  }
  curve->setLocked(rng.chance(0.1));
  curve->setEditable(!rng.chance(0.1));
  curve->setVisible(!rng.chance(0.05));
  curve->setVelocityVisible(rng.chance(0.05));
  curve->setAccelerationVisible(rng.chance(0.05));
  if (rng.chance(0.2)) curve->setProperty("fc_st", "#ff8000");
  return curve;
}

Print PrintCurves(const T::FCurveContainer& curves) {
  Print p;
  std::ostringstream os;
  os << std::hexfloat;
  auto properties = [&os](auto& object) {
    for (const char* name : cPropertyNames) {
      const std::string value = object.getProperty(name);
      if (!value.empty()) os << " " << name << "=" << value;
    }
  };
  for (const auto& curve : curves) {
    os << "curve " << curve->getName() << " e" << curve->isEditable() << " l" << curve->isLocked() << " v"
       << curve->isVisible() << curve->isVelocityVisible() << curve->isAccelerationVisible();
    properties(*curve);
    p.ids.emplace_back(*curve);
    for (auto it = curve->begin(); it != curve->end(); ++it) {
      const T::Segment& s = *it.segment();
      os << "\n " << s.getInterpolator()->getExpression();
      properties(s);
      p.ids.emplace_back(s);
      if (const T::Keyframe* k = it.key()) {
        os << " @" << k->getX() << "," << k->getY() << " b" << k->isBreakdown() << " u" << k->isTangentsUnified()
           << " l" << T::IsLocked(*k);
        p.ids.emplace_back(*k);
        for (const auto& t : {k->getInTangent(), k->getOutTangent()}) {
          os << " [" << t->get().x << "," << t->get().y << " t" << int(t->getType()) << " w" << t->isWeighted()
             << t->isWeightLocked() << "]";
          p.ids.emplace_back(*t);
        }
      }
    }
    os << "\n";
  }
  p.text = os.str();
  return p;
}

std::vector<T::HitRecord> SelectedRecords(const T::Selection& selection) {
  return std::vector<T::HitRecord>(selection.begin(), selection.end());
}

std::string FirstDifference(const std::string& a, const std::string& b) {
  std::istringstream sa(a), sb(b);
  std::string la, lb;
  for (int line = 1;; ++line) {
    const bool ha = static_cast<bool>(std::getline(sa, la)), hb = static_cast<bool>(std::getline(sb, lb));
    if (!ha && !hb) return "identical texts";
    if (!ha || !hb || la != lb) {
      std::ostringstream os;
      os << "line " << line << ":\n  " << (ha ? la : "<end>") << "\n  " << (hb ? lb : "<end>");
      return os.str();
    }
  }
}

namespace {

bool Finite(const V& v) { return T::IsFinite(v) && T::InRange(v); }

}  // namespace

std::string CheckCurve(const T::FCurve& curve, int level) {
  std::ostringstream err;
  err << std::hexfloat << "curve " << curve.getName() << ": ";
  auto it = curve.begin();
  if (it == curve.end()) return err.str() + "no leading entry";
  if (it.key() || it->hasLeftKey()) return err.str() + "the leading entry has a key";
  const T::Segment* prevSegment = nullptr;
  const T::Keyframe* prevKey = nullptr;
  std::size_t keys = 0;
  for (; it != curve.end(); ++it) {
    const T::Segment& segment = *it.segment();
    if (!segment.getInterpolator()) return err.str() + "a segment without interpolator";
    const T::Keyframe* key = it.key();
    if (!key) {
      if (prevSegment) return err.str() + "a keyless entry after the first";
      prevSegment = &segment;
      continue;
    }
    ++keys;
    err << "key " << keys << " at " << key->getX() << "," << key->getY() << ": ";
    if (!Finite(key->get())) return err.str() + "not finite or out of range";
    if (prevKey) {
      const double gap = key->getX() - prevKey->getX();
      const double sep = T::Keyframe::getMinSeparation();
      if (!(gap > 0) || !(gap >= sep || T::NearEqual(gap, sep))) {
        err << "only " << gap << " after the key before";
        return err.str();
      }
    }
    const auto in = key->getInTangent(), out = key->getOutTangent();
    if (!in || !out) return err.str() + "a handle missing";
    if (!Finite(in->get()) || !Finite(out->get())) {
      err << "handle " << in->get().x << "," << in->get().y << " / " << out->get().x << "," << out->get().y;
      return err.str();
    }
    if (level == 0) {
      prevKey = key;
      err.str("");
      err << "curve " << curve.getName() << ": ";
      continue;
    }
    if (!in->isInTangent() || out->isInTangent()) return err.str() + "handle sides mixed up";
    if (in->getOppositeTangent() != out || out->getOppositeTangent() != in)
      return err.str() + "the handles do not know each other";
    if (in->getOwningKeyframe().get() != key || out->getOwningKeyframe().get() != key)
      return err.str() + "a handle names another key";
    if (!key->isInCurve() || key->getOwningCurve().get() != &curve) return err.str() + "names another curve";
    if (segment.getOwningCurve().get() != &curve) return err.str() + "its segment names another curve";
    if (segment.getLeftKey().get() != key || key->getRightSegment().get() != &segment)
      return err.str() + "key and right segment disagree";
    if (key->getLeftSegment().get() != prevSegment || prevSegment->getRightKey().get() != key)
      return err.str() + "key and left segment disagree";
    if (segment.getOutTangent() != out || prevSegment->getInTangent() != in)
      return err.str() + "segments hold other handles";
    if (level >= 2) {
      if (curve.findSegment(key->getX()).key() != key) return err.str() + "the tree finds another entry at its x";
      const double v = curve.eval(key->getX());
      if (!std::isfinite(v)) return err.str() + "evaluates to " + std::to_string(v);
      if (prevKey) {
        const double mid = curve.eval(0.5 * (prevKey->getX() + key->getX()));
        if (!std::isfinite(mid)) return err.str() + "the segment before evaluates to " + std::to_string(mid);
      }
    }
    err.str("");
    err << "curve " << curve.getName() << ": ";
    prevKey = key;
    prevSegment = &segment;
  }
  if (level > 0 && prevSegment->hasRightKey()) return err.str() + "the last segment has a right key";
  if (keys != curve.numKeys()) return err.str() + "numKeys() differs from the entries";
  return {};
}

std::string CheckSelection(const T::Selection& selection, const T::FCurve* keyByKey) {
  const T::FCurveContainer& container = *selection.getContainer();
  auto check = [&](T::HitRecordIterator it, T::HitRecordIterator end, const char* walk) -> std::string {
    for (; it != end; ++it) {
      const T::HitRecord& r = *it;
      const std::string what = std::string(walk) + " walk: a record of type " + std::to_string(r.getType());
      if (!r.getCurve() || !container.contains(*r.getCurve())) return what + " outside the container";
      std::shared_ptr<T::FCurve> owner;
      switch (r.getType()) {
        case T::HitRecord::Curve: owner = r.getCurve(); break;
        case T::HitRecord::SegmentRecord:
          if (auto s = r.getSegment()) owner = s->getOwningCurve();
          break;
        case T::HitRecord::KeyframeRecord:
          if (auto k = r.getKeyframe()) owner = k->getOwningCurve();
          break;
        case T::HitRecord::TangentRecord:
        case T::HitRecord::TangentRecord2:
          if (auto t = r.getTangent()) owner = t->getOwningCurve();
          break;
        default: return what + ", which no element has";
      }
      if (owner != r.getCurve()) return what + " names no element of its curve";
      if (!selection.isSelected(r)) return what + " is not selected";
    }
    return {};
  };
  std::string e = check(selection.begin(), selection.end(), "selection");
  if (e.empty()) e = check(T::BeginSelectedCurves(selection), T::EndSelectedCurves(selection), "curve");
  if (e.empty()) e = check(T::BeginSelectedKeyframes(selection), T::EndSelectedKeyframes(selection), "keyframe");
  if (e.empty()) e = check(T::BeginSelectedTangents(selection), T::EndSelectedTangents(selection), "tangent");
  if (!e.empty() || !keyByKey) return e;
  // The keyframe walk lists exactly the keys isSelected() answers for.
  std::size_t walked = 0, asked = 0;
  for (auto it = T::BeginSelectedKeyframes(selection); it != T::EndSelectedKeyframes(selection); ++it)
    walked += it->getCurve().get() == keyByKey;
  if (container.contains(*keyByKey))
    for (auto it = std::next(keyByKey->begin()); it != keyByKey->end(); ++it) asked += selection.isSelected(*it.key());
  if (walked != asked)
    return "curve " + keyByKey->getName() + ": the walk lists " + std::to_string(walked) + " keys, isSelected() " +
           std::to_string(asked);
  return {};
}

std::string CheckLayers(A::GraphWidget& widget, int& gestureLayers) {
  gestureLayers = 0;
  const auto root = widget.getRootLayer();
  const auto user = widget.getUserLayers();
  auto parentOf = [](const A::LayerManager& m) -> std::string {
    for (const auto& l : m)
      if (l->getManager().get() != &m) return std::string(l->getName()) + " does not know its manager";
    return {};
  };
  std::string e = parentOf(*root);
  if (e.empty()) e = parentOf(*user);
  if (!e.empty()) return e;

  // The root, top first: view animations, the focus layer, the user layers.
  std::vector<std::shared_ptr<A::Layer>> r(root->begin(), root->end());
  std::size_t i = 0;
  while (i < r.size() && dynamic_cast<A::AnimationMonitor*>(r[i].get())) ++i;
  if (r.size() != i + 2 || std::string(r[i]->getName()) != "Keyboard Focus Layer" || r[i + 1] != user)
    return "the root holds " + std::to_string(r.size()) + " layers, not animations, the focus and the user layers";

  // The user layers, top first: gestures and the insertion mode, then the
  // standard four.
  static const char* const standard[] = {"Domain Slider Layer", "Curve Layer", "Grid Layer", "Background Layer"};
  std::vector<std::shared_ptr<A::Layer>> u(user->begin(), user->end());
  if (u.size() < 4) return "fewer than four user layers";
  for (std::size_t k = 0; k < 4; ++k)
    if (std::string(u[u.size() - 4 + k]->getName()) != standard[k])
      return std::string("the standard user layers are out of order at ") + standard[k];
  int insertion = 0;
  for (std::size_t k = 0; k + 4 < u.size(); ++k) {
    const std::string name = u[k]->getName();
    for (const char* s : standard)
      if (name == s) return "a second " + name;
    if (name == "Insert Keyframe Layer") ++insertion;
    else ++gestureLayers;
  }
  if (insertion > 1) return "two insertion layers";
  return {};
}

}  // namespace Monkey
