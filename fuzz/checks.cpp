#include "checks.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace FuzzChecks {

namespace T = Zentho::Tessal;

void Fail(const char* what, const T::FCurve* curve) {
  std::fprintf(stderr, "invariant broken: %s%s%s\n", what, curve ? " in curve " : "",
               curve ? curve->getName().c_str() : "");
  std::abort();
}

void CheckCurve(const T::FCurve& curve, bool ordered) {
  // The model accepts a gap short of the separation by its own near-equality
  // tolerance (T::NearEqual), as it must for gaps like 0.11 - 0.1.
  const double separation = T::Keyframe::getMinSeparation();
  const auto separated = [&](double gap) { return gap >= separation || T::NearEqual(gap, separation); };
  const T::Keyframe* previous = nullptr;
  std::size_t keys = 0;
  for (auto it = curve.begin(); it != curve.end(); ++it) {
    const T::Segment& segment = *it.segment();
    if (!segment.getInterpolator()) Fail("an entry without interpolator", &curve);
    const T::Keyframe* key = it.key();
    if (!key) {
      if (it != curve.begin()) Fail("a keyless entry after the first", &curve);
      if (segment.hasLeftKey()) Fail("the leading segment has a left key", &curve);
      continue;
    }
    ++keys;
    if (!T::InRange(key->getX()) || !T::InRange(key->getY())) Fail("a key out of range", &curve);
    if (!key->isInCurve()) Fail("a key in a curve that says it is not", &curve);
    if (segment.getLeftKey().get() != key) Fail("a segment whose left key is another", &curve);
    const auto in = key->getInTangent(), out = key->getOutTangent();
    if (!in || !out) Fail("a key without both handles", &curve);
    if (!in->isInTangent() || out->isInTangent()) Fail("a handle on the wrong side", &curve);
    if (in->getOwningKeyframe().get() != key || out->getOwningKeyframe().get() != key)
      Fail("a handle owned by another key", &curve);
    for (const auto* t : {in.get(), out.get()}) {
      if (!T::InRange(t->get().x) || !T::InRange(t->get().y)) Fail("a handle out of range", &curve);
    }
    if (ordered) {
      if (previous && !separated(key->getX() - previous->getX())) Fail("keys out of order or too close", &curve);
      if (curve.findSegment(key->getX()).key() != key) Fail("lookup by x misses a key", &curve);
    }
    if (previous && segment.getLeftKey()->getLeftSegment()->getRightKey().get() != key)
      Fail("a left segment that does not end at its key", &curve);
    previous = key;
  }
  if (keys != curve.numKeys()) Fail("numKeys() disagrees with the entries", &curve);
}

void CheckSelection(const T::Selection& selection) {
  const auto& container = *selection.getContainer();
  for (auto it = selection.begin(); it != selection.end(); ++it) {
    const T::HitRecord& r = *it;
    if (!r.getCurve() || !container.contains(*r.getCurve())) Fail("a record of a curve the container lacks");
    if (!selection.isSelected(r)) Fail("a walked record that is not selected");
    const T::FCurve* owner = nullptr;
    switch (r.getType()) {
      case T::HitRecord::Curve:
        owner = r.getCurve().get();
        break;
      case T::HitRecord::KeyframeRecord:
        if (auto k = r.getKeyframe()) owner = k->getOwningCurve().get();
        break;
      case T::HitRecord::SegmentRecord:
        if (auto s = r.getSegment()) owner = s->getOwningCurve().get();
        break;
      case T::HitRecord::TangentRecord:
      case T::HitRecord::TangentRecord2:
        if (auto t = r.getTangent()) owner = t->getOwningCurve().get();
        break;
      default:
        Fail("a record of no type");
    }
    if (owner != r.getCurve().get()) Fail("a record naming no live element of its curve");
  }
  for (auto it = T::BeginSelectedKeyframes(selection), end = T::EndSelectedKeyframes(selection); it != end; ++it) {
    auto key = it->getKeyframe();
    if (!key || !selection.isSelected(*key)) Fail("the key walk gives an unselected or dead key");
  }
  for (auto it = T::BeginSelectedTangents(selection), end = T::EndSelectedTangents(selection); it != end; ++it) {
    auto tangent = it->getTangent();
    if (!tangent || !selection.isSelected(*tangent)) Fail("the handle walk gives an unselected or dead handle");
  }
}

}  // namespace FuzzChecks
