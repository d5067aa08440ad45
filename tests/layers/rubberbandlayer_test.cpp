// The rubber band under real input on a shown widget: what each gesture
// leaves selected, what it shades, and views and windows it cannot map.
#include "curvefixtures.h"
#include "core/gltarget.h"
#include "widget/showwidget.h"

#include "layers/rubberbandlayer.h"

#include <arvelle/arvelle.h>

#include <QMouseEvent>

#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace Zentho::Arvelle;
using namespace Fixtures;
using R = T::Rectangle<double>;
using Records = std::set<T::HitRecord, T::CompareRecord>;

namespace {

std::shared_ptr<RubberbandLayer> MakeBand(GraphWidget& w) {
  return std::make_shared<RubberbandLayer>(w.getCurves(), w.getSelection(), w.getColors());
}

// Keys of the curve at pixels (40, 50), (100, 50) and (160, 50): x 0..10 at
// 20 px per unit, y -5..5 at 10.
class Rubberband : public Frame {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(Frame::SetUp());
    window = widget.windowHandle();
    widget.getViewport()->setWorldBounds(R(0, -5, 10, 10));
    widget.getCurves()->addCurve(curve);
    standing = widget.getUserLayers()->numChildren();
    widget.getUserLayers()->pushLayer(MakeBand(widget));
  }
  void TearDown() override {
    if (QTestPrivate::qtestMouseButtons & Qt::LeftButton) QTest::mouseRelease(window, Qt::LeftButton, {}, {1, 1});
  }
  // The selected keys by index, e.g. "02".
  std::string keys() const {
    std::string s;
    for (int i = 0; i < 3; ++i)
      if (widget.getSelection()->isSelected(*KeyAt(*curve, i))) s += char('0' + i);
    return s;
  }

  std::shared_ptr<T::FCurve> curve = Flat("a", 0);
  QWindow* window = nullptr;
  std::size_t standing = 0;
};

struct Gesture {
  const char* scenario;
  Qt::KeyboardModifiers modifiers;
  std::string before;  // keys selected, with the curve, before the press
  std::vector<std::pair<QPoint, std::string>> path;  // the press, then moves; the keys selected after each
  std::string released;
  bool curveSelected;
};
void PrintTo(const Gesture& g, std::ostream* os) { *os << g.scenario; }

class RubberbandGesture : public Rubberband, public ::testing::WithParamInterface<Gesture> {};

TEST_P(RubberbandGesture, SelectsLiveAndLeavesAtTheRelease) {
  const Gesture& g = GetParam();
  auto& selection = *widget.getSelection();
  if (!g.before.empty()) selection.select(*curve);
  for (char k : g.before) selection.select(*KeyAt(*curve, k - '0'));

  QTest::mousePress(window, Qt::LeftButton, g.modifiers, g.path.front().first);
  EXPECT_EQ(keys(), g.path.front().second) << "at the press";
  for (std::size_t i = 1; i < g.path.size(); ++i) {
    QTest::mouseEvent(QTest::MouseMove, window, Qt::NoButton, g.modifiers, g.path[i].first);
    EXPECT_EQ(keys(), g.path[i].second) << "after move " << i;
    widget.grabFramebuffer();  // draws the band wherever it is
  }
  QTest::mouseRelease(window, Qt::LeftButton, g.modifiers, g.path.back().first);
  EXPECT_EQ(keys(), g.released);
  EXPECT_EQ(selection.isSelected(*curve), g.curveSelected);
  EXPECT_EQ(widget.getUserLayers()->numChildren(), standing);
}

const Qt::KeyboardModifiers cPlain = Qt::NoModifier, cShift = Qt::ShiftModifier, cControl = Qt::ControlModifier;

INSTANTIATE_TEST_SUITE_P(
    Rubberband, RubberbandGesture,
    ::testing::Values(
        Gesture{"PlainClickEmptiesTheSelection", cPlain, "012", {{{10, 90}, ""}}, "", false},
        Gesture{"ShiftClickKeepsTheSelection", cShift, "01", {{{10, 90}, "01"}, {{12, 92}, "01"}}, "01", true},
        Gesture{"ThreePixelsBothWaysStartNothing", cPlain, "", {{{98, 48}, ""}, {{101, 51}, ""}}, "", false},
        Gesture{"FourPixelsAcrossStartTheBand", cPlain, "", {{{97, 48}, ""}, {{101, 51}, "1"}}, "1", true},
        Gesture{"FourPixelsDownStartTheBand", cPlain, "", {{{98, 47}, ""}, {{101, 51}, "1"}}, "1", true},
        Gesture{"PlainBandShrunkFromTwoKeysToOneKeepsThatOne", cPlain, "",
                {{{30, 40}, ""}, {{110, 60}, "01"}, {{60, 60}, "0"}}, "0", true},
        Gesture{"BandLeavingTheCurveKeepsTheCurveRecord", cPlain, "",
                {{{90, 40}, ""}, {{110, 60}, "1"}, {{95, 45}, ""}}, "", true},
        Gesture{"ShiftBandDropsOnlyWhatItAdded", cShift, "0",
                {{{30, 40}, "0"}, {{110, 60}, "01"}, {{35, 45}, "0"}}, "0", true},
        Gesture{"ControlDeselectsCoveredKeysAndGivesThemBack", cControl, "01",
                {{{90, 40}, "01"}, {{170, 60}, "0"}, {{95, 60}, "01"}}, "01", true},
        Gesture{"ShiftWithControlAdds", cShift | cControl, "0", {{{90, 40}, "0"}, {{170, 60}, "012"}}, "012", true},
        Gesture{"BandFarOutsideTheWindow", cPlain, "",
                {{{90, 40}, ""}, {{5000000, 3000000}, "12"}, {{-4000000, -2000000}, ""}}, "", true}),
    [](const ::testing::TestParamInfo<Gesture>& info) { return std::string(info.param.scenario); });

// A pan or zoom pressed during the band would start on top of it and take
// the left release: the band takes those presses, and leaves at the release.
TEST_F(Rubberband, OtherButtonsDuringTheBandStartNoGestureOnTop) {
  QTest::mousePress(window, Qt::LeftButton, {}, {10, 90});
  QTest::mousePress(window, Qt::MiddleButton, {}, {12, 90});
  QTest::mousePress(window, Qt::RightButton, Qt::AltModifier, {14, 90});
  EXPECT_EQ(widget.getUserLayers()->numChildren(), standing + 1);
  QTest::mouseRelease(window, Qt::LeftButton, {}, {14, 90});
  QTest::mouseRelease(window, Qt::MiddleButton, {}, {14, 90});
  QTest::mouseRelease(window, Qt::RightButton, Qt::AltModifier, {14, 90});
  EXPECT_EQ(widget.getUserLayers()->numChildren(), standing) << "a gesture is left running";
}

TEST_F(Rubberband, ShadesAllButTheBandAndOutlinesIt) {
  QTest::mousePress(window, Qt::LeftButton, {}, {50, 20});
  QTest::mouseMove(window, {150, 80});
  const QImage img = grab();
  // Black under 30% of the background colour outside, untouched inside.
  const int shade = qRound(0.3 * widget.getColors()->getColor(ColorRole::Background).red());
  for (QPoint p : {QPoint(10, 10), QPoint(190, 30), QPoint(100, 95)})
    EXPECT_NEAR(at(img, p.x(), p.y()).red(), shade, 1) << p.x() << "," << p.y();
  EXPECT_EQ(at(img, 100, 30), QColor(Qt::black));
  // One line of surface pixels at each edge across the band, none elsewhere.
  const QColor outline = widget.getColors()->getColor(ColorRole::RubberBand);
  int across = 0, down = 0;
  for (int x = 0; x < img.width(); ++x) across += img.pixelColor(x, int(30 * ratio)) == outline;
  for (int y = 0; y < img.height(); ++y) down += img.pixelColor(int(75 * ratio), y) == outline;
  EXPECT_EQ(across, 2);
  EXPECT_EQ(down, 2);
}

TEST(RubberbandLifetime, WidgetDestroyedMidGesture) {
  QWidget host;
  auto* graph = new GraphWidget(&host);
  graph->setGeometry(0, 0, 200, 100);
  host.resize(200, 120);
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  graph->getViewport()->setWorldBounds(R(0, -5, 10, 10));
  auto curve = Flat("a", 0);
  graph->getCurves()->addCurve(curve);
  const auto selection = graph->getSelection();
  std::weak_ptr<Layer> band = MakeBand(*graph);
  graph->getUserLayers()->pushLayer(band.lock());
  QTest::mousePress(host.windowHandle(), Qt::LeftButton, {}, {90, 40});
  QTest::mouseMove(host.windowHandle(), {110, 60});
  delete graph;
  EXPECT_TRUE(band.expired());
  QTest::mouseRelease(host.windowHandle(), Qt::LeftButton, {}, {110, 60});
  EXPECT_TRUE(selection->isSelected(*KeyAt(*curve, 1)));  // what the band had selected stays
}

// Views no mapping can use (the band over a sane one would add keys 0 and
// 1): a Shift band picks nothing, so the selection stays, and draws nothing.
TEST(RubberbandUnmappable, PicksAndDrawsNothing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const R sane(0, 0, 200, 100), shown(0, -5, 10, 10);
  const std::pair<R, R> views[] = {{sane, R(0, 0, 0, 0)}, {sane, R(nan, 0, 10, 10)}, {sane, R(0, 0, 1e308, 1e308)},
                                   {R(0, 0, 0, 0), shown}, {R(0, 0, nan, 100), shown}};
  auto curves = std::make_shared<T::FCurveContainer>();
  auto curve = Flat("a", 0);
  curves->addCurve(curve);
  auto selection = std::make_shared<T::Selection>(curves);
  selection->select(*KeyAt(*curve, 2));
  Records before, after;
  T::GetSelected(*selection, before);
  GLTarget gl;
  ASSERT_TRUE(gl.open(200, 100));
  for (const auto& [win, world] : views) {
    SCOPED_TRACE(::testing::PrintToString(win) + " over " + ::testing::PrintToString(world));
    Viewport viewport(win, world);
    auto band = std::make_shared<RubberbandLayer>(curves, selection, std::make_shared<GraphViewColors>());
    QMouseEvent press(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    QMouseEvent move(QEvent::MouseMove, {150, 80}, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_TRUE(band->handleEvent(&press, viewport) && band->handleEvent(&move, viewport));
    T::GetSelected(*selection, after);
    EXPECT_TRUE(before == after);
    glClear(GL_COLOR_BUFFER_BIT);
    band->draw(viewport);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(GLTarget::pixel(100, 50), QColor(0, 0, 0, 0));
  }
}

}  // namespace
