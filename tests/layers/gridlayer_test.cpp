// The grid's lines and labels at many zoom levels, read back through GL
// feedback in a context of the test's own (needs an X server). Expectations
// come from the grid rules written out here.
#include <arvelle/graphviewcolors.h>

#include "layers/backgroundlayer.h"
#include "layers/focuslayer.h"
#include "layers/gridlayer.h"
#include "printers.h"

#include <QEvent>
#include <QFontMetrics>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;

namespace {

constexpr int cW = 400, cH = 300;

struct Line {
  double x0, y0, x1, y1;  // window pixels, y up
  QRgb rgb;
};
struct Text {
  int x, y;
  QString text;
};

class Grid : public ::testing::Test {
 protected:
  void SetUp() override {
    surface.create();
    ASSERT_TRUE(context.create() && context.makeCurrent(&surface)) << "no GL context: run under an X server";
    fbo = std::make_unique<QOpenGLFramebufferObject>(cW, cH);
    fbo->bind();
    viewport.setWindowBounds(R(0, 0, cW, cH));
    QObject::connect(grid.get(), &Layer::requestDrawText,
                     [this](int x, int y, const QString& t, const QColor&) { texts.push_back({x, y, t}); });
  }
  // Draws in feedback mode under the widget's projection of the world.
  std::vector<Line> draw(const Layer& layer, const R& world) {
    viewport.setWorldBounds(world);
    glViewport(0, 0, cW, cH);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (world.width > 0 && world.height > 0) glOrtho(world.x, world.x + world.width, world.y, world.y + world.height, 0, 1);
    std::vector<GLfloat> b(1 << 20);
    glFeedbackBuffer(GLsizei(b.size()), GL_3D_COLOR, b.data());
    glRenderMode(GL_FEEDBACK);
    layer.draw(viewport);
    const GLint n = glRenderMode(GL_RENDER);
    std::vector<Line> out;
    for (GLint i = 0; i < n;) {  // only lines are drawn: a token, two vertices of x, y, z, r, g, b, a
      EXPECT_TRUE(b[i] == GL_LINE_TOKEN || b[i] == GL_LINE_RESET_TOKEN);
      out.push_back({b[i + 1], b[i + 2], b[i + 8], b[i + 9], QColor::fromRgbF(b[i + 4], b[i + 5], b[i + 6]).rgb()});
      i += 15;
    }
    return out;
  }

  QOffscreenSurface surface;
  QOpenGLContext context;
  std::unique_ptr<QOpenGLFramebufferObject> fbo;
  Viewport viewport;
  std::shared_ptr<GraphViewColors> colors = std::make_shared<GraphViewColors>();
  QFontMetrics fm{QFont()};
  std::shared_ptr<GridLayer> grid = std::make_shared<GridLayer>(viewport, colors, QFont());
  std::vector<Text> texts;
};

// ---------------------------------------------------------------- the rules

struct Axis {
  double spacing, fade;
  int decimals;
};
Axis Metrics(double unitsPerPixel) {
  const double x = std::log10(5 * unitsPerPixel), e = std::ceil(x);
  return {std::pow(10.0, e), std::min(1.0, std::max(0.0, (e - x) * 1.5)), e < 0 ? 1 - int(e) : 0};
}
int Digits(double v) { return int(std::to_string((long long)std::fabs(std::trunc(v))).size()) + (v < 0); }
int Fewer(int d) { return d - 1 == 1 ? 0 : d - 1; }
QRgb Faded(double f) {
  const int v = int(f * 81 + (1 - f) * 46);
  return qRgb(v, v, v);
}
std::vector<double> Multiples(double from, double to, double step) {
  std::vector<double> out;
  for (double k = std::ceil(from / step); k * step < to; k += 1) out.push_back(k * step);
  return out;
}

struct Expect {
  double left, right, bottom, top, upx, upy, yBase, xLeft, lx, ly;
  Axis x, y;
  int dx, dy;
  Expect(const R& w, const QFontMetrics& fm)
      : left(w.x), right(w.x + w.width), bottom(w.y), top(w.y + w.height), upx(w.width / cW), upy(w.height / cH) {
    x = Metrics(upx), y = Metrics(upy);
    const double cw = fm.averageCharWidth(), fh = fm.height();
    yBase = bottom + fh * upy;
    lx = x.spacing, dx = x.decimals;
    const int n = std::max(Digits(left), Digits(right));
    for (;;) {
      const double wl = (n + 1 + dx) * cw * upx;  // a label's width
      if (dx == 0) {
        while (lx <= wl) lx *= 10;
        break;
      }
      if (lx > wl) break;
      lx *= 10, dx = Fewer(dx);
    }
    ly = y.spacing, dy = y.decimals;
    if (fh * upy > ly) ly *= 10, dy = dy > 0 ? Fewer(dy) : 0;
    xLeft = left + (cw * (std::max(Digits(top), Digits(yBase)) + dy) + 4) * upx;
  }
};

class GridFrame : public Grid, public ::testing::WithParamInterface<R> {};

TEST_P(GridFrame, LinesAndLabelsWhereTheRulesPutThem) {
  const Expect e(GetParam(), fm);
  const auto lines = draw(*grid, GetParam());

  // Minor lines, the fainter family first (horizontal on a tie), majors
  // every ten minor ones, then the axes y = 0 and x = 0 where zero is in
  // view above and right of the label bands.
  std::vector<std::tuple<bool, double, QRgb>> want;  // vertical, world position, colour
  auto family = [&](bool vertical, double step, QRgb c) {
    for (double v : vertical ? Multiples(e.xLeft, e.right, step) : Multiples(e.yBase, e.top, step))
      want.emplace_back(vertical, v, c);
  };
  const bool vFirst = e.y.fade > e.x.fade;
  family(vFirst, vFirst ? e.x.spacing : e.y.spacing, Faded(vFirst ? e.x.fade : e.y.fade));
  family(!vFirst, vFirst ? e.y.spacing : e.x.spacing, Faded(vFirst ? e.y.fade : e.x.fade));
  family(true, 10 * e.x.spacing, qRgb(81, 81, 81));
  family(false, 10 * e.y.spacing, qRgb(81, 81, 81));
  if (e.yBase <= 0 && 0 <= e.top) want.emplace_back(false, 0.0, qRgb(81, 81, 81));
  if (e.xLeft <= 0 && 0 <= e.right) want.emplace_back(true, 0.0, qRgb(81, 81, 81));

  // GL works in single precision: far from the origin a vertex moves by a
  // few float steps of its coordinate.
  const double tx = 1e-3 + 4 * FLT_EPSILON * std::max(std::fabs(e.left), std::fabs(e.right)) / e.upx;
  const double ty = 1e-3 + 4 * FLT_EPSILON * std::max(std::fabs(e.bottom), std::fabs(e.top)) / e.upy;
  ASSERT_EQ(lines.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    const Line& l = lines[i];
    const auto [vertical, at, rgb] = want[i];
    EXPECT_EQ(l.rgb, rgb) << i;
    const double x = vertical ? (at - e.left) / e.upx : (e.xLeft - e.left) / e.upx;
    const double y = vertical ? (e.yBase - e.bottom) / e.upy : (at - e.bottom) / e.upy;
    EXPECT_NEAR(std::min(l.x0, l.x1), x, tx) << i;
    EXPECT_NEAR(std::max(l.x0, l.x1), vertical ? x : cW, tx) << i;
    EXPECT_NEAR(std::min(l.y0, l.y1), y, ty) << i;
    EXPECT_NEAR(std::max(l.y0, l.y1), vertical ? cH : y, ty) << i;
  }

  std::vector<Text> labels;
  for (double v : Multiples(e.xLeft, e.right, e.lx)) {
    const QString t = QString::number(v, 'f', e.dx);
    labels.push_back({int((v - e.left) / e.upx - 0.5 * fm.horizontalAdvance(t)), cH - 2, t});
  }
  for (double v : Multiples(e.yBase, e.top, e.ly)) {
    labels.push_back({2, int((e.top - v) / e.upy + 0.5 * fm.ascent()), QString::number(v, 'f', e.dy)});
  }
  ASSERT_EQ(texts.size(), labels.size());
  for (size_t i = 0; i < labels.size(); ++i) {
    EXPECT_EQ(texts[i].text, labels[i].text);
    EXPECT_EQ(texts[i].x, labels[i].x) << texts[i].text.toStdString();
    EXPECT_EQ(texts[i].y, labels[i].y) << texts[i].text.toStdString();
    // Never exactly one decimal; x labels never touch their neighbours.
    EXPECT_FALSE(texts[i].text.contains(QRegExp("\\.\\d$"))) << texts[i].text.toStdString();
    if (i + 1 < labels.size() && texts[i + 1].y == cH - 2) {
      EXPECT_LT(texts[i].x + fm.horizontalAdvance(texts[i].text), texts[i + 1].x);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Views, GridFrame,
                         ::testing::Values(R(-0.5, -2, 4, 4),             // x fades less than y
                                           R(-10, -2, 110, 4),            // the widget's first view
                                           R(-3, -2.25, 4, 3),            // equal fades
                                           R(1.0, 1.0, 0.072, 0.018),     // y fades less; no axes
                                           R(-0.05, -0.02, 4, 0.6),        // both zeros inside the label bands
                                           R(-123456, -0.001, 250000, 0.002), R(1.0, 1.0, 0.07, 0.75),
                                           R(0.00012, 50, 0.0001, 2), R(-0.3, -0.31, 0.6, 0.62),
                                           R(1000, 5000, 0.3, 0.02)));

TEST_F(Grid, LabelsDropToWholeNumbersRatherThanOneDecimal) {
  draw(*grid, R(-0.5, -2, 4, 4));  // spacing 0.1 wants two decimals; too tight for them
  QStringList got;
  for (const auto& t : texts) got << t.text;
  EXPECT_EQ(got, QStringList({"0", "1", "2", "3", "-1", "0", "1"}));
  texts.clear();
  draw(*grid, R(0.5, -0.1, 4, 0.95));  // y lines 0.1 and 32 pixels apart: room for "0.10"
  got.clear();
  for (const auto& t : texts) got << t.text;
  EXPECT_EQ(got.mid(4, 3), QStringList({"0.00", "0.10", "0.20"}));
}

// ---------------------------------------------------------------- bad views

const double cNaN = std::numeric_limits<double>::quiet_NaN(), cInf = std::numeric_limits<double>::infinity();

class BrokenView : public Grid, public ::testing::WithParamInterface<R> {};

TEST_P(BrokenView, NoGridAndNoFocusFrame) {
  auto focus = std::make_shared<FocusLayer>(colors);
  QEvent enter(QEvent::Enter);
  focus->handleEvent(&enter, viewport);
  EXPECT_TRUE(draw(*grid, GetParam()).empty());
  EXPECT_TRUE(texts.empty());
  EXPECT_TRUE(draw(*focus, GetParam()).empty());
}

INSTANTIATE_TEST_SUITE_P(Worlds, BrokenView,
                         ::testing::Values(R(0, 0, 0, 4), R(0, 0, 4, 0), R(0, 0, -3, 4), R(0, 0, 4, -1),
                                           R(cNaN, 0, 4, 4), R(0, 0, 4, cNaN), R(0, 0, cInf, 4), R(-cInf, 0, 4, 4),
                                           R(1.7e308, 0, 1.7e308, 4)));

class ExtremeView : public Grid, public ::testing::WithParamInterface<R> {};

TEST_P(ExtremeView, NeverMoreLinesThanPixels) {
  const auto lines = draw(*grid, GetParam());
  EXPECT_LE(lines.size(), size_t(cW + cH));
  EXPECT_LE(texts.size(), size_t(cW + cH));
}

INSTANTIATE_TEST_SUITE_P(Worlds, ExtremeView,
                         ::testing::Values(R(5e15, -1, 3, 2),  // steps below the coordinates' precision
                                           R(1e17, 1e17, 1e-3, 1e-3), R(-1e300, -1e300, 1e300, 1e300),
                                           R(0, 0, 1e-300, 1e-300)));

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
  unsigned char rgba[4] = {1, 1, 1, 1};
  glReadPixels(cW / 2, cH / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  EXPECT_EQ(QColor(rgba[0], rgba[1], rgba[2], rgba[3]), QColor(10, 200, 30, 0));
}

}  // namespace
