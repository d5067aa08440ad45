#include <arvelle/viewport.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

using Zentho::Arvelle::Viewport;
using Zentho::Arvelle::ViewportObserver;
using Zentho::Tessal::Rectangle;
using R = Rectangle<double>;

namespace {

struct CountingObserver : ViewportObserver {
  int calls = 0;
  std::function<void(const Viewport&)> onChange;
  void viewportChanged(const Viewport& v) override {
    ++calls;
    if (onChange) onChange(v);
  }
};

TEST(Viewport, DefaultsAndTwoRectangleConstructor) {
  Viewport v;
  EXPECT_EQ(v.getWindowBounds(), R(0, 0, 100, 100));
  EXPECT_EQ(v.getWorldBounds(), R(0, 0, 1, 1));
  EXPECT_EQ(v.getWorldLimits(), R(0, 0, 0, 0));
  EXPECT_TRUE(v.isPanZoomEnabled());

  Viewport w(R(1, 2, 30, 40), R(-5, -6, 0, 8));  // stored unchanged, even degenerate
  EXPECT_EQ(w.getWindowBounds(), R(1, 2, 30, 40));
  EXPECT_EQ(w.getWorldBounds(), R(-5, -6, 0, 8));
  EXPECT_EQ(w.getWorldLimits(), R(0, 0, 0, 0));
}

TEST(Viewport, EachEffectiveChangeNotifiesExactlyOnce) {
  Viewport v;
  CountingObserver o;
  v.subscribe(o);
  v.subscribe(o);  // a second subscription is harmless

  v.setWorldBounds(R(-10, -2, 110, 4));
  v.setWorldBounds(R(-10, -2, 110, 4));
  EXPECT_EQ(o.calls, 1);

  v.setWindowBounds(R(0, 0, 100, 100));  // the default: no change
  EXPECT_EQ(o.calls, 1);
  v.setWindowBounds(R(0, 0, 100, 100.0000001));  // exact comparison
  EXPECT_EQ(o.calls, 2);

  v.setPanZoomEnabled(false);
  EXPECT_FALSE(v.isPanZoomEnabled());
  EXPECT_EQ(o.calls, 2);

  v.notifyViewportChanged();
  EXPECT_EQ(o.calls, 3);
}

TEST(Viewport, LimitsWithoutAreaAreNoLimits) {
  Viewport v;
  CountingObserver o;
  v.subscribe(o);

  v.setWorldLimits(R(3, 4, 5, 0));
  EXPECT_EQ(v.getWorldLimits(), R(0, 0, 0, 0));
  EXPECT_EQ(o.calls, 0);  // already no limits
  v.setWorldLimits(R(7, 7, -1, 9));
  EXPECT_EQ(o.calls, 0);

  v.setWorldLimits(R(0, -1, 100, 2));
  EXPECT_EQ(v.getWorldLimits(), R(0, -1, 100, 2));
  EXPECT_EQ(o.calls, 1);
  v.setWorldLimits(R(0, -1, 100, 2));
  EXPECT_EQ(o.calls, 1);

  v.setWorldLimits(1.f, 2.f, 3.f, 0.f);  // the float form takes the same path
  EXPECT_EQ(o.calls, 2);
  EXPECT_EQ(v.getWorldLimits(), R(0, 0, 0, 0));
  v.setWorldLimits(R(0, -1, 100, 2));
  v.setWorldLimits(R(0, -1, 100, std::nan("")));
  EXPECT_EQ(v.getWorldLimits(), R(0, 0, 0, 0));
  EXPECT_EQ(o.calls, 4);
}

TEST(Viewport, ObserverRemovingItselfDuringNotificationIsSkippedAfterwards) {
  Viewport v;
  CountingObserver obs[3];  // array order is identity order, so visit order
  for (auto& o : obs) v.subscribe(o);
  obs[0].onChange = [&](const Viewport&) { v.unsubscribe(obs[0]); };

  v.setWorldBounds(R(0, 0, 2, 2));
  EXPECT_EQ(obs[0].calls, 1);
  EXPECT_EQ(obs[1].calls, 1);
  EXPECT_EQ(obs[2].calls, 1);
  EXPECT_FALSE(v.isSubscribed(obs[0]));
  EXPECT_EQ(obs[0].numSubscriptions(), 0u);

  v.setWorldBounds(R(0, 0, 3, 3));
  EXPECT_EQ(obs[0].calls, 1);
  EXPECT_EQ(obs[1].calls, 2);
  EXPECT_EQ(obs[2].calls, 2);
}

TEST(Viewport, ObserverRemovedByAnotherBeforeItsTurnIsNotCalled) {
  Viewport v;
  CountingObserver obs[3];
  for (auto& o : obs) v.subscribe(o);
  obs[0].onChange = [&](const Viewport&) { v.unsubscribe(obs[2]); };

  v.setWorldBounds(R(0, 0, 2, 2));
  EXPECT_EQ(obs[1].calls, 1);
  EXPECT_EQ(obs[2].calls, 0);

  // Subscribing again while its stale entry is gone works normally.
  obs[0].onChange = nullptr;
  v.subscribe(obs[2]);
  v.setWorldBounds(R(0, 0, 3, 3));
  EXPECT_EQ(obs[2].calls, 1);
}

TEST(Viewport, ObserverDestroyedWhileSubscribedIsNeverCalled) {
  Viewport v;
  CountingObserver first;
  auto doomed = std::make_unique<CountingObserver>();
  v.subscribe(first);
  v.subscribe(*doomed);
  doomed.reset();
  v.setWorldBounds(R(0, 0, 2, 2));  // under ASan a stale entry would be caught here
  EXPECT_EQ(first.calls, 1);

  // Destroyed by another observer in the middle of a walk.
  std::vector<std::unique_ptr<CountingObserver>> pool;
  for (int i = 0; i < 4; ++i) pool.push_back(std::make_unique<CountingObserver>());
  for (auto& o : pool) v.subscribe(*o);
  first.onChange = [&](const Viewport&) { pool.clear(); };
  v.setWorldBounds(R(0, 0, 3, 3));
  first.onChange = nullptr;
  v.setWorldBounds(R(0, 0, 4, 4));
  EXPECT_EQ(first.calls, 3);
}

TEST(Viewport, DestroyedViewportReleasesItsObservers) {
  CountingObserver o;
  {
    Viewport v;
    v.subscribe(o);
    EXPECT_EQ(o.numSubscriptions(), 1u);
  }
  EXPECT_EQ(o.numSubscriptions(), 0u);
}

TEST(Viewport, NestedNotificationKeepsDeferredRemovalCorrect) {
  Viewport v;
  CountingObserver obs[3];
  for (auto& o : obs) v.subscribe(o);
  // The first observer answers the change by changing the bounds once more;
  // inside that nested walk the last observer leaves.
  obs[0].onChange = [&](const Viewport& vp) {
    if (vp.getWorldBounds().width < 5) {
      obs[1].onChange = [&](const Viewport&) { v.unsubscribe(obs[2]); };
      v.setWorldBounds(R(0, 0, 10, 10));
    }
  };
  v.setWorldBounds(R(0, 0, 2, 2));
  EXPECT_EQ(obs[0].calls, 2);
  EXPECT_EQ(obs[1].calls, 2);
  EXPECT_EQ(obs[2].calls, 0);  // removed before its turn in both walks
  EXPECT_FALSE(v.isSubscribed(obs[2]));
  EXPECT_EQ(v.getWorldBounds(), R(0, 0, 10, 10));
}

}  // namespace
