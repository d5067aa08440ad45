// Builds against the installed-style interface only: the umbrella header and
// the exported target, used as a host would (the README's example).
#include <arvelle/arvelle.h>

#include <QApplication>
#include <QMenu>

#include <cstring>
#include <iostream>
#include <memory>

int main(int argc, char** argv) {
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

  const bool ok = graph.getSelection()->isSelected(*curve) && curve->eval(24) == 10 &&
                  graph.getRootLayer()->findLayer("Curve Layer") != nullptr &&
                  graph.getViewport()->getWorldBounds().width == 30 &&
                  graph.getSnapSettings().str() == "SnapSettings: x on, x inc=auto, y off, y inc=auto" &&
                  std::strcmp(graph.getRootLayer()->metaObject()->className(),
                              "Zentho::Arvelle::ZENTHO_ARVELLE_QT_LIB_VERSION_NS::LayerManager") == 0;
  std::cout << (ok ? "consumer: ok" : "consumer: wrong answers") << std::endl;
  return ok ? 0 : 1;
}
