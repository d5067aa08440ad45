// The grid's lines and labels at many zoom levels, read back through GL
// feedback, its behaviour on views that cannot be drawn, and the zoom step
// and drags it starts, on broken views and under an axis lock (the gestures
// themselves are tested through real input on the widget).
#include "core/gltarget.h"
#include "curvefixtures.h"

#include <arvelle/graphviewcolors.h>
#include <arvelle/snapsettings.h>

#include "layers/backgroundlayer.h"
#include "layers/focuslayer.h"
#include "layers/gridlayer.h"
#include "layers/panzoomlayer.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QRect>
#include <QRegularExpression>

#include <cfloat>
#include <cmath>
#include <limits>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;
using V = Zentho::Tessal::Vector2D<double>;

namespace {

constexpr int cW = 400, cH = 300;
const double cNaN = std::numeric_limits<double>::quiet_NaN(), cInf = std::numeric_limits<double>::infinity();

struct Line {
  double x0, y0, x1, y1;  // window pixels, y up
  QColor color;
};
struct Text {
  int x, y;
  QString text;
};

class Grid : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(target.open(cW, cH));
    viewport.setWindowBounds(R(0, 0, cW, cH));
    QObject::connect(grid.get(), &Layer::requestDrawText,
                     [this](int x, int y, const QString& t, const QColor&) { texts.push_back({x, y, t}); });
  }
  // Draws in feedback mode under the widget's projection of the world.
  std::vector<Line> draw(const Layer& layer, const R& world) {
    viewport.setWorldBounds(world);
    // A world the viewport refuses still reaches the layer through a view
    // built with it, as a host may build one.
    Viewport given(viewport.getWindowBounds(), world);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (world.width > 0 && world.height > 0) glOrtho(world.x, world.x + world.width, world.y, world.y + world.height, 0, 1);
    std::vector<GLfloat> b(1 << 20);
    glFeedbackBuffer(GLsizei(b.size()), GL_3D_COLOR, b.data());
    glRenderMode(GL_FEEDBACK);
    layer.draw(given);
    const GLint n = glRenderMode(GL_RENDER);
    std::vector<Line> out;
    for (GLint i = 0; i < n; i += 15) {  // only lines: a token, two vertices of x, y, z, r, g, b, a
      EXPECT_TRUE(b[i] == GL_LINE_TOKEN || b[i] == GL_LINE_RESET_TOKEN);
      out.push_back({b[i + 1], b[i + 2], b[i + 8], b[i + 9], QColor::fromRgbF(b[i + 4], b[i + 5], b[i + 6])});
    }
    return out;
  }
  QStringList labels() const {
    QStringList r;
    for (const auto& t : texts) r << t.text;
    return r;
  }

  GLTarget target;
  Viewport viewport;
  std::shared_ptr<GraphViewColors> colors = std::make_shared<GraphViewColors>();
  QFontMetrics fm{QFont()};
  std::shared_ptr<GridLayer> grid = std::make_shared<GridLayer>(viewport, colors, QFont());
  std::vector<Text> texts;
};

class GridFrame : public Grid, public ::testing::WithParamInterface<R> {};

// The line a text takes, and what of it is painted (numbers have no
// descenders).
QRect Box(const Text& t, const QFontMetrics& fm) {
  return QRect(t.x, t.y - fm.ascent(), fm.horizontalAdvance(t.text), fm.ascent() + fm.descent());
}
QRect Ink(const Text& t, const QFontMetrics& fm) { return fm.tightBoundingRect(t.text).translated(t.x, t.y); }
// Whether every text is painted inside the window and clear of the others.
::testing::AssertionResult Separate(const std::vector<Text>& texts, const QFontMetrics& fm, int width = cW) {
  auto box = [&](const Text& t) { return Box(t, fm); };
  for (size_t i = 0; i < texts.size(); ++i) {
    if (!QRect(0, 0, width, cH).contains(Ink(texts[i], fm)))
      return ::testing::AssertionFailure() << texts[i].text.toStdString() << " leaves the window";
    for (size_t j = i + 1; j < texts.size(); ++j) {
      if (box(texts[i]).intersects(box(texts[j])))
        return ::testing::AssertionFailure()
               << texts[i].text.toStdString() << " overlaps " << texts[j].text.toStdString();
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_P(GridFrame, LinesSpanThePlotAndLabelsNameTheirLinesWithoutOverlap) {
  const R w = GetParam();
  const double upx = w.width / cW, upy = w.height / cH;
  const auto lines = draw(*grid, w);
  ASSERT_FALSE(lines.empty());
  // What the double-precision mapping itself rounds, far from the origin.
  const double tx = 1e-3 + 4 * DBL_EPSILON * std::max(std::fabs(w.x), std::fabs(w.x + w.width)) / upx;
  const double ty = 1e-3 + 4 * DBL_EPSILON * std::max(std::fabs(w.y), std::fabs(w.y + w.height)) / upy;
  double sx, sy, fade;
  int decimals;
  Zentho::Arvelle::SnapSettings::GetGridMetrics(upx, sx, fade, decimals);
  Zentho::Arvelle::SnapSettings::GetGridMetrics(upy, sy, fade, decimals);
  // A line's pixel against where the mapping puts the multiple nearest it.
  auto mapped = [](double pixel, double origin, double units, double step) {
    const double k = std::round((origin + pixel * units) / step);
    return (k * step - origin) / units;
  };

  // Verticals rise from one text line above the bottom to the top;
  // horizontals run from one left edge to the right.
  std::vector<double> xs, ys;  // line positions, window pixels
  double plotLeft = cNaN;
  for (const Line& l : lines) {
    const bool vertical = std::fabs(l.x0 - l.x1) <= tx;
    ASSERT_TRUE(vertical || std::fabs(l.y0 - l.y1) <= ty);
    if (vertical) {
      xs.push_back(l.x0);
      EXPECT_NEAR(l.x0, mapped(l.x0, w.x, upx, sx), 0.25);
      EXPECT_NEAR(std::min(l.y0, l.y1), fm.height(), ty);
      EXPECT_NEAR(std::max(l.y0, l.y1), cH, ty);
    } else {
      ys.push_back(cH - l.y0);
      EXPECT_NEAR(l.y0, mapped(l.y0, w.y, upy, sy), 0.25);
      if (std::isnan(plotLeft)) plotLeft = std::min(l.x0, l.x1);
      EXPECT_NEAR(std::min(l.x0, l.x1), plotLeft, tx);
      EXPECT_NEAR(std::max(l.x0, l.x1), cW, tx);
    }
  }
  // Of the two minor families the fainter is drawn first, so the stronger
  // one lies on top where they cross.
  const auto second = std::find_if(lines.begin(), lines.end(), [&](const Line& l) {
    return (l.x0 == l.x1) != (lines[0].x0 == lines[0].x1);
  });
  EXPECT_TRUE(second == lines.end() || lines[0].color.value() <= second->color.value());

  // Labels: one per labelled line, centred on it unless moved inside the
  // window at its edge, never with exactly one decimal; the y labels fit
  // left of the plot.
  EXPECT_TRUE(Separate(texts, fm));
  auto onLine = [](const std::vector<double>& at, double p, double within) {
    return std::any_of(at.begin(), at.end(), [&](double v) { return std::fabs(v - p) <= within; });
  };
  for (const Text& t : texts) {
    SCOPED_TRACE(t.text.toStdString());
    EXPECT_FALSE(t.text.contains(QRegularExpression("\\.\\d$")));
    const int width = fm.horizontalAdvance(t.text);
    if (t.y == cH - 2) {
      const bool moved = t.x + width >= cW - 1;
      EXPECT_TRUE(onLine(xs, t.x + 0.5 * width, moved ? 0.5 * width : 1.0));
    } else {
      EXPECT_EQ(t.x, 2);
      EXPECT_LE(t.x + width, plotLeft);
      const bool moved = t.y == fm.ascent();
      EXPECT_TRUE(onLine(ys, t.y - 0.5 * fm.ascent(), moved ? 0.5 * fm.ascent() : 1.0));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Views, GridFrame,
                         ::testing::Values(R(-0.5, -2, 4, 4),            // x fades less than y
                                           R(-10, -2, 110, 4),           // the widget's first view
                                           R(-3, -2.25, 4, 3),           // equal fades
                                           R(1.0, 1.0, 0.072, 0.018),    // y fades less; no axes
                                           R(-0.05, -0.02, 4, 0.6),      // both zeros inside the label bands
                                           R(-123456, -0.001, 250000, 0.002), R(1.0, 1.0, 0.07, 0.75),
                                           R(0.00012, 50, 0.0001, 2), R(-0.3, -0.31, 0.6, 0.62),
                                           R(1000, 5000, 0.3, 0.02),
                                           // far from the origin, a unit tens of pixels wide
                                           R(1e3 - 1.3, 1e3 - 2.7, 10, 7.5), R(1e6 - 1.3, -1e6 - 2.7, 10, 7.5),
                                           R(1e9 - 1.3, 1e9 - 2.7, 10, 7.5), R(-1e12 - 1.3, 1e12 - 2.7, 10, 7.5),
                                           R(1e6 - 0.002, 1e6 - 0.002, 0.014, 0.01)));  // keys 0.01 apart

// Labels whose text is far longer than the digits of the view's ends
// suggest, in windows of the widths screens have.
class GridLabels : public Grid, public ::testing::WithParamInterface<std::pair<double, R>> {};

TEST_P(GridLabels, StayInsideTheWindowApartAndLeftOfThePlot) {
  const double width = GetParam().first;
  viewport.setWindowBounds(R(0, 0, width, cH));
  glViewport(0, 0, GLsizei(width), cH);  // feedback reports window pixels of this size
  const R w = GetParam().second;
  const auto lines = draw(*grid, w);
  ASSERT_FALSE(lines.empty());
  ASSERT_FALSE(texts.empty());
  double plotLeft = width;
  for (const Line& l : lines) plotLeft = std::min({plotLeft, l.x0, l.x1});
  EXPECT_TRUE(Separate(texts, fm, int(width)));
  // No line runs into a y label.
  for (const Text& t : texts) {
    if (t.y != cH - 2) {
      EXPECT_LE(Box(t, fm).right(), plotLeft) << t.text.toStdString();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Extremes, GridLabels,
                         ::testing::Values(std::make_pair(800.0, R(-1e11 - 5e10, -1e11 - 5e10, 3e11, 3e11)),
                                           std::make_pair(800.0, R(-2, 1e7 - 0.5, 4, 4)),
                                           std::make_pair(800.0, R(-2, 0, 4, 1e-12)),
                                           std::make_pair(1920.0, R(99, 1e7 - 0.5, 1e6, 4)),
                                           std::make_pair(1920.0, R(-1e12, -3, 1e12 + 0.37, 8)),
                                           std::make_pair(800.0, R(1e6 - 3.7, 0, 13.77, 1))));

TEST_F(Grid, LabelsDropToWholeNumbersRatherThanOneDecimal) {
  draw(*grid, R(-0.5, -2, 4, 4));  // spacing 0.1 wants two decimals; too tight for them
  EXPECT_EQ(labels(), QStringList({"0", "1", "2", "3", "-1", "0", "1"}));
  texts.clear();
  draw(*grid, R(0.5, -0.1, 4, 0.95));  // y lines 0.1 and 32 pixels apart: room for "0.10"
  EXPECT_EQ(labels().mid(4, 3), QStringList({"0.00", "0.10", "0.20"}));
}

TEST_F(Grid, BrokenViewsDrawNothingExtremeOnesAtMostALinePerPixel) {
  auto focus = std::make_shared<FocusLayer>(colors);
  QEvent enter(QEvent::Enter);
  focus->handleEvent(&enter, viewport);
  for (const R& w : {R(0, 0, 0, 4), R(0, 0, 4, 0), R(0, 0, -3, 4), R(0, 0, 4, -1), R(cNaN, 0, 4, 4), R(0, 0, 4, cNaN),
                     R(0, 0, cInf, 4), R(-cInf, 0, 4, 4), R(1.7e308, 0, 1.7e308, 4)}) {
    SCOPED_TRACE(::testing::PrintToString(w));
    EXPECT_TRUE(draw(*grid, w).empty());
    EXPECT_TRUE(texts.empty());
    EXPECT_TRUE(draw(*focus, w).empty());  // not even the focus frame
  }
  // Where doubles step by 2, the lines that exist still show, in the window.
  const auto coarse = draw(*grid, R(1e16 - 2, 1e16 - 2, 8, 6));
  EXPECT_FALSE(coarse.empty());
  for (const Line& l : coarse) EXPECT_TRUE(l.x0 >= 0 && l.x1 <= cW && l.y0 >= 0 && l.y1 <= cH);
  texts.clear();
  // Steps below the coordinates' precision, and sizes at the ends of the range.
  for (const R& w : {R(5e15, -1, 3, 2), R(1e17, 1e17, 1e-3, 1e-3), R(-1e300, -1e300, 1e300, 1e300),
                     R(0, 0, 1e-300, 1e-300)}) {
    SCOPED_TRACE(::testing::PrintToString(w));
    texts.clear();
    EXPECT_LE(draw(*grid, w).size(), size_t(cW + cH));
    EXPECT_LE(texts.size(), size_t(cW + cH));
  }
}

TEST_F(Grid, WindowWiderThanAnyScreenStaysBounded) {
  viewport.setWindowBounds(R(0, 0, 3e9, 300));  // pixel positions beyond int
  viewport.setWorldBounds(R(0, 0, 3e8, 30));
  grid->draw(viewport);
  ASSERT_FALSE(texts.empty());
  EXPECT_LE(texts.size(), size_t(1e5));
  for (const auto& t : texts) ASSERT_LE(t.x, 1000000000);
}

TEST_F(Grid, BackgroundClearsWithZeroAlpha) {
  colors->setColor(ColorRole::Background, QColor(10, 200, 30, 100));
  BackgroundLayer(colors).draw(viewport);
  EXPECT_EQ(GLTarget::pixel(cW / 2, cH / 2), QColor(10, 200, 30, 0));
}

// ---------------------------------------------------------------- zoom steps and drags

TEST(ZoomStep, BrokenViewsAreRepairedOrLeftAlone) {
  // An empty world has no aspect: it is scaled, and the width limit makes it
  // usable again, with the world point under (100, 100) kept there.
  Viewport vp(R(0, 0, 400, 300), R(5, 5, 0, 2));
  const V p(100, 100);
  ZoomViewport(vp, true, &p);
  EXPECT_EQ(vp.getWorldBounds().width, 0.001);
  EXPECT_NEAR(vp.getWorldBounds().height, 1.6, 1e-12);
  EXPECT_NEAR(ToWorld(vp, p).x, 5, 1e-12);
  EXPECT_NEAR(ToWorld(vp, p).y, 5 + 200 * 2 / 300.0, 1e-12);

  // A view built broken is left alone.
  Viewport broken(R(0, 0, 400, 300), R(std::numeric_limits<double>::quiet_NaN(), 0, 1, 1));
  ZoomViewport(broken, false, &p);
  EXPECT_TRUE(std::isnan(broken.getWorldBounds().x) && broken.getWorldBounds().width == 1);

  Viewport noWindow(R(0, 0, 0, 300), R(0, 0, 10, 10));
  ZoomViewport(noWindow, true, nullptr);
  EXPECT_EQ(noWindow.getWorldBounds(), R(0, 0, 10, 10));
}

TEST(PanZoomLayer, SecondButtonSwitchesBetweenPanAndZoomWithoutAJumpAlsoUnderAnAxisLock) {
  Viewport vp(R(0, 0, 400, 300), R(-10, -2, 110, 4));
  auto layers = std::make_shared<LayerManager>();
  layers->pushLayer(std::make_shared<GridLayer>(vp, std::make_shared<GraphViewColors>(), QFont()));
  auto send = [&](QEvent::Type type, V p, Qt::MouseButton b, Qt::MouseButtons held, Qt::KeyboardModifiers m = {}) {
    QMouseEvent e(type, QPointF(p.x, p.y), b, held, m);
    EXPECT_TRUE(layers->handleEvent(&e, vp));
  };
  send(QEvent::MouseButtonPress, V(100, 100), Qt::MiddleButton, Qt::MiddleButton);
  send(QEvent::MouseMove, V(101, 100), Qt::NoButton, Qt::MiddleButton, Qt::ShiftModifier);
  send(QEvent::MouseMove, V(140, 100), Qt::NoButton, Qt::MiddleButton, Qt::ShiftModifier);  // locked to x
  // The right button comes 30 pixels off the locked line; the zoom starts
  // from the locked point, so a move that goes nowhere zooms nothing.
  const Qt::MouseButtons both = Qt::MiddleButton | Qt::RightButton;
  const R panned = vp.getWorldBounds();
  send(QEvent::MouseButtonPress, V(140, 130), Qt::RightButton, both);
  send(QEvent::MouseMove, V(140, 130), Qt::NoButton, both);
  EXPECT_NEAR(vp.getWorldBounds().width, panned.width, 1e-9);
  EXPECT_NEAR(vp.getWorldBounds().x, panned.x, 1e-9);
  send(QEvent::MouseMove, V(150, 130), Qt::NoButton, both);
  EXPECT_NEAR(vp.getWorldBounds().width / panned.width, std::pow(0.99, 10), 1e-12);
  EXPECT_EQ(vp.getWorldBounds().height, panned.height);
  // Letting go of the right button pans on from the zoomed view, along x.
  send(QEvent::MouseButtonRelease, V(150, 130), Qt::RightButton, Qt::MiddleButton);
  const R zoomed = vp.getWorldBounds();
  send(QEvent::MouseMove, V(120, 160), Qt::NoButton, Qt::MiddleButton);
  EXPECT_NEAR(vp.getWorldBounds().x, zoomed.x + 30 * zoomed.width / 400, 1e-9);
  EXPECT_EQ(vp.getWorldBounds().y, zoomed.y);
  EXPECT_EQ(vp.getWorldBounds().width, zoomed.width);
  send(QEvent::MouseButtonRelease, V(120, 160), Qt::MiddleButton, Qt::NoButton);
  EXPECT_EQ(layers->numChildren(), 1u);  // the gesture's layer left
}

}  // namespace
