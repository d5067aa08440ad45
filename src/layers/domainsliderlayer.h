// The domain slider on screen: "Domain Slider Layer" draws the cursor at the
// slider's value with a handle near the bottom, the value at the top and a
// readout of every selected curve's value at that x. A left press on the
// handle drags it (sideways scrubs, down hides, back up shows again);
// Ctrl+Left and Ctrl+Right step the slider from keyframe to keyframe of the
// selected curves.
#pragma once

#include <arvelle/domainslider.h>
#include <arvelle/graphviewcolors.h>
#include <arvelle/layer.h>
#include <arvelle/snapsettings.h>
#include <arvelle/viewport.h>

#include <tessal/selection.h>
#include <tessal/types.h>

#include <QFont>
#include <QFontMetrics>

#include <memory>

class QKeyEvent;

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

// x snapped on the x axis of the settings for the pixel size.
double SnapDomainValue(double x, const SnapSettings& snap, const Tessal::Vector2D<double>& pixelSize);

// The slider's value as its label shows it: no decimals for a whole number,
// four otherwise.
QString DomainValueText(double value);

class DomainSliderLayer : public Layer, public DomainSliderObserver {
  Q_OBJECT

 public:
  // The viewport is what stepping recentres; without one the view stays.
  DomainSliderLayer(std::shared_ptr<DomainSlider> slider, std::shared_ptr<Tessal::Selection> selection,
                    std::shared_ptr<GraphViewColors> colors, const QFont& font,
                    std::shared_ptr<Viewport> viewport = nullptr);
  ~DomainSliderLayer() override;

  void draw(const Viewport& viewport) const override;
  // A press starts a handle drag (taken only on the handle); Ctrl+Left and
  // Ctrl+Right step while the slider shows.
  bool handleEvent(QEvent* event, Viewport& viewport) override;

  void shown(DomainSlider& slider) override;
  void hidden(DomainSlider& slider) override;
  void valueChanged(DomainSlider& slider) override;

 private:
  void drawReadouts(const Viewport& viewport) const;
  // To the nearest keyframe of a selected curve before (after) the value, or
  // by one unit when there is none, keeping the new value in view.
  void step(bool forward);

  std::shared_ptr<DomainSlider> mSlider;
  std::shared_ptr<Tessal::Selection> mSelection;
  std::shared_ptr<GraphViewColors> mColors;
  std::shared_ptr<Viewport> mViewport;
  QFontMetrics mFontMetrics;
};

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
