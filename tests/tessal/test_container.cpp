// Containers: membership, order and one notification per change.
#include "curve_fixtures.h"

#include <functional>

using namespace Fixtures;

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

TEST(Container, changesNotifyOnceRefusalsNotAtAllAndRemovedCurvesLiveUntilHeard) {
  FCurveContainer box;
  Heard heard;
  box.subscribe(heard);
  auto a = FCurve::create("a"), b = FCurve::create("b");
  EXPECT_TRUE(box.addCurve(a));
  EXPECT_TRUE(box.addCurve(b));
  EXPECT_FALSE(box.addCurve(a));
  EXPECT_FALSE(box.addCurve(nullptr));
  EXPECT_EQ(heard.n, 2);
  EXPECT_EQ(std::vector<std::shared_ptr<FCurve>>(box.begin(), box.end()), (std::vector<std::shared_ptr<FCurve>>{a, b}));

  EXPECT_FALSE(box.removeCurve(FCurve::create("stranger")));
  EXPECT_FALSE(box.removeCurve(std::shared_ptr<FCurve>()));
  EXPECT_TRUE(box.removeCurve(*a));
  EXPECT_FALSE(box.contains(*a));
  EXPECT_TRUE(box.contains(*b));
  EXPECT_EQ(heard.n, 3);
  box.addCurve(a);
  EXPECT_EQ(box.at(1), a);  // re-added curves go last
  // The container may hold the last reference: a removed curve lives until its observers have heard.
  std::weak_ptr<FCurve> weak = a;
  const FCurve* raw = a.get();
  a.reset();
  bool aliveWhileHeard = false;
  heard.act = [&] { aliveWhileHeard = !weak.expired(); };
  EXPECT_TRUE(box.removeCurve(*raw));
  EXPECT_TRUE(aliveWhileHeard);
  EXPECT_TRUE(weak.expired());
  heard.act = nullptr;
  box.clear();
  box.clear();
  EXPECT_TRUE(box.empty());
  EXPECT_EQ(heard.n, 6);
}
