// Shared by the demo suites: what "the same scene" means, and random
// curves that exercise every field of the scene file.
#pragma once

#include "scenefile.h"

#include <tessal/interpolator.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace DemoTest {

namespace T = Zentho::Tessal;

inline std::string Expr(const T::Segment& s) {
  return s.getInterpolator() ? s.getInterpolator()->getExpression() : std::string("<none>");
}

// Everything the file holds, a line per curve and per entry; numbers in hex
// so that equal text means equal values (-0 counts as 0, as == has it).
inline std::string Dump(const ArvelleDemo::Scene& scene, const std::set<std::string>& names) {
  std::ostringstream o;
  o << std::hexfloat;
  auto num = [&](double v) -> std::ostream& { return o << v + 0.0 << ' '; };
  auto handle = [&](const char* name, const T::Tangent& t) {
    o << name << ' ';
    num(t.get().x);
    num(t.get().y) << int(t.getType()) << t.isWeighted() << t.isWeightLocked() << ' ';
  };
  auto properties = [&](auto& owner) {
    for (const auto& n : names)
      if (!owner.getProperty(n).empty()) o << '[' << n << '=' << owner.getProperty(n) << ']';
  };
  for (const auto& c : scene.curves) {
    o << "curve \"" << c->getName() << "\" " << c->isEditable() << c->isLocked() << c->isVisible()
      << c->isVelocityVisible() << c->isAccelerationVisible();
    properties(*c);
    o << '\n';
    for (auto it = c->begin(); it != c->end(); ++it) {
      o << "  " << Expr(**it) << ' ';
      properties(**it);
      if (const T::Keyframe* k = it.key()) {
        num(k->getX());
        num(k->getY()) << k->isBreakdown() << k->isTangentsUnified() << T::IsLocked(*k) << ' ';
        handle("in", *k->getInTangent());
        handle("out", *k->getOutTangent());
      }
      o << '\n';
    }
  }
  return o.str();
}

// Both dumped over every property name either knows of.
inline ::testing::AssertionResult SameScene(const ArvelleDemo::Scene& a, const ArvelleDemo::Scene& b) {
  std::set<std::string> names = ArvelleDemo::SceneFile::standardPropertyNames();
  names.insert(a.propertyNames.begin(), a.propertyNames.end());
  names.insert(b.propertyNames.begin(), b.propertyNames.end());
  std::istringstream da(Dump(a, names)), db(Dump(b, names));
  for (std::string la, lb; bool(std::getline(da, la)) | bool(std::getline(db, lb)); la.clear(), lb.clear())
    if (la != lb) return ::testing::AssertionFailure() << "first difference:\n  " << la << "\n  " << lb;
  return ::testing::AssertionSuccess();
}

class RandomScenes {
 public:
  explicit RandomScenes(std::uint64_t seed) : mRng(seed) {}

  ArvelleDemo::Scene scene(int curves) {
    ArvelleDemo::Scene s;
    for (int i = 0; i < curves; ++i) s.curves.push_back(curve(s.propertyNames));
    return s;
  }

  std::shared_ptr<T::FCurve> curve(std::set<std::string>& names) {
    auto c = T::FCurve::create(text());
    for (auto set : {T::SetEditable, T::SetLocked, T::SetVisible, T::SetVelocityVisible, T::SetAccelerationVisible})
      set(*c, coin());
    properties(*c, names);
    (*c->begin())->setInterpolator(interpolator());
    properties(**c->begin(), names);

    double x = uniform(-1000, 1000);
    std::vector<std::shared_ptr<T::Keyframe>> keys;
    for (int i = pick(0, 40); i > 0; --i, x += gap()) {
      T::Keyframe value(x, number());
      value.setBreakdown(coin());
      value.setTangentsUnified(coin());
      T::SetLocked(value, coin());
      auto it = c->insertSegment(value, interpolator());
      if (it == c->end()) continue;
      keys.push_back(it->getLeftKey());
      properties(**it, names);
    }
    for (auto& k : keys) {
      handle(*k->getInTangent());
      handle(*k->getOutTangent());
      if (pick(0, 3) == 0) k->setTangentsUnified(coin());
    }
    // An offset set on a handle of an automatic type lasts only until the
    // library next computes that handle, and loading computes every one: let
    // upkeep run on every key, so the scene is what a load can give back.
    for (auto& k : keys) {
      k->setTangentsUnified(!k->isTangentsUnified());
      k->setTangentsUnified(!k->isTangentsUnified());
    }
    return c;
  }

 private:
  bool coin() { return (mRng() & 1) != 0; }
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(mRng); }
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(mRng); }

  // Many magnitudes, whole numbers, tiny and subnormal ones included.
  double number() {
    const double choices[] = {uniform(-10, 10), double(pick(-100000, 100000)),
                              uniform(-1, 1) * std::pow(10.0, pick(-300, 300)), uniform(-1, 1) * 1e-310,
                              0.1 * pick(-50, 50), uniform(-1e6, 1e6)};
    return choices[pick(0, 5)];
  }

  // Gaps at and just above the minimum separation, and wide ones.
  double gap() {
    const double sep = T::Keyframe::getMinSeparation();
    const double choices[] = {sep, sep * (1 + 1e-12), uniform(sep, 1), uniform(1, 100), double(pick(1, 30))};
    return choices[pick(0, 4)];
  }

  std::shared_ptr<T::Interpolator> interpolator() {
    std::vector<std::string> names(T::InterpolatorFactory::begin(), T::InterpolatorFactory::end());
    return T::InterpolatorFactory::create(names[static_cast<std::size_t>(pick(0, int(names.size()) - 1))]);
  }

  void handle(T::Tangent& t) {
    t.setWeightLocked(false);
    // 0 to 6 are the named types; 9 and 200 stand for codes a host made up.
    const int types[] = {0, 1, 2, 3, 4, 5, 6, 9, 200};
    t.setType(static_cast<unsigned char>(types[pick(0, 8)]));
    t.setWeighted(coin());
    t.set(uniform(-50, 50), number());
    t.setWeightLocked(coin());
  }

  // Names and values with characters JSON must escape.
  std::string text() {
    static const char* const pieces[] = {"ball", ".", "translate", "X", " ", "\"", "\\", "\n", "\t",
                                         "\xc3\xa9", "\xe2\x86\x92", "/", "{", "}", "0"};
    std::string s;
    for (int i = pick(0, 6); i > 0; --i) s += pieces[pick(0, 14)];
    return s;
  }

  template <class Owner>
  void properties(Owner& owner, std::set<std::string>& names) {
    static const char* const keys[] = {"node", "channel", "fc_ui", "fc_nocopy", "with space", "\xc3\xbcml"};
    for (int i = pick(0, 3); i > 0; --i) {
      const std::string k = keys[pick(0, 5)], v = text();
      owner.setProperty(k, v.empty() ? "v" : v);
      names.insert(k);
    }
  }

  std::mt19937_64 mRng;
};

}  // namespace DemoTest
