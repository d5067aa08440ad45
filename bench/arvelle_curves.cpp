// Curve drawing and picking at scale. Scene S: 100 curves of 10,000 bezier
// keys with Smooth handles, a 1920 x 1080 window showing a tenth of the key
// range, 10 curves selected completely. Drawing is compared per vertex with
// a bare loop submitting as many line-strip vertices in the same GL state;
// each pick benchmark first checks its answers against a brute-force pick.
#include "pickoracle.h"
#include "scene.h"

#include "layers/curvedrawing.h"
#include "layers/curvegeometry.h"
#include "layers/curvelayer.h"
#include "layers/hittest.h"

#include <arvelle/glhelpers.h>
#include <arvelle/graphviewcolors.h>
#include <arvelle/viewport.h>

#include <tessal/tessal.h>

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QSurfaceFormat>

#include <GL/gl.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;
using namespace SceneS;

namespace {

// A legacy-profile context on an off-screen surface drawing into a frame
// buffer of the window's size, with the widget's projection.
struct GLTarget {
  GLTarget() {
    QSurfaceFormat format;
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    surface.setFormat(format);
    surface.create();
    context.setFormat(format);
    ok = context.create() && context.makeCurrent(&surface);
    if (!ok) return;
    fbo = std::make_unique<QOpenGLFramebufferObject>(cWidth, cHeight);
    fbo->bind();
    glViewport(0, 0, cWidth, cHeight);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const auto& w = TheScene().viewport.getWorldBounds();
    glOrtho(w.x, w.x + w.width, w.y, w.y + w.height, 0.0, 1.0);
  }
  QOffscreenSurface surface;
  QOpenGLContext context;
  std::unique_ptr<QOpenGLFramebufferObject> fbo;
  bool ok = false;
};

void Clear() {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
}

// The visible samples of every curve, strip by strip, as the layer draws them.
std::vector<std::vector<T::Vector2D<double>>> SceneStrips() {
  Scene& s = TheScene();
  const A::PixelMap map(s.viewport);
  std::vector<std::vector<T::Vector2D<double>>> strips;
  std::vector<T::Vector2D<double>> samples;
  for (const auto& c : *s.curves) {
    const auto range = A::FindSegmentRange(*c, map.worldX, map.worldX + map.worldWidth);
    for (auto it = range.first;; ++it) {
      const std::size_t n = A::SampleVisible(*it.operator->(), map, A::SampleKind::Value, samples);
      if (n) strips.emplace_back(samples.begin(), samples.begin() + static_cast<long>(n));
      if (it == range.last) break;
    }
  }
  return strips;
}

std::size_t gVerticesPerFrame = 0;

void BM_DrawCurves(benchmark::State& state) {
  Scene& s = TheScene();
  GLTarget gl;
  if (!gl.ok) return state.SkipWithError("no GL context");
  auto layer = std::make_shared<A::CurveLayer>(s.curves, s.selection, s.colors);
  double ns = 0;
  for (auto _ : state) {
    Clear();
    glFinish();
    const auto t0 = std::chrono::steady_clock::now();
    layer->draw(s.viewport);
    glFinish();
    ns += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
  }
  gVerticesPerFrame = layer->drawnVertexCount();
  if (gVerticesPerFrame < 200000) return state.SkipWithError("scene S drew too few vertices");
  state.counters["vertices"] = static_cast<double>(gVerticesPerFrame);
  state.counters["ns_per_vertex"] = ns / static_cast<double>(state.iterations()) / static_cast<double>(gVerticesPerFrame);
}
BENCHMARK(BM_DrawCurves)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DrawBaseline(benchmark::State& state) {
  GLTarget gl;
  if (!gl.ok) return state.SkipWithError("no GL context");
  if (gVerticesPerFrame == 0) return state.SkipWithError("run BM_DrawCurves first");
  // The curves' own strips, repeated until there are as many vertices as
  // the layer submits.
  const auto base = SceneStrips();
  std::vector<std::vector<T::Vector2D<double>>> strips;
  std::size_t count = 0;
  for (std::size_t i = 0; count < gVerticesPerFrame; i = (i + 1) % base.size()) {
    strips.push_back(base[i]);
    count += base[i].size();
  }
  double ns = 0;
  for (auto _ : state) {
    Clear();
    glFinish();
    const auto t0 = std::chrono::steady_clock::now();
    {
      // The curve layer's own state, so that only the submission differs.
      A::GLAttributeSentry sentry(A::cCurveAttributes);
      A::SetUpCurveState();
      glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
      for (const auto& strip : strips) {
        glBegin(GL_LINE_STRIP);
        for (const auto& p : strip) glVertex2d(p.x, p.y);
        glEnd();
      }
    }
    glFinish();
    ns += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
  }
  state.counters["vertices"] = static_cast<double>(count);
  state.counters["ns_per_vertex"] = ns / static_cast<double>(state.iterations()) / static_cast<double>(count);
}
BENCHMARK(BM_DrawBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

// Half the points anywhere in the window, half near keys of selected curves.
std::vector<T::Vector2D<double>> PickPoints(std::size_t n, unsigned seed) {
  Scene& s = TheScene();
  const PickOracle::Map m(s.viewport);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> ux(0, cWidth), uy(0, cHeight), near(-20, 20), key(4500, 5500);
  std::vector<T::Vector2D<double>> points;
  for (std::size_t i = 0; i < n; ++i) {
    if (i % 2 == 0) {
      points.emplace_back(std::round(ux(rng)), std::round(uy(rng)));
    } else {
      const auto& curve = s.curves->at((rng() % cSelected) * (cCurves / cSelected));
      const auto k = (*curve->findSegment(key(rng)))->getLeftKey();
      const auto p = m.px(k->get());
      points.emplace_back(std::round(p.x + near(rng)), std::round(p.y + near(rng)));
    }
  }
  return points;
}

void BM_PickItem(benchmark::State& state) {
  Scene& s = TheScene();
  const auto points = PickPoints(1024, 7);
  int hits = 0;
  for (const auto& p : points) {
    T::HitRecord fast, slow;
    const bool a = A::PickItem(*s.curves, *s.selection, s.viewport, p, fast);
    const bool b = PickOracle::PickItem(*s.curves, *s.selection, s.viewport, p, slow);
    if (a != b || (a && !(fast == slow))) return state.SkipWithError("PickItem disagrees with the brute-force pick");
    hits += a ? 1 : 0;
  }
  if (hits < 100) return state.SkipWithError("too few hits to tell anything");
  std::size_t i = 0;
  for (auto _ : state) {
    T::HitRecord r;
    benchmark::DoNotOptimize(A::PickItem(*s.curves, *s.selection, s.viewport, points[i++ & 1023], r));
  }
  state.counters["hits_checked"] = hits;
}
BENCHMARK(BM_PickItem)->Unit(benchmark::kMicrosecond);

void BM_PickItems(benchmark::State& state) {
  Scene& s = TheScene();
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> ux(-100, cWidth / 2 + 100), uy(-100, cHeight / 2 + 100);
  std::vector<T::Rectangle<double>> rects;
  for (int i = 0; i < 8; ++i) rects.emplace_back(std::round(ux(rng)), std::round(uy(rng)), cWidth / 2, cHeight / 2);
  std::size_t total = 0;
  for (const auto& r : rects) {
    std::set<T::HitRecord, T::CompareRecord> fast, slow;
    A::PickItems(*s.curves, *s.selection, s.viewport, r, fast);
    PickOracle::PickItems(*s.curves, s.viewport, r, slow);
    if (fast.size() != slow.size() || !std::equal(fast.begin(), fast.end(), slow.begin()))
      return state.SkipWithError("PickItems disagrees with the brute-force pick");
    total += fast.size();
  }
  std::size_t i = 0;
  for (auto _ : state) {
    std::set<T::HitRecord, T::CompareRecord> result;
    benchmark::DoNotOptimize(A::PickItems(*s.curves, *s.selection, s.viewport, rects[i++ % rects.size()], result));
  }
  state.counters["records_checked"] = static_cast<double>(total);
}
BENCHMARK(BM_PickItems)->Unit(benchmark::kMillisecond);

}  // namespace
