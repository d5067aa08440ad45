#include <arvelle/graphviewcolors.h>

#include <tessal/fcurve.h>

#include <gtest/gtest.h>

#include <string>

using namespace Zentho::Arvelle;
namespace T = Zentho::Tessal;

namespace {

struct Counter : ColorsObserver {
  int calls = 0;
  const GraphViewColors* leaveFrom = nullptr;
  void colorsChanged() override {
    ++calls;
    if (leaveFrom) leaveFrom->unsubscribe(*this);
  }
};

TEST(Colors, RolesOutsideTheTableAreInvalidAndIgnored) {
  GraphViewColors colors;
  Counter c;
  colors.subscribe(c);
  for (int role : {-1, GraphViewColors::cNumRoles}) {
    colors.setColor(role, Qt::red);
    EXPECT_FALSE(colors.getColor(role).isValid()) << role;
    EXPECT_FALSE(GraphViewColors::defaultColor(role).isValid()) << role;
  }
  EXPECT_EQ(c.calls, 0);
}

TEST(Colors, SetColorNotifiesOncePerEffectiveChangeAndObserversMayLeave) {
  GraphViewColors colors;
  Counter c, leaving;
  leaving.leaveFrom = &colors;
  colors.subscribe(c);
  colors.subscribe(c);  // one subscription all the same
  colors.subscribe(leaving);
  colors.setColor(3, colors.getColor(3));
  EXPECT_EQ(c.calls, 0);
  QColor translucent = colors.getColor(3);
  translucent.setAlpha(40);  // alpha alone counts
  colors.setColor(3, translucent);
  colors.setColor(3, translucent);
  EXPECT_EQ(c.calls, 1);
  EXPECT_EQ(colors.getColor(3).alpha(), 40);
  colors.setColor(5, Qt::red);
  EXPECT_EQ(c.calls, 2);
  EXPECT_EQ(leaving.calls, 1);
}

TEST(Colors, AssignmentNotifiesOnceAndNeverCopiesObservers) {
  GraphViewColors a, b;
  Counter ca;
  a.subscribe(ca);
  a = b;  // equal tables
  EXPECT_EQ(ca.calls, 0);
  b.setColor(0, Qt::black);
  b.setColor(1, Qt::white);
  a = b;
  EXPECT_EQ(ca.calls, 1);
  EXPECT_TRUE(a == b);
  // A copy starts without observers: changing it is silent for the source's.
  GraphViewColors copy(a);
  copy.setColor(2, Qt::blue);
  EXPECT_EQ(ca.calls, 1);
  EXPECT_TRUE(copy != a);
}

// ---- per-curve overrides

TEST(ColorOverrides, EachRoundTripsThroughItsOwnCurveProperty) {
  const struct {
    const char* key;
    void (*get)(const T::FCurve&, QColor&);
    void (*set)(T::FCurve&, const QColor&);
    bool (*has)(const T::FCurve&);
    void (*remove)(T::FCurve&);
  } kinds[] = {
#define KIND(Name, key) {key, Get##Name##Color, Set##Name##Color, Has##Name##Color, Remove##Name##Color}
      KIND(UnselectedExterior, "fc_ue"), KIND(UnselectedInterior, "fc_ui"), KIND(SelectedExterior, "fc_se"),
      KIND(SelectedInterior, "fc_si"),   KIND(SelectedTangent, "fc_st"),   KIND(UnselectedTangent, "fc_ut"),
#undef KIND
  };
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.key);
    auto curve = T::FCurve::create("c");
    QColor out(1, 2, 3);
    k.get(*curve, out);
    EXPECT_EQ(out, QColor(0, 0, 0, 255));
    EXPECT_FALSE(k.has(*curve));
    k.set(*curve, QColor(10, 20, 30, 40));
    EXPECT_EQ(curve->getProperty(k.key), "10 20 30");
    EXPECT_TRUE(k.has(*curve));
    k.get(*curve, out);
    EXPECT_EQ(out, QColor(10, 20, 30, 255));
    k.remove(*curve);
    EXPECT_EQ(curve->getProperty(k.key), "");
    EXPECT_FALSE(k.has(*curve));
  }
}

// Hand-edited or damaged values never read past the text: they yield black
// unless they begin with three integers, which are clamped.
TEST(ColorOverrides, DamagedValuesYieldADefinedColour) {
  const std::pair<std::string, QColor> rows[] = {
      {"red", QColor(0, 0, 0)},
      {"12 34", QColor(0, 0, 0)},
      {"1 2 x", QColor(0, 0, 0)},
      {"  7\t8  9 ", QColor(7, 8, 9)},
      {"300 -5 128", QColor(255, 0, 128)},
      {"1 2 3 4 5", QColor(1, 2, 3)},
      {"99999999999999999999999 2 3", QColor(255, 2, 3)},
      {std::string(1 << 20, '7'), QColor(0, 0, 0)},
      {"1 2 " + std::string(1 << 20, '9'), QColor(1, 2, 255)},
  };
  for (const auto& [text, expected] : rows) {
    SCOPED_TRACE(text.substr(0, 40));
    auto curve = T::FCurve::create("c");
    curve->setProperty("fc_si", text);
    QColor out(9, 9, 9);
    GetSelectedInteriorColor(*curve, out);
    EXPECT_EQ(out, expected);
    EXPECT_TRUE(HasSelectedInteriorColor(*curve));
  }
}

}  // namespace
