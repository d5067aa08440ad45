#include "monkey/monkey.h"

#include "dialogs/previzdialog.h"
#include "layers/curvelayer.h"
#include "widget/framing.h"

#include <arvelle/arvelle.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QUndoStack>
#include <QWheelEvent>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace Monkey {

namespace {

constexpr int cWindowWidth = 1200;
constexpr int cWindowHeight = 900;
// Beyond this many keys in the scene the host drops its largest curve: bakes
// and scales could otherwise grow it without bound and slow every check.
constexpr std::size_t cKeyBudget = 15000;
constexpr long cPaintEvery = 100;
constexpr long cCheckpointEvery = 250;
constexpr long cUndoRedoEvery = 150;
// Elements checked in depth per event on average.
constexpr long cDeepKeysPerEvent = 150;

std::size_t KeyCount(Rng& rng) {
  const double p = rng.uniform(0, 1);
  if (p < 0.05) return static_cast<std::size_t>(rng.range(0, 2));
  if (p < 0.55) return static_cast<std::size_t>(rng.range(10, 60));
  if (p < 0.85) return static_cast<std::size_t>(rng.range(100, 600));
  return static_cast<std::size_t>(rng.range(1000, 3000));
}

std::string PointText(const QPointF& p) {
  std::ostringstream os;
  os << "(" << p.x() << "," << p.y() << ")";
  return os.str();
}

A::CurveLayer* CurveLayerOf(A::GraphWidget& w) {
  return dynamic_cast<A::CurveLayer*>(w.getRootLayer()->findLayer("Curve Layer").get());
}

}  // namespace

Driver::Driver(std::uint64_t seed) : mRng(seed), mSeed(seed), mWidget(new A::GraphWidget(&mWindow)) {
  mLog = qEnvironmentVariableIsSet("MONKEY_LOG");
  mInterpolators = InterpolatorNames();
  T::FCurve::subscribeGlobal(*this);
  QObject::connect(mWidget, &A::GraphWidget::actionBegin, [this] {
    ++mPushes;
    mCleanSincePush = true;
  });

  // Every action of the menu, the hidden ones too, but not the submenus.
  std::vector<QMenu*> menus{mWidget->getContextMenu()};
  while (!menus.empty()) {
    QMenu* m = menus.back();
    menus.pop_back();
    for (QAction* a : m->actions()) {
      if (a->menu()) menus.push_back(a->menu());
      else if (!a->isSeparator()) mActions.push_back(a);
    }
  }

  const int curves = mRng.range(2, 6);
  for (int i = 0; i < curves; ++i) addRandomCurve();
  mWidget->getUndoStack()->getQUndoStack().setUndoLimit(mRng.chance(0.5) ? 1 : mRng.range(2, 30));
  if (mRng.chance(0.3)) mWidget->getViewport()->setWorldLimits(-100, -50, 4000, 100);

  // Focus changes the window system sends arrive when they will and end
  // gestures: the monkey sends its own focus events instead, so that the
  // seed replays the run.
  mWidget->setFocusPolicy(Qt::NoFocus);
  mWindow.resize(cWindowWidth, cWindowHeight);
  mWindow.move(0, 0);
  mWidget->move(0, 0);
  mWidget->resize(mRng.range(300, cWindowWidth), mRng.range(200, cWindowHeight));
  mWindow.show();
  if (!QTest::qWaitForWindowExposed(&mWindow)) fail("the window never showed");
  mWidget->triggerFrameAll();
  settleAnimations();
}

Driver::~Driver() {
  T::FCurve::unsubscribeGlobal(*this);
  // A failure may leave the change type where a gesture had it.
  T::FCurve::setChangeType(T::FCurve::Idle);
}

void Driver::curveChanged(T::FCurve& curve) {
  if (auto self = curve.sharedFromThis()) mTouched.push_back(self);
}

// ---------------------------------------------------------------- run

std::string Driver::run(long events, long progressEvery) {
  static const Choice choices[] = {
      {30, &Driver::mouseMove},     {10, &Driver::mousePress},       {9, &Driver::mouseRelease},
      {2, &Driver::doubleClick},    {4, &Driver::wheel},             {6, &Driver::keyTap},
      {6, &Driver::arrowKey},       {3, &Driver::modifierKey},       {5, &Driver::menuAction},
      {0.1, &Driver::dialog},       {2, &Driver::undoRedo},          {0.4, &Driver::resize},
      {0.4, &Driver::panZoomToggle}, {0.4, &Driver::focusOrVisibility}, {0.6, &Driver::hostCurves},
      {3, &Driver::hostSelection},  {1, &Driver::hostMoveKeys},    {0.4, &Driver::hostSettings},
  };
  double total = 0;
  for (const Choice& c : choices) total += c.weight;

  QElapsedTimer clock;
  clock.start();
  for (mEvent = 0; mEvent < events && mFailure.empty(); ++mEvent) {
    double r = mRng.uniform(0, total);
    const Choice* chosen = &choices[0];
    for (const Choice& c : choices) {
      chosen = &c;
      if ((r -= c.weight) < 0) break;
    }
    (this->*chosen->action)();
    if (mFailure.empty()) afterEvent();
    if (progressEvery > 0 && (mEvent + 1) % progressEvery == 0) {
      const double s = clock.elapsed() / 1000.0;
      std::fprintf(stderr,
                   "monkey seed %llu: %ld events, %.0f events/s; %ld undo/redo and %ld unchanged-scene checks, "
                   "%ld dialogs, %zu curves\n",
                   static_cast<unsigned long long>(mSeed), mEvent + 1, s > 0 ? (mEvent + 1) / s : 0.0, mUndoChecks,
                   mStillChecks, mDialogs, mWidget->getCurves()->size());
    }
  }
  if (mFailure.empty()) verifyCheckpoint(true);
  if (mFailure.empty()) return {};
  std::ostringstream os;
  os << "seed " << mSeed << ", event " << mEvent << " (MONKEY_SEED=" << mSeed << " MONKEY_EVENTS=" << mEvent + 1
     << "): " << mFailure << "\nthe events before it:";
  for (const auto& e : mRecent) os << "\n  " << e;
  return os.str();
}

void Driver::describe(const std::string& what) {
  std::ostringstream os;
  os << mEvent << " " << what;
  if (mLog) std::fprintf(stderr, "%s\n", os.str().c_str());
  mRecent.push_back(os.str());
  if (mRecent.size() > 25) mRecent.pop_front();
}

void Driver::dirty() {
  mCheck.clean = false;
  mCleanSincePush = false;
}

void Driver::fail(const std::string& what) {
  if (mFailure.empty()) mFailure = what;
}

// ---------------------------------------------------------------- input

void Driver::send(QEvent& event) { QCoreApplication::sendEvent(mWidget, &event); }

Qt::KeyboardModifiers Driver::randomModifiers() {
  Qt::KeyboardModifiers m;
  if (mRng.chance(0.2)) m |= Qt::ShiftModifier;
  if (mRng.chance(0.2)) m |= Qt::ControlModifier;
  if (mRng.chance(0.15)) m |= Qt::AltModifier;
  if (mRng.chance(0.02)) m |= Qt::MetaModifier;
  return m;
}

void Driver::mouse(int type, Qt::MouseButton button, const QPointF& at) {
  mPointer = at;
  const QPointF global = mWidget->mapToGlobal(QPoint(0, 0)) + at;
  QMouseEvent e(static_cast<QEvent::Type>(type), at, at, global, button, mButtons, mModifiers);
  // A right press no layer takes opens the menu, which waits for the user.
  if (type == QEvent::MouseButtonPress && button == Qt::RightButton)
    QTimer::singleShot(0, [] {
      if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) menu->close();
    });
  send(e);
}

// Near a key, a handle or a point of a curve in view most of the time;
// anywhere, now and then outside the widget.
QPointF Driver::target() {
  const double w = mWidget->width(), h = mWidget->height();
  const double p = mRng.uniform(0, 1);
  auto jitter = [this](double r) { return mRng.uniform(-r, r); };
  if (p < 0.05) return QPointF(std::round(mRng.uniform(-40, w + 40)), std::round(mRng.uniform(-40, h + 40)));
  if (p < 0.3) return QPointF(mRng.range(0, int(w) - 1), mRng.range(0, int(h) - 1));
  const auto curve = randomCurve(true);
  const auto& vp = *mWidget->getViewport();
  const auto& win = vp.getWindowBounds();
  const auto& world = vp.getWorldBounds();
  if (!curve) return QPointF(mRng.range(0, int(w) - 1), mRng.range(0, int(h) - 1));
  auto toPixel = [&](const V& v) {
    return QPointF(win.x + (v.x - world.x) * win.width / world.width,
                   win.y + win.height - (v.y - world.y) * win.height / world.height);
  };
  const double x = world.x + mRng.uniform(0, 1) * world.width;
  QPointF q;
  auto it = curve->findSegment(x);
  T::Keyframe* key = it.key();
  if (!key) key = std::next(it).key();
  const double kind = mRng.uniform(0, 1);
  if (kind < 0.5) {
    q = toPixel(key->get()) + QPointF(jitter(3), jitter(3));
  } else if (kind < 0.75) {
    const V off = (mRng.chance(0.5) ? key->getInTangent() : key->getOutTangent())->get();
    QPointF d = toPixel(key->get() + off) - toPixel(key->get());
    const double len = std::hypot(d.x(), d.y());
    if (len > 0 && std::isfinite(len)) d *= mRng.uniform(20, 60) / len;
    q = toPixel(key->get()) + d + QPointF(jitter(3), jitter(3));
  } else {
    q = toPixel(V(x, curve->eval(x))) + QPointF(jitter(4), jitter(4));
  }
  if (!std::isfinite(q.x()) || !std::isfinite(q.y()) || std::fabs(q.x()) > 1e5 || std::fabs(q.y()) > 1e5)
    return QPointF(mRng.range(0, int(w) - 1), mRng.range(0, int(h) - 1));
  // Whole pixels mostly, as window systems give them.
  if (mRng.chance(0.9)) q = QPointF(std::round(q.x()), std::round(q.y()));
  return q;
}

void Driver::mouseMove() {
  const QPointF to = mRng.chance(0.5) ? mPointer + QPointF(mRng.range(-30, 30), mRng.range(-30, 30)) : target();
  if (mRng.chance(0.1)) mModifiers = randomModifiers();
  describe("move " + PointText(to) + " buttons " + std::to_string(int(mButtons)) + " mods " +
           std::to_string(int(mModifiers)));
  mouse(QEvent::MouseMove, Qt::NoButton, to);
}

void Driver::mousePress() {
  static const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::LeftButton, Qt::LeftButton, Qt::LeftButton,
                                            Qt::MiddleButton, Qt::RightButton, Qt::RightButton};
  const Qt::MouseButton b = mRng.pick(buttons);
  if (mButtons & b) return mouseRelease();
  const QPointF at = mRng.chance(0.7) ? target() : mPointer;
  if (mRng.chance(0.4)) mModifiers = randomModifiers();
  // A plain right press mostly finds no layer and opens the menu: rarer.
  if (b == Qt::RightButton && mModifiers == Qt::NoModifier && mRng.chance(0.7)) mModifiers = Qt::AltModifier;
  mButtons |= b;
  describe("press " + std::to_string(int(b)) + " at " + PointText(at) + " mods " + std::to_string(int(mModifiers)));
  mouse(QEvent::MouseButtonPress, b, at);
}

void Driver::mouseRelease() {
  if (mButtons == Qt::NoButton) return mouseMove();
  std::vector<Qt::MouseButton> held;
  for (Qt::MouseButton b : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton})
    if (mButtons & b) held.push_back(b);
  const Qt::MouseButton b = mRng.pick(held);
  const QPointF at = mRng.chance(0.3) ? target() : mPointer;
  mButtons &= ~b;
  describe("release " + std::to_string(int(b)) + " at " + PointText(at));
  mouse(QEvent::MouseButtonRelease, b, at);
}

void Driver::doubleClick() {
  if (mButtons != Qt::NoButton) return mouseRelease();
  const Qt::MouseButton b = mRng.chance(0.85) ? Qt::LeftButton : Qt::MiddleButton;
  const QPointF at = target();
  if (mRng.chance(0.3)) mModifiers = randomModifiers();
  describe("double click " + std::to_string(int(b)) + " at " + PointText(at));
  // As the window system sends it: press, release, double click, release.
  mButtons = b;
  mouse(QEvent::MouseButtonPress, b, at);
  mButtons = Qt::NoButton;
  mouse(QEvent::MouseButtonRelease, b, at);
  mButtons = b;
  mouse(QEvent::MouseButtonDblClick, b, at);
  mButtons = Qt::NoButton;
  mouse(QEvent::MouseButtonRelease, b, at);
}

void Driver::wheel() {
  const QPointF at = mRng.chance(0.5) ? mPointer : target();
  const int steps = mRng.chance(0.8) ? (mRng.chance(0.5) ? 120 : -120) : mRng.range(-360, 360);
  const bool horizontal = mRng.chance(0.1);
  const Qt::KeyboardModifiers mods = mRng.chance(0.3) ? randomModifiers() : mModifiers;
  describe("wheel " + std::to_string(steps) + (horizontal ? " horizontal" : "") + " at " + PointText(at));
  const QPoint angle = horizontal ? QPoint(steps, 0) : QPoint(0, steps);
  QWheelEvent e(at, mWidget->mapToGlobal(at.toPoint()), QPoint(), angle, mButtons, mods, Qt::NoScrollPhase, false);
  send(e);
}

void Driver::key(int type, int k, bool autoRepeat) {
  QKeyEvent e(static_cast<QEvent::Type>(type), k, mModifiers, QString(), autoRepeat);
  send(e);
}

void Driver::keyTap() {
  static const int keys[] = {Qt::Key_H,      Qt::Key_D,     Qt::Key_S,     Qt::Key_F,      Qt::Key_A,
                             Qt::Key_Home,   Qt::Key_Delete, Qt::Key_Insert, Qt::Key_Insert, Qt::Key_Escape,
                             Qt::Key_Escape, Qt::Key_Plus,  Qt::Key_Minus, Qt::Key_Equal,  Qt::Key_Space,
                             Qt::Key_X};
  const int k = mRng.pick(keys);
  const Qt::KeyboardModifiers saved = mModifiers;
  if (mRng.chance(0.1)) mModifiers = randomModifiers();
  const int repeats = mRng.chance(0.1) ? mRng.range(1, 3) : 0;
  describe("key " + std::to_string(k) + " mods " + std::to_string(int(mModifiers)) + " repeats " +
           std::to_string(repeats));
  key(QEvent::KeyPress, k, false);
  for (int i = 0; i < repeats && mFailure.empty(); ++i) {
    key(QEvent::KeyRelease, k, true);
    key(QEvent::KeyPress, k, true);
  }
  key(QEvent::KeyRelease, k, false);
  mModifiers = saved;
}

// Arrows are held: a press, repeats while held, and the release later.
void Driver::arrowKey() {
  static const int arrows[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
  if (!mArrows.empty() && mRng.chance(0.6)) {
    std::vector<int> held(mArrows.begin(), mArrows.end());
    const int k = mRng.pick(held);
    if (mRng.chance(0.6)) {
      describe("arrow " + std::to_string(k) + " repeats");
      for (int i = mRng.range(1, 4); i > 0; --i) {
        key(QEvent::KeyRelease, k, true);
        key(QEvent::KeyPress, k, true);
      }
    } else {
      describe("arrow " + std::to_string(k) + " released");
      mArrows.erase(k);
      key(QEvent::KeyRelease, k, false);
    }
    return;
  }
  const int k = mRng.pick(arrows);
  if (mRng.chance(0.3)) mModifiers = mRng.chance(0.5) ? Qt::ControlModifier : randomModifiers();
  // Now and then the first event is a repeat: the key was held when the
  // widget got it.
  const bool repeat = mRng.chance(0.05);
  describe("arrow " + std::to_string(k) + " pressed, mods " + std::to_string(int(mModifiers)) +
           (repeat ? " (repeat)" : ""));
  mArrows.insert(k);
  key(QEvent::KeyPress, k, repeat);
}

void Driver::modifierKey() {
  const bool shift = mRng.chance(0.5);
  const int k = shift ? Qt::Key_Shift : Qt::Key_Control;
  const Qt::KeyboardModifier m = shift ? Qt::ShiftModifier : Qt::ControlModifier;
  const bool press = !(mModifiers & m);
  describe(std::string(shift ? "shift" : "control") + (press ? " down" : " up"));
  // The window system reports the modifier with the press, without it with
  // the release.
  if (press) mModifiers |= m;
  else mModifiers &= ~m;
  key(press ? QEvent::KeyPress : QEvent::KeyRelease, k, false);
}

void Driver::menuAction() {
  QAction* a = mRng.pick(mActions);
  // The dialogs are slow to open: most of their turns go to other actions.
  if (a->text().endsWith(QLatin1String("...")) && mRng.chance(0.7)) a = mRng.pick(mActions);
  describe("menu " + a->text().toStdString());
  const QString text = a->text();
  if (text.endsWith(QLatin1String("..."))) {
    QTimer::singleShot(0, [this] { driveDialog(); });
  }
  if (text == QLatin1String("Velocity") || text == QLatin1String("Acceleration")) dirty();
  a->trigger();
}

void Driver::dialog() {
  static void (A::GraphWidget::*const dialogs[])() = {&A::GraphWidget::triggerSmoothCurvesDialog,
                                                     &A::GraphWidget::triggerFlipCurvesDialog,
                                                     &A::GraphWidget::triggerTransformCurvesDialog};
  describe("dialog");
  // What Cancel must leave and Apply's undo must give back.
  if (idle()) {
    verifyCheckpoint(true);
    checkpoint();
  }
  QTimer::singleShot(0, [this] { driveDialog(); });
  (mWidget->*mRng.pick(dialogs))();
}

void Driver::driveDialog() {
  A::PrevizDialog* d = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* p = qobject_cast<A::PrevizDialog*>(w); p && p->isVisible()) d = p;
  if (!d) return fail("no dialog showed");
  ++mDialogs;
  int gestures = 0;
  static const char* const numbers[] = {"0",  "1",    "2",   "-1",   "0.5", "-0.5", "3",     "4",
                                        "10", "-2.5", "1e3", "0.01", "abc", "",     "1e-3", "0.25"};
  const auto edits = d->findChildren<QLineEdit*>();
  const auto sliders = d->findChildren<QSlider*>();
  const auto boxes = d->findChildren<QCheckBox*>();
  const auto combos = d->findChildren<QComboBox*>();
  for (int n = mRng.range(0, 6); n > 0 && mFailure.empty(); --n) {
    const double p = mRng.uniform(0, 1);
    if (p < 0.45 && !edits.isEmpty()) {
      QLineEdit* e = edits[mRng.below(edits.size())];
      const char* text = mRng.pick(numbers);
      describe("  dialog field " + e->objectName().toStdString() + " = " + text);
      QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClick(e, Qt::Key_Backspace);
      QTest::keyClicks(e, QString::fromLatin1(text));
      QTest::keyClick(e, Qt::Key_Return);
    } else if (p < 0.7 && !sliders.isEmpty()) {
      QSlider* s = sliders[mRng.below(sliders.size())];
      const int v = mRng.range(s->minimum(), s->maximum());
      describe("  dialog slider " + s->objectName().toStdString() + " = " + std::to_string(v));
      s->setValue(v);
    } else if (p < 0.85 && !boxes.isEmpty()) {
      QCheckBox* b = boxes[mRng.below(boxes.size())];
      describe("  dialog box " + b->objectName().toStdString());
      b->click();
    } else if (p < 0.9 && !combos.isEmpty()) {
      QComboBox* c = combos[mRng.below(combos.size())];
      describe("  dialog combo " + c->objectName().toStdString());
      c->setCurrentIndex(mRng.below(c->count()));
    } else {
      // The host changes the curves under the open dialog.
      if (mRng.chance(0.5)) hostCurves();
      else hostSelection();
      QCoreApplication::processEvents();
    }
    for (const auto& c : *d->getPreviewCurves())
      if (auto e = CheckCurve(*c, 2); !e.empty()) fail("preview " + e);
    if (auto e = CheckLayers(*mWidget, gestures); !e.empty()) fail("with a dialog open: " + e);
  }
  const double end = mRng.uniform(0, 1);
  if (!mFailure.empty() || end < 0.3) {
    describe("  dialog cancelled");
    for (auto* b : d->findChildren<QPushButton*>())
      if (b->text() == QLatin1String("Cancel")) b->click();
  } else if (end < 0.4) {
    describe("  dialog escaped");
    QTest::keyClick(d, Qt::Key_Escape);
  } else {
    describe("  dialog applied");
    for (auto* b : d->findChildren<QPushButton*>())
      if (b->text() == QLatin1String("Apply")) b->click();
  }
  // A refused Apply keeps the dialog open.
  if (d->isVisible()) d->reject();
}

void Driver::undoRedo() {
  // The host's undo and redo, between gestures.
  if (!idle()) return mouseMove();
  QUndoStack& stack = mWidget->getUndoStack()->getQUndoStack();
  const bool undo = mRng.chance(0.6);
  describe(undo ? "undo" : "redo");
  dirty();
  if (undo) stack.undo();
  else stack.redo();
}

void Driver::resize() {
  const int w = mRng.chance(0.1) ? mRng.range(50, 120) : mRng.range(100, cWindowWidth);
  const int h = mRng.chance(0.1) ? mRng.range(50, 120) : mRng.range(100, cWindowHeight);
  describe("resize " + std::to_string(w) + "x" + std::to_string(h));
  mWidget->resize(w, h);
}

void Driver::panZoomToggle() {
  auto& vp = *mWidget->getViewport();
  describe(vp.isPanZoomEnabled() ? "pan/zoom off" : "pan/zoom on");
  vp.setPanZoomEnabled(!vp.isPanZoomEnabled());
}

void Driver::focusOrVisibility() {
  if (mRng.chance(0.7)) {
    describe("focus out and in");
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    send(out);
    QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    send(in);
  } else {
    describe("hidden and shown");
    mWidget->hide();
    mWidget->show();
  }
  // The window system sends the releases once the widget has them again;
  // until then the gestures have ended without them.
}

// ---------------------------------------------------------------- host

std::shared_ptr<T::FCurve> Driver::randomCurve(bool withKeys) {
  const auto& curves = *mWidget->getCurves();
  std::vector<std::shared_ptr<T::FCurve>> pool;
  for (const auto& c : curves)
    if (!withKeys || c->numKeys() > 0) pool.push_back(c);
  return pool.empty() ? nullptr : mRng.pick(pool);
}

// O(log n) however large the curve.
std::shared_ptr<T::Keyframe> Driver::randomKey(const T::FCurve& curve) {
  if (curve.numKeys() == 0) return nullptr;
  const double x0 = std::next(curve.begin()).key()->getX(), x1 = std::prev(curve.end()).key()->getX();
  auto it = curve.findSegment(x0 + mRng.uniform(0, 1) * (x1 - x0));
  return it->getLeftKey() ? it->getLeftKey() : std::next(it)->getLeftKey();
}

void Driver::addRandomCurve() {
  static const char* const prefixes[] = {"", "arm.l.", "arm.r.", "leg."};
  const std::string name = std::string(mRng.pick(prefixes)) + "c" + std::to_string(mNextName++);
  mWidget->getCurves()->addCurve(
      RandomCurve(mRng, name, static_cast<int>(KeyCount(mRng)), std::round(mRng.uniform(-50, 50))));
}

void Driver::hostCurves() {
  auto& curves = *mWidget->getCurves();
  dirty();
  const double p = mRng.uniform(0, 1);
  if (curves.size() < 2 || (p < 0.4 && curves.size() < 8)) {
    describe("host adds a curve");
    addRandomCurve();
  } else if (p < 0.5 && !mRemoved.empty() && curves.size() < 8) {
    describe("host puts a removed curve back");
    curves.addCurve(mRemoved.back());
    mRemoved.pop_back();
  } else if (p < 0.6) {
    const auto c = randomCurve(true);
    describe("host flips the flags of a curve");
    if (!c) return;
    if (mRng.chance(0.5)) c->setLocked(!c->isLocked());
    else if (mRng.chance(0.5)) c->setEditable(!c->isEditable());
    else c->setVisible(!c->isVisible());
    c->notifyChanged();
  } else {
    describe("host removes a curve");
    const auto c = randomCurve(false);
    curves.removeCurve(c);
    mRemoved.push_back(c);
    if (mRemoved.size() > 4) mRemoved.erase(mRemoved.begin());
  }
}

void Driver::hostSelection() {
  auto& s = *mWidget->getSelection();
  const double p = mRng.uniform(0, 1);
  const auto c = randomCurve(false);
  if (!c || p < 0.08) {
    describe("host clears the selection");
    return s.clear();
  }
  const auto k = randomKey(*c);
  if (p < 0.2) {
    describe("host selects all of " + c->getName());
    T::SelectCurveCompletely(s, *c);
  } else if (p < 0.25) {
    describe("host deselects all of " + c->getName());
    T::DeselectCurveCompletely(s, *c);
  } else if (p < 0.3) {
    describe("host deselects the parts");
    T::DeselectSelectedParts(s);
  } else if (p < 0.45) {
    describe("host toggles curve " + c->getName());
    if (s.isSelected(*c)) s.deselect(*c);
    else s.select(*c);
  } else if (k) {
    // A run of neighbouring keys, or one of their segments or handles.
    s.select(*c);
    auto it = c->findSegment(k->getX());
    const int n = mRng.chance(0.7) ? 1 : mRng.range(2, 40);
    const int what = mRng.below(4);
    describe("host selects " + std::to_string(n) + " elements of kind " + std::to_string(what) + " in " +
             c->getName());
    for (int i = 0; i < n && it != c->end(); ++i, ++it) {
      if (what == 0) s.select(*it.key());
      else if (what == 1) s.select(*it.segment());
      else s.select(*(what == 2 ? it.key()->getInTangent() : it.key()->getOutTangent()));
      if (!it->hasRightKey()) break;
    }
  }
}

void Driver::hostMoveKeys() {
  // The host's own edits wait for the user's gesture to end.
  if (!idle()) return mouseMove();
  const auto c = randomCurve(true);
  if (!c) return;
  const auto k = randomKey(*c);
  const int n = mRng.chance(0.7) ? 1 : mRng.range(2, 20);
  const double dx = mRng.chance(0.5) ? 0 : mRng.uniform(-3, 3), dy = mRng.uniform(-2, 2);
  describe("host moves " + std::to_string(n) + " keys of " + c->getName() + " from " + std::to_string(k->getX()));
  dirty();
  std::vector<std::shared_ptr<T::Keyframe>> keys;
  for (auto it = c->findSegment(k->getX()); it != c->end() && int(keys.size()) < n; ++it)
    if (it.key()) keys.push_back(it->getLeftKey());
  T::FCurve::setChangeType(T::FCurve::AboutToChange);
  c->notifyChanged();
  T::FCurve::setChangeType(T::FCurve::Changing);
  {
    T::FCurve::Switch hold(*c);
    for (const auto& key : keys) key->set(key->getX() + dx, key->getY() + dy);
  }
  T::FCurve::setChangeType(T::FCurve::Changed);
  c->notifyChanged();
  T::FCurve::setChangeType(T::FCurve::Idle);
}

void Driver::hostSettings() {
  const double p = mRng.uniform(0, 1);
  if (p < 0.4) {
    A::SnapSettings s;
    s.setSnappingX(mRng.chance(0.5));
    s.setSnappingY(mRng.chance(0.3));
    s.setIncrementX(mRng.chance(0.5) ? A::SnapSettings::cSnapToGrid : mRng.pick(std::vector<double>{0.5, 1, 5}));
    s.setIncrementY(mRng.chance(0.5) ? A::SnapSettings::cSnapToGrid : mRng.pick(std::vector<double>{0.25, 1}));
    describe("host sets snapping");
    mWidget->setSnapSettings(s);
  } else if (p < 0.7) {
    describe("host sets world limits");
    if (mRng.chance(0.5)) mWidget->getViewport()->setWorldLimits(0, 0, 0, 0);
    else mWidget->getViewport()->setWorldLimits(mRng.range(-200, 0), mRng.range(-50, 0), mRng.range(50, 5000),
                                                mRng.range(5, 100));
  } else if (p < 0.85) {
    describe("host copies");
    mWidget->triggerCopyKeyframes();
  } else {
    describe("host pastes");
    mWidget->triggerPasteKeyframes();
  }
}

void Driver::keepSceneSmall() {
  auto& curves = *mWidget->getCurves();
  std::size_t total = 0;
  std::shared_ptr<T::FCurve> largest;
  for (const auto& c : curves) {
    total += c->numKeys();
    if (!largest || c->numKeys() > largest->numKeys()) largest = c;
  }
  if (total <= cKeyBudget || !largest) return;
  describe("host drops " + largest->getName() + " of " + std::to_string(largest->numKeys()) + " keys");
  dirty();
  curves.removeCurve(largest);
}

// ---------------------------------------------------------------- checks

// A view animation moves the view on a wall-clock timer; the seed must
// replay the run, so each one is taken to its end at once and leaves, as a
// finished one does at the next event.
void Driver::settleAnimations() {
  for (const auto& manager : {mWidget->getRootLayer(), mWidget->getUserLayers()}) {
    std::vector<std::shared_ptr<A::AnimationMonitor>> running;
    for (const auto& layer : *manager)
      if (auto monitor = std::dynamic_pointer_cast<A::AnimationMonitor>(layer)) running.push_back(monitor);
    for (const auto& monitor : running) {
      monitor->stop();
      monitor->getViewport()->setWorldBounds(monitor->getTarget());
      monitor->removeFromManager();
    }
  }
}

void Driver::checkCurves() {
  const auto& curves = *mWidget->getCurves();
  // Every curve notified since the last check, its keys and handles.
  std::vector<const T::FCurve*> seen;
  for (const auto& weak : mTouched) {
    const auto c = weak.lock();
    if (!c || std::find(seen.begin(), seen.end(), c.get()) != seen.end()) continue;
    seen.push_back(c.get());
    if (auto e = CheckCurve(*c, 0); !e.empty()) return fail(e);
  }
  mTouched.clear();
  // The curves in turn in depth, and the selection with each, within a
  // budget of elements per event.
  mDeepBudget = std::min(mDeepBudget + cDeepKeysPerEvent, 20 * cDeepKeysPerEvent);
  for (std::size_t n = curves.size(); n > 0; --n) {
    const auto& c = curves.at(mDeepNext % curves.size());
    const long cost = static_cast<long>(c->numKeys() + mSelectionSize) + 1;
    if (cost > mDeepBudget && mDeepBudget < 20 * cDeepKeysPerEvent) return;
    mDeepBudget -= cost;
    ++mDeepNext;
    if (auto e = CheckCurve(*c, 2); !e.empty()) return fail(e);
    if (auto e = CheckSelection(*mWidget->getSelection(), c.get()); !e.empty()) return fail(e);
    mSelectionSize = static_cast<std::size_t>(std::distance(mWidget->beginSelected(), mWidget->endSelected()));
  }
}

void Driver::checkPaint() {
  mWidget->grabFramebuffer();
  QCoreApplication::processEvents();
  mWidget->makeCurrent();
  for (GLenum e; (e = glGetError()) != GL_NO_ERROR;) fail("GL error " + std::to_string(e));
  mWidget->doneCurrent();
}

void Driver::checkpoint() {
  mCheck.active = true;
  mCheck.clean = true;
  mCheck.pushes = mPushes;
  mCheck.event = mEvent;
  mCheck.print = PrintCurves(*mWidget->getCurves());
}

// At rest, one command after the checkpoint: undo gives the checkpoint's
// scene back exactly, redo the scene before the undo. No command: nothing
// changed.
void Driver::verifyCheckpoint(bool force) {
  if (!mCheck.active || !idle()) return;
  const long pushes = mPushes - mCheck.pushes;
  if (!mCheck.clean || pushes > 1) {
    mCheck.active = false;
    mCheck.next = mEvent + cCheckpointEvery / 5;
    return;
  }
  if (pushes == 0 && !force && mEvent - mCheck.event < cCheckpointEvery) return;
  mCheck.active = false;
  mCheck.next = mEvent + cCheckpointEvery;
  const auto& curves = *mWidget->getCurves();
  const Print now = PrintCurves(curves);
  if (pushes == 0) {
    ++mStillChecks;
    if (now != mCheck.print)
      fail("the curves changed without a command: " + FirstDifference(mCheck.print.text, now.text));
    return;
  }
  QUndoStack& stack = mWidget->getUndoStack()->getQUndoStack();
  ++mUndoChecks;
  if (!stack.canUndo()) return fail("a command was pushed but there is nothing to undo");
  stack.undo();
  const Print undone = PrintCurves(curves);
  if (undone != mCheck.print)
    return fail("undo did not give back the scene before " + stack.text(stack.index()).toStdString() + ": " +
                FirstDifference(mCheck.print.text, undone.text) +
                (undone.text == mCheck.print.text ? " (identities differ)" : ""));
  stack.redo();
  const Print redone = PrintCurves(curves);
  if (redone != now)
    return fail("redo after undo of " + stack.text(stack.index() - 1).toStdString() +
                " did not give the scene back: " + FirstDifference(now.text, redone.text) +
                (redone.text == now.text ? " (identities differ)" : ""));
}

// The last command undone and redone, when nothing but commands changed the
// curves since it: the scene comes back byte for byte.
void Driver::undoRedoCheck() {
  QUndoStack& stack = mWidget->getUndoStack()->getQUndoStack();
  if (!mCleanSincePush || !stack.canUndo()) return;
  mNextUndoRedo = mEvent + cUndoRedoEvery;
  ++mUndoChecks;
  const auto& curves = *mWidget->getCurves();
  const Print before = PrintCurves(curves);
  stack.undo();
  stack.redo();
  const Print after = PrintCurves(curves);
  if (after != before)
    fail("undo and redo of " + stack.text(stack.index() - 1).toStdString() + " changed the scene: " +
         FirstDifference(before.text, after.text) + (after.text == before.text ? " (identities differ)" : ""));
}

void Driver::afterEvent() {
  if (mLog) {
    std::string names;
    for (const auto& l : *mWidget->getUserLayers()) names += std::string(" [") + l->getName() + "]";
    const auto& w = mWidget->getViewport()->getWorldBounds();
    std::fprintf(stderr, "   layers:%s change type %d world %g %g %g %g\n", names.c_str(),
                 int(T::FCurve::getChangeType()), w.x, w.y, w.width, w.height);
  }
  settleAnimations();
  keepSceneSmall();
  checkCurves();
  int gestures = 0;
  if (auto e = CheckLayers(*mWidget, gestures); !e.empty()) fail(e);
  if (idle()) {
    if (gestures != 0) fail(std::to_string(gestures) + " gesture layers left with no button or arrow held");
    if (T::FCurve::getChangeType() != T::FCurve::Idle)
      fail("change type " + std::to_string(T::FCurve::getChangeType()) + " with no gesture under way");
  }
  if (const auto* layer = CurveLayerOf(*mWidget); !layer || !layer->pickingEnabled() || !layer->hasFullColor())
    fail("the curve layer is left dimmed or without picking");
  if (!mFailure.empty()) return;
  if ((mEvent + 1) % cPaintEvery == 0) checkPaint();
  verifyCheckpoint(false);
  if (!mFailure.empty()) return;
  if (!mCheck.active && idle() && mEvent >= mCheck.next) checkpoint();
  if (idle() && mEvent >= mNextUndoRedo) undoRedoCheck();
}

}  // namespace Monkey
