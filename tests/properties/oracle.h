// A record of everything a scene holds, taken through the curve model's
// public reading calls only (none of the commands' own snapshot code): every
// curve with its flags and properties, every segment, key and handle with
// every value (floating-point values exactly), every element's identity,
// the container's curve objects and every record the selection walks.
#pragma once

#include <tessal/tessal.h>

#include <string>
#include <vector>

namespace Props {

namespace T = Zentho::Tessal;

// Property names the scenes use; the dump reads exactly these.
extern const char* const kCurveProperties[2];
extern const char* const kSegmentProperties[2];

struct Dump {
  // One line per curve, segment, key and handle, in container and key order,
  // each ended by a newline.
  std::string text;
  std::vector<std::size_t> lineEnds;
  // The identity of the element each line describes, in the same order.
  std::vector<T::HitRecord> identities;
  std::vector<const T::FCurve*> curveObjects;
  // Every record of the selection's full walk, in walk order.
  std::vector<T::HitRecord> selection;
};

Dump TakeDump(const T::FCurveContainer& curves, const T::Selection& selection);

// Empty when both are the same; otherwise the first difference, both sides.
std::string Compare(const Dump& want, const Dump& got);

// Empty when every curve is sound: finite keys in increasing x at least the
// minimum separation apart, finite handles, an interpolator on every entry.
std::string CheckCurves(const T::FCurveContainer& curves);

}  // namespace Props
