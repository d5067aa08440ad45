// The curve model on its own: no Qt, no widget.
#include <tessal/tessal.h>

#include <iostream>

int main() {
  namespace T = Zentho::Tessal;
  auto curve = T::FCurve::create("translateX");
  curve->insertSegment(T::Keyframe(0, 0), T::Linear::create());
  curve->insertSegment(T::Keyframe(10, 20), T::Linear::create());
  T::Selection selection(std::make_shared<T::FCurveContainer>());
  selection.getContainer()->addCurve(curve);
  T::SelectCurveCompletely(selection, *curve);
  T::Rectangle<double> extents;
  const bool ok = curve->eval(5) == 10 && T::GetSelectedExtents(selection, extents) && extents.right() == 10 &&
                  T::InterpolatorFactory::isRegistered("bezier()");
  std::cout << (ok ? "tessal consumer: ok" : "tessal consumer: wrong answers") << std::endl;
  return ok ? 0 : 1;
}
