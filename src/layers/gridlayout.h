// How the grid lays out one view: line spacing and fade per axis, the label
// bands along the bottom and left edges, and the labels, measured by the
// real width of their text and placed so that none overlaps another or
// leaves the window. The grid layer draws from it; the curve layer asks it
// where the plot begins, to keep its curves off the y labels.
#pragma once

#include <arvelle/version.h>
#include <arvelle/viewport.h>

#include <QFontMetrics>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

// One label: its value, text and baseline start in widget pixels.
struct GridLabel {
  double value;
  QString text;
  int x, y;
};

// Everything one frame of the grid needs, in world units unless noted.
struct GridLayout {
  double upx, upy;                  // world units per pixel
  double left, right, bottom, top;  // the world rectangle
  double yBase;                     // lines start above the x label band
  double xLeft;                     // and right of the y label band
  double sx, fx, sy, fy;            // minor spacing and fade per axis
  double lx, ly;                    // label spacing per axis
  int dx, dy;                       // label decimals per axis
  double pixelsX, pixelsY;          // window size
  double windowX, windowY, windowBottom;  // pixels
  double plotLeft;                        // xLeft in widget pixels
  std::vector<GridLabel> yLabels;         // top first
};

// False when the view cannot be mapped: empty, negative or unbounded world
// or window. Lays out the lines, the bands and the y labels.
bool ComputeGridLayout(const Viewport& viewport, const QFontMetrics& fm, GridLayout& layout);

// The x labels of a computed layout, left to right.
std::vector<GridLabel> PlaceXLabels(const GridLayout& layout, const QFontMetrics& fm);

// Lines of one family lie at least 5 pixels apart, so a window of this many
// pixels holds at most a quarter as many of them. The bound only bites where
// the arithmetic stops advancing (a step far below the coordinate's
// precision), and treats any surface as at most 100000 pixels wide, more
// than any screen.
inline std::size_t LineBudget(double pixels) { return static_cast<std::size_t>(std::min(pixels, 1.0e5) / 4.0) + 2; }

// Calls f for each multiple of step in [from, to), lowest first, at most
// budget times. Indexed by integer, so a step lost in the coordinate's
// rounding repeats a value (skipped) instead of looping forever.
template <class F>
void ForMultiples(double from, double to, double step, std::size_t budget, F&& f) {
  const double first = std::ceil(from / step);
  double previous = 0.0;
  for (std::size_t k = 0; k < budget; ++k) {
    // Adding the index also turns a first multiple of -0 into 0.
    const double v = (first + static_cast<double>(k)) * step;
    if (!(v < to)) break;
    if (k > 0 && v == previous) continue;
    previous = v;
    f(v);
  }
}

ZENTHO_ARVELLE_NAMESPACE_END
