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
    if (onEvent) return onEvent(*this);
    return consume;
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
  std::vector<std::string> names(const LayerManager& m) {
    std::vector<std::string> r;
    for (const auto& child : m) r.push_back(child->getName());
    return r;
  }
  bool offer() {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier);
    return root->handleEvent(&key, viewport);
  }

  Log log;
  Viewport viewport;
  std::shared_ptr<LayerManager> root = std::make_shared<LayerManager>("Root Layer");
};

TEST_F(LayerTree, LaterPushIsDrawnLastAndOfferedEventsFirst) {
  auto a = make("A"), b = make("B");
  root->pushLayer(a);
  root->pushLayer(b);
  EXPECT_EQ(names(*root), (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(root->numChildren(), 2u);
  EXPECT_EQ(a->getManager(), root);

  root->draw(viewport);
  EXPECT_FALSE(offer());
  EXPECT_EQ(log, (Log{"draw:A", "draw:B", "event:B", "event:A"}));

  log.clear();
  b->consume = true;
  EXPECT_TRUE(offer());
  EXPECT_EQ(log, (Log{"event:B"}));
}

TEST_F(LayerTree, InsertLayerGoesDirectlyBelowItsAnchor) {
  auto a = make("A"), b = make("B"), c = make("C"), d = make("D");
  root->pushLayer(a);
  root->pushLayer(b);          // B A
  root->insertLayer(c, b);     // B C A
  root->insertLayer(d, a);     // B C A D
  EXPECT_EQ(names(*root), (std::vector<std::string>{"B", "C", "A", "D"}));

  auto stranger = make("S"), e = make("E");
  root->insertLayer(e, stranger);  // an anchor that is not a child: on top
  EXPECT_EQ(names(*root).front(), "E");
}

TEST_F(LayerTree, VisibilityGovernsDrawingAndInteractivityGovernsEvents) {
  auto hidden = make("Hidden"), inert = make("Inert");
  root->pushLayer(hidden);
  root->pushLayer(inert);
  hidden->setVisible(false);
  inert->setInteractive(false);
  root->draw(viewport);
  offer();
  EXPECT_EQ(log, (Log{"draw:Inert", "event:Hidden"}));
}

TEST_F(LayerTree, LayerRemovingItselfDuringTheWalkEndsItCleanly) {
  auto below = make("Below"), self = make("Self");
  root->pushLayer(below);
  root->pushLayer(self);
  std::weak_ptr<Layer> watch = self;
  std::size_t childrenInside = 99;
  bool aliveInside = false;
  self->onEvent = [&](RecordingLayer& l) {
    l.removeFromManager();
    childrenInside = root->numChildren();
    aliveInside = !watch.expired();
    return true;
  };
  self.reset();

  EXPECT_TRUE(offer());
  EXPECT_EQ(log, (Log{"event:Self"}));
  EXPECT_EQ(childrenInside, 1u);
  EXPECT_TRUE(aliveInside);        // the walk still holds it
  EXPECT_TRUE(watch.expired());    // erased once the walk ended
  EXPECT_EQ(names(*root), (std::vector<std::string>{"Below"}));

  log.clear();
  offer();
  EXPECT_EQ(log, (Log{"event:Below"}));
}

TEST_F(LayerTree, LayerRemovedByAnotherDuringTheWalkIsNotOffered) {
  auto bottom = make("Bottom"), middle = make("Middle"), top = make("Top");
  root->pushLayer(bottom);
  root->pushLayer(middle);
  root->pushLayer(top);
  top->onEvent = [&](RecordingLayer&) {
    root->removeLayer(middle);
    return false;
  };
  offer();
  EXPECT_EQ(log, (Log{"event:Top", "event:Bottom"}));
  EXPECT_EQ(middle->getManager(), nullptr);
  EXPECT_EQ(names(*root), (std::vector<std::string>{"Top", "Bottom"}));
}

TEST_F(LayerTree, LayerPushedDuringTheWalkIsOfferedTheNextEventFirst) {
  auto bottom = make("Bottom"), starter = make("Starter");
  auto gesture = make("Gesture");
  root->pushLayer(bottom);
  root->pushLayer(starter);
  starter->onEvent = [&](RecordingLayer&) {
    if (!gesture->getManager()) root->pushLayer(gesture);
    return false;
  };
  offer();
  EXPECT_EQ(log, (Log{"event:Starter", "event:Bottom"}));
  log.clear();
  offer();
  EXPECT_EQ(log, (Log{"event:Gesture", "event:Starter", "event:Bottom"}));
}

TEST_F(LayerTree, ManagerReleasedDuringItsOwnWalkSurvivesUntilTheWalkEnds) {
  auto inner = std::make_shared<LayerManager>("Inner");
  auto leaf = make("Leaf"), after = make("After");
  inner->pushLayer(after);
  inner->pushLayer(leaf);
  std::weak_ptr<LayerManager> watch = inner;
  leaf->onEvent = [&](RecordingLayer&) {
    inner.reset();  // the last outside reference
    return false;
  };
  LayerManager* raw = inner.get();
  QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier);
  EXPECT_FALSE(raw->handleEvent(&key, viewport));
  EXPECT_EQ(log, (Log{"event:Leaf", "event:After"}));
  EXPECT_TRUE(watch.expired());
}

TEST_F(LayerTree, LayerRemovingItselfWhileDrawingLeavesTheDrawIntact) {
  auto a = make("A"), b = make("B"), c = make("C");
  root->pushLayer(a);
  root->pushLayer(b);
  root->pushLayer(c);
  b->onDraw = [](RecordingLayer& l) { l.removeFromManager(); };
  root->draw(viewport);
  EXPECT_EQ(log, (Log{"draw:A", "draw:B", "draw:C"}));
  EXPECT_EQ(names(*root), (std::vector<std::string>{"C", "A"}));
}

TEST_F(LayerTree, RemovingAStrangerChangesNothing) {
  auto a = make("A"), stranger = make("S");
  root->pushLayer(a);
  auto other = std::make_shared<LayerManager>();
  other->pushLayer(stranger);
  QSignalSpy changed(root.get(), &Layer::notifyLayerChanged);
  root->removeLayer(stranger);
  root->removeLayer(nullptr);
  EXPECT_EQ(changed.count(), 0);
  EXPECT_EQ(stranger->getManager(), other);
  EXPECT_EQ(root->numChildren(), 1u);
}

TEST_F(LayerTree, LayerSitsInOneManagerAtATime) {
  auto a = make("A");
  auto other = std::make_shared<LayerManager>("Other");
  root->pushLayer(a);
  other->pushLayer(a);
  EXPECT_EQ(root->numChildren(), 0u);
  EXPECT_EQ(other->numChildren(), 1u);
  EXPECT_EQ(a->getManager(), other);

  root->pushLayer(root);    // into itself
  other->pushLayer(root);
  root->pushLayer(other);   // a cycle through other
  EXPECT_EQ(root->numChildren(), 0u);
  EXPECT_EQ(root->getManager(), other);
}

TEST_F(LayerTree, LastMousePointRoundsHalvesUpwards) {
  root->pushLayer(make("A"));
  const struct {
    QPointF in;
    double x, y;
  } cases[] = {{{10.5, -3.5}, 11, -3}, {{-0.5, 2.49}, 0, 2}, {{-2.51, 7.5}, -3, 8}};
  for (const auto& c : cases) {
    QMouseEvent move(QEvent::MouseMove, c.in, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    EXPECT_FALSE(root->handleEvent(&move, viewport));
    EXPECT_EQ(root->getLastMousePoint().x, c.x) << c.in.x();
    EXPECT_EQ(root->getLastMousePoint().y, c.y) << c.in.y();
  }
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(50, 50), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  root->handleEvent(&press, viewport);
  EXPECT_EQ(root->getLastMousePoint().x, -3);  // only moves count
}

TEST_F(LayerTree, FindLayerSearchesDepthFirstFrontToBack) {
  auto user = std::make_shared<LayerManager>();
  auto nested = std::make_shared<LayerManager>("Nested");
  auto curve = make("Curve Layer"), dupDeep = make("Dup"), dupShallow = make("Dup");
  root->pushLayer(dupShallow);
  root->pushLayer(user);  // in front of dupShallow
  user->pushLayer(nested);
  nested->pushLayer(dupDeep);
  user->pushLayer(curve);

  EXPECT_EQ(root->findLayer("Curve Layer"), curve);
  EXPECT_EQ(root->findLayer("Dup"), dupDeep);
  EXPECT_EQ(root->findLayer("Root Layer"), root);
  EXPECT_EQ(root->findLayer("curve layer"), nullptr);
  EXPECT_EQ(root->findLayer("Missing"), nullptr);
  EXPECT_EQ(root->findLayer(nullptr), nullptr);
}

TEST_F(LayerTree, ChangesBubbleUpOnceAndOnlyOnRealChange) {
  auto mid = std::make_shared<LayerManager>("Mid");
  auto leaf = make("Leaf");
  root->pushLayer(mid);
  mid->pushLayer(leaf);
  QSignalSpy onLeaf(leaf.get(), &Layer::notifyLayerChanged);
  QSignalSpy onMid(mid.get(), &Layer::notifyLayerChanged);
  QSignalSpy onRoot(root.get(), &Layer::notifyLayerChanged);

  leaf->setVisible(true);
  leaf->setInteractive(true);
  EXPECT_EQ(onRoot.count(), 0);

  leaf->setVisible(false);
  EXPECT_EQ(onLeaf.count(), 1);
  EXPECT_EQ(onMid.count(), 1);
  EXPECT_EQ(onRoot.count(), 1);

  leaf->setInteractive(false);
  EXPECT_EQ(onRoot.count(), 2);

  // A removed layer no longer reaches its old managers.
  mid->removeLayer(leaf);
  EXPECT_EQ(onRoot.count(), 3);  // the removal itself
  leaf->setVisible(true);
  EXPECT_EQ(onLeaf.count(), 3);
  EXPECT_EQ(onRoot.count(), 3);
}

TEST_F(LayerTree, CommandFromDeepInTheTreeArrivesOnceAtTheRoot) {
  auto mid = std::make_shared<LayerManager>("Mid");
  auto deep = std::make_shared<LayerManager>("Deep");
  root->pushLayer(mid);
  mid->pushLayer(deep);
  qRegisterMetaType<QUndoCommand*>();
  QSignalSpy atRoot(root.get(), &LayerManager::undoCommandGenerated);
  QSignalSpy atMid(mid.get(), &LayerManager::undoCommandGenerated);

  bool deleted = false;
  auto* command = new DeathCommand(deleted);
  deep->handleUndoCommand(command);
  ASSERT_EQ(atRoot.count(), 1);
  EXPECT_EQ(atRoot.at(0).at(0).value<QUndoCommand*>(), command);
  EXPECT_EQ(atMid.count(), 0);
  EXPECT_FALSE(deleted);  // the receiver owns it now
  delete command;

  deep->handleUndoCommand(nullptr);
  EXPECT_EQ(atRoot.count(), 1);
}

TEST_F(LayerTree, CommandWithNobodyToTakeItIsDeleted) {
  bool deleted = false;
  root->handleUndoCommand(new DeathCommand(deleted));
  EXPECT_TRUE(deleted);
}

TEST_F(LayerTree, RootOfALayer) {
  auto mid = std::make_shared<LayerManager>("Mid");
  auto leaf = make("Leaf");
  root->pushLayer(mid);
  mid->pushLayer(leaf);
  EXPECT_EQ(GetRootLayer(leaf), root);
  EXPECT_EQ(GetRootLayer(mid), root);
  EXPECT_EQ(GetRootLayer(root), root);
  EXPECT_EQ(GetRootLayer(make("Loose")), nullptr);
  EXPECT_EQ(GetRootLayer(nullptr), nullptr);
  mid->removeLayer(leaf);
  EXPECT_EQ(GetRootLayer(leaf), nullptr);
}

TEST(LayerMetaObject, ClassNamesCarryTheVersionNamespace) {
  auto layer = std::make_shared<Layer>("L");
  auto manager = std::make_shared<LayerManager>();
  EXPECT_STREQ(layer->metaObject()->className(), "Zentho::Arvelle::ZENTHO_ARVELLE_QT_LIB_VERSION_NS::Layer");
  EXPECT_STREQ(manager->metaObject()->className(),
               "Zentho::Arvelle::ZENTHO_ARVELLE_QT_LIB_VERSION_NS::LayerManager");
  EXPECT_EQ(layer->qt_metacast("Tessal::SharedFromThis<Layer>"),
            static_cast<void*>(static_cast<Zentho::Tessal::SharedFromThis<Layer>*>(layer.get())));
  EXPECT_TRUE(manager->inherits("Zentho::Arvelle::ZENTHO_ARVELLE_QT_LIB_VERSION_NS::Layer"));
}

}  // namespace
