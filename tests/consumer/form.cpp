// A form made in Designer with a GraphWidget in a layout: the uic-generated
// code creates the widget, and it paints once shown.
#include "ui_graphform.h"
#include "gldriver.h"

#include <arvelle/arvelle.h>

#include <QApplication>

#include <iostream>

int main(int argc, char** argv) {
  KeepGlDriverLoaded();
  QApplication app(argc, argv);
  namespace A = Zentho::Arvelle;
  namespace T = Zentho::Tessal;

  QWidget form;
  Ui::GraphForm ui;
  ui.setupUi(&form);
  A::GraphWidget* graph = ui.graph;
  auto curve = T::FCurve::create("ball.translateY");
  curve->insertSegment(T::Keyframe(0, 0), T::Bezier::create());
  curve->insertSegment(T::Keyframe(24, 10), T::Bezier::create());
  graph->getCurves()->addCurve(curve);
  form.show();
  const QImage frame = graph->grabFramebuffer();

  const bool ok = graph->parentWidget() == &form && graph->objectName() == "graph" &&
                  graph->getCurves()->size() == 1 && graph->isVisible() && !frame.isNull() &&
                  frame.width() >= graph->width();
  std::cout << (ok ? "consumer form: ok" : "consumer form: wrong answers") << std::endl;
  return ok ? 0 : 1;
}
