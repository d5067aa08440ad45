// The grid as the widget shows it, read back from the surface. At 0.1 units
// per pixel world x lands on column 10 x + 200 and world y on row
// 149 - 10 y (rows from the top), every line on a pixel centre.
#include <arvelle/arvelle.h>

#include <QFontMetrics>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;

namespace {

int Column(double x) { return int(std::floor(10 * x + 200.5)); }
int Row(double y) { return int(std::floor(149.5 - 10 * y)); }

TEST(GridPaint, LinesAxesAndLabelsOnTheirPixels) {
  GraphWidget widget;
  widget.move(0, 0);
  widget.resize(400, 300);
  widget.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
  QTRY_COMPARE(widget.getViewport()->getWindowBounds(), R(0, 0, 400, 300));
  widget.getViewport()->setWorldBounds(R(-20.05, -15.05, 40, 30));
  const QImage img = widget.grabFramebuffer();
  auto at = [&](int x, int y) { return img.pixelColor(x, y); };

  // Minor lines every unit, faded (0 - log10(0.5)) * 1.5 of the way from
  // background to grid; majors every ten; the axes two pixels wide.
  const QColor background(46, 46, 46), grid(81, 81, 81);
  const double f = -std::log10(0.5) * 1.5;
  const int m = int(f * 81 + (1 - f) * 46);
  const QColor minor(m, m, m);
  const int row = Row(0.45), col = Column(0.55);
  EXPECT_EQ(at(col, row), background);
  EXPECT_EQ(at(Column(1), row), minor);
  EXPECT_EQ(at(col, Row(-3)), minor);
  EXPECT_EQ(at(Column(10), row), grid);
  EXPECT_EQ(at(Column(10) + 1, row), background);
  EXPECT_EQ(at(col, Row(-10)), grid);
  int axisColumns = 0, axisRows = 0;
  for (int d = -3; d <= 3; ++d) {
    axisColumns += at(Column(0) + d, row) == grid;
    axisRows += at(col, Row(0) + d) == grid;
  }
  EXPECT_EQ(axisColumns, 2);
  EXPECT_EQ(axisRows, 2);

  // Labels -10, 0 and 10 along the bottom band and the left one; nothing
  // else lights either band. (A line ending on a pixel edge may light the
  // pixel beyond it, so the bands' inner edges are left out.)
  const QFontMetrics fm(widget.getFont());
  const int band = fm.height(), left = fm.averageCharWidth() * 3 + 4;  // "-13" is the widest y in view
  std::vector<QRect> boxes;
  for (int v : {-10, 0, 10}) {
    const int w = fm.horizontalAdvance(QString::number(v));
    boxes.push_back(QRect(int(Column(v) + 0.5 - 0.5 * w) - 1, 298 - fm.ascent() - 1, w + 2, fm.ascent() + 3));
    const int baseline = int(Row(v) + 0.5 + 0.5 * fm.ascent());
    boxes.push_back(QRect(1, baseline - fm.ascent() - 1, w + 2, fm.ascent() + 3));
  }
  auto lit = [&](int x, int y) { return at(x, y) != background; };
  for (const QRect& b : boxes) {
    int n = 0;
    for (int y = b.top(); y <= b.bottom(); ++y)
      for (int x = b.left(); x <= b.right(); ++x) n += lit(x, y);
    EXPECT_GT(n, 5) << "label at " << b.x() << "," << b.y();
  }
  int stray = 0;
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 400; ++x) {
      const bool inBand = y > 300 - band || (y < 300 - band && x < left - 1);
      bool inBox = false;
      for (const QRect& b : boxes) inBox = inBox || b.contains(x, y);
      stray += inBand && !inBox && lit(x, y);
    }
  }
  EXPECT_EQ(stray, 0);
  EXPECT_EQ(at(left + 1, Row(1)), minor);  // the lines begin right there
  EXPECT_EQ(at(Column(1), 300 - band - 1), minor);
}

}  // namespace
