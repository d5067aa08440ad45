// Random edit sequences over a container, a selection and undo-style copies, with the invariants every editing
// command relies on checked after every step: keys ordered and apart, every selected record naming a live element
// and every walk agreeing with a reference built from iteration, a copy answering the selection like its source, and
// two swaps with a copy giving back the same curve and the same selection.
#include "curve_fixtures.h"

using namespace Fixtures;

namespace {

struct Editing {
  std::mt19937 rng;
  std::shared_ptr<FCurveContainer> box = std::make_shared<FCurveContainer>();
  Selection sel{box};

  explicit Editing(unsigned seed) : rng(seed) {
    for (const char* name : {"a", "b", "c"}) {
      auto c = FCurve::create(name);
      for (int i = 0; i < 30; ++i) c->insertSegment(Keyframe(real(-50, 50), real(-5, 5)), interpolator());
      box->addCurve(c);
    }
  }

  double real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
  std::size_t pick(std::size_t n) { return n ? rng() % n : 0; }
  std::shared_ptr<Interpolator> interpolator() {
    static const char* names[] = {"bezier()", "linear()", "constant()", "ease()", "easeIn()", "easeOut()", "none"};
    return InterpolatorFactory::create(names[pick(7)]);  // "none" gives null, which must be refused
  }
  FCurve& curve() { return *box->at(pick(box->size())); }
  // A random key of the curve, or null when it has none.
  std::shared_ptr<Keyframe> key(FCurve& c) {
    if (c.numKeys() == 0) return nullptr;
    return std::next(c.begin(), static_cast<long>(1 + pick(c.numKeys()))).segment()->getLeftKey();
  }
  Vector2D<double> offset() {
    const double big = rng() % 50 == 0 ? 1e301 : 4;  // now and then out of range
    return {real(-big, big), real(-big, big)};
  }

  // One random edit; returns what it was, for the failure message.
  std::string step() {
    FCurve& c = curve();
    auto k = key(c);
    switch (rng() % 12) {
      case 0: c.insertSegment(Keyframe(real(-60, 60), real(-5, 5)), interpolator()); return "insert";
      case 1: if (k) c.removeSegment(c.findSegment(k->getX())); return "remove";
      case 2: if (k) k->set(real(-60, 60), real(-5, 5)); return "set";
      case 3: {
        FCurve::Switch hold(c);
        std::vector<std::pair<std::shared_ptr<Keyframe>, Vector2D<double>>> moved;
        for (int i = 0; i < 4; ++i)
          if (auto m = key(c)) moved.emplace_back(m, m->get()), m->set(real(-60, 60), 0);
        // Half the time put them back, in reverse, as an undo would.
        if (rng() % 2)
          for (auto it = moved.rbegin(); it != moved.rend(); ++it) it->first->set(it->second);
        return "switch";
      }
      case 4:
        if (k) (rng() % 2 ? k->getInTangent() : k->getOutTangent())->set(offset());
        return "set handle";
      case 5:
        if (k) (rng() % 2 ? k->getInTangent() : k->getOutTangent())->setType(static_cast<unsigned char>(pick(8)));
        return "set type";
      case 6:
        if (k) k->setTangents(offset(), offset(), static_cast<unsigned char>(pick(8)), TangentType::Fixed);
        if (k && rng() % 2) k->setTangentsUnified(!k->isTangentsUnified());
        return "set tangents";
      case 7: FlipCurve(c, static_cast<int>(pick(3)), real(-10, 10), real(-10, 10)); return "flip";
      case 8: {
        const double sx = rng() % 4 ? real(-3, 3) : 0.001;
        TransformCurve(c, Vector2D<double>(sx, real(-2, 2)), Vector2D<double>(real(-5, 5), real(-5, 5)));
        return "transform";
      }
      case 9: {
        const double x0 = real(-60, 40);
        if (rng() % 2) BakeCurve(c, x0, x0 + real(1, 20), real(0.5, 3));
        else SmoothCurve(c, x0, x0 + real(1, 20), real(0.5, 3), static_cast<int>(pick(4)), static_cast<int>(pick(2)));
        return "bake or smooth";
      }
      case 10: {
        SelectionSnapshot before(sel);
        switch (rng() % 5) {
          case 0: SelectCurveCompletely(sel, c); break;
          case 1: DeselectCurveCompletely(sel, c); break;
          case 2: DeselectSelectedParts(sel); break;
          case 3: if (k) sel.select(HitRecord(rng() % 2 ? k->getInTangent() : k->getOutTangent())); break;
          default: if (k) sel.select(*k), sel.select(*k->getRightSegment()); break;
        }
        if (rng() % 4 == 0) before.select();
        return "selection";
      }
      default: {
        // An undo-style round trip: edit a copy, swap it in, swap back.
        auto copy = FCurve::createCopy(c);
        if (auto m = key(*copy)) copy->removeSegment(copy->findSegment(m->getX()));
        FCurve::swap(c, *copy);
        FCurve::swap(c, *copy);
        return "copy and swap";
      }
    }
  }

  AssertionResult invariants() {
    for (const auto& c : *box) {
      if (AssertionResult r = IsValidCurve(*c); !r) return r << " in " << c->getName();
      if (AssertionResult r = IndexSound(*c); !r) return r;
      // Extents kept from an earlier shape would frame the wrong view: a fresh copy measures anew.
      Rectangle<double> kept, fresh;
      const bool any = GetInteriorExtents(*c, kept);
      if (any != GetInteriorExtents(*FCurve::createCopy(c), fresh) || (any && !(kept == fresh)))
        return AssertionFailure() << "interior extents of " << c->getName() << " out of date";
      // The reach a handle search relies on covers every handle.
      for (auto it = std::next(c->begin()); it != c->end(); ++it) {
        for (const auto& t : {it.key()->getInTangent(), it.key()->getOutTangent()})
          if (std::fabs(t->get().x) > GetHandleReach(*c)) return AssertionFailure() << "a handle beyond the reach";
      }
    }
    for (auto it = sel.begin(); it != sel.end(); ++it) {
      const HitRecord& r = *it;
      const bool live = r.getType() == HitRecord::Curve ? box->contains(*r.getCurve())
                        : r.getType() == HitRecord::KeyframeRecord ? r.getKeyframe() && r.getKeyframe()->getOwningCurve() == r.getCurve()
                        : r.getType() == HitRecord::SegmentRecord ? r.getSegment() && r.getSegment()->getOwningCurve() == r.getCurve()
                                                                  : r.getTangent() && r.getTangent()->getOwningCurve() == r.getCurve();
      if (!live) return AssertionFailure() << "a record of type " << r.getType() << " names nothing live";
    }
    if (AssertionResult r = WalksAgree(sel); !r) return r;
    // A copy answers like its source, element by element.
    FCurve& c = curve();
    auto copy = FCurve::createCopy(c);
    for (auto a = c.begin(), b = copy->begin(); a != c.end(); ++a, ++b) {
      bool same = sel.isSelected(*a.segment()) == sel.isSelected(*b.segment());
      if (a.key()) {
        same = same && sel.isSelected(*a.key()) == sel.isSelected(*b.key()) &&
               sel.isSelected(*a.key()->getInTangent()) == sel.isSelected(*b.key()->getInTangent()) &&
               sel.isSelected(*a.key()->getOutTangent()) == sel.isSelected(*b.key()->getOutTangent());
      }
      if (!same) return AssertionFailure() << "a copy of " << c.getName() << " answers the selection differently";
    }
    // Two swaps are the identity, for the content and for what the selection walks list.
    const auto state = State(c);
    const std::vector<HitRecord> before(sel.begin(), sel.end());
    FCurve::swap(c, *copy);
    FCurve::swap(c, *copy);
    if (AssertionResult r = Unchanged(c, state); !r) return r << " after two swaps";
    const std::vector<HitRecord> after(sel.begin(), sel.end());
    if (before != after) return AssertionFailure() << "two swaps changed the selection's walk";
    return AssertionSuccess();
  }
};

}  // namespace

TEST(EditingProperties, randomEditSequencesKeepEveryInvariant) {
  for (unsigned seed : {1u, 2u, 3u}) {
    Editing e(seed);
    for (int i = 0; i < 1500; ++i) {
      const std::string what = e.step();
      ASSERT_TRUE(e.invariants()) << "seed " << seed << ", step " << i << ": " << what;
    }
  }
}
