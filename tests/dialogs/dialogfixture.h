// A shown widget with two curves and the preview dialogs driven through real
// input: typing into their fields, dragging their sliders, clicking their
// buttons. One world unit is 100 pixels.
#pragma once

#include "commands/editfixtures.h"
#include "widget/showwidget.h"

#include "dialogs/curvedialogs.h"
#include "dialogs/floatslider.h"
#include "layers/curvelayer.h"

#include <arvelle/arvelle.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QUndoStack>

#include <iomanip>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace DialogTests {

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;
using V = T::Vector2D<double>;

// Everything a curve holds that a preview could disturb, exactly: values in
// hexadecimal, the element objects and interpolators, identities as records.
struct Print {
  std::string values;
  std::vector<const void*> objects;
  std::vector<T::HitRecord> ids;
  bool operator==(const Print& o) const { return values == o.values && objects == o.objects && ids == o.ids; }
};
inline std::ostream& operator<<(std::ostream& os, const Print& p) { return os << p.values; }

inline Print PrintOf(const T::FCurve& curve) {
  Print p;
  std::ostringstream os;
  os << std::hexfloat << curve.getName() << (curve.isLocked() ? " L" : "");
  for (auto it = curve.begin(); it != curve.end(); ++it) {
    const T::Segment& s = *it.segment();
    p.objects.insert(p.objects.end(), {&s, s.getInterpolator().get()});
    p.ids.emplace_back(s);
    if (const auto* k = it.key()) {
      os << "\n" << k->getX() << "," << k->getY() << (k->isBreakdown() ? " B" : "")
         << (k->isTangentsUnified() ? " U" : "");
      p.objects.push_back(k);
      p.ids.emplace_back(*k);
      for (const auto& t : {k->getInTangent(), k->getOutTangent()}) {
        os << " [" << t->get().x << "," << t->get().y << " t" << int(t->getType()) << (t->isWeighted() ? " w" : "")
           << (t->isWeightLocked() ? " l" : "") << "]";
        p.objects.push_back(t.get());
        p.ids.emplace_back(*t);
      }
    }
  }
  p.values = os.str();
  return p;
}

// Curve "a", Smooth bezier keys (0.5, 1) (1.5, 2) (2.5, 1) (3.5, 1.5); curve
// "b" (0.5, 0.5) (2, 0.5) (3, 2.5); both selected as whole curves.
class DialogTest : public ::testing::Test {
 public:
  void SetUp() override {
    widget.getCurves()->addCurve(a);
    widget.getCurves()->addCurve(b);
    ASSERT_TRUE(ShowWidget(widget, 400, 300));
    widget.getViewport()->setWorldBounds(T::Rectangle<double>(0, 0, 4, 3));
    widget.setSnapSettings(A::SnapSettings());
    undo().setUndoLimit(10);
    standing = widget.getUserLayers()->numChildren();
    selection().select(*a);
    selection().select(*b);
  }

  T::Selection& selection() { return *widget.getSelection(); }
  QUndoStack& undo() { return widget.getUndoStack()->getQUndoStack(); }
  A::CurveLayer& curveLayer() {
    return dynamic_cast<A::CurveLayer&>(*widget.getUserLayers()->findLayer("Curve Layer"));
  }
  std::vector<Print> prints() const { return {PrintOf(*a), PrintOf(*b)}; }

  // Shown window-modal over the widget, its command going to the widget.
  template <class Dialog>
  std::unique_ptr<Dialog> open() {
    auto d = std::make_unique<Dialog>(&widget);
    QObject::connect(d.get(), &A::PrevizDialog::undoCommandGenerated, &widget, &A::GraphWidget::pushUndoStack);
    d->resize(500, d->sizeHint().height());
    d->open();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(d.get()));
    return d;
  }

  static QLineEdit* edit(QWidget& d, const char* name) {
    auto* e = d.findChild<QLineEdit*>(name);
    EXPECT_TRUE(e) << name;
    return e;
  }
  // Replaces the edit's text keystroke by keystroke (the validator sees each)
  // and presses Enter.
  static void type(QWidget& d, const char* name, const QString& text) {
    QLineEdit* e = edit(d, name);
    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Return);
  }
  static void click(QWidget& d, const QString& text) {
    for (auto* b : d.findChildren<QPushButton*>())
      if (b->text() == text) return QTest::mouseClick(b, Qt::LeftButton);
    ADD_FAILURE() << "no button " << text.toStdString();
  }
  // Drags the handle with the mouse from where it stands to position p.
  static void drag(QWidget& d, const char* name, int p) {
    auto* s = d.findChild<QSlider*>(name);
    ASSERT_TRUE(s) << name;
    auto handleAt = [s](int position) {
      QStyleOptionSlider o;
      o.initFrom(s);
      o.orientation = s->orientation();
      o.minimum = s->minimum();
      o.maximum = s->maximum();
      o.sliderPosition = o.sliderValue = position;
      o.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
      return s->style()->subControlRect(QStyle::CC_Slider, &o, QStyle::SC_SliderHandle, s).center();
    };
    // Through the window, as the window system delivers them.
    QWindow* window = s->window()->windowHandle();
    const QPoint from = s->mapTo(s->window(), handleAt(s->value())), to = s->mapTo(s->window(), handleAt(p));
    QTest::mousePress(window, Qt::LeftButton, {}, from);
    QTest::mouseMove(window, to);
    QTest::mouseRelease(window, Qt::LeftButton, {}, to);
    EXPECT_EQ(s->value(), p) << name;
  }

  A::GraphWidget widget;
  std::shared_ptr<T::FCurve> a = Edit::MakeCurve("a", {V(0.5, 1), V(1.5, 2), V(2.5, 1), V(3.5, 1.5)});
  std::shared_ptr<T::FCurve> b = Edit::MakeCurve("b", {V(0.5, 0.5), V(2, 0.5), V(3, 2.5)});
  std::size_t standing = 0;
};

}  // namespace DialogTests
