#include "properties/scenes.h"

#include <iterator>

namespace Props {

const std::vector<std::string>& InterpolatorNames() {
  static const std::vector<std::string> names(T::InterpolatorFactory::begin(), T::InterpolatorFactory::end());
  return names;
}

namespace {

std::size_t KeyCount(Rng& rng) {
  const double p = rng.real(0, 1);
  if (p < 0.1) return 0;
  if (p < 0.2) return 1;
  if (p < 0.35) return 2;
  if (p < 0.9) return std::size_t(rng.between(3, 12));
  return std::size_t(rng.between(13, 40));
}

// Gaps down to the minimum separation itself, and whole units now and then
// (a bake steps by 1, snapping rounds to increments).
double Gap(Rng& rng) {
  const double p = rng.real(0, 1);
  if (p < 0.05) return T::Keyframe::getMinSeparation();
  if (p < 0.1) return 0.015;
  if (p < 0.35) return rng.real(0.02, 0.5);
  if (p < 0.8) return rng.real(0.5, 6);
  return double(rng.between(1, 4));
}

unsigned char TangentCode(Rng& rng) {
  const double p = rng.real(0, 1);
  if (p < 0.7) return static_cast<unsigned char>(rng.between(0, 6));
  if (p < 0.75) return static_cast<unsigned char>(rng.chance(0.5) ? rng.between(7, 9) : 255);
  return T::TangentType::Fixed;
}

// A handle offset on its own side of the key; vertical and zero now and then.
V Offset(Rng& rng, bool in) {
  const double p = rng.real(0, 1);
  const double y = rng.real(-5, 5);
  if (p < 0.04) return V(in ? -0.0 : 0.0, y);
  if (p < 0.06) return V(0, 0);
  const double x = rng.real(0.01, 3);
  return V(in ? -x : x, y);
}

void Decorate(Rng& rng, T::Keyframe& key) {
  const unsigned char inType = TangentCode(rng), outType = TangentCode(rng);
  key.setTangents(Offset(rng, true), Offset(rng, false), inType, outType);
  for (const auto& t : {key.getInTangent(), key.getOutTangent()}) {
    t->setWeighted(rng.chance(0.3));
    t->setWeightLocked(rng.chance(0.15));
  }
  key.setTangentsUnified(rng.chance(0.7));
  key.setBreakdown(rng.chance(0.15));
  T::SetLocked(key, rng.chance(0.1));
}

std::shared_ptr<T::FCurve> MakeCurve(Rng& rng, int index) {
  auto curve = T::FCurve::create(std::string(1, char('a' + index)) + ".translate");
  const auto& names = InterpolatorNames();
  {
    T::FCurve::Switch hold(*curve);
    if (rng.chance(0.5)) curve->begin()->setInterpolator(T::InterpolatorFactory::create(rng.pick(names)));
    double x = rng.chance(0.3) ? double(rng.between(-20, 10)) : rng.real(-20, 10);
    const std::size_t n = KeyCount(rng);
    for (std::size_t i = 0; i < n; ++i, x += Gap(rng)) {
      const double y = rng.chance(0.15) ? 0.0 : rng.real(-10, 10);
      auto it = curve->insertSegment(T::Keyframe(x, y), T::InterpolatorFactory::create(rng.pick(names)));
      if (it == curve->end()) continue;
      if (rng.chance(0.15)) it->setProperty("tag", "t" + std::to_string(i));
      Decorate(rng, *it.key());
    }
  }
  curve->setEditable(!rng.chance(0.12));
  curve->setLocked(rng.chance(0.15));
  curve->setVisible(!rng.chance(0.1));
  curve->setVelocityVisible(rng.chance(0.1));
  curve->setAccelerationVisible(rng.chance(0.1));
  if (rng.chance(0.5)) curve->setProperty("fc_ui", std::to_string(rng.between(0, 255)) + " 90 90");
  if (rng.chance(0.2)) curve->setProperty("owner", "rig");
  return curve;
}

void SelectParts(Rng& rng, T::Selection& selection, const T::FCurve& curve) {
  const double keys = rng.pick(std::vector<double>{0.2, 0.5, 0.9});
  const double handles = rng.pick(std::vector<double>{0.0, 0.2, 0.6});
  int run = 0;  // segments still to select in the present run
  for (auto it = curve.begin(); it != curve.end(); ++it) {
    if (run == 0 && rng.chance(0.2)) run = rng.between(1, 4);
    if (run > 0) {
      selection.select(*it.segment());
      --run;
    }
    const T::Keyframe* key = it.key();
    if (!key) continue;
    if (rng.chance(keys)) selection.select(*key);
    for (const auto& t : {key->getInTangent(), key->getOutTangent()}) {
      if (rng.chance(handles)) selection.select(*t);
    }
  }
}

}  // namespace

void MakeScene(Rng& rng, T::FCurveContainer& curves) {
  const int n = rng.between(1, 4);
  for (int i = 0; i < n; ++i) curves.addCurve(MakeCurve(rng, i));
}

void MakeSelection(Rng& rng, T::Selection& selection) {
  selection.clear();
  for (const auto& curve : *selection.getContainer()) {
    const double p = rng.real(0, 1);
    if (p < 0.25) continue;
    if (p < 0.35) {
      T::SelectCurveCompletely(selection, *curve);
      continue;
    }
    // Parts without their curve record now and then, as a host may select.
    if (p < 0.9) selection.select(*curve);
    SelectParts(rng, selection, *curve);
  }
}

std::shared_ptr<T::Keyframe> RandomKey(Rng& rng, const T::FCurve& curve) {
  if (curve.numKeys() == 0) return nullptr;
  return std::next(curve.begin(), long(1 + rng.below(curve.numKeys())))->getLeftKey();
}

}  // namespace Props
