#include "layers/rubberbandlayer.h"

#include "core/viewmath.h"
#include "layers/hittest.h"

#include <arvelle/dragconstraint.h>
#include <arvelle/glhelpers.h>
#include <arvelle/viewport.h>

#include <QColor>
#include <QMouseEvent>

#include <GL/gl.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <initializer_list>
#include <set>
#include <vector>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

using Tessal::HitRecord;
using Tessal::Rectangle;
using Tessal::Vector2D;

namespace {

constexpr double cThreshold = 3.0;
constexpr float cShadeAlpha = 0.3f;
// Current, line, polygon, enable and colour-buffer state (0x600D).
constexpr unsigned int cBandState = GL_CURRENT_BIT | GL_LINE_BIT | GL_POLYGON_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT;



bool IsCurve(const HitRecord& record) { return record.getType() == HitRecord::Curve; }

using Records = std::set<HitRecord, Tessal::CompareRecord>;

// entered(r) for every record of now that before lacks, then left(r) for
// every record of before that now lacks, each in set order. Both sets share
// one order, so one merge finds both, however large the band. Entries come
// first: an item taken along by an entering record (a key's handles) and
// named by a leaving one ends as the leaving one says.
template <class Entered, class Left>
void ForEachChange(const Records& before, const Records& now, Entered entered, Left left) {
  const Tessal::CompareRecord less;
  std::vector<const HitRecord*> gone;
  auto b = before.begin(), n = now.begin();
  while (n != now.end()) {
    if (b == before.end() || less(*n, *b)) {
      entered(*n++);
    } else if (less(*b, *n)) {
      gone.push_back(&*b++);
    } else {
      ++b;
      ++n;
    }
  }
  for (const HitRecord* r : gone) left(*r);
  for (; b != before.end(); ++b) left(*b);
}

// GL takes coordinates as floats: a double beyond their range would arrive
// as an infinity.
bool FitsGL(std::initializer_list<double> values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::fabs(v) <= FLT_MAX; });
}

void Color(const QColor& c, float alpha) {
  glColor4f(static_cast<GLfloat>(c.redF()), static_cast<GLfloat>(c.greenF()), static_cast<GLfloat>(c.blueF()), alpha);
}

// Only rectangles with an area: the others would be drawn reversed.
void FillIfPositive(double x0, double y0, double x1, double y1) {
  if (x1 > x0 && y1 > y0) glRectd(x0, y0, x1, y1);
}

}  // namespace

RubberbandLayer::RubberbandLayer(std::shared_ptr<Tessal::FCurveContainer> curves,
                                 std::shared_ptr<Tessal::Selection> selection, std::shared_ptr<GraphViewColors> colors)
    : mCurves(std::move(curves)), mSelection(std::move(selection)), mColors(std::move(colors)) {}

RubberbandLayer::~RubberbandLayer() = default;

bool RubberbandLayer::handleEvent(QEvent* event, Viewport& viewport) {
  if (!event) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* e = static_cast<QMouseEvent*>(event);
      // Another button pressed during the band is taken: a pan or zoom
      // started on top would take the left release, and the band would
      // never end.
      if (e->button() != Qt::LeftButton) return mDelay != nullptr;
      // Without curves and a selection there is nothing to select.
      if (!mCurves || !mSelection) return false;
      mAdd = e->modifiers().testFlag(Qt::ShiftModifier);
      mSubtract = e->modifiers().testFlag(Qt::ControlModifier) && !mAdd;
      const Vector2D<double> p = RoundedPixel(e->localPos());
      mDelay = std::make_unique<DragDelay>(p, cThreshold);
      mStart = mCurrent = WindowToWorld(viewport, p);
      mBand.clear();
      if (mAdd || mSubtract) {
        GetSelected(*mSelection, mInitialSelection);
      } else {
        mSelection->clear();
        mInitialSelection.clear();
      }
      return true;
    }
    case QEvent::MouseMove: {
      // Not pressed yet: there is no gesture to take the move.
      if (!mDelay) return false;
      const Vector2D<double> p = RoundedPixel(static_cast<QMouseEvent*>(event)->localPos());
      mDelay->nextPoint(p);
      if (!mDelay->isDragging()) return true;
      mCurrent = WindowToWorld(viewport, p);
      // The press point as the view shows it now.
      const Vector2D<double> s = WorldToWindow(viewport, mStart);
      const Rectangle<double> rect(std::min(p.x, s.x), std::min(p.y, s.y), std::fabs(p.x - s.x),
                                   std::fabs(p.y - s.y));
      // An unmappable view or rectangle picks nothing: all of the band leaves.
      Records covered;
      PickItems(*mCurves, *mSelection, viewport, rect, covered);
      Tessal::Selection& selection = *mSelection;
      ForEachChange(
          mBand, covered,
          [&](const HitRecord& r) {
            if (!mSubtract) {
              SelectHitRecord(selection, r, true);
            } else if (!IsCurve(r)) {
              DeselectHitRecord(selection, r, true);
            }
          },
          [&](const HitRecord& r) {
            const bool initial = (mAdd || mSubtract) && mInitialSelection.count(r) != 0;
            if (mSubtract) {
              if (initial) SelectHitRecord(selection, r, true);
            } else if (!initial && !IsCurve(r)) {
              DeselectHitRecord(selection, r, true);
            }
          });
      mBand.swap(covered);
      emit notifyLayerChanged();
      return true;
    }
    case QEvent::MouseButtonRelease:
      if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
      // A plain click selects nothing, whatever changed since the press.
      if (mDelay && !mDelay->isDragging() && !mAdd && !mSubtract) mSelection->clear();
      removeFromManager();
      // The layers underneath see the release too.
      return false;
    default:
      return false;
  }
}

void RubberbandLayer::draw(const Viewport& viewport) const {
  if (!mDelay || !mDelay->isDragging() || !mColors) return;
  // Pixels of an unusable window have no place in the world, and a press
  // in an unmappable view none at all.
  const Rectangle<double>& world = viewport.getWorldBounds();
  if (!IsUsableRectangle(world) || !IsUsableRectangle(viewport.getWindowBounds())) return;
  if (std::isnan(mStart.x) || std::isnan(mStart.y) || std::isnan(mCurrent.x) || std::isnan(mCurrent.y)) return;
  const double wx = world.x, wy = world.y, wr = world.x + world.width, wt = world.y + world.height;
  // A band reaching far beyond the view is cut a view's size outside it:
  // no difference on screen, and no coordinates too large for GL.
  const auto cut = [](double v, double lo, double hi) { return std::max(lo, std::min(v, hi)); };
  const double left = cut(std::min(mStart.x, mCurrent.x), wx - world.width, wr + world.width);
  const double right = cut(std::max(mStart.x, mCurrent.x), wx - world.width, wr + world.width);
  const double bottom = cut(std::min(mStart.y, mCurrent.y), wy - world.height, wt + world.height);
  const double top = cut(std::max(mStart.y, mCurrent.y), wy - world.height, wt + world.height);
  // Relative to the origin, subtracted in double before GL sees them.
  const Vector2D<double> o = viewport.getOrigin();
  const double rl = left - o.x, rr = right - o.x, rb = bottom - o.y, rt = top - o.y;
  const double vl = wx - o.x, vr = wr - o.x, vb = wy - o.y, vt = wt - o.y;
  if (!FitsGL({rl, rr, rb, rt, vl - world.width, vr + world.width, vb - world.height, vt + world.height})) return;

  GLAttributeSentry sentry(cBandState);
  const GLRelativeProjection projection(viewport);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  Color(mColors->getColor(ColorRole::Background), cShadeAlpha);
  // Everything but the band is dimmed.
  FillIfPositive(vl, rt, vr, vt);
  FillIfPositive(vl, rb, rl, rt);
  FillIfPositive(rr, rb, vr, rt);
  FillIfPositive(vl, vb, vr, rb);

  if (right > left && top > bottom) {
    Color(mColors->getColor(ColorRole::RubberBand), 1.0f);
    glLineWidth(1.0f);
    glPolygonMode(GL_FRONT, GL_LINE);
    glRectd(rl, rb, rr, rt);
  }
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
