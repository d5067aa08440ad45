// Shared by the demo suites: what "the same scene" means, and random
// curves that exercise every field of the scene file.
#pragma once

#include "scenefile.h"

#include <tessal/interpolator.h>

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace DemoTest {

namespace T = Zentho::Tessal;

inline std::string Expr(const T::Segment& s) {
  return s.getInterpolator() ? s.getInterpolator()->getExpression() : std::string("<none>");
}

inline ::testing::AssertionResult SameHandle(const T::Tangent& a, const T::Tangent& b, const std::string& where) {
  if (a.get() != b.get())
    return ::testing::AssertionFailure() << where << " offset (" << a.get().x << ", " << a.get().y << ") vs ("
                                         << b.get().x << ", " << b.get().y << ")";
  if (a.getType() != b.getType())
    return ::testing::AssertionFailure() << where << " type " << int(a.getType()) << " vs " << int(b.getType());
  if (a.isWeighted() != b.isWeighted()) return ::testing::AssertionFailure() << where << " weighted";
  if (a.isWeightLocked() != b.isWeightLocked()) return ::testing::AssertionFailure() << where << " weight-locked";
  return ::testing::AssertionSuccess();
}

// Exact equality of everything the file holds, doubles compared with ==.
inline ::testing::AssertionResult SameCurve(const T::FCurve& a, const T::FCurve& b,
                                            const std::set<std::string>& names) {
  const std::string c = "curve \"" + a.getName() + "\": ";
  if (a.getName() != b.getName()) return ::testing::AssertionFailure() << c << "name " << b.getName();
  if (a.isEditable() != b.isEditable() || a.isLocked() != b.isLocked() || a.isVisible() != b.isVisible() ||
      a.isVelocityVisible() != b.isVelocityVisible() || a.isAccelerationVisible() != b.isAccelerationVisible())
    return ::testing::AssertionFailure() << c << "flags differ";
  for (const auto& n : names)
    if (a.getProperty(n) != b.getProperty(n))
      return ::testing::AssertionFailure() << c << "property " << n << ": \"" << a.getProperty(n) << "\" vs \""
                                           << b.getProperty(n) << "\"";
  if (a.size() != b.size()) return ::testing::AssertionFailure() << c << "size " << a.size() << " vs " << b.size();
  auto ia = a.begin();
  auto ib = b.begin();
  for (std::size_t i = 0; ia != a.end(); ++ia, ++ib, ++i) {
    const std::string e = c + "entry " + std::to_string(i) + ": ";
    if (Expr(**ia) != Expr(**ib)) return ::testing::AssertionFailure() << e << Expr(**ia) << " vs " << Expr(**ib);
    for (const auto& n : names)
      if (ia->getProperty(n) != ib->getProperty(n))
        return ::testing::AssertionFailure() << e << "segment property " << n;
    const T::Keyframe* ka = ia.key();
    const T::Keyframe* kb = ib.key();
    if (!ka != !kb) return ::testing::AssertionFailure() << e << "key presence";
    if (!ka) continue;
    if (ka->get() != kb->get())
      return ::testing::AssertionFailure() << e << "key (" << ka->getX() << ", " << ka->getY() << ") vs ("
                                           << kb->getX() << ", " << kb->getY() << ")";
    if (ka->isBreakdown() != kb->isBreakdown() || ka->isTangentsUnified() != kb->isTangentsUnified() ||
        T::IsLocked(*ka) != T::IsLocked(*kb))
      return ::testing::AssertionFailure() << e << "key flags";
    auto r = SameHandle(*ka->getInTangent(), *kb->getInTangent(), e + "in");
    if (!r) return r;
    r = SameHandle(*ka->getOutTangent(), *kb->getOutTangent(), e + "out");
    if (!r) return r;
  }
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult SameScene(const ArvelleDemo::Scene& a, const ArvelleDemo::Scene& b) {
  if (a.curves.size() != b.curves.size())
    return ::testing::AssertionFailure() << a.curves.size() << " curves vs " << b.curves.size();
  std::set<std::string> names = a.propertyNames;
  names.insert(b.propertyNames.begin(), b.propertyNames.end());
  names.insert(ArvelleDemo::SceneFile::standardPropertyNames().begin(),
               ArvelleDemo::SceneFile::standardPropertyNames().end());
  for (std::size_t i = 0; i < a.curves.size(); ++i) {
    auto r = SameCurve(*a.curves[i], *b.curves[i], names);
    if (!r) return r;
  }
  return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------- random curves

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
    c->setEditable(coin());
    c->setLocked(coin());
    c->setVisible(coin());
    c->setVelocityVisible(coin());
    c->setAccelerationVisible(coin());
    properties([&](const std::string& k, const std::string& v) { c->setProperty(k, v); }, names);
    (*c->begin())->setInterpolator(interpolator());
    properties([&](const std::string& k, const std::string& v) { (*c->begin())->setProperty(k, v); }, names);

    const int n = pick(0, 40);
    double x = uniform(-1000, 1000);
    std::vector<std::shared_ptr<T::Keyframe>> keys;
    for (int i = 0; i < n; ++i) {
      T::Keyframe value(x, value_());
      value.setBreakdown(coin());
      value.setTangentsUnified(coin());
      T::SetLocked(value, coin());
      auto it = c->insertSegment(value, interpolator());
      if (it != c->end()) {
        keys.push_back(it->getLeftKey());
        properties([&](const std::string& k, const std::string& v) { it->setProperty(k, v); }, names);
      }
      x += gap();
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
      const bool unified = k->isTangentsUnified();
      k->setTangentsUnified(!unified);
      k->setTangentsUnified(unified);
    }
    return c;
  }

 private:
  bool coin() { return (mRng() & 1) != 0; }
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(mRng); }
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(mRng); }

  // Values of many magnitudes, whole numbers and tiny ones included.
  double value_() {
    switch (pick(0, 5)) {
      case 0: return uniform(-10, 10);
      case 1: return static_cast<double>(pick(-100000, 100000));
      case 2: return uniform(-1, 1) * std::pow(10.0, pick(-300, 300));
      case 3: return uniform(-1, 1) * 1e-310;  // subnormal
      case 4: return 0.1 * pick(-50, 50);
      default: return uniform(-1e6, 1e6);
    }
  }

  // Gaps at and just above the minimum separation, and wide ones.
  double gap() {
    const double sep = T::Keyframe::getMinSeparation();
    switch (pick(0, 4)) {
      case 0: return sep;
      case 1: return sep * (1 + 1e-12);
      case 2: return uniform(sep, 1);
      case 3: return uniform(1, 100);
      default: return static_cast<double>(pick(1, 30));
    }
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
    t.set(uniform(-50, 50), value_());
    t.setWeightLocked(coin());
  }

  // Names and values with characters JSON must escape.
  std::string text() {
    static const char* const pieces[] = {"ball", ".", "translate", "X", " ", "\"", "\\", "\n", "\t",
                                         "\xc3\xa9", "\xe2\x86\x92", "/", "{", "}", "0"};
    std::string s;
    const int n = pick(0, 6);
    for (int i = 0; i < n; ++i) s += pieces[pick(0, 14)];
    return s;
  }

  template <class Set>
  void properties(Set set, std::set<std::string>& names) {
    static const char* const keys[] = {"node", "channel", "fc_ui", "fc_nocopy", "with space", "\xc3\xbcml"};
    const int n = pick(0, 3);
    for (int i = 0; i < n; ++i) {
      const std::string k = keys[pick(0, 5)];
      std::string v = text();
      if (v.empty()) v = "v";
      set(k, v);
      names.insert(k);
    }
  }

  std::mt19937_64 mRng;
};

}  // namespace DemoTest
