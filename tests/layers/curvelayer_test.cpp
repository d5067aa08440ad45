// The curve layer's frames read back where the mapping puts the curves, its
// label shortening, its observer reactions and its behaviour on bad curves.
#include "curvefixtures.h"
#include "widget/showwidget.h"

#include "layers/curvelayer.h"
#include "layers/hittest.h"

#include <arvelle/arvelle.h>

#include <QImage>
#include <QSignalSpy>

#include <algorithm>
#include <cmath>
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

QColor Role(int role) { return GraphViewColors::defaultColor(role); }

// Over x 0..10, y -2..2, black under the curves.
class CurvePaint : public Frame {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(Frame::SetUp());
    layer = std::dynamic_pointer_cast<CurveLayer>(widget.getRootLayer()->findLayer("Curve Layer"));
    ASSERT_TRUE(layer);
    widget.getViewport()->setWorldBounds(R(0, -2, 10, 4));
  }
  std::shared_ptr<T::FCurve> add(std::shared_ptr<T::FCurve> c) {
    widget.getCurves()->addCurve(c);
    return c;
  }
  V px(const V& w) { return ToPixel(*widget.getViewport(), w); }
  // The pixel that contains the pixel-space point.
  QColor At(const QImage& img, const V& p) { return at(img, p.x, p.y); }

  std::shared_ptr<CurveLayer> layer;
};

// Flat at a height whose pixel row centre the line crosses: row 25 spans
// y 25..26, so its centre 25.5 is world y = 2 - 25.5 * 4 / 100.
constexpr double cRowCentreY = 2 - 25.5 * 4 / 100;

const QColor cOverride(10, 20, 200), cUI = Role(ColorRole::UnselectedInterior), cUE = Role(ColorRole::UnselectedExterior),
             cSCI = Role(ColorRole::SelectedCurveInterior), cSCE = Role(ColorRole::SelectedCurveExterior),
             cSelected = Role(ColorRole::Selected), cLocked = Role(ColorRole::Locked);

struct ColourRow {
  const char* scenario;
  int select;  // 0: nothing, 1: the curve, 2: the curve and its second segment
  bool locked, dimmed;
  void (*override)(T::FCurve&, const QColor&);
  QColor first, second, exterior;  // at x 3.5 and 6.5 (interior) and 9.5
};
void PrintTo(const ColourRow& r, std::ostream* os) { *os << r.scenario; }

class CurveColours : public CurvePaint, public ::testing::WithParamInterface<ColourRow> {};

TEST_P(CurveColours, EachPartInItsColourOnTheMappedRow) {
  const ColourRow& r = GetParam();
  auto c = add(Flat("c", cRowCentreY));
  if (r.select > 0) widget.getSelection()->select(*c);
  if (r.select > 1) widget.getSelection()->select(**c->findSegment(6));
  if (r.override) r.override(*c, cOverride);
  T::SetLocked(*c, r.locked);
  if (r.dimmed) layer->disableFullColor();
  c->notifyChanged();
  const QImage img = grab();
  const std::pair<double, QColor> want[] = {{3.5, r.first}, {6.5, r.second}, {9.5, r.exterior}};
  for (const auto& [x, colour] : want) {
    const V p = px(V(x, cRowCentreY));
    EXPECT_TRUE(Near(At(img, p), colour, 25)) << x << ": " << At(img, p).name().toStdString();
    EXPECT_EQ(At(img, p + V(0, 4)), QColor(Qt::black)) << x;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CurveColours,
    ::testing::Values(
        ColourRow{"Unselected", 0, false, false, nullptr, cUI, cUI, cUE},
        ColourRow{"SelectedCurveWithOneSelectedSegment", 2, false, false, nullptr, cSCI, cSelected, cSCE},
        ColourRow{"LockedIgnoresOverrides", 0, true, false, SetUnselectedInteriorColor, cLocked, cLocked, cLocked},
        ColourRow{"LockedSelectedSegment", 2, true, false, nullptr, cLocked, Role(ColorRole::LockedSelected), cLocked},
        ColourRow{"UnselectedInteriorOverride", 0, false, false, SetUnselectedInteriorColor, cOverride, cOverride, cUE},
        ColourRow{"UnselectedExteriorOverride", 0, false, false, SetUnselectedExteriorColor, cUI, cUI, cOverride},
        ColourRow{"SelectedInteriorOverride", 1, false, false, SetSelectedInteriorColor, cOverride, cOverride, cSCE},
        ColourRow{"SelectedExteriorOverride", 1, false, false, SetSelectedExteriorColor, cSCI, cSCI, cOverride},
        ColourRow{"DimmedWithoutFullColour", 0, false, true, nullptr, cUI.darker(200), cUI.darker(200),
                  cUE.darker(200)}),
    [](const ::testing::TestParamInfo<ColourRow>& info) { return std::string(info.param.scenario); });

TEST_F(CurvePaint, BreakdownDiamondIsLargerThanASquare) {
  // Keys on a vertical pixel centre so the marker column is exact.
  const double kx = 100.5 * 10 / 200;
  auto c = add(MakeCurve("keys", {{kx - 2, 0, "linear()", 1}, {kx, 0, "linear()", 1}, {kx + 2, 0, "linear()", 1}}));
  auto key = KeyAt(*c, 1);
  widget.getSelection()->select(*c);
  widget.getSelection()->select(*key);
  // Rows of the column through the key in the selected-key colour.
  auto rows = [&] {
    const QImage img = grab();
    const V k = px(key->get());
    int n = 0;
    for (int y = int(k.y) - 8; y <= int(k.y) + 8; ++y)
      n += Near(img.pixelColor(int(k.x), y), Role(ColorRole::Selected), 30);
    return n;
  };
  const int square = rows();
  key->setBreakdown(true);
  c->notifyChanged();
  const int diamond = rows();
  // 4.4 px tall against 1.414 times that.
  EXPECT_TRUE(square == 4 || square == 5) << square;
  EXPECT_TRUE(diamond == 6 || diamond == 7) << diamond;
}

TEST_F(CurvePaint, FixedHandleIsDrawnTwentyFourPixelsLongAwayFromItsKey) {
  auto c = add(Flat("bez", 0, "bezier()"));
  auto key = KeyAt(*c, 1);
  key->setTangentsUnified(false);
  key->getInTangent()->set(0, 0);  // no length, yet a direction: away from the key
  key->getOutTangent()->set(1, 1);
  widget.getSelection()->select(*c);
  // The centre of the opaque arrowhead: pixels in the selected colour, pure
  // enough not to be the half-transparent handle line.
  auto head = [&] {
    const QImage img = grab();
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) {
        const QColor p = img.pixelColor(x, y);
        if (p.red() > 200 && p.green() > 200 && p.blue() < 80) sx += x + 0.5, sy += y + 0.5, ++n;
      }
    return n ? V(sx / n, sy / n) : V(-1000, -1000);
  };
  const struct {
    std::shared_ptr<T::Tangent> handle;
    V direction;  // world
    double zoom;
  } rows[] = {{key->getOutTangent(), V(1, 1), 1.0}, {key->getOutTangent(), V(1, 1), 3.0},
              {key->getInTangent(), V(-1, 0), 1.0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.handle->isInTangent() ? "in" : "out");
    widget.getSelection()->clear();
    widget.getSelection()->select(*c);
    widget.getSelection()->select(*r.handle);
    widget.getViewport()->setWorldBounds(R(5 - 5 / r.zoom, -2 / r.zoom, 10 / r.zoom, 4 / r.zoom));
    const V k = px(key->get());
    V d = px(key->get() + r.direction) - k;
    d = d / d.length();
    // The filled head's centroid: 24 px out, plus a third of its 5 px.
    const V expected = k + d * (24 + 5.0 / 3);
    const V got = head();
    EXPECT_NEAR(got.x, expected.x, 1.5) << r.zoom;
    EXPECT_NEAR(got.y, expected.y, 1.5) << r.zoom;
  }
}

TEST_F(CurvePaint, BadCurvesDrawAndPickOnlyTheirVisibleFinitePart) {
  const double huge = 1e300;
  auto spike = add(MakeCurve("spike", {{2, 0, "linear()", 1}, {5, huge, "linear()", 1}, {8, -huge, "linear()", 1}}));
  auto single = add(MakeCurve("single", {{5, 1, "bezier()", 0}}));
  add(T::FCurve::create("none"));
  auto wild = add(MakeCurve("wild", {{4, 0, "bezier()", 0}, {6, 0, "bezier()", 0}}));
  KeyAt(*wild, 0)->getOutTangent()->set(huge, huge);
  KeyAt(*wild, 1)->getInTangent()->set(0, 0);
  add(Flat("flat", 0.5));
  T::SelectCurveCompletely(*widget.getSelection(), *wild);
  T::SelectCurveCompletely(*widget.getSelection(), *single);
  const QImage img = grab();
  EXPECT_NE(At(img, px(V(3.5, 0.5))), QColor(Qt::black));
  EXPECT_EQ(At(img, px(V(0.5, -1.5))), QColor(Qt::black));
  T::HitRecord r;
  EXPECT_TRUE(PickItem(*widget.getCurves(), *widget.getSelection(), *widget.getViewport(), px(V(1, 0.5)), r));
  std::set<T::HitRecord, T::CompareRecord> found;
  EXPECT_TRUE(PickItems(*widget.getCurves(), *widget.getSelection(), *widget.getViewport(), R(0, 0, 200, 100), found));
  EXPECT_EQ(found.count(T::HitRecord(spike)), 1u);
}

// ---------------------------------------------------------------- state

TEST(CurveLabels, ShortestUniqueSuffix) {
  const struct {
    QStringList names, labels;
  } rows[] = {
      {{"a.x", "b.x"}, {"a.x", "b.x"}},  // the shared last part keeps full names
      {{"a.x", "a.y"}, {"x", "y"}},
      {{"ball.t.x", "cube.t.x", "ball.r.y"}, {"ball.t.x", "cube.t.x", "y"}},  // depth per name
      {{"same", "same"}, {"same", "same"}},
      {{"a..x", "b.x"}, {".x", "b.x"}},  // empty parts count
  };
  for (const auto& r : rows) EXPECT_EQ(CurveLayer::ShortenLabels(r.names), r.labels) << r.names.join(' ').toStdString();
}

TEST_F(CurvePaint, CurveChangesDropTheHighlightOtherChangesKeepIt) {
  auto curve = add(Flat("c", 0));
  auto curves = widget.getCurves();
  auto selection = widget.getSelection();
  QSignalSpy repaint(layer.get(), &Layer::notifyLayerChanged);
  const T::HitRecord highlight(curve);

  layer->setHighlight(highlight);
  layer->setHighlight(highlight);
  selection->select(*curve);
  widget.getColors()->setColor(ColorRole::Highlight, Qt::red);
  layer->enablePicking();  // already on
  layer->enableFullColor();
  EXPECT_EQ(repaint.count(), 3);
  EXPECT_EQ(layer->getHighlight(), highlight);

  curve->notifyChanged();
  EXPECT_TRUE(layer->getHighlight().isEmpty());
  EXPECT_EQ(repaint.count(), 4);
  layer->setHighlight(highlight);
  curves->notifyChanged();
  EXPECT_TRUE(layer->getHighlight().isEmpty());
  layer->setHighlight(highlight);
  layer->disablePicking();
  EXPECT_TRUE(layer->getHighlight().isEmpty());
}

}  // namespace
