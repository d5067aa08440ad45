// The grid as the widget shows it, read back from the surface. The view is
// chosen so that every line falls on a pixel centre: world x maps to column
// 10 x + 200, world y to row 149 - 10 y (rows counted from the top).
#include <arvelle/arvelle.h>

#include <QFontMetrics>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;

namespace {

const QColor cBackground(46, 46, 46), cGrid(81, 81, 81);
const R cWorld(-20.05, -15.05, 40, 30);  // 0.1 per pixel on 400 x 300

int Column(double x) { return int(std::floor((x - cWorld.x) / 0.1)); }
int Row(double y) { return int(std::floor((cWorld.y + cWorld.height - y) / 0.1)); }

// Minor lines 10 pixels apart: fade (0 - log10(0.5)) * 1.5 of the way from
// background to grid.
QColor Minor() {
  const double f = -std::log10(0.5) * 1.5;
  const int v = int(f * 81 + (1 - f) * 46);
  return QColor(v, v, v);
}

class GridPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    widget.move(0, 0);
    widget.resize(400, 300);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    QTRY_COMPARE(widget.getViewport()->getWindowBounds(), R(0, 0, 400, 300));
    widget.getViewport()->setWorldBounds(cWorld);
    img = widget.grabFramebuffer();
  }
  QColor at(int x, int y) const { return img.pixelColor(x, y); }
  bool lit(int x, int y) const { return at(x, y).lightness() > cBackground.lightness() + 20; }

  GraphWidget widget;
  QImage img;
};

TEST_F(GridPaint, MinorAndMajorLinesOnTheirPixels) {
  const int midRow = Row(0.45), midCol = Column(0.55);
  EXPECT_EQ(at(midCol, midRow), cBackground);
  EXPECT_EQ(at(Column(1), midRow), Minor());
  EXPECT_EQ(at(Column(-7), midRow), Minor());
  EXPECT_EQ(at(midCol, Row(1)), Minor());
  EXPECT_EQ(at(midCol, Row(-3)), Minor());
  // Majors every ten units, one pixel wide.
  for (double x : {-10.0, 10.0}) {
    EXPECT_EQ(at(Column(x), midRow), cGrid) << x;
    EXPECT_EQ(at(Column(x) - 1, midRow), cBackground) << x;
    EXPECT_EQ(at(Column(x) + 1, midRow), cBackground) << x;
  }
  for (double y : {-10.0, 10.0}) {
    EXPECT_EQ(at(midCol, Row(y)), cGrid) << y;
    EXPECT_EQ(at(midCol, Row(y) + 1), cBackground) << y;
  }
}

TEST_F(GridPaint, AxesAreTwoPixelsWide) {
  const int midRow = Row(0.45), midCol = Column(0.55);
  int columns = 0, rows = 0;
  for (int x = Column(0) - 3; x <= Column(0) + 3; ++x) columns += at(x, midRow) == cGrid ? 1 : 0;
  for (int y = Row(0) - 3; y <= Row(0) + 3; ++y) rows += at(midCol, y) == cGrid ? 1 : 0;
  EXPECT_EQ(columns, 2);
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(at(Column(0), midRow), cGrid);
  EXPECT_EQ(at(midCol, Row(0)), cGrid);
}

TEST_F(GridPaint, LabelBandsHoldLabelsOnlyWhereTheyBelong) {
  const QFontMetrics fm(widget.getFont());
  const int band = fm.height();                        // the x labels' band, at the bottom
  const int left = fm.averageCharWidth() * 3 + 4;      // "-13" is the widest y value in view
  struct Box {
    int x0, y0, x1, y1;
  };
  std::vector<Box> boxes;
  for (int v : {-10, 0, 10}) {
    const QString t = QString::number(v);
    const int x = int(Column(v) + 0.5 - 0.5 * fm.horizontalAdvance(t));
    boxes.push_back({x - 1, 298 - fm.ascent() - 1, x + fm.horizontalAdvance(t) + 1, 299});
    const int y = int((cWorld.y + cWorld.height - v) / 0.1 + 0.5 * fm.ascent());
    boxes.push_back({1, y - fm.ascent() - 1, 2 + fm.horizontalAdvance(t) + 1, y + 1});
  }
  auto inBox = [&](int x, int y) {
    for (const Box& b : boxes) {
      if (x >= b.x0 && x <= b.x1 && y >= b.y0 && y <= b.y1) return true;
    }
    return false;
  };
  for (const Box& b : boxes) {
    int n = 0;
    for (int y = b.y0; y <= b.y1; ++y)
      for (int x = b.x0; x <= b.x1; ++x) n += lit(x, y) ? 1 : 0;
    EXPECT_GT(n, 5) << "label at " << b.x0 << "," << b.y1;
  }
  // No grid line enters either band; nothing else is lit there. (A line
  // that ends on a pixel edge may light the pixel beyond it: the bands'
  // inner rows and columns are left out.)
  int stray = 0;
  auto strayAt = [&](int x, int y) { return (lit(x, y) || at(x, y) == Minor()) && !inBox(x, y) ? 1 : 0; };
  for (int y = 300 - band + 1; y < 300; ++y)
    for (int x = 0; x < 400; ++x) stray += strayAt(x, y);
  for (int y = 0; y < 300 - band; ++y)
    for (int x = 0; x < left - 1; ++x) stray += strayAt(x, y);
  EXPECT_EQ(stray, 0);
  // Right of and above the bands the lines begin.
  EXPECT_EQ(at(left + 1, Row(1)), Minor());
  EXPECT_EQ(at(Column(1), 300 - band - 1), Minor());
}

TEST_F(GridPaint, ZoomingOutWidensTheSpacing) {
  // Ten times the span, 1 unit per pixel: world x maps to column x + 200 and
  // lines are 10 units apart, majors 100.
  widget.getViewport()->setWorldBounds(R(-200.5, -150.5, 400, 300));
  img = widget.grabFramebuffer();
  const int row = 145;  // world y 4: between lines
  EXPECT_EQ(at(205, row), cBackground);  // where a 1-unit line was
  EXPECT_EQ(at(201, row), cBackground);
  EXPECT_EQ(at(210, row), Minor());
  EXPECT_EQ(at(300, row), cGrid);
}

}  // namespace
