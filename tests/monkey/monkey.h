// The monkey: a shown graph widget fed seeded random input and host edits,
// its invariants checked after every event.
#pragma once

#include "monkey/scene.h"

#include <QPointF>
#include <QWidget>

#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

class QEvent;

namespace Monkey {

class Driver : public T::FCurveObserver {
 public:
  explicit Driver(std::uint64_t seed);
  ~Driver() override;
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  // Runs the events, reporting progress every progressEvery events (0:
  // never). Empty when every check held; else the seed, the event number,
  // what failed and the events before it.
  std::string run(long events, long progressEvery);

  void curveChanged(T::FCurve& curve) override;

 private:
  using Action = void (Driver::*)();
  struct Choice {
    double weight;
    Action action;
  };

  // ---- input
  void mouseMove();
  void mousePress();
  void mouseRelease();
  void doubleClick();
  void wheel();
  void keyTap();
  void arrowKey();
  void modifierKey();
  void menuAction();
  void dialog();
  void undoRedo();
  void resize();
  void panZoomToggle();
  void focusOrVisibility();
  // ---- host
  void hostCurves();
  void hostSelection();
  void hostMoveKeys();
  void hostSettings();

  void send(QEvent& event);
  void mouse(int type, Qt::MouseButton button, const QPointF& at);
  void key(int type, int key, bool autoRepeat);
  QPointF target();
  Qt::KeyboardModifiers randomModifiers();
  std::shared_ptr<T::FCurve> randomCurve(bool withKeys);
  std::shared_ptr<T::Keyframe> randomKey(const T::FCurve& curve);
  void addRandomCurve();
  void keepSceneSmall();
  void driveDialog();
  void describe(const std::string& what);

  // ---- checks; each sets mFailure
  void afterEvent();
  void settleAnimations();
  void checkCurves();
  void checkPaint();
  void checkpoint();
  void verifyCheckpoint(bool force);
  void undoRedoCheck();
  // The curves changed other than by a command.
  void dirty();
  bool idle() const { return mButtons == Qt::NoButton && mArrows.empty(); }
  void fail(const std::string& what);

  Rng mRng;
  std::uint64_t mSeed;
  QWidget mWindow;
  A::GraphWidget* mWidget;  // owned by mWindow
  std::vector<QAction*> mActions;
  std::vector<std::string> mInterpolators;
  std::vector<std::shared_ptr<T::FCurve>> mRemoved;
  int mNextName = 0;

  Qt::MouseButtons mButtons = Qt::NoButton;
  Qt::KeyboardModifiers mModifiers = Qt::NoModifier;
  std::set<int> mArrows;
  QPointF mPointer{10, 10};

  // Curves notified since the last check.
  std::vector<std::weak_ptr<T::FCurve>> mTouched;
  std::size_t mDeepNext = 0;
  long mDeepBudget = 0;
  std::size_t mSelectionSize = 0;
  long mEvent = 0;
  long mPushes = 0;
  bool mCleanSincePush = false;
  long mNextUndoRedo = 0;
  // What the run got to check, for the progress lines.
  long mUndoChecks = 0, mStillChecks = 0, mDialogs = 0;
  std::string mFailure;
  std::deque<std::string> mRecent;
  bool mLog = false;

  // The scene at the last checkpoint and whether only commands changed it
  // since.
  struct {
    bool active = false;
    bool clean = false;
    long pushes = 0;
    long event = 0;
    long next = 0;  // the event from which the next one may be taken
    Print print;
  } mCheck;
};

}  // namespace Monkey
