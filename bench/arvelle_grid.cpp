// One frame of the grid layer on a 1920 x 1080 surface, lines and label
// layout included (the text itself is painted by the widget, not here), at
// a few telling zoom levels. Counters: lines and labels per frame.
#include <arvelle/graphviewcolors.h>
#include <arvelle/viewport.h>

#include "layers/gridlayer.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;

namespace {

constexpr int cWidth = 1920, cHeight = 1080;

// The views, by the benchmark's argument.
const R cViews[] = {
    R(-10, -2, 110, 4),          // the widget's first view
    R(-3.5, -2.1, 7, 4.2),       // a close look around the origin
    R(0.5, 0.5, 1e-3, 1e-3),     // the closest the zoom keys allow
    R(-5e4, -5e4, 1e5, 1e5),     // the widest the zoom keys allow
};

void Project(const R& w) {
  glViewport(0, 0, cWidth, cHeight);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(w.x, w.x + w.width, w.y, w.y + w.height, 0.0, 1.0);
}

// The lines one draw emits, counted through GL feedback.
long CountLines(const GridLayer& grid, const Viewport& viewport) {
  std::vector<GLfloat> buffer(1 << 20);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_2D, buffer.data());
  glRenderMode(GL_FEEDBACK);
  grid.draw(viewport);
  const GLint n = glRenderMode(GL_RENDER);
  long lines = 0;
  for (GLint i = 0; i < n;) {
    const GLint token = static_cast<GLint>(buffer[i++]);
    if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
      ++lines;
      i += 4;
    } else if (token == GL_POLYGON_TOKEN) {
      i += 1 + 2 * static_cast<GLint>(buffer[i]);
    } else {
      i += token == GL_PASS_THROUGH_TOKEN ? 1 : 2;
    }
  }
  return n < 0 ? -1 : lines;
}

void BM_DrawGrid(benchmark::State& state) {
  QOffscreenSurface surface;
  surface.create();
  QOpenGLContext context;
  if (!context.create() || !context.makeCurrent(&surface)) {
    state.SkipWithError("no GL context: run under an X server");
    return;
  }
  {
    QOpenGLFramebufferObject fbo(cWidth, cHeight);
    fbo.bind();
    const R& world = cViews[state.range(0)];
    Viewport viewport(R(0, 0, cWidth, cHeight), world);
    auto colors = std::make_shared<GraphViewColors>();
    auto grid = std::make_shared<GridLayer>(viewport, colors, QFont());
    long labels = 0;
    QObject::connect(grid.get(), &Layer::requestDrawText, [&labels](int, int, const QString&, const QColor&) {
      ++labels;
    });
    Project(world);
    const long lines = CountLines(*grid, viewport);
    labels = 0;

    for (auto _ : state) {
      grid->draw(viewport);
      glFinish();  // the rasterising belongs to the frame
    }
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["labels"] = static_cast<double>(labels) / static_cast<double>(state.iterations());
  }
  context.doneCurrent();
}
BENCHMARK(BM_DrawGrid)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

}  // namespace
