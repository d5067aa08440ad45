#include "layers/domainsliderlayer.h"

#include "core/gldrawing.h"
#include "core/viewmath.h"
#include "widget/framing.h"

#include <arvelle/glhelpers.h>

#include <tessal/fcurve.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QString>

#include <GL/gl.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <initializer_list>
#include <iterator>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

using Tessal::FCurve;
using Tessal::Rectangle;
using Tessal::Vector2D;

namespace {

// Hint, colour-buffer, enable, line and current state.
constexpr unsigned int cSliderState = GL_HINT_BIT | GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_LINE_BIT | GL_CURRENT_BIT;
constexpr double cHandleWidth = 20.0;   // pixels
constexpr double cHandleHeight = 10.0;  // pixels
constexpr int cHandleBevelFactor = 150;
constexpr double cHandleBevel = 2.0;        // pixels
constexpr double cReadoutDistance = 15.0;   // pixels right of the cursor
constexpr double cReadoutTextGap = 3.0;     // pixels right of the anchor
constexpr double cLeaderStart = 0.2;        // of the way from the curve to the anchor
constexpr double cKeySnapDistance = 5.0;    // pixels
constexpr float cBackdropAlpha = 0.5f;
constexpr int cReadoutDecimals = 4;

// GL takes coordinates as floats: a double beyond their range would arrive
// as an infinity (and a NaN as garbage).
bool FitsGL(std::initializer_list<double> values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::fabs(v) <= FLT_MAX; });
}

// Beyond this a text is far off screen, and no int holds its position.
bool FitsPixel(double v) { return std::fabs(v) < 1e9; }

Vector2D<double> PixelSize(const Viewport& viewport) {
  const auto& win = viewport.getWindowBounds();
  const auto& world = viewport.getWorldBounds();
  return Vector2D<double>(world.width / win.width, world.height / win.height);
}

// The handle in world units: 20 x 10 pixels centred on the value, one text
// line above the bottom edge, where it clears the grid's labels.
Rectangle<double> HandleRectangle(double value, const Viewport& viewport, double lineHeight) {
  const Vector2D<double> px = PixelSize(viewport);
  return Rectangle<double>(value - 0.5 * cHandleWidth * px.x, viewport.getWorldBounds().y + lineHeight * px.y,
                           cHandleWidth * px.x, cHandleHeight * px.y);
}

// One handle drag, from a left press on the handle to the left release. The
// first move decides for the rest of the drag: sideways scrubs the value,
// up or down shows or hides the slider.
class DragSingle : public Layer {
 public:
  DragSingle(std::shared_ptr<Tessal::Selection> selection, std::shared_ptr<DomainSlider> slider, double lineHeight)
      : mSelection(std::move(selection)), mSlider(std::move(slider)), mLineHeight(lineHeight) {}

  bool handleEvent(QEvent* event, Viewport& viewport) override {
    if (!event) return false;
    // An observer of the slider may drop the last other reference.
    const std::shared_ptr<Layer> keep = sharedFromThis();
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        return press(static_cast<const QMouseEvent&>(*event), viewport);
      case QEvent::MouseMove:
        move(static_cast<const QMouseEvent&>(*event), viewport);
        return true;
      case QEvent::MouseButtonRelease:
        if (static_cast<const QMouseEvent&>(*event).button() != Qt::LeftButton) return false;
        removeFromManager();
        return true;
      default:
        return false;
    }
  }

 private:
  bool press(const QMouseEvent& event, const Viewport& viewport) {
    if (event.button() == Qt::LeftButton && mSlider && mSlider->isVisible() && CanMap(viewport)) {
      const Vector2D<double> p = RoundedPixel(event.localPos());
      const Vector2D<double> w = WindowToWorld(viewport, p);
      const Rectangle<double> h = HandleRectangle(mSlider->getValue(), viewport, mLineHeight);
      if (w.x >= h.x && w.x < h.x + h.width && w.y >= h.y && w.y < h.y + h.height) {
        mPress = p;
        mSnap = mSnapSettings;
        mGrabOffset = w.x - mSlider->getValue();
        mState = Undecided;
        return true;
      }
    }
    removeFromManager();
    return false;
  }

  void move(const QMouseEvent& event, const Viewport& viewport) {
    if (!mSlider || !CanMap(viewport)) return;
    const Vector2D<double> p = RoundedPixel(event.localPos());
    // Control frees the value for as long as it is held.
    mSnap.setSnappingX(mSnapSettings.isSnappingX() && !event.modifiers().testFlag(Qt::ControlModifier));
    if (mState == Undecided) {
      if (p.x != mPress.x) {
        mState = Scrubbing;
      } else if (p.y != mPress.y) {
        mState = ShowingHiding;
      } else {
        return;
      }
    }
    if (mState == Scrubbing) {
      const double candidate = WindowToWorld(viewport, p).x - mGrabOffset;
      if (std::isfinite(candidate)) mSlider->setValue(snapped(candidate, viewport));
    } else if (p.y > mPress.y) {
      mSlider->hide();
    } else {
      mSlider->show();
    }
  }

  // A keyframe of a selected curve near x wins over the grid: within 5
  // pixels, or when it is nearer than the grid line.
  double snapped(double x, const Viewport& viewport) const {
    if (!mSnap.isSnappingX()) return x;
    const Vector2D<double> px = PixelSize(viewport);
    const double g = SnapDomainValue(x, mSnap, px);
    bool found = false;
    double key = 0.0;
    if (mSelection) {
      const auto end = Tessal::EndSelectedCurves(*mSelection);
      for (auto it = Tessal::BeginSelectedCurves(*mSelection); it != end; ++it) {
        const auto curve = it->getCurve();
        if (!curve) continue;
        const auto segment = curve->findSegment(x);
        const auto next = std::next(segment);
        for (const Tessal::Keyframe* k : {segment.key(), next != curve->end() ? next.key() : nullptr}) {
          if (k && (!found || std::fabs(k->getX() - x) < std::fabs(key - x))) {
            key = k->getX();
            found = true;
          }
        }
      }
    }
    if (!found) return g;
    const double keyPixels = std::fabs(key - x) / px.x;
    return keyPixels < cKeySnapDistance || keyPixels < std::fabs(x - g) / px.x ? key : g;
  }

  enum State { Undecided = 0, Scrubbing = 1, ShowingHiding = 2 };

  std::shared_ptr<Tessal::Selection> mSelection;
  std::shared_ptr<DomainSlider> mSlider;
  double mLineHeight;
  SnapSettings mSnap;
  Vector2D<double> mPress;
  double mGrabOffset = 0.0;
  State mState = Undecided;
};

}  // namespace

double SnapDomainValue(double x, const SnapSettings& snap, const Vector2D<double>& pixelSize) {
  if (!snap.isSnappingX()) return x;
  Vector2D<double> p(x, 0.0);
  SnapSettings::Snap(p, snap, pixelSize);
  return p.x;
}

QString DomainValueText(double value) {
  // Adding zero turns -0 into 0, which would read "-0".
  const bool whole = std::isfinite(value) && value == std::floor(value);
  return QString::number(value + 0.0, 'f', whole ? 0 : cReadoutDecimals);
}

DomainSliderLayer::DomainSliderLayer(std::shared_ptr<DomainSlider> slider,
                                     std::shared_ptr<Tessal::Selection> selection,
                                     std::shared_ptr<GraphViewColors> colors, const QFont& font,
                                     std::shared_ptr<Viewport> viewport)
    : Layer("Domain Slider Layer"),
      mSlider(std::move(slider)),
      mSelection(std::move(selection)),
      mColors(std::move(colors)),
      mViewport(std::move(viewport)),
      mFontMetrics(font) {
  if (mSlider) mSlider->subscribe(*this);
}

DomainSliderLayer::~DomainSliderLayer() = default;

void DomainSliderLayer::shown(DomainSlider&) { emit notifyLayerChanged(); }

void DomainSliderLayer::hidden(DomainSlider&) { emit notifyLayerChanged(); }

void DomainSliderLayer::valueChanged(DomainSlider&) { emit notifyLayerChanged(); }

void DomainSliderLayer::draw(const Viewport& viewport) const {
  if (!mSlider || !mSlider->isVisible() || !mColors || !CanMap(viewport)) return;
  const double value = mSlider->getValue();
  const Rectangle<double>& world = viewport.getWorldBounds();
  const Vector2D<double> px = PixelSize(viewport);
  const Vector2D<double> o = viewport.getOrigin();
  const double fh = mFontMetrics.height();
  // Everything GL gets is relative to the origin, subtracted in double; the
  // handle is sized around the relative value, where a pixel never rounds
  // away.
  const double rv = value - o.x;
  const Rectangle<double> handle(rv - 0.5 * cHandleWidth * px.x, (world.y - o.y) + fh * px.y, cHandleWidth * px.x,
                                 cHandleHeight * px.y);
  const double lineTop = (world.y - o.y) + world.height - fh * px.y;
  if (!FitsGL({handle.x, handle.x + handle.width, handle.y + handle.height, lineTop})) return;

  GLAttributeSentry sentry(cSliderState);
  const GLRelativeProjection projection(viewport);
  BeginSmoothLines(1.5f);

  const QColor& sliderColor = mColors->getColor(ColorRole::DomainSlider);
  DrawBevelledRectangle(handle, sliderColor, cHandleBevelFactor, static_cast<float>(cHandleBevel * px.x));
  SetGLColor(sliderColor);
  glBegin(GL_LINES);
  glVertex2d(rv, handle.y + handle.height);
  glVertex2d(rv, lineTop);
  glEnd();

  const QString text = DomainValueText(value);
  const double textWidth = mFontMetrics.horizontalAdvance(text);
  const double textX = WorldToWindow(viewport, Vector2D<double>(value, 0)).x - 0.5 * textWidth;
  if (FitsPixel(textX)) {
    const int ix = static_cast<int>(textX);
    const int iy = static_cast<int>(fh) - 2;
    const Vector2D<double> corner = WindowToRelative(viewport, Vector2D<double>(ix, iy));
    const Rectangle<double> behind(corner.x, corner.y, textWidth * px.x, fh * px.y);
    if (FitsGL({behind.x, behind.x + behind.width})) {
      DrawTransparentRectangle(behind, mColors->getColor(ColorRole::Background), cBackdropAlpha);
      emit requestDrawText(ix, iy, text, mColors->getColor(ColorRole::ReadoutText));
    }
  }
  drawReadouts(viewport);
}

void DomainSliderLayer::drawReadouts(const Viewport& viewport) const {
  if (!mSelection) return;
  const double x = mSlider->getValue();
  const Vector2D<double> px = PixelSize(viewport);
  const Vector2D<double> o = viewport.getOrigin();
  const double fh = mFontMetrics.height();
  const double asc = mFontMetrics.ascent();
  const QColor& lineColor = mColors->getColor(ColorRole::DomainSlider);
  const QColor& backdrop = mColors->getColor(ColorRole::Background);
  const QColor& textColor = mColors->getColor(ColorRole::ReadoutText);
  const auto end = Tessal::EndSelectedCurves(*mSelection);
  for (auto it = Tessal::BeginSelectedCurves(*mSelection); it != end; ++it) {
    const auto curve = it->getCurve();
    if (!curve) continue;
    const double y = curve->eval(x);
    // The slope in pixels decides the side: above a falling curve, below a
    // rising one, nearer the curve the steeper it is. A NaN slope counts as
    // flat.
    double s = Tessal::GetFirstDerivative(*curve, x) * px.x / px.y;
    s = std::isnan(s) ? 0.0 : std::max(-1.0, std::min(1.0, s));
    bool above = s <= 0;
    // Flat: above a peak, below a dip.
    if (Tessal::NearZero(s)) above = !(Tessal::GetSecondDerivative(*curve, x) > 0);
    const double offset = above ? px.y * asc * (s + 1) : -px.y * asc * (1 - s);
    // Relative to the origin, as GL gets them.
    const Vector2D<double> at(x - o.x, y - o.y);
    const Vector2D<double> anchor(at.x + cReadoutDistance * px.x, at.y + offset);
    const Vector2D<double> from(at.x + cLeaderStart * (anchor.x - at.x), at.y + cLeaderStart * (anchor.y - at.y));
    // A value far beyond the view has no place on screen.
    if (!FitsGL({anchor.x, anchor.y, from.x, from.y})) continue;
    const Vector2D<double> pixel =
        WorldToWindow(viewport, Vector2D<double>(x + cReadoutDistance * px.x, y + offset));
    if (!FitsPixel(pixel.x) || !FitsPixel(pixel.y)) continue;

    SetGLColor(lineColor);
    glBegin(GL_LINES);
    glVertex2d(from.x, from.y);
    glVertex2d(anchor.x, anchor.y);
    glEnd();

    // A hair below zero would read "-0.0000".
    const double shown = std::fabs(y) < 0.5e-4 ? 0.0 : y;
    const QString text = QString::number(shown, 'f', cReadoutDecimals);
    const int ix = static_cast<int>(pixel.x + cReadoutTextGap);
    const int iy = static_cast<int>(pixel.y - 0.5 * asc);
    const double textWidth = mFontMetrics.horizontalAdvance(text);
    const Vector2D<double> corner = WindowToRelative(viewport, Vector2D<double>(ix, iy));
    DrawTransparentRectangle(Rectangle<double>(corner.x, corner.y, textWidth * px.x, fh * px.y), backdrop,
                             cBackdropAlpha);
    emit requestDrawText(ix, iy, text, textColor);
  }
}

bool DomainSliderLayer::handleEvent(QEvent* event, Viewport& viewport) {
  if (!event) return false;
  switch (event->type()) {
    // The second press of a quick double click arrives as a double click:
    // it grabs the handle as a first press would.
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      const auto manager = getManager();
      if (!manager) return false;
      auto drag = std::make_shared<DragSingle>(mSelection, mSlider, mFontMetrics.height());
      manager->pushLayer(drag);
      // A press off the handle takes the drag straight out again.
      return drag->handleEvent(event, viewport);
    }
    case QEvent::KeyPress: {
      const auto* e = static_cast<const QKeyEvent*>(event);
      const int key = e->key();
      if (!e->modifiers().testFlag(Qt::ControlModifier) || (key != Qt::Key_Left && key != Qt::Key_Right) ||
          !mSlider || !mSlider->isVisible())
        return false;
      step(key == Qt::Key_Right);
      return true;
    }
    default:
      return false;
  }
}

void DomainSliderLayer::step(bool forward) {
  const double v = mSlider->getValue();
  bool found = false;
  double best = 0.0;
  double bestY = 0.0;
  if (mSelection) {
    const auto end = Tessal::EndSelectedCurves(*mSelection);
    for (auto it = Tessal::BeginSelectedCurves(*mSelection); it != end; ++it) {
      const auto curve = it->getCurve();
      if (!curve) continue;
      auto segment = curve->findSegment(v);
      const Tessal::Keyframe* key = nullptr;
      if (forward) {
        const auto next = std::next(segment);
        key = next != curve->end() ? next.key() : nullptr;
      } else {
        key = segment.key();
        // A key right at the value is where the slider is: the one before.
        if (key && key->getX() == v) key = segment != curve->begin() ? (--segment).key() : nullptr;
      }
      if (key && (!found || (forward ? key->getX() < best : key->getX() > best))) {
        best = key->getX();
        bestY = key->getY();
        found = true;
      }
    }
  }
  // The view follows through this layer's manager, where the animation runs.
  const auto manager = getManager();
  if (found) {
    mSlider->setValue(best);
    if (mViewport) CenterOnPoint(manager, mViewport, Vector2D<double>(best, bestY));
    return;
  }
  const double next = forward ? v + 1.0 : v - 1.0;
  // A value that is not a number stays as it is rather than spread.
  if (!std::isfinite(next)) return;
  mSlider->setValue(next);
  if (mViewport) CenterOnDomainValue(manager, mViewport, next);
}

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
