// Containers: membership, order and one notification per change.
#include "curve_fixtures.h"

#include <functional>
#include <optional>

using namespace Zentho::Tessal;

namespace {

struct Heard : ContainerObserver {
  int n = 0;
  std::function<void()> act;
  void containerChanged(FCurveContainer&) override {
    ++n;
    if (act) act();
  }
};

}  // namespace

TEST(Container, changesNotifyOnceAndRefusalsNotAtAll) {
  FCurveContainer box;
  Heard heard;
  box.subscribe(heard);
  auto a = FCurve::create("a"), b = FCurve::create("b");
  EXPECT_TRUE(box.addCurve(a));
  EXPECT_TRUE(box.addCurve(b));
  EXPECT_FALSE(box.addCurve(a));
  EXPECT_FALSE(box.addCurve(nullptr));
  EXPECT_EQ(heard.n, 2);
  EXPECT_EQ(std::vector<std::shared_ptr<FCurve>>(box.begin(), box.end()),
            (std::vector<std::shared_ptr<FCurve>>{a, b}));

  auto stranger = FCurve::create("s");
  EXPECT_FALSE(box.removeCurve(stranger));
  EXPECT_FALSE(box.removeCurve(std::shared_ptr<FCurve>()));
  EXPECT_TRUE(box.removeCurve(*a));
  EXPECT_FALSE(box.contains(*a));
  EXPECT_TRUE(box.contains(*b));
  EXPECT_EQ(heard.n, 3);
  box.addCurve(a);
  EXPECT_EQ(box.at(1), a);  // re-added curves go last
  box.clear();
  box.clear();
  EXPECT_TRUE(box.empty());
  EXPECT_EQ(heard.n, 5);
}

TEST(Container, removedCurveLivesUntilObserversHeardAndObserversMayLeave) {
  FCurveContainer box;
  auto c = FCurve::create("c");
  std::weak_ptr<FCurve> weak = c;
  const FCurve* raw = c.get();
  box.addCurve(std::move(c));
  std::optional<Heard> obs[2];  // visited in address order
  for (auto& o : obs) box.subscribe(o.emplace());
  bool aliveWhileHeard = false;
  obs[0]->act = [&] {
    aliveWhileHeard = !weak.expired();
    obs[1].reset();
  };
  EXPECT_TRUE(box.removeCurve(*raw));
  EXPECT_TRUE(aliveWhileHeard);
  EXPECT_TRUE(weak.expired());
  box.unsubscribe(*obs[0]);
  box.notifyChanged();
  EXPECT_EQ(obs[0]->n, 1);
}

TEST(Container, destroyedContainerReleasesItsObservers) {
  Heard heard;
  {
    FCurveContainer box;
    box.subscribe(heard);
    EXPECT_EQ(heard.numSubscriptions(), 1u);
  }
  EXPECT_EQ(heard.numSubscriptions(), 0u);
}
