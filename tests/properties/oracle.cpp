#include "properties/oracle.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

namespace Props {

const char* const kCurveProperties[2] = {"fc_ui", "owner"};
const char* const kSegmentProperties[2] = {"tag", "fc_nocopy"};

namespace {

// The shortest form that reads back as the same double: two values print
// alike only when they are equal. Zeros print alike whatever their sign,
// as the model itself compares positions by value (a drag that ends where
// it began may leave a key at -0 on 0); NaNs, which no sound curve holds,
// print alike too.
void Number(std::string& out, double v) {
  char buffer[32];
  out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, v == 0 ? 0.0 : v).ptr);
}

void Point(std::string& out, const char* name, const T::Vector2D<double>& p) {
  out += ' ';
  out += name;
  out += "=(";
  Number(out, p.x);
  out += ", ";
  Number(out, p.y);
  out += ')';
}

void Integer(std::string& out, std::size_t v) {
  char buffer[24];
  out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

void Property(std::string& out, const char* name, const std::string& value) {
  out += ' ';
  out += name;
  out += "='";
  out += value;
  out += '\'';
}

void Flag(std::string& out, const char* name, bool on) {
  out += ' ';
  out += name;
  out += on ? "=1" : "=0";
}

// Lines go into one buffer: a dump is taken after every step.
void EndLine(Dump& d, T::HitRecord identity) {
  d.text += '\n';
  d.lineEnds.push_back(d.text.size());
  d.identities.push_back(std::move(identity));
}

void HandleLine(Dump& d, const char* side, const std::shared_ptr<T::Tangent>& t) {
  std::string& s = d.text;
  s += "    ";
  s += side;
  if (!t) {
    s += " missing";
    return EndLine(d, T::HitRecord());
  }
  Point(s, "offset", t->get());
  s += " type=";
  Integer(s, t->getType());
  Flag(s, "weighted", t->isWeighted());
  Flag(s, "weightLocked", t->isWeightLocked());
  Flag(s, "in", t->isInTangent());
  EndLine(d, T::HitRecord(*t));
}

void DumpCurve(const T::FCurve& curve, Dump& d) {
  std::string& c = d.text;
  c += "curve '";
  c += curve.getName();
  c += '\'';
  Flag(c, "editable", curve.isEditable());
  Flag(c, "locked", curve.isLocked());
  Flag(c, "visible", curve.isVisible());
  Flag(c, "velocity", curve.isVelocityVisible());
  Flag(c, "acceleration", curve.isAccelerationVisible());
  static const std::string curveKeys[] = {kCurveProperties[0], kCurveProperties[1]};
  for (const std::string& p : curveKeys) Property(c, p.c_str(), curve.getProperty(p));
  c += " keys=";
  Integer(c, curve.numKeys());
  EndLine(d, T::HitRecord(curve));

  std::size_t i = 0;
  for (auto it = curve.begin(); it != curve.end(); ++it, ++i) {
    const T::Segment& segment = *it.segment();
    if (const T::Keyframe* key = it.key()) {
      c += "  key ";
      Integer(c, i);
      Point(c, "at", key->get());
      Flag(c, "breakdown", key->isBreakdown());
      Flag(c, "unified", key->isTangentsUnified());
      Flag(c, "locked", T::IsLocked(*key));
      EndLine(d, T::HitRecord(*key));
      HandleLine(d, "in", key->getInTangent());
      HandleLine(d, "out", key->getOutTangent());
    }
    c += "  segment ";
    Integer(c, i);
    const auto& interpolator = segment.getInterpolator();
    c += " interpolator=";
    c += interpolator ? interpolator->getExpression().c_str() : "null";
    static const std::string segmentKeys[] = {kSegmentProperties[0], kSegmentProperties[1]};
    for (const std::string& p : segmentKeys) Property(c, p.c_str(), segment.getProperty(p));
    EndLine(d, T::HitRecord(segment));
  }
}

std::string Line(const Dump& d, std::size_t i) {
  const std::size_t begin = i ? d.lineEnds[i - 1] : 0;
  return d.text.substr(begin, d.lineEnds[i] - begin - 1);
}

// What a record names, for a failure message: its line in the dump.
std::string Describe(const Dump& d, const T::HitRecord& r) {
  for (std::size_t i = 0; i < d.identities.size(); ++i) {
    if (d.identities[i] == r) return Line(d, i);
  }
  return "a record of type " + std::to_string(r.getType()) + " naming no element of the dump";
}

}  // namespace

Dump TakeDump(const T::FCurveContainer& curves, const T::Selection& selection) {
  Dump d;
  std::size_t lines = 0;
  for (const auto& curve : curves) lines += 2 + 4 * curve->numKeys();
  d.text.reserve(100 * lines);
  d.lineEnds.reserve(lines);
  d.identities.reserve(lines);
  for (const auto& curve : curves) {
    d.curveObjects.push_back(curve.get());
    DumpCurve(*curve, d);
  }
  d.selection.assign(selection.begin(), selection.end());
  return d;
}

std::string Compare(const Dump& want, const Dump& got) {
  if (want.curveObjects != got.curveObjects) return "the container holds other curve objects";
  if (want.text != got.text) {
    std::size_t i = 0;
    while (i < want.lineEnds.size() && i < got.lineEnds.size() && Line(want, i) == Line(got, i)) ++i;
    if (i < want.lineEnds.size() && i < got.lineEnds.size())
      return "line " + std::to_string(i) + "\n want " + Line(want, i) + "\n got  " + Line(got, i);
    const bool longer = got.lineEnds.size() > i;
    return std::string(longer ? "extra" : "missing") + " line " + (longer ? Line(got, i) : Line(want, i));
  }
  for (std::size_t i = 0; i < want.identities.size(); ++i) {
    if (want.identities[i] != got.identities[i])
      return "another identity at line " + std::to_string(i) + ": " + Line(got, i);
  }
  const std::size_t m = std::min(want.selection.size(), got.selection.size());
  for (std::size_t i = 0; i < m; ++i) {
    if (want.selection[i] != got.selection[i])
      return "selection record " + std::to_string(i) + "\n want " + Describe(want, want.selection[i]) + "\n got  " +
             Describe(got, got.selection[i]);
  }
  if (want.selection.size() != got.selection.size()) {
    const bool longer = got.selection.size() > m;
    return std::string(longer ? "extra" : "missing") +
           " selection record: " + (longer ? Describe(got, got.selection[m]) : Describe(want, want.selection[m]));
  }
  return {};
}

std::string CheckCurves(const T::FCurveContainer& curves) {
  const double separation = T::Keyframe::getMinSeparation();
  for (const auto& curve : curves) {
    const std::string where = " in curve '" + curve->getName() + "'";
    const T::Keyframe* previous = nullptr;
    for (auto it = curve->begin(); it != curve->end(); ++it) {
      if (!it->getInterpolator()) return "an entry without interpolator" + where;
      const T::Keyframe* key = it.key();
      if (!key) continue;
      if (!std::isfinite(key->getX()) || !std::isfinite(key->getY())) return "a key not finite" + where;
      for (const auto& t : {key->getInTangent(), key->getOutTangent()}) {
        if (!t || !std::isfinite(t->get().x) || !std::isfinite(t->get().y))
          return "a handle missing or not finite" + where;
      }
      // A hair of rounding below the separation is the model's own tolerance.
      if (previous && !(key->getX() - previous->getX() >= separation * (1 - 1e-9)))
        return "keys at " + std::to_string(previous->getX()) + " and " + std::to_string(key->getX()) + where;
      previous = key;
    }
  }
  return {};
}

}  // namespace Props
