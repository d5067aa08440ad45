#include "layers/curvelayer.h"

#include "layers/curvedrawing.h"
#include "layers/curvegeometry.h"
#include "layers/gridlayer.h"

#include <arvelle/glhelpers.h>
#include <arvelle/viewport.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

using Tessal::FCurve;
using Tessal::HitRecord;
using Tessal::Keyframe;
using Tessal::Segment;
using Tessal::Tangent;
using Tessal::Vector2D;

namespace {

// Roles that a preview dims while it shows its own curves on top.
constexpr int cDimmedRoles[] = {ColorRole::Locked,
                                ColorRole::UnselectedInterior,
                                ColorRole::UnselectedExterior,
                                ColorRole::SelectedCurveInterior,
                                ColorRole::SelectedCurveExterior,
                                ColorRole::Selected,
                                ColorRole::Highlight,
                                ColorRole::Velocity,
                                ColorRole::Acceleration};

// How far past its end a handle's arrowhead and its smoothed edge reach, in
// pixels: handles further than this outside the window cannot show.
constexpr double cHandleMargin = 8.0;
// The same for a keyframe marker around its key.
constexpr double cMarkerMargin = 6.0;

// Label placement, in pixels.
constexpr double cLabelSpacing = 40.0;
constexpr double cLabelAbove = 4.0;
constexpr double cLabelBelow = 12.0;
constexpr int cLabelLightness = 150;

// A colour override of one curve, read once per draw.
struct Override {
  bool present = false;
  QColor color;
};

template <class Has, class Get>
Override ReadOverride(const FCurve& curve, Has has, Get get) {
  Override o;
  if (has(curve)) {
    o.present = true;
    get(curve, o.color);
  }
  return o;
}

const QColor& Pick(const Override& o, const QColor& fallback) { return o.present ? o.color : fallback; }

// What the highlight names, as raw pointers for cheap comparison.
struct HighlightRefs {
  explicit HighlightRefs(const HitRecord& h) : record(h), type(h.getType()) {
    curve = h.getCurve().get();
    if (type == HitRecord::SegmentRecord) segment = h.getSegment().get();
    if (type == HitRecord::KeyframeRecord) key = h.getKeyframe().get();
    if (type == HitRecord::TangentRecord || type == HitRecord::TangentRecord2) tangent = h.getTangent().get();
  }
  const HitRecord& record;
  int type;
  const FCurve* curve = nullptr;
  const Segment* segment = nullptr;
  const Keyframe* key = nullptr;
  const Tangent* tangent = nullptr;
};

// A handle of a selected curve that may show, prepared once for both passes.
struct PreparedHandle {
  HandlePixels pixels;
  const Tangent* tangent;
  bool selected;
  bool locked;
};

// Keeps GL from drawing left of the plot while it lives: a scissor box
// within the one already set, in the surface's own pixels.
class PlotClip {
 public:
  PlotClip(const Viewport& viewport, double plotLeft) : mSentry(GL_SCISSOR_BIT | GL_ENABLE_BIT) {
    const auto& win = viewport.getWindowBounds();
    GLint vp[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, vp);
    const double ratio = vp[2] / win.width;
    GLint box[4] = {vp[0], vp[1], vp[2], vp[3]};
    if (glIsEnabled(GL_SCISSOR_TEST)) glGetIntegerv(GL_SCISSOR_BOX, box);
    const double cut = std::ceil(vp[0] + (plotLeft - win.x) * ratio);
    const GLint x0 = std::max(box[0], static_cast<GLint>(std::min(cut, 1e9)));
    const GLint x1 = box[0] + box[2];
    glEnable(GL_SCISSOR_TEST);
    glScissor(x0, box[1], std::max(0, x1 - x0), box[3]);
  }

 private:
  GLAttributeSentry mSentry;
};

class CurvePainter {
 public:
  CurvePainter(const PixelMap& map, const Vector2D<double>& origin, const GraphViewColors& colors,
               const Tessal::Selection& selection, const HighlightRefs& highlight)
      : mMap(map), mDrawer(map, origin), mColors(colors), mSelection(selection), mHighlight(highlight) {}

  void unselectedCurve(const FCurve& curve) {
    if (mHighlight.type == HitRecord::Curve && mHighlight.curve == &curve) return;
    const bool locked = Tessal::IsLocked(curve);
    const Override exterior = ReadOverride(curve, HasUnselectedExteriorColor, GetUnselectedExteriorColor);
    const Override interior = ReadOverride(curve, HasUnselectedInteriorColor, GetUnselectedInteriorColor);
    const QColor& lockedColor = color(ColorRole::Locked);
    const QColor& exteriorColor = locked ? lockedColor : Pick(exterior, color(ColorRole::UnselectedExterior));
    const QColor& interiorColor = locked ? lockedColor : Pick(interior, color(ColorRole::UnselectedInterior));
    forVisibleSegments(curve, [&](const Segment& segment, const Keyframe* left, const Keyframe* right) {
      segmentStrip(segment, left, right, left && right ? interiorColor : exteriorColor);
    });
  }

  void selectedCurve(const FCurve& curve) {
    if (mHighlight.type == HitRecord::Curve && mHighlight.curve == &curve) return;
    prepareHandles(curve);
    selectedPass(curve, false);
    selectedPass(curve, true);
  }

  void highlight() {
    if (mHighlight.type == HitRecord::None || !mHighlight.curve || !Tessal::IsVisible(*mHighlight.curve)) return;
    const QColor& c = color(ColorRole::Highlight);
    switch (mHighlight.type) {
      case HitRecord::Curve:
        forVisibleSegments(*mHighlight.curve, [&](const Segment& segment, const Keyframe* left,
                                                  const Keyframe* right) { segmentStrip(segment, left, right, c); });
        break;
      case HitRecord::SegmentRecord:
        if (mHighlight.segment) {
          const Segment& s = *mHighlight.segment;
          segmentStrip(s, s.getLeftKey().get(), s.getRightKey().get(), c);
        }
        break;
      case HitRecord::KeyframeRecord:
        if (mHighlight.key) marker(*mHighlight.key, mSelection.isSelected(*mHighlight.key), c);
        break;
      case HitRecord::TangentRecord:
      case HitRecord::TangentRecord2:
        if (mHighlight.tangent) {
          const auto key = mHighlight.tangent->getOwningKeyframe();
          HandlePixels h;
          if (key && ComputeHandle(*key, *mHighlight.tangent, mMap, true, h)) {
            mDrawer.handleLine(h, c);
            mDrawer.arrowhead(h, mSelection.isSelected(*mHighlight.tangent), c);
          }
        }
        break;
      default: break;
    }
  }

  void derivative(const FCurve& curve, SampleKind kind, const QColor& c) {
    forVisibleSegments(curve, [&](const Segment& segment, const Keyframe* left, const Keyframe* right) {
      const std::size_t n = SampleVisible(segment, left, right, mMap, kind, mSamples);
      mDrawer.polyline(mSamples.data(), n, c);
    });
  }

  std::size_t vertexCount() const { return mDrawer.vertexCount(); }

 private:
  const QColor& color(int role) const { return mColors.getColor(role); }

  // f(segment, left key, right key), keys null where absent.
  template <class F>
  void forVisibleSegments(const FCurve& curve, F f) {
    const SegmentRange range = FindSegmentRange(curve, mMap.worldX, mMap.worldX + mMap.worldWidth);
    ForEachEntry(range.first, range.last, curve.end(),
                 [&](const Segment& segment, const Keyframe* left, const Keyframe* right) {
                   f(segment, left, right);
                   return false;
                 });
  }

  void segmentStrip(const Segment& segment, const Keyframe* left, const Keyframe* right, const QColor& c) {
    const std::size_t n = SampleVisible(segment, left, right, mMap, SampleKind::Value, mSamples);
    mDrawer.polyline(mSamples.data(), n, c);
  }

  void marker(const Keyframe& key, bool filled, const QColor& c) {
    if (!mDrawer.nearWindow(mMap.toPixel(key.get()), cMarkerMargin)) return;
    mDrawer.keyMarker(key.get(), key.isBreakdown(), filled, c);
  }

  void selectedPass(const FCurve& curve, bool s) {
    const bool curveLocked = Tessal::IsLocked(curve);
    const Override exterior = ReadOverride(curve, HasSelectedExteriorColor, GetSelectedExteriorColor);
    const Override interior = ReadOverride(curve, HasSelectedInteriorColor, GetSelectedInteriorColor);
    const Override tangentOverride = ReadOverride(curve, HasSelectedTangentColor, GetSelectedTangentColor);

    // Segments.
    const QColor* exteriorColor;
    const QColor* interiorColor;
    if (curveLocked) {
      exteriorColor = interiorColor = &color(s ? ColorRole::LockedSelected : ColorRole::Locked);
    } else if (s) {
      exteriorColor = interiorColor = &color(ColorRole::Selected);
    } else {
      exteriorColor = &Pick(exterior, color(ColorRole::SelectedCurveExterior));
      interiorColor = &Pick(interior, color(ColorRole::SelectedCurveInterior));
    }
    forVisibleSegments(curve, [&](const Segment& segment, const Keyframe* left, const Keyframe* right) {
      if (mHighlight.type == HitRecord::SegmentRecord && mHighlight.segment == &segment) return;
      if (mSelection.isSelected(segment) != s) return;
      segmentStrip(segment, left, right, left && right ? *interiorColor : *exteriorColor);
    });

    // Keyframes: the left key of every visible segment.
    forVisibleSegments(curve, [&](const Segment&, const Keyframe* key, const Keyframe*) {
      if (!key) return;
      if (mHighlight.type == HitRecord::KeyframeRecord && mHighlight.key == key) return;
      if (mSelection.isSelected(*key) != s) return;
      if (curveLocked || Tessal::IsLocked(*key)) {
        marker(*key, s, color(s ? ColorRole::LockedSelected : ColorRole::Locked));
      } else if (s) {
        marker(*key, true, color(ColorRole::Selected));
      } else {
        marker(*key, false, Pick(interior, color(ColorRole::SelectedCurveInterior)));
      }
    });

    // Tangent handles. Outlined heads are lines like the handle lines and go
    // out handle by handle; filled heads follow all lines of the pass, so
    // that line and triangle batches do not alternate per handle.
    auto handleColor = [&](const PreparedHandle& h) -> const QColor& {
      if (h.locked) return color(s ? ColorRole::LockedSelected : ColorRole::Locked);
      if (s) return color(ColorRole::Selected);
      return Pick(tangentOverride, color(ColorRole::SelectedCurveTangent));
    };
    for (const PreparedHandle& h : mHandles) {
      if (h.selected != s) continue;
      mDrawer.handleLine(h.pixels, handleColor(h));
      if (!s) mDrawer.arrowhead(h.pixels, false, handleColor(h));
    }
    if (s) {
      for (const PreparedHandle& h : mHandles) {
        if (h.selected) mDrawer.arrowhead(h.pixels, true, handleColor(h));
      }
    }
  }

  // Every handle of the curve that the visibility rule shows and that can
  // reach the window, in segment order: in-tangent, then out-tangent.
  void prepareHandles(const FCurve& curve) {
    mHandles.clear();
    const bool curveLocked = Tessal::IsLocked(curve);
    auto last = curve.end();
    --last;
    ForEachEntry(curve.begin(), last, curve.end(),
                 [&](const Segment& segment, const Keyframe* left, const Keyframe* right) {
                   const auto& interpolator = segment.getInterpolator();
                   if (!interpolator || !interpolator->usesTangents()) return false;
                   if (right) consider(segment, *right, *segment.getInTangent(), curveLocked);
                   if (left) consider(segment, *left, *segment.getOutTangent(), curveLocked);
                   return false;
                 });
  }

  void consider(const Segment& segment, const Keyframe& key, const Tangent& tangent, bool curveLocked) {
    if (mHighlight.tangent == &tangent) return;
    PreparedHandle h;
    if (!ComputeHandle(key, tangent, mMap, true, h.pixels)) return;
    if (!segmentNearWindow(h.pixels.key, h.pixels.end)) return;
    if (!IsTangentShown(mSelection, segment, tangent)) return;
    h.tangent = &tangent;
    h.selected = mSelection.isSelected(tangent);
    h.locked = curveLocked || Tessal::IsLocked(key);
    mHandles.push_back(h);
  }

  // False only when both ends lie beyond the same window edge.
  bool segmentNearWindow(const Vector2D<double>& a, const Vector2D<double>& b) const {
    const double m = cHandleMargin;
    const double x0 = mMap.winX - m, x1 = mMap.winX + mMap.winWidth + m;
    const double y0 = mMap.winY - m, y1 = mMap.winBottom + m;
    if (a.x < x0 && b.x < x0) return false;
    if (a.x > x1 && b.x > x1) return false;
    if (a.y < y0 && b.y < y0) return false;
    if (a.y > y1 && b.y > y1) return false;
    return true;
  }

  const PixelMap& mMap;
  CurveDrawer mDrawer;
  const GraphViewColors& mColors;
  const Tessal::Selection& mSelection;
  const HighlightRefs& mHighlight;
  std::vector<Vector2D<double>> mSamples;
  std::vector<PreparedHandle> mHandles;
};

}  // namespace

CurveLayer::CurveLayer(std::shared_ptr<Tessal::FCurveContainer> curves, std::shared_ptr<Tessal::Selection> selection,
                       std::shared_ptr<GraphViewColors> colors, const char* name)
    : Layer(name), mCurves(std::move(curves)), mColors(std::move(colors)), mSelection(std::move(selection)) {
  FCurve::subscribeGlobal(*this);
  if (mCurves) mCurves->subscribe(*this);
  if (mSelection) mSelection->subscribe(*this);
  if (mColors) mColors->subscribe(*this);
}

CurveLayer::~CurveLayer() = default;

void CurveLayer::setHighlight(const HitRecord& highlight) {
  if (highlight == mHighlight) return;
  mHighlight = highlight;
  emit notifyLayerChanged();
}

void CurveLayer::clearHighlight() {
  if (mHighlight.isEmpty()) return;
  mHighlight.reset();
  emit notifyLayerChanged();
}

void CurveLayer::enablePicking() {
  if (mPicking) return;
  mPicking = true;
  emit notifyLayerChanged();
}

void CurveLayer::disablePicking() {
  if (!mPicking) return;
  mPicking = false;
  mHighlight.reset();
  emit notifyLayerChanged();
}

void CurveLayer::enableFullColor() {
  if (mFullColor) return;
  mFullColor = true;
  emit notifyLayerChanged();
}

void CurveLayer::disableFullColor() {
  if (!mFullColor) return;
  mFullColor = false;
  mHighlight.reset();
  emit notifyLayerChanged();
}

void CurveLayer::curveChanged(FCurve&) {
  // The highlight may name an item that the change removed.
  mHighlight.reset();
  emit notifyLayerChanged();
}

void CurveLayer::containerChanged(Tessal::FCurveContainer&) {
  mHighlight.reset();
  emit notifyLayerChanged();
}

void CurveLayer::selectionChanged(Tessal::Selection&) { emit notifyLayerChanged(); }

void CurveLayer::colorsChanged() { emit notifyLayerChanged(); }

void CurveLayer::draw(const Viewport& viewport) const {
  if (!mCurves || !mSelection || !mColors) return;
  const PixelMap map(viewport);
  if (!map.valid) return;

  GraphViewColors colors(*mColors);
  if (!mFullColor) {
    for (int role : cDimmedRoles) colors.setColor(role, colors.getColor(role).darker(200));
  }

  std::vector<const FCurve*> visible;
  visible.reserve(mCurves->size());
  for (const auto& curve : *mCurves) {
    if (curve && Tessal::IsVisible(*curve)) visible.push_back(curve.get());
  }

  if (mLabels) drawLabels(viewport);

  const HighlightRefs highlight(mHighlight);
  mDrawnVertices = 0;
  const GLRelativeProjection projection(viewport);
  std::unique_ptr<PlotClip> clip;
  if (const auto grid = mLabelGrid.lock()) {
    const double plotLeft = grid->plotLeft(viewport);
    if (plotLeft > map.winX) clip = std::make_unique<PlotClip>(viewport, plotLeft);
  }
  {
    GLAttributeSentry sentry(cCurveAttributes);
    SetUpCurveState();
    CurvePainter painter(map, projection.origin(), colors, *mSelection, highlight);
    for (const FCurve* curve : visible) {
      if (!mSelection->isSelected(*curve)) painter.unselectedCurve(*curve);
    }
    for (const FCurve* curve : visible) {
      if (mSelection->isSelected(*curve)) painter.selectedCurve(*curve);
    }
    painter.highlight();
    mDrawnVertices += painter.vertexCount();
  }

  const struct {
    bool (*shown)(const FCurve&);
    SampleKind kind;
    int role;
  } derivatives[] = {{Tessal::IsVelocityVisible, SampleKind::FirstDerivative, ColorRole::Velocity},
                     {Tessal::IsAccelerationVisible, SampleKind::SecondDerivative, ColorRole::Acceleration}};
  for (const auto& d : derivatives) {
    GLAttributeSentry sentry(cCurveAttributes);
    SetUpCurveState();
    CurvePainter painter(map, projection.origin(), colors, *mSelection, highlight);
    for (const FCurve* curve : visible) {
      if (d.shown(*curve)) painter.derivative(*curve, d.kind, colors.getColor(d.role));
    }
    mDrawnVertices += painter.vertexCount();
  }
}

QStringList CurveLayer::ShortenLabels(const QStringList& names) {
  std::vector<QStringList> parts;
  parts.reserve(static_cast<std::size_t>(names.size()));
  int deepest = 0;
  for (const QString& name : names) {
    parts.push_back(name.split(QLatin1Char('.'), Qt::KeepEmptyParts));
    deepest = std::max(deepest, static_cast<int>(parts.back().size()));
  }
  auto suffix = [](const QStringList& p, int depth) { return p.mid(p.size() - depth).join(QLatin1Char('.')); };

  QStringList labels = names;
  std::vector<bool> done(parts.size(), false);
  for (int depth = 1; depth <= deepest; ++depth) {
    std::map<QString, int> counts;
    for (const QStringList& p : parts) {
      if (p.size() >= depth) ++counts[suffix(p, depth)];
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (done[i] || parts[i].size() < depth) continue;
      const QString s = suffix(parts[i], depth);
      if (counts[s] == 1) {
        labels[static_cast<int>(i)] = s;
        done[i] = true;
      }
    }
  }
  return labels;
}

void CurveLayer::drawLabels(const Viewport& viewport) const {
  const PixelMap map(viewport);
  QStringList names;
  std::vector<const FCurve*> curves;
  for (const auto& curve : *mCurves) {
    if (!curve || !Tessal::IsVisible(*curve)) continue;
    names.push_back(QString::fromStdString(curve->getName()));
    curves.push_back(curve.get());
  }
  const QStringList labels = ShortenLabels(names);
  const QColor textColor = mColors->getColor(ColorRole::Grid).lighter(cLabelLightness);
  for (std::size_t k = 1; k <= curves.size(); ++k) {
    const double px = map.winX + cLabelSpacing * static_cast<double>(k);
    // Labels further right than the window are clipped away whole.
    if (px > map.winX + map.winWidth) break;
    const FCurve& curve = *curves[k - 1];
    const double x = map.toWorldX(px);
    const double y = curve.eval(x);
    const double slope = curve.findSegment(x)->evalFirstDerivative(x);
    const double py = map.toPixelY(y);
    // Far outside the window a label cannot show; nor can a pixel position
    // be stored as an integer there.
    if (!std::isfinite(py) || py < map.winY - 1e6 || py > map.winBottom + 1e6) continue;
    const double baseline = slope > 0 ? py + cLabelBelow : py - cLabelAbove;
    emit requestDrawText(static_cast<int>(std::lround(px)), static_cast<int>(std::lround(baseline)),
                         labels[static_cast<int>(k - 1)], textColor);
  }
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
