#include <arvelle/snapsettings.h>
#include <arvelle/viewport.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

using Zentho::Arvelle::SnapSettings;
using Zentho::Arvelle::Viewport;
using V = Zentho::Tessal::Vector2D<double>;
using R = Zentho::Tessal::Rectangle<double>;

namespace {

TEST(SnapSettings, GridFollowingIncrementTracksTheZoom) {
  SnapSettings s;
  EXPECT_DOUBLE_EQ(s.getIncrementX(0.01), 0.1);  // 100 px per unit
  EXPECT_DOUBLE_EQ(s.getIncrementX(0.03), 1.0);
  EXPECT_DOUBLE_EQ(s.getIncrementY(2.5), 100.0);
  EXPECT_DOUBLE_EQ(s.getIncrement(SnapSettings::cSnapToGrid, 0.00015), 0.001);

  s.setIncrementX(0.25);
  for (double p : {1e-6, 0.01, 3.0, 1e6}) EXPECT_EQ(s.getIncrementX(p), 0.25);
  // Only exactly 1.0 follows the grid.
  EXPECT_EQ(s.getIncrement(1.0 + 1e-12, 0.01), 1.0 + 1e-12);
}

TEST(SnapSettings, RoundGoesToTheNearestMultipleWithHalvesAwayFromZero) {
  EXPECT_DOUBLE_EQ(SnapSettings::Round(0.25, 0.5), 0.5);
  EXPECT_DOUBLE_EQ(SnapSettings::Round(-0.25, 0.5), -0.5);
  EXPECT_DOUBLE_EQ(SnapSettings::Round(0.75, 0.5), 1.0);
  EXPECT_DOUBLE_EQ(SnapSettings::Round(-0.75, 0.5), -1.0);
  EXPECT_NEAR(SnapSettings::Round(0.24, 0.5), 0.0, 1e-8);
  EXPECT_NEAR(SnapSettings::Round(-0.24, 0.5), 0.0, 1e-8);
  EXPECT_NEAR(SnapSettings::Round(7.3, 1.0), 7.0, 1e-6);
  EXPECT_NEAR(SnapSettings::Round(-7.6, 1.0), -8.0, 1e-6);
  EXPECT_NEAR(SnapSettings::Round(1234.5678, 0.01), 1234.57, 1e-6);
  EXPECT_NEAR(SnapSettings::Round(3.0, 0.1), 3.0, 1e-7);  // already a multiple
}

TEST(SnapSettings, SnapTouchesOnlyTheAxesThatSnap) {
  SnapSettings s;
  V p(0.234, 0.567);
  SnapSettings::Snap(p, s, V(0.01, 0.01));
  EXPECT_EQ(p, V(0.234, 0.567));

  s.setSnappingX(true);
  SnapSettings::Snap(p, s, V(0.01, 0.01));
  EXPECT_NEAR(p.x, 0.2, 1e-7);
  EXPECT_EQ(p.y, 0.567);

  s.setSnappingX(false);
  s.setSnappingY(true);
  s.setIncrementY(0.25);
  p = V(0.234, 0.567);
  SnapSettings::Snap(p, s, V(0.01, 0.01));
  EXPECT_EQ(p.x, 0.234);
  EXPECT_NEAR(p.y, 0.5, 1e-7);
}

TEST(SnapSettings, ViewportFormUsesEachAxisPixelSize) {
  SnapSettings s;
  s.setSnappingX(true);
  s.setSnappingY(true);
  // x: 1 unit over 100 px (step 0.1); y: 400 units over 100 px (step 100).
  Viewport v(R(0, 0, 100, 100), R(0, 0, 1, 400));
  V p(0.234, 151.0);
  SnapSettings::Snap(p, s, v);
  EXPECT_NEAR(p.x, 0.2, 1e-7);
  EXPECT_NEAR(p.y, 200.0, 1e-5);
}

TEST(SnapSettings, GridMetrics) {
  double spacing = 0, fade = 0;
  int decimals = -1;
  SnapSettings::GetGridMetrics(0.01, spacing, fade, decimals);
  EXPECT_DOUBLE_EQ(spacing, 0.1);
  EXPECT_NEAR(fade, (-1 - std::log10(0.05)) * 1.5, 1e-12);
  EXPECT_NEAR(fade, 0.45, 0.01);
  EXPECT_EQ(decimals, 2);

  SnapSettings::GetGridMetrics(0.2, spacing, fade, decimals);  // exactly 5 px apart
  EXPECT_DOUBLE_EQ(spacing, 1.0);
  EXPECT_NEAR(fade, 0.0, 1e-12);
  EXPECT_EQ(decimals, 0);

  SnapSettings::GetGridMetrics(0.0021, spacing, fade, decimals);  // ~48 px apart: fully shown
  EXPECT_DOUBLE_EQ(spacing, 0.1);
  EXPECT_EQ(fade, 1.0);

  SnapSettings::GetGridMetrics(3.0, spacing, fade, decimals);
  EXPECT_DOUBLE_EQ(spacing, 100.0);
  EXPECT_EQ(decimals, 0);

  SnapSettings::GetGridMetrics(0.000015, spacing, fade, decimals);
  EXPECT_EQ(decimals, 5);

  // A degenerate view yields meaningless metrics but no crash or garbage count.
  SnapSettings::GetGridMetrics(0.0, spacing, fade, decimals);
  EXPECT_EQ(decimals, 0);
  SnapSettings::GetGridMetrics(std::numeric_limits<double>::quiet_NaN(), spacing, fade, decimals);
  EXPECT_EQ(decimals, 0);
}

TEST(SnapSettings, TextForm) {
  SnapSettings s;
  EXPECT_EQ(s.str(), "SnapSettings: x off, x inc=auto, y off, y inc=auto");
  s.setSnappingX(true);
  s.setIncrementX(0.25);
  EXPECT_EQ(s.str(), "SnapSettings: x on, x inc=0.25, y off, y inc=auto");
  s.setSnappingY(true);
  s.setIncrementY(1.0 / 3.0);
  EXPECT_EQ(s.str(), "SnapSettings: x on, x inc=0.25, y on, y inc=0.333333");

  std::ostringstream byValue, byPointer, null;
  byValue << s;
  byPointer << &s;
  null << static_cast<const SnapSettings*>(nullptr);
  EXPECT_EQ(byValue.str(), s.str());
  EXPECT_EQ(byPointer.str(), s.str());
  EXPECT_EQ(null.str(), "SnapSettings: null");
}

TEST(SnapSettings, EqualityAndCopiesCoverAllFourFields) {
  SnapSettings a, b;
  EXPECT_TRUE(a == b);
  b.setIncrementY(0.5);
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(a != b);

  SnapSettings c;
  c.setSnappingX(true);
  c.setSnappingY(true);
  c.setIncrementX(2);
  c.setIncrementY(3);
  a.copy(c);
  EXPECT_TRUE(a == c);
  for (int field = 0; field < 4; ++field) {
    SnapSettings e(c);
    if (field == 0) e.setSnappingX(false);
    if (field == 1) e.setSnappingY(false);
    if (field == 2) e.setIncrementX(2.0000001);
    if (field == 3) e.setIncrementY(3.0000001);
    EXPECT_FALSE(e == c) << field;
  }
}

}  // namespace
