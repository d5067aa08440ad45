// Sequences of curve-model operations decoded from the input, over a
// container of a few curves and a selection, with the invariants checked
// after every step: insertion, removal and restoring, keys moved inside and
// outside Switches, handles and their types and flags, segment
// interpolators, bake, smooth, flip, transform, copies, swaps, container
// edits and selection edits.
#include "checks.h"

#include <tessal/tessal.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <memory>
#include <vector>

namespace {

namespace T = Zentho::Tessal;
using V = T::Vector2D<double>;
using FuzzChecks::CheckCurve;
using FuzzChecks::CheckSelection;

// Bakes and smooths that would create more keys than this are skipped, and
// far larger ones are tried for their refusal: a million keys per step would
// make the fuzzer crawl without finding more.
constexpr double cMaxFuzzKeys = 4000;

struct World {
  std::shared_ptr<T::FCurveContainer> container = std::make_shared<T::FCurveContainer>();
  T::Selection selection{container};
  std::vector<std::shared_ptr<T::FCurve>> curves;       // every curve made, held or not
  std::vector<std::shared_ptr<T::Keyframe>> removed;    // keys taken out, for restoring
  std::vector<std::unique_ptr<T::FCurve::Switch>> switches;
};

double Number(FuzzedDataProvider& in) {
  static const double table[] = {0,     -0.0,  1,      -1,     0.5,    2,      10,     0.01,  0.005, 0.0099999,
                                 1e-9,  100,   1e6,    -1e6,   1e12,   1e16,   1e300,  -1e300, 2e300, 3.25,
                                 -7.5,  1e-300, 0.3,  1e100};
  switch (in.ConsumeIntegralInRange<int>(0, 5)) {
    case 0: return std::numeric_limits<double>::quiet_NaN();
    case 1: return in.ConsumeBool() ? HUGE_VAL : -HUGE_VAL;
    case 2: return in.ConsumeFloatingPoint<double>();
    case 3: return in.ConsumeFloatingPointInRange<double>(-50, 50);
    default: return table[in.ConsumeIntegralInRange<std::size_t>(0, std::size(table) - 1)];
  }
}

std::shared_ptr<T::FCurve> PickCurve(FuzzedDataProvider& in, World& w) {
  return w.curves[in.ConsumeIntegralInRange<std::size_t>(0, w.curves.size() - 1)];
}

// An entry of the curve (the leading one included), or end() when empty.
T::FCurve::Projection PickEntry(FuzzedDataProvider& in, T::FCurve& curve) {
  return std::next(curve.begin(), long(in.ConsumeIntegralInRange<std::size_t>(0, curve.numKeys())));
}

T::Keyframe* PickKey(FuzzedDataProvider& in, T::FCurve& curve) {
  if (curve.numKeys() == 0) return nullptr;
  return std::next(curve.begin(), long(in.ConsumeIntegralInRange<std::size_t>(1, curve.numKeys()))).key();
}

std::shared_ptr<T::Interpolator> PickInterpolator(FuzzedDataProvider& in) {
  static const std::vector<std::string> names(T::InterpolatorFactory::begin(), T::InterpolatorFactory::end());
  if (in.ConsumeIntegralInRange<int>(0, 15) == 0) return nullptr;
  return T::InterpolatorFactory::create(names[in.ConsumeIntegralInRange<std::size_t>(0, names.size() - 1)]);
}

bool Affordable(double x0, double x1, double step) {
  const double count = (x1 - x0) / step;
  return !(count > cMaxFuzzKeys && count < 4 * double(T::cMaxGeneratedKeys));
}

// CURVEOPS_TRACE=1 prints each step and the keys after it, to read a
// failing input.
const bool gTrace = std::getenv("CURVEOPS_TRACE") != nullptr;

void Trace(int op, const World& w) {
  std::fprintf(stderr, "op %d, switches %zu\n", op, w.switches.size());
  for (const auto& curve : w.curves) {
    std::fprintf(stderr, "  %s%s:", curve->getName().c_str(), w.container->contains(*curve) ? "" : " (out)");
    for (auto it = std::next(curve->begin()); it != curve->end(); ++it) {
      const auto* k = it.key();
      std::fprintf(stderr, " (%.17g, %.17g | %.17g, %.17g | %.17g, %.17g)", k->getX(), k->getY(), k->getInTangent()->get().x,
                   k->getInTangent()->get().y, k->getOutTangent()->get().x, k->getOutTangent()->get().y);
    }
    std::fprintf(stderr, "\n");
  }
}

void Step(FuzzedDataProvider& in, World& w) {
  auto curve = PickCurve(in, w);
  const int op = in.ConsumeIntegralInRange<int>(0, 21);
  struct Traced {
    int op;
    const World& w;
    ~Traced() { if (gTrace) Trace(op, w); }
  } traced{op, w};
  switch (op) {
    case 0: {
      const double x = Number(in), y = Number(in);
      curve->insertSegment(T::Keyframe(x, y), PickInterpolator(in));
      break;
    }
    case 1: {
      auto entry = PickEntry(in, *curve);
      if (entry != curve->end() && entry.key()) w.removed.push_back(entry->getLeftKey());
      curve->removeSegment(entry);
      break;
    }
    case 2:
      if (!w.removed.empty()) {
        auto key = w.removed[in.ConsumeIntegralInRange<std::size_t>(0, w.removed.size() - 1)];
        curve->restoreSegment(key);
      }
      break;
    case 3:
      if (auto* key = PickKey(in, *curve)) key->set(Number(in), Number(in));
      break;
    case 4:
      if (w.switches.size() < 3)
        w.switches.push_back(in.ConsumeBool() ? std::make_unique<T::FCurve::Switch>(*curve)
                                              : std::make_unique<T::FCurve::Switch>());
      break;
    case 5:
      if (!w.switches.empty()) w.switches.pop_back();
      break;
    case 6:
      if (auto* key = PickKey(in, *curve)) (in.ConsumeBool() ? key->getInTangent() : key->getOutTangent())->set(Number(in), Number(in));
      break;
    case 7:
      if (auto* key = PickKey(in, *curve))
        (in.ConsumeBool() ? key->getInTangent() : key->getOutTangent())->setType(in.ConsumeIntegral<unsigned char>());
      break;
    case 8:
      if (auto* key = PickKey(in, *curve)) {
        const V a(Number(in), Number(in)), b(Number(in), Number(in));
        if (in.ConsumeBool())
          key->setTangents(a, b);
        else
          key->setTangents(a, b, in.ConsumeIntegral<unsigned char>(), in.ConsumeIntegral<unsigned char>());
      }
      break;
    case 9:
      if (auto* key = PickKey(in, *curve)) {
        const bool on = in.ConsumeBool();
        auto handle = in.ConsumeBool() ? key->getInTangent() : key->getOutTangent();
        switch (in.ConsumeIntegralInRange<int>(0, 4)) {
          case 0: key->setTangentsUnified(on); break;
          case 1: key->setBreakdown(on); break;
          case 2: T::SetLocked(*key, on); break;
          case 3: handle->setWeighted(on); break;
          default: handle->setWeightLocked(on); break;
        }
      }
      break;
    case 10: {
      auto entry = PickEntry(in, *curve);
      if (entry != curve->end()) entry->setInterpolator(PickInterpolator(in));
      break;
    }
    case 11: {
      const double x0 = Number(in), x1 = Number(in), step = Number(in);
      if (Affordable(x0, x1, step)) T::BakeCurve(*curve, x0, x1, step);
      break;
    }
    case 12: {
      T::Rectangle<double> r;
      const double step = Number(in);
      if (T::GetInteriorExtents(*curve, r) && Affordable(r.x, r.right(), step)) T::BakeInterior(*curve, step);
      break;
    }
    case 13: {
      const double x0 = Number(in), x1 = Number(in), step = Number(in);
      const int radius = in.ConsumeIntegralInRange<int>(-2, 40), filter = in.ConsumeIntegralInRange<int>(-1, 2);
      if (Affordable(x0, x1, step)) T::SmoothCurve(*curve, x0, x1, step, radius, filter);
      break;
    }
    case 14:
      T::FlipCurve(*curve, in.ConsumeIntegralInRange<int>(-1, 3), Number(in), Number(in));
      break;
    case 15: {
      const V scale(Number(in), Number(in)), offset(Number(in), Number(in));
      T::TransformCurve(*curve, scale, offset);
      break;
    }
    case 16:
      if (w.curves.size() < 6) {
        auto copy = T::FCurve::createCopy(curve);
        w.curves.push_back(copy);
        if (in.ConsumeBool()) w.container->addCurve(copy);
      }
      break;
    case 17:
      T::FCurve::swap(*curve, *PickCurve(in, w));
      break;
    case 18:
      if (in.ConsumeBool())
        w.container->addCurve(curve);
      else
        w.container->removeCurve(curve);
      break;
    case 19: {
      auto entry = PickEntry(in, *curve);
      if (entry == curve->end()) break;
      const bool on = in.ConsumeBool();
      T::HitRecord record;
      switch (in.ConsumeIntegralInRange<int>(0, 7)) {
        case 0: record = T::HitRecord(*curve); break;
        case 1: record = T::HitRecord(*entry.segment()); break;
        case 2: if (entry.key()) record = T::HitRecord(*entry.key()); break;
        case 3: if (entry.key()) record = T::HitRecord(entry.key()->getInTangent()); break;
        case 4: if (entry.key()) record = T::HitRecord(entry.key()->getOutTangent()); break;
        case 5: T::SelectCurveCompletely(w.selection, *curve); break;
        case 6: T::DeselectSelectedParts(w.selection); break;
        default: w.selection.clear(); break;
      }
      if (!record.isEmpty()) on ? w.selection.select(record) : w.selection.deselect(record);
      break;
    }
    case 20:
      if (in.ConsumeBool()) curve->clear();
      else curve->setProperty("fc_nocopy", in.ConsumeBool() ? "1" : "");
      break;
    default: {
      // Evaluation and sampling anywhere must be free of undefined behaviour.
      const double x0 = Number(in), x1 = Number(in);
      (void)curve->eval(x0);
      (void)T::GetFirstDerivative(*curve, x0);
      (void)T::GetSecondDerivative(*curve, x1);
      auto entry = PickEntry(in, *curve);
      if (entry != curve->end()) {
        V samples[8];
        entry->sample(x0, x1, std::size(samples), samples);
        entry->sampleFirstDerivative(x0, x1, std::size(samples), samples);
      }
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  World w;
  for (int i = 0; i < 2; ++i) {
    auto curve = T::FCurve::create(i ? "b" : "a");
    for (int k = 0; k < 4; ++k) curve->insertSegment(T::Keyframe(k * 1.5, k % 2), T::InterpolatorFactory::create("bezier()"));
    w.curves.push_back(curve);
    w.container->addCurve(curve);
  }
  for (int steps = 0; steps < 200 && in.remaining_bytes() > 0; ++steps) {
    Step(in, w);
    for (const auto& curve : w.curves) CheckCurve(*curve, w.switches.empty());
    CheckSelection(w.selection);
  }
  w.switches.clear();
  for (const auto& curve : w.curves) CheckCurve(*curve);
  CheckSelection(w.selection);
  return 0;
}
