#include "layers/focuslayer.h"

#include "core/viewmath.h"

#include <arvelle/glhelpers.h>
#include <arvelle/viewport.h>

#include <QEvent>

#include <GL/gl.h>

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

FocusLayer::FocusLayer(std::shared_ptr<GraphViewColors> colors)
    : Layer("Keyboard Focus Layer"), mColors(std::move(colors)) {
  if (mColors) mColors->subscribe(*this);
}

FocusLayer::~FocusLayer() = default;

QColor FocusLayer::frameColor() const {
  QColor c = mColors ? mColors->getColor(ColorRole::FocusFrame) : QColor();
  const SnapSettings snap = getSnapSettings();
  if (!snap.isSnappingX() && !snap.isSnappingY()) c.setRedF(1.0 - c.redF());
  return c;
}

bool FocusLayer::handleEvent(QEvent* event, Viewport&) {
  if (!event) return false;
  if (event->type() != QEvent::Enter && event->type() != QEvent::Leave) return false;
  mPointerInside = event->type() == QEvent::Enter;
  emit notifyLayerChanged();
  // Tracked, not taken: the layers below follow the pointer too (the
  // insertion marker hides when it leaves).
  return false;
}

void FocusLayer::draw(const Viewport& viewport) const {
  if (!mPointerInside) return;
  const auto& world = viewport.getWorldBounds();
  // An empty or unbounded world has no outline to draw.
  if (!IsUsableRectangle(world)) return;

  GLAttributeSentry sentry(GL_HINT_BIT | GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_POLYGON_BIT | GL_LINE_BIT |
                           GL_CURRENT_BIT);
  glEnable(GL_LINE_SMOOTH);
  glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  const QColor c = frameColor();
  glColor3f(static_cast<GLfloat>(c.redF()), static_cast<GLfloat>(c.greenF()), static_cast<GLfloat>(c.blueF()));
  glPolygonMode(GL_FRONT, GL_LINE);
  glLineWidth(3.0f);
  const GLRelativeProjection projection(viewport);
  const double x = projection.relativeX(world.x), y = projection.relativeY(world.y);
  glRectd(x, y, x + world.width, y + world.height);
}

void FocusLayer::colorsChanged() { emit notifyLayerChanged(); }

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
