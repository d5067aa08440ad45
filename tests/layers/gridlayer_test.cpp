// The grid's lines and labels, read back through GL feedback. Expectations
// come from the grid rules written out here, not from the layer.
#include "glcapture.h"
#include "printers.h"

#include <arvelle/graphviewcolors.h>

#include "layers/gridlayer.h"

#include <QFontMetrics>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;
using Capture::Line;
using Capture::Text;

namespace {

constexpr int cW = 400, cH = 300;
const QColor cGrid(81, 81, 81), cBackground(46, 46, 46);

// Grid metrics for a pixel size: spacing, fade and decimals.
struct Axis {
  double spacing, fade;
  int decimals;
};

Axis MetricsFor(double unitsPerPixel) {
  const double x = std::log10(5 * unitsPerPixel);
  const double e = std::ceil(x);
  return {std::pow(10.0, e), std::min(1.0, std::max(0.0, (e - x) * 1.5)), e < 0 ? 1 - int(e) : 0};
}

// Characters of the integer part, sign included.
int Digits(double v) {
  const std::string s = std::to_string(static_cast<long long>(std::fabs(std::trunc(v))));
  return static_cast<int>(s.size()) + (v < 0 ? 1 : 0);
}

int Fewer(int d) { return d - 1 == 1 ? 0 : d - 1; }

QColor Faded(double f) {
  auto mix = [f](int g, int b) { return int(f * g + (1 - f) * b); };
  return QColor(mix(81, 46), mix(81, 46), mix(81, 46));
}

// The frame the rules predict for a world on the 400 x 300 window.
struct Expect {
  double left, right, bottom, top, upx, upy;
  Axis x, y;
  double yBase, xLeft, lx, ly;
  int dx, dy;

  Expect(const R& world, const QFontMetrics& fm) {
    left = world.x, right = world.x + world.width, bottom = world.y, top = world.y + world.height;
    upx = world.width / cW, upy = world.height / cH;
    x = MetricsFor(upx), y = MetricsFor(upy);
    const double cw = fm.averageCharWidth(), fh = fm.height();
    yBase = bottom + fh * upy;
    lx = x.spacing, dx = x.decimals;
    const int n = std::max(Digits(left), Digits(right));
    for (;;) {
      const double w = (n + 1 + dx) * cw * upx;
      if (dx == 0) {
        while (lx <= w) lx *= 10;
        break;
      }
      if (lx > w) break;
      lx *= 10;
      dx = Fewer(dx);
    }
    ly = y.spacing, dy = y.decimals;
    if (fh * upy > y.spacing) {
      ly *= 10;
      if (dy > 0) dy = Fewer(dy);
    }
    xLeft = left + (cw * (std::max(Digits(top), Digits(yBase)) + dy) + 4) * upx;
  }
};

// Multiples of step in [from, to).
std::vector<double> Multiples(double from, double to, double step) {
  std::vector<double> out;
  for (double k = std::ceil(from / step); k * step < to; k += 1) out.push_back(k * step);
  return out;
}

class Grid : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(target.create(cW, cH)) << "no GL context: run under an X server";
    viewport.setWindowBounds(R(0, 0, cW, cH));
  }
  std::vector<Line> draw(const R& world, std::vector<Text>* texts = nullptr) {
    viewport.setWorldBounds(world);
    return target.lines(*grid, viewport, texts);
  }

  Capture::GLTarget target;
  Viewport viewport;
  std::shared_ptr<GraphViewColors> colors = std::make_shared<GraphViewColors>();
  QFont font;
  QFontMetrics fm{font};
  std::shared_ptr<GridLayer> grid = std::make_shared<GridLayer>(viewport, colors, font);
};

// ---------------------------------------------------------------- lines

class GridLines : public Grid, public ::testing::WithParamInterface<R> {};

TEST_P(GridLines, MinorMajorAndAxesWhereTheRulesPutThem) {
  const R world = GetParam();
  const Expect e(world, fm);
  const auto lines = draw(world);

  // The whole frame, in drawing order: minor lines, the fainter family
  // first (horizontal on a tie); major lines every ten minor ones; then the
  // axis y = 0 and the axis x = 0 where zero is in view above and right of
  // the label bands.
  struct Want {
    bool vertical;
    double at;  // world x or y
    QColor color;
  };
  std::vector<Want> want;
  auto family = [&](bool vertical, double step, const QColor& c) {
    for (double v : vertical ? Multiples(e.xLeft, e.right, step) : Multiples(e.yBase, e.top, step)) {
      want.push_back({vertical, v, c});
    }
  };
  const bool verticalFirst = e.y.fade > e.x.fade;
  family(verticalFirst, verticalFirst ? e.x.spacing : e.y.spacing, Faded(verticalFirst ? e.x.fade : e.y.fade));
  family(!verticalFirst, verticalFirst ? e.y.spacing : e.x.spacing, Faded(verticalFirst ? e.y.fade : e.x.fade));
  family(true, 10 * e.x.spacing, cGrid);
  family(false, 10 * e.y.spacing, cGrid);
  if (e.yBase <= 0 && 0 <= e.top) want.push_back({false, 0.0, cGrid});
  if (e.xLeft <= 0 && 0 <= e.right) want.push_back({true, 0.0, cGrid});

  // GL transforms in single precision: far from the origin a vertex moves
  // by a few float steps of its coordinate.
  const double tolX = 1e-3 + 4 * FLT_EPSILON * std::max(std::fabs(e.left), std::fabs(e.right)) / e.upx;
  const double tolY = 1e-3 + 4 * FLT_EPSILON * std::max(std::fabs(e.bottom), std::fabs(e.top)) / e.upy;
  ASSERT_EQ(lines.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    const Line& l = lines[i];
    const Want& w = want[i];
    EXPECT_EQ(l.color.rgb(), w.color.rgb()) << i;
    if (w.vertical) {
      ASSERT_TRUE(l.vertical()) << i;
      EXPECT_NEAR(l.x0, (w.at - e.left) / e.upx, tolX) << i;
      // From the top of the x label band to the top of the view.
      EXPECT_NEAR(std::min(l.y0, l.y1), (e.yBase - e.bottom) / e.upy, tolY) << i;
      EXPECT_NEAR(std::max(l.y0, l.y1), cH, tolY) << i;
    } else {
      ASSERT_TRUE(l.horizontal()) << i;
      EXPECT_NEAR(l.y0, (w.at - e.bottom) / e.upy, tolY) << i;
      EXPECT_NEAR(std::min(l.x0, l.x1), (e.xLeft - e.left) / e.upx, tolX) << i;
      EXPECT_NEAR(std::max(l.x0, l.x1), cW, tolX) << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Zooms, GridLines,
                         ::testing::Values(R(-0.5, -2, 4, 4),          // fx > fy
                                           R(-10, -2, 110, 4),         // the widget's first view
                                           R(-3, -2.25, 4, 3),         // equal fades
                                           R(1.0, 1.0, 0.072, 0.018),  // fy > fx, no axes
                                           R(-40000, 500, 90000, 700),  // no horizontal axis
                                           R(3, -0.05, 10, 0.6),       // y = 0 inside the label band
                                           R(1000, 5000, 0.3, 0.02)));

TEST_F(Grid, RepaintsOnViewAndColourChanges) {
  QSignalSpy changed(grid.get(), &Layer::notifyLayerChanged);
  viewport.setWorldBounds(R(0, 0, 5, 5));
  colors->setColor(ColorRole::Grid, Qt::red);
  EXPECT_EQ(changed.count(), 2);
  EXPECT_STREQ(grid->getName(), "Grid Layer");
}

// ---------------------------------------------------------------- labels

class GridLabels : public Grid, public ::testing::WithParamInterface<R> {};

TEST_P(GridLabels, AtTheRuledPlacesNeverOverlappingNorWithOneDecimal) {
  const R world = GetParam();
  const Expect e(world, fm);
  std::vector<Text> texts;
  draw(world, &texts);

  std::vector<Text> want;
  for (double v : Multiples(e.xLeft, e.right, e.lx)) {
    const QString t = QString::number(v, 'f', e.dx);
    want.push_back({int((v - e.left) / e.upx - 0.5 * fm.horizontalAdvance(t)), cH - 2, t, {}});
  }
  for (double v : Multiples(e.yBase, e.top, e.ly)) {
    const QString t = QString::number(v, 'f', e.dy);
    want.push_back({2, int((e.top - v) / e.upy + 0.5 * fm.ascent()), t, {}});
  }
  ASSERT_EQ(texts.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(texts[i].text, want[i].text) << i;
    EXPECT_EQ(texts[i].x, want[i].x) << texts[i].text.toStdString();
    EXPECT_EQ(texts[i].y, want[i].y) << texts[i].text.toStdString();
    EXPECT_EQ(texts[i].color, cGrid.lighter(150));
    const int dot = texts[i].text.indexOf('.');
    if (dot >= 0) {
      EXPECT_NE(texts[i].text.size() - dot - 1, 1) << texts[i].text.toStdString();
    }
    EXPECT_FALSE(texts[i].text.startsWith("-0") && texts[i].text.toDouble() == 0) << texts[i].text.toStdString();
  }
  // Consecutive x labels keep clear of each other as drawn.
  for (size_t i = 0; i + 1 < texts.size() && texts[i + 1].y == cH - 2; ++i) {
    EXPECT_LT(texts[i].x + fm.horizontalAdvance(texts[i].text), texts[i + 1].x) << texts[i].text.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Zooms, GridLabels,
                         ::testing::Values(R(-0.5, -2, 4, 4), R(1.0, 1.0, 0.07, 0.75), R(-10, -2, 110, 4),
                                           R(-123456, -0.001, 250000, 0.002), R(0.00012, 50, 0.0001, 2),
                                           R(-2e9, 3, 5e9, 0.9), R(-0.3, -0.31, 0.6, 0.62)));

struct DecimalCase {
  R world;
  QStringList x, y;
};

void PrintTo(const DecimalCase& c, std::ostream* os) { PrintTo(c.world, os); }

class LabelDecimals : public Grid, public ::testing::WithParamInterface<DecimalCase> {};

TEST_P(LabelDecimals, ShowTheSpacingsPrecision) {
  std::vector<Text> texts;
  draw(GetParam().world, &texts);
  QStringList x, y;
  for (const auto& t : texts) (t.y == cH - 2 ? x : y) << t.text;
  EXPECT_EQ(x, GetParam().x);
  EXPECT_EQ(y, GetParam().y);
}

INSTANTIATE_TEST_SUITE_P(
    Views, LabelDecimals,
    ::testing::Values(
        // Spacing 0.1 wants two decimals; too tight, the labels go to whole
        // numbers at once rather than to one decimal. y at 0.1 per 7.5 px
        // takes a single step to 1.
        DecimalCase{R(-0.5, -2, 4, 4), {"0", "1", "2", "3"}, {"-1", "0", "1"}},
        // y at 0.1 per 30 px has room: two decimals, every 0.1.
        DecimalCase{R(0.5, -0.1, 4, 0.95), {"1", "2", "3", "4"}, {"0.00", "0.10", "0.20", "0.30", "0.40", "0.50",
                                                                 "0.60", "0.70", "0.80"}}));

// ---------------------------------------------------------------- bad views

class BrokenView : public Grid, public ::testing::WithParamInterface<R> {};

const double cNaN = std::numeric_limits<double>::quiet_NaN();
const double cInf = std::numeric_limits<double>::infinity();

TEST_P(BrokenView, DrawsNothing) {
  std::vector<Text> texts;
  EXPECT_TRUE(draw(GetParam(), &texts).empty());
  EXPECT_TRUE(texts.empty());
}

INSTANTIATE_TEST_SUITE_P(Worlds, BrokenView,
                         ::testing::Values(R(0, 0, 0, 4), R(0, 0, 4, 0), R(0, 0, -3, 4), R(0, 0, 4, -1),
                                           R(cNaN, 0, 4, 4), R(0, cNaN, 4, 4), R(0, 0, cInf, 4), R(0, 0, 4, cInf),
                                           R(-cInf, 0, 4, 4), R(1.7e308, 0, 1.7e308, 4)));

TEST_F(Grid, NoWindowNoGrid) {
  viewport.setWindowBounds(R(0, 0, 0, 300));
  std::vector<Text> texts;
  EXPECT_TRUE(draw(R(0, 0, 4, 4), &texts).empty());
  EXPECT_TRUE(texts.empty());
}

TEST_F(Grid, WindowWiderThanAnyScreenStaysBounded) {
  // Three billion pixels at 0.1 units each: positions beyond int, and more
  // lines than any frame should take.
  viewport.setWindowBounds(R(0, 0, 3e9, 300));
  viewport.setWorldBounds(R(0, 0, 3e8, 30));
  target.project(viewport);
  std::vector<Text> texts;
  QObject::connect(grid.get(), &Layer::requestDrawText,
                   [&texts](int x, int y, const QString& t, const QColor& c) { texts.push_back({x, y, t, c}); });
  grid->draw(viewport);
  ASSERT_FALSE(texts.empty());
  EXPECT_LE(texts.size(), size_t(1e5));
  for (const auto& t : texts) EXPECT_LE(t.x, 1000000000) << t.text.toStdString();
}

class ExtremeZoom : public Grid, public ::testing::WithParamInterface<R> {};

TEST_P(ExtremeZoom, NeverMoreLinesThanPixels) {
  std::vector<Text> texts;
  const auto lines = draw(GetParam(), &texts);
  size_t vertical = 0, horizontal = 0;
  for (const auto& l : lines) (l.vertical() ? vertical : horizontal) += 1;
  EXPECT_LE(vertical, size_t(cW));
  EXPECT_LE(horizontal, size_t(cH));
  EXPECT_LE(texts.size(), size_t(cW + cH));
}

INSTANTIATE_TEST_SUITE_P(Worlds, ExtremeZoom,
                         ::testing::Values(R(1e6, 0, 1e-12, 1),            // steps far below x's precision
                                           R(1e17, 1e17, 1e-3, 1e-3),      // both
                                           R(-1e300, -1e300, 1e300, 1e300),  // the largest views
                                           R(0, 0, 1e-300, 1e-300),        // the smallest
                                           R(5e15, -1, 3, 2)));

}  // namespace
