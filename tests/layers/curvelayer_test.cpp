// The curve layer's frames read back where the mapping puts the curves, its
// label shortening, its observer reactions and its behaviour on bad curves.
#include "curvefixtures.h"

#include "layers/curvelayer.h"
#include "layers/hittest.h"

#include <arvelle/arvelle.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>

using namespace Zentho::Arvelle;
using namespace Fixtures;
using R = T::Rectangle<double>;

namespace {

// a is b drawn over black at a smoothed line's partial coverage (60% or
// more), give or take tol per channel.
bool Near(const QColor& a, const QColor& b, int tol = 20) {
  const int bmax = std::max({b.red(), b.green(), b.blue()});
  const int amax = std::max({a.red(), a.green(), a.blue()});
  if (bmax == 0) return amax <= tol;
  const double coverage = double(amax) / bmax;
  if (coverage < 0.6 || coverage > 1.05) return false;
  return std::abs(a.red() - coverage * b.red()) <= tol && std::abs(a.green() - coverage * b.green()) <= tol &&
         std::abs(a.blue() - coverage * b.blue()) <= tol;
}

class ClearLayer : public Layer {
 public:
  void draw(const Viewport&) const override {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
};

// A 200 x 100 widget over x 0..10, y -2..2, cleared to black under the
// curve layer.
class CurvePaint : public ::testing::Test {
 protected:
  void SetUp() override {
    layer = std::dynamic_pointer_cast<CurveLayer>(widget.getRootLayer()->findLayer("Curve Layer"));
    ASSERT_TRUE(layer);
    widget.getUserLayers()->insertLayer(std::make_shared<ClearLayer>(), layer);
    widget.resize(200, 100);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    QTRY_COMPARE(widget.getViewport()->getWindowBounds(), R(0, 0, 200, 100));
    widget.getViewport()->setWorldBounds(R(0, -2, 10, 4));
  }
  void add(const std::shared_ptr<T::FCurve>& c) { widget.getCurves()->addCurve(c); }
  V px(const V& w) { return ToPixel(*widget.getViewport(), w); }
  // The colour of the pixel that contains the pixel-space point.
  static QColor At(const QImage& img, const V& p) { return img.pixelColor(int(p.x), int(p.y)); }
  QColor role(int r) { return widget.getColors()->getColor(r); }

  GraphWidget widget;
  std::shared_ptr<CurveLayer> layer;
};

// Flat at a height whose pixel row centre the line crosses: row 25 spans
// y 25..26, so its centre 25.5 is world y = 2 - 25.5 * 4 / 100.
constexpr double cRowCentreY = 2 - 25.5 * 4 / 100;

std::shared_ptr<T::FCurve> FlatAt(const char* name, double y) {
  return MakeCurve(name, {{2, y, "linear()", 1}, {5, y, "linear()", 1}, {8, y, "linear()", 1}});
}

TEST_F(CurvePaint, CurveLiesWhereTheMappingPutsIt) {
  add(FlatAt("a", cRowCentreY));
  const QImage img = widget.grabFramebuffer();
  for (double x : {3.0, 6.5}) {
    const V p = px(V(x, cRowCentreY));
    EXPECT_TRUE(Near(At(img, p), role(ColorRole::UnselectedInterior))) << x;
    EXPECT_EQ(At(img, p + V(0, 4)), QColor(Qt::black)) << x;
    EXPECT_EQ(At(img, p - V(0, 4)), QColor(Qt::black)) << x;
  }
  // Beyond the last key the exterior colour.
  EXPECT_TRUE(Near(At(img, px(V(9.5, cRowCentreY))), role(ColorRole::UnselectedExterior)));
}

TEST_F(CurvePaint, SelectedAndUnselectedCurvesTakeTheirColours) {
  auto plain = FlatAt("plain", cRowCentreY);
  auto picked = FlatAt("picked", cRowCentreY - 1);
  add(plain);
  add(picked);
  widget.getSelection()->select(*picked);
  widget.getSelection()->select(**picked->findSegment(6));
  const QImage img = widget.grabFramebuffer();
  EXPECT_TRUE(Near(At(img, px(V(3.5, cRowCentreY))), role(ColorRole::UnselectedInterior)));
  EXPECT_TRUE(Near(At(img, px(V(3.5, cRowCentreY - 1))), role(ColorRole::SelectedCurveInterior)));
  EXPECT_TRUE(Near(At(img, px(V(6.5, cRowCentreY - 1))), role(ColorRole::Selected)));
  EXPECT_TRUE(Near(At(img, px(V(9.5, cRowCentreY - 1))), role(ColorRole::SelectedCurveExterior)));
}

TEST_F(CurvePaint, LockedCurveIgnoresItsOverrides) {
  auto c = FlatAt("locked", cRowCentreY);
  SetUnselectedInteriorColor(*c, QColor(10, 20, 200));
  add(c);
  EXPECT_TRUE(Near(At(widget.grabFramebuffer(), px(V(3.5, cRowCentreY))), QColor(10, 20, 200)));
  T::SetLocked(*c, true);
  c->notifyChanged();
  const QImage img = widget.grabFramebuffer();
  EXPECT_TRUE(Near(At(img, px(V(3.5, cRowCentreY))), role(ColorRole::Locked)));
  EXPECT_TRUE(Near(At(img, px(V(9.5, cRowCentreY))), role(ColorRole::Locked)));
}

// Rows of the column through the key that show the selected-key colour.
int MarkerRows(const QImage& img, const V& key, const QColor& c) {
  int rows = 0;
  for (int y = int(key.y) - 8; y <= int(key.y) + 8; ++y) rows += Near(img.pixelColor(int(key.x), y), c, 30);
  return rows;
}

TEST_F(CurvePaint, BreakdownDiamondIsLargerThanASquare) {
  // Keys on a vertical pixel centre so the marker column is exact.
  const double kx = 100.5 * 10 / 200;
  auto c = MakeCurve("keys", {{kx - 2, 0, "linear()", 1}, {kx, 0, "linear()", 1}, {kx + 2, 0, "linear()", 1}});
  add(c);
  auto key = KeyAt(*c, 1);
  widget.getSelection()->select(*c);
  widget.getSelection()->select(*key);
  const QColor selected = role(ColorRole::Selected);
  const int square = MarkerRows(widget.grabFramebuffer(), px(key->get()), selected);
  key->setBreakdown(true);
  c->notifyChanged();
  const int diamond = MarkerRows(widget.grabFramebuffer(), px(key->get()), selected);
  // 4.4 px tall against 1.414 times that.
  EXPECT_GE(square, 4);
  EXPECT_LE(square, 5);
  EXPECT_GE(diamond, 6);
  EXPECT_LE(diamond, 7);
}

// The centre of the pixels in the selected colour, pure enough to be an
// opaque arrowhead rather than a half-transparent handle line.
V SelectedCentroid(const QImage& img) {
  double sx = 0, sy = 0;
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QColor c = img.pixelColor(x, y);
      if (c.red() > 200 && c.green() > 200 && c.blue() < 80) {
        sx += x + 0.5;
        sy += y + 0.5;
        ++n;
      }
    }
  return n ? V(sx / n, sy / n) : V(-1000, -1000);
}

TEST_F(CurvePaint, FixedHandleIsTwentyFourPixelsLongAtAnyZoom) {
  auto c = MakeCurve("bez", {{2, 0, "bezier()", 0}, {5, 0, "bezier()", 0}});
  add(c);
  auto key = KeyAt(*c, 1);
  key->setTangentsUnified(false);
  key->getOutTangent()->set(1, 1);
  widget.getSelection()->select(*c);
  widget.getSelection()->select(*key->getOutTangent());
  for (double zoom : {1.0, 3.0}) {
    widget.getViewport()->setWorldBounds(R(5 - 5 / zoom, -2 / zoom, 10 / zoom, 4 / zoom));
    const V k = px(key->get());
    V d = px(key->get() + V(1, 1)) - k;
    d = d / d.length();
    // The filled head's centroid: 24 px out, plus a third of its 5 px.
    const V expected = k + d * (24 + 5.0 / 3);
    const V got = SelectedCentroid(widget.grabFramebuffer());
    EXPECT_NEAR(got.x, expected.x, 1.5) << zoom;
    EXPECT_NEAR(got.y, expected.y, 1.5) << zoom;
  }
}

TEST_F(CurvePaint, ZeroLengthInHandlePointsAwayFromItsKey) {
  auto c = MakeCurve("bez", {{2, 0, "bezier()", 0}, {5, 0, "bezier()", 0}, {8, 0, "bezier()", 0}});
  add(c);
  auto key = KeyAt(*c, 1);
  key->setTangentsUnified(false);
  key->getInTangent()->set(0, 0);
  widget.getSelection()->select(*c);
  widget.getSelection()->select(*key->getInTangent());
  const V expected = px(key->get()) - V(24 + 5.0 / 3, 0);
  const V got = SelectedCentroid(widget.grabFramebuffer());
  EXPECT_NEAR(got.x, expected.x, 1.5);
  EXPECT_NEAR(got.y, expected.y, 1.5);
}

TEST_F(CurvePaint, DimmedColoursWhileFullColourIsOff) {
  add(FlatAt("a", cRowCentreY));
  layer->disableFullColor();
  const QColor dim = role(ColorRole::UnselectedInterior).darker(200);
  EXPECT_TRUE(Near(At(widget.grabFramebuffer(), px(V(3.5, cRowCentreY))), dim, 25));
}

TEST_F(CurvePaint, BadCurvesDrawOnlyTheirVisibleFinitePart) {
  const double huge = 1e300;
  auto spike = MakeCurve("spike", {{2, 0, "linear()", 1}, {5, huge, "linear()", 1}, {8, -huge, "linear()", 1}});
  auto single = MakeCurve("single", {{5, 1, "bezier()", 0}});
  auto none = T::FCurve::create("none");
  auto wild = MakeCurve("wild", {{4, 0, "bezier()", 0}, {6, 0, "bezier()", 0}});
  KeyAt(*wild, 0)->getOutTangent()->set(huge, huge);
  KeyAt(*wild, 1)->getInTangent()->set(0, 0);
  for (const auto& c : {spike, single, none, wild}) add(c);
  for (int i = 0; i < 2000; ++i) add(FlatAt("same", 0.5));
  T::SelectCurveCompletely(*widget.getSelection(), *wild);
  T::SelectCurveCompletely(*widget.getSelection(), *single);
  const QImage img = widget.grabFramebuffer();
  // Drawn, and nothing where no curve passes.
  EXPECT_NE(At(img, px(V(3.5, 0.5))), QColor(Qt::black));
  EXPECT_EQ(At(img, px(V(0.5, -1.5))), QColor(Qt::black));
  // Picking copes too.
  T::HitRecord r;
  EXPECT_TRUE(PickItem(*widget.getCurves(), *widget.getSelection(), *widget.getViewport(), px(V(1, 0.5)), r));
  std::set<T::HitRecord, T::CompareRecord> found;
  EXPECT_TRUE(PickItems(*widget.getCurves(), *widget.getSelection(), *widget.getViewport(), R(0, 0, 200, 100), found));
  EXPECT_EQ(found.count(T::HitRecord(spike)), 1u);
}

// ---------------------------------------------------------------- state

struct LabelRow {
  const char* scenario;
  QStringList names, labels;
};
void PrintTo(const LabelRow& row, std::ostream* os) { *os << row.scenario; }
class Labels : public ::testing::TestWithParam<LabelRow> {};

TEST_P(Labels, ShortestUniqueSuffix) { EXPECT_EQ(CurveLayer::ShortenLabels(GetParam().names), GetParam().labels); }

INSTANTIATE_TEST_SUITE_P(
    Names, Labels,
    ::testing::Values(LabelRow{"SharedLastPartKeepsFullNames", {"a.x", "b.x"}, {"a.x", "b.x"}},
                      LabelRow{"SharedPrefixIsDropped", {"a.x", "a.y"}, {"x", "y"}},
                      LabelRow{"DepthsDifferPerName", {"ball.t.x", "cube.t.x", "ball.r.y"}, {"ball.t.x", "cube.t.x", "y"}},
                      LabelRow{"DuplicatesStayWhole", {"same", "same"}, {"same", "same"}},
                      LabelRow{"EmptyPartsCount", {"a..x", "b.x"}, {".x", "b.x"}}),
    [](const ::testing::TestParamInfo<LabelRow>& info) { return std::string(info.param.scenario); });

class LayerState : public ::testing::Test {
 protected:
  LayerState() {
    curves = std::make_shared<T::FCurveContainer>();
    selection = std::make_shared<T::Selection>(curves);
    colors = std::make_shared<GraphViewColors>();
    layer = std::make_shared<CurveLayer>(curves, selection, colors);
    curve = FlatAt("c", 0);
    curves->addCurve(curve);
    layer->setHighlight(T::HitRecord(curve));
  }
  std::shared_ptr<T::FCurveContainer> curves;
  std::shared_ptr<T::Selection> selection;
  std::shared_ptr<GraphViewColors> colors;
  std::shared_ptr<CurveLayer> layer;
  std::shared_ptr<T::FCurve> curve;
};

TEST_F(LayerState, CurveChangeEmptiesTheHighlightAndRepaints) {
  QSignalSpy spy(layer.get(), &Layer::notifyLayerChanged);
  curve->notifyChanged();
  EXPECT_TRUE(layer->getHighlight().isEmpty());
  EXPECT_EQ(spy.count(), 1);
}

TEST_F(LayerState, ContainerChangeEmptiesTheHighlight) {
  curves->notifyChanged();
  EXPECT_TRUE(layer->getHighlight().isEmpty());
}

TEST_F(LayerState, SelectionAndColourChangesRepaintAndKeepTheHighlight) {
  QSignalSpy spy(layer.get(), &Layer::notifyLayerChanged);
  selection->select(*curve);
  colors->setColor(ColorRole::Highlight, Qt::red);
  EXPECT_EQ(spy.count(), 2);
  EXPECT_FALSE(layer->getHighlight().isEmpty());
}

TEST_F(LayerState, FlagsNotifyOnlyOnChange) {
  QSignalSpy spy(layer.get(), &Layer::notifyLayerChanged);
  layer->enablePicking();
  layer->enableFullColor();
  EXPECT_EQ(spy.count(), 0);
  layer->disablePicking();
  EXPECT_TRUE(layer->getHighlight().isEmpty());
  EXPECT_FALSE(layer->pickingEnabled());
  layer->setLabelsVisible(true);
  EXPECT_TRUE(layer->labelsVisible());
  EXPECT_EQ(spy.count(), 1);
  EXPECT_STREQ(layer->getName(), "Curve Layer");
  EXPECT_STREQ(layer->metaObject()->className(), "Zentho::Arvelle::ZENTHO_ARVELLE_QT_LIB_VERSION_NS::CurveLayer");
}

}  // namespace
