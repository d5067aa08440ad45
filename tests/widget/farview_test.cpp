// Scenes far from the world's zero, read back from the widget's frames: the
// curve and the grid lines where the double-precision mapping puts them, the
// same picture as at the origin, and curves kept off the y labels.
#include <arvelle/arvelle.h>
#include <tessal/tessal.h>

#include <QFontMetrics>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "core/mapping.h"
#include "layers/gridlayer.h"
#include "widget/showwidget.h"

using namespace Zentho::Arvelle;
namespace T = Zentho::Tessal;
using R = T::Rectangle<double>;
using V = T::Vector2D<double>;

namespace {

constexpr int cW = 400, cH = 300;
constexpr double cTolerance = 0.25;  // pixels

// How far a pixel is from the background: 0 where nothing is drawn.
int Distance(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// The weighted centre of weight(i) over i in [from, to), in pixel centres;
// NaN when nothing weighs.
double Centroid(int from, int to, const std::function<double(int)>& weight) {
  double sum = 0, moment = 0;
  for (int i = from; i < to; ++i) {
    sum += weight(i);
    moment += weight(i) * (i + 0.5);
  }
  return sum > 0 ? moment / sum : std::nan("");
}

class FarScene : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ShowWidget(widget, cW, cH));
    curveLayer = widget.getRootLayer()->findLayer("Curve Layer");
    grid = std::dynamic_pointer_cast<GridLayer>(widget.getRootLayer()->findLayer("Grid Layer"));
    ASSERT_TRUE(curveLayer && grid);
  }
  // A linear curve through (c, c) + (0, 0), (4, 2), (8, -1), 40 pixels a
  // unit, whole units on pixel centres.
  void show(double c) {
    widget.getCurves()->clear();
    auto curve = T::FCurve::create("far");
    for (const V& k : {V(0, 0), V(4, 2), V(8, -1)})
      curve->insertSegment(T::Keyframe(c + k.x, c + k.y), T::Linear::create());
    widget.getCurves()->addCurve(curve);
    viewport->setWorldBounds(R(c - 1.0125, c - 3.0125, 10, 7.5));
  }
  // The curve's y at the window column's centre, from the keys offset by c.
  double curvePixelY(double c, int column) const {
    const V w = ToWorld(*viewport, V(column + 0.5, 0));
    const double x = w.x - c;
    const double y = x < 4 ? 0.5 * x : 2 - 0.75 * (x - 4);
    return ToPixel(*viewport, V(0, c + y)).y;
  }
  QImage frame(bool curves) {
    curveLayer->setVisible(curves);
    return widget.grabFramebuffer();
  }
  int plotLeft() const { return int(std::ceil(grid->plotLeft(*viewport))); }

  GraphWidget widget;
  std::shared_ptr<Viewport> viewport = widget.getViewport();
  std::shared_ptr<Layer> curveLayer;
  std::shared_ptr<GridLayer> grid;
  int labelBand = QFontMetrics(widget.getFont()).height() + 4;  // the x labels and a margin
};

class FarView : public FarScene, public ::testing::WithParamInterface<double> {};

TEST_P(FarView, CurveAndGridLieWhereTheMappingPutsThemAsAtTheOrigin) {
  const double c = GetParam();
  show(100);  // near the origin, with no axis in view
  const int nearLeft = plotLeft();
  const QImage origin = frame(true);
  show(c);
  const int left = std::max(plotLeft(), nearLeft) + 2;
  const QImage bare = frame(false), drawn = frame(true);
  const QColor background = widget.getColors()->getColor(ColorRole::Background);

  // The curve, column by column, away from the bend at the middle key.
  int columns = 0;
  for (int x = left; x < cW - 2; x += 3) {
    if (std::abs(x - 200) < 5) continue;
    const double at =
        Centroid(0, cH - labelBand, [&](int y) { return Distance(drawn.pixelColor(x, y), bare.pixelColor(x, y)); });
    SCOPED_TRACE(x);
    ASSERT_FALSE(std::isnan(at)) << "no curve";
    EXPECT_NEAR(at, curvePixelY(c, x), cTolerance);
    ++columns;
  }
  EXPECT_GT(columns, 80);

  // Grid lines across a row and down a column between lines: verticals at
  // units + 1 pixel centres, horizontals likewise.
  const int row = 159, column = 260;
  auto weightRow = [&](int x) { return double(Distance(bare.pixelColor(x, row), background)); };
  auto weightColumn = [&](int y) { return double(Distance(bare.pixelColor(column, y), background)); };
  for (int k = 0; k < 10; ++k) {
    const double x = ToPixel(*viewport, V(c + k, 0)).x, y = ToPixel(*viewport, V(0, c + k - 3)).y;
    if (x > left + 4 && x < cW - 4) {
      EXPECT_NEAR(Centroid(int(x) - 4, int(x) + 5, weightRow), x, cTolerance) << k;
    }
    if (y > 4 && y < cH - labelBand) {
      EXPECT_NEAR(Centroid(int(y) - 4, int(y) + 5, weightColumn), y, cTolerance) << k;
    }
  }

  // The plot is the origin's, shifted with the scene.
  int differing = 0;
  for (int y = 0; y < cH - labelBand; ++y)
    for (int x = left; x < cW; ++x) differing += Distance(drawn.pixelColor(x, y), origin.pixelColor(x, y)) > 24;
  EXPECT_EQ(differing, 0);
}

INSTANTIATE_TEST_SUITE_P(Offsets, FarView, ::testing::Values(1e3, 1e6, 1e9, 1e12, -1e12));

TEST_F(FarScene, CurvesStayOffTheYLabels) {
  show(-1e12);  // labels of 14 characters
  const QImage bare = frame(false), drawn = frame(true);
  const int left = plotLeft();
  EXPECT_GT(left, 60);
  int under = 0, over = 0;
  for (int y = 0; y < cH; ++y) {
    for (int x = 0; x < left - 1; ++x) under += drawn.pixelColor(x, y) != bare.pixelColor(x, y);
    over += drawn.pixelColor(left + 2, y) != bare.pixelColor(left + 2, y);
  }
  EXPECT_EQ(under, 0);
  EXPECT_GT(over, 0);
}

// Where doubles step by 2, and keys 0.01 apart at a million.
TEST_F(FarScene, CoarseAndNarrowScenesStillShowTheirCurve) {
  const struct {
    std::vector<V> keys;
    R world;
  } scenes[] = {{{V(1e16, 0), V(1e16 + 2, 1), V(1e16 + 4, 0)}, R(1e16 - 1, -0.5, 6, 2)},
                {{V(1e6, 0), V(1e6 + 0.01, 1)}, R(1e6 - 0.002, -0.5, 0.014, 2)}};
  for (const auto& scene : scenes) {
    SCOPED_TRACE(::testing::PrintToString(scene.world));
    widget.getCurves()->clear();
    auto curve = T::FCurve::create("far");
    for (const V& k : scene.keys) curve->insertSegment(T::Keyframe(k.x, k.y), T::Linear::create());
    widget.getCurves()->addCurve(curve);
    viewport->setWorldBounds(scene.world);
    const QImage bare = frame(false), drawn = frame(true);
    // Along the first segment the curve is where the mapping puts it.
    const V a = ToPixel(*viewport, scene.keys[0]), b = ToPixel(*viewport, scene.keys[1]);
    int columns = 0;
    for (int x = std::max(plotLeft() + 2, int(a.x) + 3); x < int(b.x) - 3; x += 5, ++columns) {
      const double at =
          Centroid(0, cH - labelBand, [&](int y) { return Distance(drawn.pixelColor(x, y), bare.pixelColor(x, y)); });
      EXPECT_NEAR(at, a.y + (x + 0.5 - a.x) * (b.y - a.y) / (b.x - a.x), cTolerance) << x;
    }
    EXPECT_GT(columns, 10);
  }
}

}  // namespace
