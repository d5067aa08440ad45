// Builds against the installed interface only: the umbrella header and the
// exported target or the pkg-config flags, used as a host would (the README's
// example), and shows the widget.
#include "gldriver.h"

#include <arvelle/arvelle.h>

#include <QApplication>
#include <QMenu>

#include <cstring>
#include <iostream>
#include <memory>

int main(int argc, char** argv) {
  KeepGlDriverLoaded();
  QApplication app(argc, argv);
  namespace A = Zentho::Arvelle;
  namespace T = Zentho::Tessal;

  A::GraphWidget graph;
  auto curve = T::FCurve::create("ball.translateX");
  curve->insertSegment(T::Keyframe(0, 0), T::Bezier::create());
  curve->insertSegment(T::Keyframe(24, 10), T::Bezier::create());
  graph.getCurves()->addCurve(curve);
  graph.getSelection()->select(*curve);
  graph.getViewport()->setWorldBounds(T::Rectangle<double>(-2, -1, 30, 12));
  QString begun;
  QObject::connect(&graph, &A::GraphWidget::actionBegin, [&](const QString& text) { begun = text; });
  QMenu menu;
  QUndoStack& undo = graph.getUndoStack()->getQUndoStack();
  menu.addAction(undo.createUndoAction(&menu));

  bool ok = graph.getSelection()->isSelected(*curve) && curve->eval(24) == 10 &&
            graph.getRootLayer()->findLayer("Curve Layer") != nullptr &&
            graph.getViewport()->getWorldBounds().width == 30 &&
            graph.getSnapSettings().str() == "SnapSettings: x on, x inc=auto, y off, y inc=auto" &&
            std::strcmp(graph.getRootLayer()->metaObject()->className(),
                        "Zentho::Arvelle::ZENTHO_ARVELLE_QT_LIB_VERSION_NS::LayerManager") == 0;

  graph.resize(320, 200);
  graph.show();
  const QImage frame = graph.grabFramebuffer();  // initialises GL and paints
  ok = ok && !frame.isNull() && frame.width() >= 320;
  std::cout << (ok ? "consumer: ok" : "consumer: wrong answers") << std::endl;
  return ok ? 0 : 1;
}
