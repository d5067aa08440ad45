#include <arvelle/layer.h>
#include <arvelle/viewport.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QUndoCommand>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace Zentho::Arvelle;

Q_DECLARE_METATYPE(QUndoCommand*)

namespace {

using Log = std::vector<std::string>;

// Writes "draw:<name>" and "event:<name>" into a shared log.
class RecordingLayer : public Layer {
 public:
  RecordingLayer(const char* name, Log& log) : Layer(name), mLog(log) {}
  void draw(const Viewport&) const override {
    mLog.push_back(std::string("draw:") + getName());
    if (onDraw) onDraw(const_cast<RecordingLayer&>(*this));
  }
  bool handleEvent(QEvent*, Viewport&) override {
    mLog.push_back(std::string("event:") + getName());
    return onEvent ? onEvent(*this) : consume;
  }
  bool consume = false;
  std::function<bool(RecordingLayer&)> onEvent;
  std::function<void(RecordingLayer&)> onDraw;

 private:
  Log& mLog;
};

class DeathCommand : public QUndoCommand {
 public:
  explicit DeathCommand(bool& deleted) : mDeleted(deleted) {}
  ~DeathCommand() override { mDeleted = true; }

 private:
  bool& mDeleted;
};

class LayerTree : public ::testing::Test {
 protected:
  std::shared_ptr<RecordingLayer> make(const char* name) { return std::make_shared<RecordingLayer>(name, log); }
  // Pushes bottom first.
  void push(std::initializer_list<std::shared_ptr<Layer>> layers) {
    for (const auto& l : layers) root->pushLayer(l);
  }
  Log names() const {
    Log r;
    for (const auto& child : *root) r.push_back(child->getName());
    return r;
  }
  bool offer(LayerManager* to = nullptr) {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier);
    return (to ? to : root.get())->handleEvent(&key, viewport);
  }

  Log log;
  Viewport viewport;
  std::shared_ptr<LayerManager> root = std::make_shared<LayerManager>("Root Layer");
};

TEST_F(LayerTree, DrawsBottomUpOffersTopDownAndSkipsHiddenOrInertLayers) {
  auto a = make("A"), hidden = make("Hidden"), inert = make("Inert"), b = make("B");
  push({a, hidden, inert, b});
  hidden->setVisible(false);
  inert->setInteractive(false);
  EXPECT_EQ(names(), (Log{"B", "Inert", "Hidden", "A"}));
  EXPECT_EQ(a->getManager(), root);
  root->draw(viewport);
  EXPECT_FALSE(offer());
  EXPECT_EQ(log, (Log{"draw:A", "draw:Inert", "draw:B", "event:B", "event:Hidden", "event:A"}));
  log.clear();
  b->consume = true;
  EXPECT_TRUE(offer());
  EXPECT_EQ(log, (Log{"event:B"}));
}

TEST_F(LayerTree, InsertLayerGoesDirectlyBelowItsAnchor) {
  auto a = make("A"), b = make("B");
  push({a, b});
  root->insertLayer(make("C"), b);
  root->insertLayer(make("D"), a);
  EXPECT_EQ(names(), (Log{"B", "C", "A", "D"}));
  root->insertLayer(make("E"), make("Stranger"));  // an anchor that is not a child: on top
  EXPECT_EQ(names().front(), "E");
}

TEST_F(LayerTree, ChangesDuringAWalkApplyToTheRestOfItAndErasingWaitsForItsEnd) {
  auto bottom = make("Bottom"), middle = make("Middle"), top = make("Top"), gesture = make("Gesture");
  push({bottom, middle, top});
  std::weak_ptr<Layer> watch = top;
  bool aliveInside = false;
  std::size_t childrenInside = 0;
  top->onEvent = [&](RecordingLayer& self) {
    self.removeFromManager();
    root->removeLayer(middle);
    root->pushLayer(gesture);
    aliveInside = !watch.expired();  // only the walk holds it now
    childrenInside = root->numChildren();
    return false;
  };
  top.reset();
  EXPECT_FALSE(offer());
  EXPECT_EQ(log, (Log{"event:Top", "event:Bottom"}));
  EXPECT_TRUE(aliveInside);
  EXPECT_EQ(childrenInside, 2u);
  EXPECT_TRUE(watch.expired());  // erased once the walk ended
  EXPECT_EQ(names(), (Log{"Gesture", "Bottom"}));

  log.clear();
  bottom->onDraw = [](RecordingLayer& l) { l.removeFromManager(); };
  root->draw(viewport);
  offer();
  EXPECT_EQ(log, (Log{"draw:Bottom", "draw:Gesture", "event:Gesture"}));
}

TEST_F(LayerTree, ManagerReleasedDuringItsOwnWalkFinishesTheWalk) {
  auto inner = std::make_shared<LayerManager>("Inner");
  auto leaf = make("Leaf");
  inner->pushLayer(make("After"));
  inner->pushLayer(leaf);
  std::weak_ptr<LayerManager> watch = inner;
  LayerManager* raw = inner.get();
  leaf->onEvent = [&](RecordingLayer&) {
    inner.reset();  // the last outside reference
    return false;
  };
  EXPECT_FALSE(offer(raw));
  EXPECT_EQ(log, (Log{"event:Leaf", "event:After"}));
  EXPECT_TRUE(watch.expired());
}

TEST_F(LayerTree, LayerSitsInOneManagerAndManagersRefuseCycles) {
  auto a = make("A"), stranger = make("S");
  auto other = std::make_shared<LayerManager>("Other");
  root->pushLayer(a);
  other->pushLayer(stranger);
  QSignalSpy changed(root.get(), &Layer::notifyLayerChanged);
  root->removeLayer(stranger);  // not a child: nothing happens
  root->removeLayer(nullptr);
  EXPECT_EQ(changed.count(), 0);
  EXPECT_EQ(stranger->getManager(), other);

  other->pushLayer(a);  // moves
  EXPECT_EQ(root->numChildren(), 0u);
  EXPECT_EQ(other->numChildren(), 2u);
  EXPECT_EQ(a->getManager(), other);

  root->pushLayer(root);  // into itself
  other->pushLayer(root);
  root->pushLayer(other);  // a cycle through other
  EXPECT_EQ(root->numChildren(), 0u);
  EXPECT_EQ(root->getManager(), other);
}

TEST_F(LayerTree, LastMousePointRoundsHalvesUpwardsAndFollowsOnlyMoves) {
  root->pushLayer(make("A"));
  const struct {
    QPointF in;
    double x, y;
  } rows[] = {{{10.5, -3.5}, 11, -3}, {{-0.5, 2.49}, 0, 2}, {{-2.51, 7.5}, -3, 8}};
  for (const auto& r : rows) {
    QMouseEvent move(QEvent::MouseMove, r.in, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    root->handleEvent(&move, viewport);
    EXPECT_EQ(root->getLastMousePoint().x, r.x) << r.in.x();
    EXPECT_EQ(root->getLastMousePoint().y, r.y) << r.in.y();
  }
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(50, 50), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  root->handleEvent(&press, viewport);
  EXPECT_EQ(root->getLastMousePoint().x, -3);
}

TEST_F(LayerTree, FindLayerSearchesDepthFirstFrontToBackAndTheRootIsTheTopManager) {
  auto user = std::make_shared<LayerManager>(), nested = std::make_shared<LayerManager>("Nested");
  auto curve = make("Curve Layer"), dupDeep = make("Dup");
  push({make("Dup"), user});
  user->pushLayer(nested);
  nested->pushLayer(dupDeep);
  user->pushLayer(curve);
  EXPECT_EQ(root->findLayer("Curve Layer"), curve);
  EXPECT_EQ(root->findLayer("Dup"), dupDeep);  // in front of the shallow one
  EXPECT_EQ(root->findLayer("Root Layer"), root);
  EXPECT_EQ(root->findLayer("curve layer"), nullptr);
  EXPECT_EQ(root->findLayer(nullptr), nullptr);

  EXPECT_EQ(GetRootLayer(dupDeep), root);
  EXPECT_EQ(GetRootLayer(root), root);
  nested->removeLayer(dupDeep);
  EXPECT_EQ(GetRootLayer(dupDeep), nullptr);
}

TEST_F(LayerTree, ChangesBubbleUpOnRealChangeOnlyAndCommandsReachOnlyTheRoot) {
  auto mid = std::make_shared<LayerManager>("Mid"), deep = std::make_shared<LayerManager>("Deep");
  root->pushLayer(mid);
  mid->pushLayer(deep);
  QSignalSpy changed(root.get(), &Layer::notifyLayerChanged);
  deep->setVisible(true);
  deep->setInteractive(true);
  EXPECT_EQ(changed.count(), 0);
  deep->setVisible(false);
  deep->setInteractive(false);
  EXPECT_EQ(changed.count(), 2);
  mid->removeLayer(deep);
  EXPECT_EQ(changed.count(), 3);  // the removal itself
  deep->setVisible(true);         // a removed layer no longer reaches its old managers
  EXPECT_EQ(changed.count(), 3);

  mid->pushLayer(deep);
  qRegisterMetaType<QUndoCommand*>();
  QSignalSpy atRoot(root.get(), &LayerManager::undoCommandGenerated);
  QSignalSpy atMid(mid.get(), &LayerManager::undoCommandGenerated);
  bool deleted = false;
  auto* command = new DeathCommand(deleted);
  deep->handleUndoCommand(command);
  deep->handleUndoCommand(nullptr);
  ASSERT_EQ(atRoot.count(), 1);
  EXPECT_EQ(atRoot.at(0).at(0).value<QUndoCommand*>(), command);
  EXPECT_EQ(atMid.count(), 0);
  EXPECT_FALSE(deleted);  // the receiver owns it now
  delete command;
  // A root nobody listens to cannot hand it on.
  bool orphanDeleted = false;
  std::make_shared<LayerManager>()->handleUndoCommand(new DeathCommand(orphanDeleted));
  EXPECT_TRUE(orphanDeleted);
}

}  // namespace
