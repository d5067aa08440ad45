#include "samplescene.h"

#include <tessal/interpolator.h>

#include <cmath>
#include <vector>

namespace ArvelleDemo {

namespace T = Zentho::Tessal;

namespace {

const double cPi = 3.14159265358979323846;
const double cDropHeight = 4.0;
const double cFirstFall = 12.0;   // frames from the drop to the first contact
const double cRestitution = 0.75;  // speed kept at each contact
const int cBounces = 8;
const double cRestFrame = 96.0;
const double cRollRadius = 0.5;

std::shared_ptr<T::Interpolator> Interp(const char* name) { return T::InterpolatorFactory::create(name); }

std::shared_ptr<T::FCurve> NewCurve(Scene& scene, const char* channel, const char* colour) {
  auto c = T::FCurve::create(std::string("ball.") + channel);
  c->setProperty("node", "ball");
  c->setProperty("channel", channel);
  // Interior colour override in the widget's "r g b" form, so the channels
  // are told apart at a glance.
  c->setProperty("fc_ui", colour);
  scene.propertyNames.insert({"node", "channel"});
  scene.curves.push_back(c);
  return c;
}

// Appends a key after every existing one (x grows) and returns it.
std::shared_ptr<T::Keyframe> Add(T::FCurve& c, double x, double y, const std::shared_ptr<T::Interpolator>& segment,
                                 unsigned char type, bool breakdown = false) {
  T::Keyframe value(x, y);
  value.setBreakdown(breakdown);
  auto it = c.insertSegment(value, segment);
  auto key = it->getLeftKey();
  key->getInTangent()->setType(type);
  key->getOutTangent()->setType(type);
  return key;
}

// The bounce's timing: when the ball touches the floor and how high and
// long each arc is. Arc n (0 is the drop) has height h_n and half length T_n.
struct Arc {
  double start;   // apex (arc 0) or contact frame before the arc
  double half;    // frames from contact to apex
  double height;
};

std::vector<Arc> Arcs() {
  std::vector<Arc> arcs;
  double t = 0, half = cFirstFall, h = cDropHeight;
  arcs.push_back({0.0, half, h});
  t = cFirstFall;
  for (int n = 1; n <= cBounces; ++n) {
    half *= cRestitution;
    h *= cRestitution * cRestitution;
    arcs.push_back({t, half, h});
    t += 2 * half;
  }
  return arcs;
}

double ContactAfter(const Arc& a, bool first) { return first ? a.start + a.half : a.start + 2 * a.half; }

void MakeTranslateY(Scene& scene) {
  auto c = NewCurve(scene, "translateY", "120 220 120");
  T::FCurve::Switch defer(*c);
  const auto arcs = Arcs();
  const auto bezier = Interp("bezier()");
  // Where a falling ball is halfway down: sqrt(1/2) of the arc's half.
  const double midFraction = std::sqrt(0.5);

  Add(*c, 0.0, cDropHeight, bezier, T::TangentType::Flat);
  for (std::size_t n = 0; n < arcs.size(); ++n) {
    const Arc& a = arcs[n];
    const bool drop = n == 0;
    const double apex = drop ? 0.0 : a.start + a.half;
    if (!drop) {
      // Rising through half height (a breakdown), then the apex.
      Add(*c, apex - a.half * midFraction, a.height * 0.5, bezier, T::TangentType::Smooth, true);
      Add(*c, apex, a.height, bezier, T::TangentType::Flat);
    }
    const auto midType = n < 4 ? T::TangentType::Smooth : T::TangentType::Clamped;
    Add(*c, apex + a.half * midFraction, a.height * 0.5, bezier, midType, true);

    // The contact: a sharp corner, so the handles are broken and fixed
    // along the arrival and departure velocities (2 h / T per frame).
    const double contact = apex + a.half;
    const bool last = n + 1 == arcs.size();
    auto key = Add(*c, contact, 0.0, last ? Interp("linear()") : bezier, T::TangentType::Fixed);
    key->setTangentsUnified(false);
    auto in = key->getInTangent();
    in->setType(T::TangentType::Fixed);
    in->setWeighted(true);
    in->set(-a.half / 3.0, 2.0 * a.height / 3.0);
    auto out = key->getOutTangent();
    out->setType(T::TangentType::Fixed);
    if (!last) {
      const Arc& next = arcs[n + 1];
      out->setWeighted(true);
      out->set(next.half / 3.0, 2.0 * next.height / 3.0);
    } else {
      out->set(1.0, 0.0);
    }
    (*c->findSegment(contact))->setProperty("event", "contact");
  }
  scene.propertyNames.insert("event");
  // At rest: held from here on.
  Add(*c, cRestFrame, 0.0, Interp("constant()"), T::TangentType::Flat);
}

double RolledDistance(double frame) {
  // Rolling friction slows the ball: exponential approach to 8 units.
  return 8.0 * (1.0 - std::exp(-frame / 30.0));
}

void MakeTranslateX(Scene& scene) {
  auto c = NewCurve(scene, "translateX", "230 90 90");
  T::FCurve::Switch defer(*c);
  const auto bezier = Interp("bezier()");
  const auto ease = Interp("ease()");
  for (int i = 0; i <= 32; ++i) {
    const double frame = 3.0 * i;
    const bool late = frame >= 72.0;
    const auto type = frame < 36.0 ? T::TangentType::Clamped
                                   : (late ? T::TangentType::Plateau : T::TangentType::SmoothNormal);
    auto key = Add(*c, frame, RolledDistance(frame), late ? ease : bezier, type);
    if (i % 4 == 0 && !late) {
      // Every half second a weighted, weight-locked handle pair: longer
      // handles that keep their length while the user turns them.
      key->getOutTangent()->setWeighted(true);
      key->getInTangent()->setWeighted(true);
      key->getOutTangent()->setWeightLocked(true);
    }
  }
  (*c->begin())->setInterpolator(Interp("linear()"));
}

void MakeTranslateZ(Scene& scene) {
  auto c = NewCurve(scene, "translateZ", "100 150 255");
  T::FCurve::Switch defer(*c);
  const char* const segments[] = {"ease()", "linear()", "easeIn()", "easeOut()", "bezier()"};
  for (int i = 0; i <= 24; ++i) {
    const double frame = 4.0 * i;
    // A slow sideways drift that dies down with the bounce.
    const double z = 0.8 * std::sin(2.0 * cPi * frame / 48.0) * std::exp(-frame / 60.0);
    const auto type = i % 3 == 0 ? T::TangentType::Linear : T::TangentType::SmoothNormal;
    Add(*c, frame, z, Interp(segments[i % 5]), type);
  }
}

void MakeRotateZ(Scene& scene) {
  auto c = NewCurve(scene, "rotateZ", "240 200 60");
  c->setProperty("unit", "turns");
  scene.propertyNames.insert("unit");
  T::FCurve::Switch defer(*c);
  // Rolling without slipping: one turn per 2 pi r travelled, clockwise
  // while moving right. Keyed at each contact and apex of the bounce.
  const auto arcs = Arcs();
  std::vector<double> frames;
  frames.push_back(0.0);
  for (std::size_t n = 0; n < arcs.size(); ++n) {
    const Arc& a = arcs[n];
    if (n > 0) frames.push_back(a.start + a.half);
    frames.push_back(ContactAfter(a, n == 0));
  }
  for (double f = frames.back() + 2.0; f < cRestFrame; f += 2.0) frames.push_back(f);
  frames.push_back(cRestFrame);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const double turns = -RolledDistance(frames[i]) / (2.0 * cPi * cRollRadius);
    const bool settling = frames[i] >= 80.0;
    const char* segment = settling ? "constant()" : (i % 6 == 5 ? "easeOut()" : "linear()");
    Add(*c, frames[i], turns, Interp(segment), settling ? T::TangentType::Flat : T::TangentType::Linear);
  }
}

}  // namespace

Scene MakeSampleScene() {
  Scene scene;
  MakeTranslateX(scene);
  MakeTranslateY(scene);
  MakeTranslateZ(scene);
  MakeRotateZ(scene);
  return scene;
}

}  // namespace ArvelleDemo
