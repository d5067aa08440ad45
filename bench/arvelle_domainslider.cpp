// One draw of the domain slider over scene S with every one of its 100
// curves selected: the handle, the cursor, the value and a readout per
// curve (slope, side, leader line, backdrop, text request). The texts asked
// for are checked against the curves before timing and counted while timing.
#include "scene.h"

#include "layers/domainsliderlayer.h"

#include <arvelle/domainslider.h>

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QSurfaceFormat>

#include <GL/gl.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;
using namespace SceneS;

namespace {

void BM_DomainSliderDraw(benchmark::State& state) {
  Scene& s = TheScene();
  QSurfaceFormat format;
  format.setProfile(QSurfaceFormat::CompatibilityProfile);
  format.setVersion(2, 1);
  QOffscreenSurface surface;
  surface.setFormat(format);
  surface.create();
  QOpenGLContext context;
  context.setFormat(format);
  if (!context.create() || !context.makeCurrent(&surface)) return state.SkipWithError("no GL context: run under an X server");
  {
    QOpenGLFramebufferObject fbo(cWidth, cHeight);
    fbo.bind();
    const auto& w = s.viewport.getWorldBounds();
    glViewport(0, 0, cWidth, cHeight);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(w.x, w.x + w.width, w.y, w.y + w.height, 0.0, 1.0);

    // The scene's own selection holds 10 curves; this one holds all 100.
    auto selection = std::make_shared<T::Selection>(s.curves);
    for (const auto& c : *s.curves) selection->select(*c);
    auto slider = std::make_shared<A::DomainSlider>();
    const double x = 5000.5;
    slider->show();
    slider->setValue(x);
    auto layer = std::make_shared<A::DomainSliderLayer>(slider, selection, s.colors, QFont());
    std::vector<QString> texts;
    long count = 0;
    bool record = true;
    QObject::connect(layer.get(), &A::Layer::requestDrawText, [&](int, int, const QString& t, const QColor&) {
      ++count;
      if (record) texts.push_back(t);
    });

    layer->draw(s.viewport);
    record = false;
    if (texts.size() != 1 + cCurves) return state.SkipWithError("not one readout per selected curve");
    if (texts[0] != "5000.5000") return state.SkipWithError("wrong value text");
    std::size_t i = 1;
    for (const auto& c : *s.curves) {
      if (texts[i++] != QString::number(c->eval(x), 'f', 4)) return state.SkipWithError("wrong readout");
    }

    count = 0;
    for (auto _ : state) {
      layer->draw(s.viewport);
      glFinish();  // the rasterising belongs to the frame
    }
    if (count != static_cast<long>(state.iterations()) * (1 + cCurves))
      return state.SkipWithError("a draw lost readouts");
    state.counters["readouts"] = static_cast<double>(count) / static_cast<double>(state.iterations()) - 1;
  }
  context.doneCurrent();
}
BENCHMARK(BM_DomainSliderDraw)->Unit(benchmark::kMillisecond);

}  // namespace
