#include "layers/gridlayout.h"

#include <arvelle/snapsettings.h>

#include <limits>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

namespace {

// Free pixels between the y labels' column and the plot, and left of it.
constexpr double cBandIndent = 2.0;
constexpr double cBandGap = 4.0;
// Least free pixels between two neighbouring x labels.
constexpr double cLabelGap = 2.0;

bool Finite(double v) { return std::isfinite(v); }

// One decimal place never shows: a count that would drop to 1 drops to 0.
int FewerDecimals(int d) {
  --d;
  return d == 1 ? 0 : d;
}

// A text position, truncated toward zero; kept inside int for windows larger
// than any screen.
int Pixel(double v) { return static_cast<int>(std::max(-1.0e9, std::min(1.0e9, v))); }

QString Label(double v, int decimals) { return QString::number(v, 'f', decimals); }

// The widest label of the multiples of step in [from, to): among labels of
// one sign the longest is the one furthest from zero, so the first and the
// last multiple are all that need measuring.
double WidestLabel(const QFontMetrics& fm, double from, double to, double step, int decimals) {
  const double first = std::ceil(from / step) + 0.0;
  double last = std::floor(to / step) + 0.0;
  if (!(last * step < to)) last -= 1.0;
  double widest = 0.0;
  for (double k : {first, last}) {
    const double v = k * step;
    if (v >= from && v < to) widest = std::max(widest, static_cast<double>(fm.horizontalAdvance(Label(v, decimals))));
  }
  return widest;
}

// Labels along one axis as pixel spans, in order of increasing start. The
// first and the last are moved inside [lo, hi] when they stick out; a moved
// one that then crowds its neighbour gives way, and so does any label that
// still does not fit or crowds the one kept before it.
struct Span {
  double start, size;
  bool keep = true;
};
void FitSpans(std::vector<Span>& spans, double lo, double hi, double gap) {
  if (spans.empty()) return;
  Span& first = spans.front();
  Span& last = spans.back();
  const bool movedFirst = first.start < lo;
  if (movedFirst) first.start = lo;
  const bool movedLast = last.start + last.size > hi;
  if (movedLast) last.start = std::floor(hi - last.size);
  const std::size_t n = spans.size();
  if (n > 1) {
    if (movedFirst && spans[0].start + spans[0].size + gap > spans[1].start) spans[0].keep = false;
    if (movedLast && spans[n - 2].start + spans[n - 2].size + gap > spans[n - 1].start) spans[n - 1].keep = false;
  }
  double end = -std::numeric_limits<double>::infinity();
  for (Span& s : spans) {
    if (!s.keep) continue;
    s.keep = s.start >= lo && s.start + s.size <= hi && s.start >= end + gap;
    if (s.keep) end = s.start + s.size;
  }
}

// The y labels top first, fitted between the window's top and bottom.
void PlaceYLabels(const QFontMetrics& fm, GridLayout& l) {
  l.yLabels.clear();
  const double ascent = fm.ascent(), descent = fm.descent();
  ForMultiples(l.yBase, l.top, l.ly, LineBudget(l.pixelsY), [&](double v) {
    l.yLabels.push_back({v, Label(v, l.dy), Pixel(l.windowX + cBandIndent), Pixel((l.top - v) / l.upy + 0.5 * ascent)});
  });
  std::reverse(l.yLabels.begin(), l.yLabels.end());
  std::vector<Span> spans;
  spans.reserve(l.yLabels.size());
  for (const GridLabel& g : l.yLabels) spans.push_back({g.y - ascent, ascent + descent});
  FitSpans(spans, l.windowY, l.windowBottom, 0.0);
  std::vector<GridLabel> kept;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    if (!spans[i].keep) continue;
    kept.push_back(l.yLabels[i]);
    kept.back().y = Pixel(spans[i].start + ascent);
  }
  l.yLabels.swap(kept);
}

}  // namespace

bool ComputeGridLayout(const Viewport& viewport, const QFontMetrics& fm, GridLayout& l) {
  const auto& win = viewport.getWindowBounds();
  const auto& world = viewport.getWorldBounds();
  if (!(win.width > 0) || !(win.height > 0) || !Finite(win.width) || !Finite(win.height) || !Finite(win.y) ||
      !Finite(win.x)) {
    return false;
  }
  if (!(world.width > 0) || !(world.height > 0)) return false;
  l.upx = world.width / win.width;
  l.upy = world.height / win.height;
  l.left = world.x;
  l.right = world.x + world.width;
  l.bottom = world.y;
  l.top = world.y + world.height;
  for (double v : {l.upx, l.upy, l.left, l.right, l.bottom, l.top}) {
    if (!Finite(v)) return false;
  }
  if (!(l.upx > 0) || !(l.upy > 0)) return false;
  l.pixelsX = win.width;
  l.pixelsY = win.height;
  l.windowX = win.x;
  l.windowY = win.y;
  l.windowBottom = win.y + win.height;

  SnapSettings::GetGridMetrics(l.upx, l.sx, l.fx, l.dx);
  SnapSettings::GetGridMetrics(l.upy, l.sy, l.fy, l.dy);
  if (!(l.sx > 0) || !(l.sy > 0) || !Finite(l.sx) || !Finite(l.sy)) return false;

  const double fh = fm.height();

  // One text line at the bottom stays free for the x labels.
  l.yBase = l.bottom + fh * l.upy;

  // y labels: one text line is all they need; a single step suffices.
  l.ly = l.sy;
  if (fh * l.upy > l.sy) {
    l.ly = 10 * l.sy;
    if (l.dy > 0) l.dy = FewerDecimals(l.dy);
  }
  PlaceYLabels(fm, l);

  // The left band is as wide as the widest y label.
  double widest = 0.0;
  for (const GridLabel& g : l.yLabels) widest = std::max(widest, static_cast<double>(fm.horizontalAdvance(g.text)));
  l.plotLeft = cBandIndent + widest + cBandGap;
  l.xLeft = l.left + l.plotLeft * l.upx;
  l.plotLeft += l.windowX;

  // x labels: widen the spacing by tens, shedding decimals as the numbers
  // grow, until the widest label and a character's gap fit between two
  // neighbours.
  const double cw = fm.averageCharWidth();
  auto needed = [&] { return (WidestLabel(fm, l.xLeft, l.right, l.lx, l.dx) + cw) * l.upx; };
  l.lx = l.sx;
  for (int guard = 0; guard < 1000; ++guard) {
    if (l.dx == 0) {
      for (int more = 0; !(l.lx > needed()) && more < 1000; ++more) l.lx *= 10;
      break;
    }
    if (l.lx > needed()) break;
    l.lx *= 10;
    l.dx = FewerDecimals(l.dx);
  }
  return true;
}

std::vector<GridLabel> PlaceXLabels(const GridLayout& l, const QFontMetrics& fm) {
  std::vector<GridLabel> labels;
  std::vector<Span> spans;
  const int baseline = Pixel(l.windowBottom - 2);
  ForMultiples(l.xLeft, l.right, l.lx, LineBudget(l.pixelsX), [&](double v) {
    const QString text = Label(v, l.dx);
    const double width = fm.horizontalAdvance(text);
    const int x = Pixel((v - l.left) / l.upx - 0.5 * width);
    labels.push_back({v, text, x, baseline});
    spans.push_back({static_cast<double>(x), width});
  });
  // Left of the plot only while the lowest y label reaches down into the
  // x labels' line.
  double lo = l.windowX;
  if (!l.yLabels.empty() && l.yLabels.back().y + fm.descent() > baseline - fm.ascent()) lo = l.plotLeft;
  FitSpans(spans, lo, l.windowX + l.pixelsX, cLabelGap);
  std::vector<GridLabel> kept;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    if (!spans[i].keep) continue;
    kept.push_back(labels[i]);
    kept.back().x = Pixel(spans[i].start);
  }
  return kept;
}

ZENTHO_ARVELLE_NAMESPACE_END
