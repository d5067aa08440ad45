// The view's small models: the viewport and its observers, the snap
// settings and the grid metrics they share, and the domain slider.
#include <arvelle/domainslider.h>
#include <arvelle/snapsettings.h>
#include <arvelle/viewport.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

using namespace Zentho::Arvelle;
using V = Zentho::Tessal::Vector2D<double>;
using R = Zentho::Tessal::Rectangle<double>;

namespace {

const double cNaN = std::numeric_limits<double>::quiet_NaN();

struct CountingObserver : ViewportObserver {
  int calls = 0;
  std::function<void(const Viewport&)> onChange;
  void viewportChanged(const Viewport& v) override {
    ++calls;
    if (onChange) onChange(v);
  }
};

TEST(Viewport, EachEffectiveChangeNotifiesExactlyOnce) {
  Viewport v;
  CountingObserver o;
  v.subscribe(o);
  v.subscribe(o);  // a second subscription is harmless
  v.setWorldBounds(R(-10, -2, 110, 4));
  v.setWorldBounds(R(-10, -2, 110, 4));
  EXPECT_EQ(o.calls, 1);
  v.setWindowBounds(R(0, 0, 100, 100));  // the default: no change
  EXPECT_EQ(o.calls, 1);
  v.setWindowBounds(R(0, 0, 100, 100.0000001));  // compared exactly
  EXPECT_EQ(o.calls, 2);
  v.setPanZoomEnabled(false);  // not a rectangle
  EXPECT_EQ(o.calls, 2);
  v.notifyViewportChanged();
  EXPECT_EQ(o.calls, 3);
}

TEST(Viewport, WorldBoundsThatCannotBeShownAreRefused) {
  Viewport v;
  CountingObserver o;
  v.subscribe(o);
  const R shown(-10, -2, 110, 4);
  v.setWorldBounds(shown);
  const double inf = std::numeric_limits<double>::infinity(), big = std::numeric_limits<double>::max();
  for (const R& bad : {R(cNaN, 0, 1, 1), R(0, 0, inf, 1), R(-inf, 0, 1, 1), R(0, 0, 0, 1), R(0, 0, 1, -2),
                       R(0, 0, 1, cNaN), R(big, 0, big, 1)})
    v.setWorldBounds(bad);
  EXPECT_EQ(v.getWorldBounds(), shown);
  EXPECT_EQ(o.calls, 1);
}

TEST(Viewport, LimitsWithoutAreaAreNoLimits) {
  Viewport v;
  CountingObserver o;
  v.subscribe(o);
  v.setWorldLimits(R(3, 4, 5, 0));
  v.setWorldLimits(R(7, 7, -1, 9));
  EXPECT_EQ(v.getWorldLimits(), R(0, 0, 0, 0));
  EXPECT_EQ(o.calls, 0);  // there were none before either
  v.setWorldLimits(R(0, -1, 100, 2));
  v.setWorldLimits(R(0, -1, 100, 2));
  EXPECT_EQ(v.getWorldLimits(), R(0, -1, 100, 2));
  EXPECT_EQ(o.calls, 1);
  v.setWorldLimits(1.f, 2.f, 3.f, 0.f);  // the float form takes the same path
  EXPECT_EQ(v.getWorldLimits(), R(0, 0, 0, 0));
  v.setWorldLimits(R(0, -1, 100, 2));
  v.setWorldLimits(R(0, -1, 100, cNaN));
  EXPECT_EQ(v.getWorldLimits(), R(0, 0, 0, 0));
  EXPECT_EQ(o.calls, 4);
}

TEST(Viewport, ObserverRemovedDuringNotificationIsSkippedFromThenOn) {
  const struct {
    const char* scenario;
    int remover, removed;
    int calls[3];  // after two changes
  } rows[] = {
      {"itself", 0, 0, {1, 2, 2}},
      {"a later one, before its turn", 0, 2, {2, 2, 0}},
      {"an earlier one, after its turn", 2, 0, {1, 2, 2}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.scenario);
    Viewport v;
    CountingObserver obs[3];  // array order is identity order, so visit order
    for (auto& o : obs) v.subscribe(o);
    obs[r.remover].onChange = [&](const Viewport&) { v.unsubscribe(obs[r.removed]); };
    v.setWorldBounds(R(0, 0, 2, 2));
    v.setWorldBounds(R(0, 0, 3, 3));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(obs[i].calls, r.calls[i]) << i;
    EXPECT_FALSE(v.isSubscribed(obs[r.removed]));
    EXPECT_EQ(obs[r.removed].numSubscriptions(), 0u);
    // Its stale entry is gone: subscribing again works normally.
    obs[r.remover].onChange = nullptr;
    v.subscribe(obs[r.removed]);
    v.setWorldBounds(R(0, 0, 4, 4));
    EXPECT_EQ(obs[r.removed].calls, r.calls[r.removed] + 1);
  }
}

TEST(Viewport, NestedNotificationKeepsDeferredRemovalCorrect) {
  Viewport v;
  CountingObserver obs[3];
  for (auto& o : obs) v.subscribe(o);
  // The first observer answers the change by changing the bounds once more;
  // inside that nested walk the last observer leaves.
  obs[0].onChange = [&](const Viewport& vp) {
    if (vp.getWorldBounds().width < 5) {
      obs[1].onChange = [&](const Viewport&) { v.unsubscribe(obs[2]); };
      v.setWorldBounds(R(0, 0, 10, 10));
    }
  };
  v.setWorldBounds(R(0, 0, 2, 2));
  EXPECT_EQ(obs[0].calls, 2);
  EXPECT_EQ(obs[1].calls, 2);
  EXPECT_EQ(obs[2].calls, 0);  // removed before its turn in both walks
  EXPECT_FALSE(v.isSubscribed(obs[2]));
}

// ---------------------------------------------------------------- snapping

TEST(SnapSettings, RoundGoesToTheNearestMultipleWithHalvesAwayFromZero) {
  const struct {
    double value, increment, expected;
  } rows[] = {{0.25, 0.5, 0.5},  {-0.25, 0.5, -0.5}, {0.75, 0.5, 1.0},         {-0.75, 0.5, -1.0},
              {0.24, 0.5, 0.0},  {-0.24, 0.5, 0.0},  {7.3, 1.0, 7.0},          {-7.6, 1.0, -8.0},
              {3.0, 0.1, 3.0},   {1234.5678, 0.01, 1234.57}, {11.7, 1.0, 12.0},      {12.3, 0.1, 12.3},
              {5.0, 0.0, 5.0},   {1e300, 1e-10, 1e300}};
  // Exact: a key snapped to frame 12 is at 12, not a hair beside it.
  for (const auto& r : rows) {
    EXPECT_EQ(SnapSettings::Round(r.value, r.increment), r.expected) << r.value << " by " << r.increment;
  }
}

TEST(SnapSettings, SnapTouchesOnlyTheAxesThatSnapEachAtItsOwnPixelSize) {
  SnapSettings s;
  V p(0.234, 151.0);
  SnapSettings::Snap(p, s, V(0.01, 0.01));
  EXPECT_EQ(p, V(0.234, 151.0));
  s.setSnappingX(true);
  SnapSettings::Snap(p, s, V(0.01, 0.01));
  EXPECT_EQ(p.y, 151.0);
  // x: 1 unit over 100 px (step 0.1); y: 400 units over 100 px (step 100).
  s.setSnappingY(true);
  SnapSettings::Snap(p, s, Viewport(R(0, 0, 100, 100), R(0, 0, 1, 400)));
  EXPECT_NEAR(p.x, 0.2, 1e-7);
  EXPECT_NEAR(p.y, 200.0, 1e-5);
  s.setIncrementY(0.25);  // taken as it is
  p = V(0.234, 0.567);
  SnapSettings::Snap(p, s, V(0.01, 0.01));
  EXPECT_NEAR(p.y, 0.5, 1e-7);
}

TEST(SnapSettings, GridMetricsPerPixelSizeWhichTheGridFollowingStepShares) {
  const struct {
    double pixelSize, spacing, fade;  // NaN: not checked
    int decimals;
  } rows[] = {
      {0.01, 0.1, 0.45, 2},    // lines 10 px apart, half faded in
      {0.2, 1.0, 0.0, 0},      // exactly 5 px apart: invisible
      {0.0021, 0.1, 1.0, 2},   // ~48 px apart: fully shown
      {0.03, 1.0, cNaN, 0},    {2.5, 100.0, cNaN, 0}, {0.00015, 0.001, cNaN, 4}, {0.000015, 0.0001, cNaN, 5},
      {0.0, cNaN, cNaN, 0},    // degenerate views: no garbage decimals
      {cNaN, cNaN, cNaN, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.pixelSize);
    double spacing = -1, fade = -1;
    int decimals = -1;
    SnapSettings::GetGridMetrics(r.pixelSize, spacing, fade, decimals);
    EXPECT_TRUE(std::isnan(r.spacing) || std::fabs(spacing / r.spacing - 1) < 1e-12) << spacing;
    EXPECT_TRUE(std::isnan(r.fade) || std::fabs(fade - r.fade) <= 0.01) << fade;
    EXPECT_EQ(decimals, r.decimals);
    // A snap increment of exactly 1 follows the grid: snapped keys land on lines.
    EXPECT_TRUE(std::isnan(r.spacing) || SnapSettings().getIncrementX(r.pixelSize) == spacing);
  }
  EXPECT_EQ(SnapSettings().getIncrement(1 + 1e-12, 0.01), 1 + 1e-12);
}

TEST(SnapSettings, TextForm) {
  SnapSettings s;
  EXPECT_EQ(s.str(), "SnapSettings: x off, x inc=auto, y off, y inc=auto");
  s.setSnappingX(true);
  s.setIncrementX(0.25);
  s.setSnappingY(true);
  s.setIncrementY(1.0 / 3.0);
  EXPECT_EQ(s.str(), "SnapSettings: x on, x inc=0.25, y on, y inc=0.333333");
  std::ostringstream out;
  out << s << '|' << &s << '|' << static_cast<const SnapSettings*>(nullptr);
  EXPECT_EQ(out.str(), s.str() + '|' + s.str() + "|SnapSettings: null");
}

TEST(SnapSettings, EqualityComparesAllFourFieldsExactly) {
  SnapSettings c;
  c.setSnappingX(true);
  c.setSnappingY(true);
  c.setIncrementX(2);
  c.setIncrementY(3);
  EXPECT_TRUE(SnapSettings(c) == c);
  for (int field = 0; field < 4; ++field) {
    SnapSettings e(c);
    if (field == 0) e.setSnappingX(false);
    if (field == 1) e.setSnappingY(false);
    if (field == 2) e.setIncrementX(2.0000001);
    if (field == 3) e.setIncrementY(3.0000001);
    EXPECT_TRUE(e != c) << field;
  }
}

// ---------------------------------------------------------------- domain slider

struct Recorder : DomainSliderObserver {
  std::vector<std::string> heard;
  bool leaveOnShow = false;
  void shown(DomainSlider& s) override {
    heard.push_back("shown");
    if (leaveOnShow) s.unsubscribe(*this);
  }
  void hidden(DomainSlider&) override { heard.push_back("hidden"); }
  void valueChanged(DomainSlider& s) override { heard.push_back("value " + std::to_string(int(s.getValue()))); }
};

TEST(DomainSlider, NotifiesOnlyRealChangesInOrderAndLetsObserversLeave) {
  DomainSlider slider;  // hidden, at 0
  Recorder leaving, staying;
  leaving.leaveOnShow = true;
  slider.subscribe(leaving);
  slider.subscribe(staying);
  slider.hide();
  slider.setValue(0.0);
  slider.show();
  slider.show();
  slider.setValue(12);
  slider.setValue(12);
  slider.hide();
  EXPECT_EQ(staying.heard, (std::vector<std::string>{"shown", "value 12", "hidden"}));
  EXPECT_EQ(leaving.heard, (std::vector<std::string>{"shown"}));
  EXPECT_FALSE(slider.isSubscribed(leaving));
  EXPECT_FALSE(slider.isVisible());
  EXPECT_EQ(slider.getValue(), 12.0);
}

}  // namespace
