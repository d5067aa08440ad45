// Saving and loading scenes gives back exactly the curves that were saved.
#include "samplescene.h"
#include "scene_helpers.h"
#include "scenefile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

using ArvelleDemo::Scene;
using ArvelleDemo::SceneFile;
using namespace DemoTest;

namespace {

Scene Load(const QByteArray& json) {
  Scene s;
  QString error;
  EXPECT_TRUE(SceneFile::fromJson(json, QStringLiteral("test.json"), s, error)) << error.toStdString();
  return s;
}

// One curve of the given keys, in a file otherwise minimal.
Scene LoadKeys(const char* keys) {
  return Load(QByteArray(R"({"format": "arvelle-scene", "version": 1, "curves": [{"name": "c", "keys": )") + keys +
              "}]}");
}

}  // namespace

TEST(SceneRoundTrip, RandomScenesComeBackExactlyAndSaveToTheSameText) {
  for (std::uint64_t seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    RandomScenes random(seed);
    const Scene original = random.scene(static_cast<int>(seed % 4));
    const QByteArray json = SceneFile::toJson(original);
    const Scene loaded = Load(json);
    ASSERT_TRUE(SameScene(original, loaded));
    EXPECT_EQ(json, SceneFile::toJson(loaded));  // nothing drifts on repeated save and load
  }
  // Named for what random scenes hit only by chance.
  Scene edge;
  edge.curves.push_back(T::FCurve::create("no keys"));
  auto zero = T::FCurve::create("negative zero");
  zero->insertSegment(T::Keyframe(-0.0, -0.0), nullptr);  // JSON reads -0 back as 0, an equal value
  edge.curves.push_back(zero);
  EXPECT_TRUE(SameScene(edge, Load(SceneFile::toJson(edge))));
  EXPECT_TRUE(Load(SceneFile::toJson(Scene())).curves.empty());
}

TEST(SceneRoundTrip, ThroughAFileOnDiskWhichASecondSaveReplaces) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("scene.json"));
  RandomScenes random(99);
  for (const Scene& original : {random.scene(3), random.scene(1)}) {
    QString error;
    ASSERT_TRUE(SceneFile::write(path, original, error)) << error.toStdString();
    Scene loaded;
    ASSERT_TRUE(SceneFile::read(path, loaded, error)) << error.toStdString();
    EXPECT_TRUE(SameScene(original, loaded));
  }
}

TEST(SceneRoundTrip, PropertyNamesReadAreSavedAgain) {
  const Scene first = Load(R"({"format": "arvelle-scene", "version": 1, "curves": [
      {"name": "c", "properties": {"made up": "1", "fc_ui": "10 20 30"},
       "keys": [{"x": 0, "y": 0, "segment": {"properties": {"other": "x"}}}]}]})");
  EXPECT_EQ(first.propertyNames, (std::set<std::string>{"made up", "fc_ui", "other"}));
  const Scene second = Load(SceneFile::toJson(first));
  ASSERT_EQ(second.curves.size(), 1u);
  EXPECT_EQ(second.curves[0]->getProperty("made up"), "1");
  EXPECT_EQ(second.curves[0]->getProperty("fc_ui"), "10 20 30");
  EXPECT_EQ((*second.curves[0]->begin()->getRightKey()->getRightSegment()).getProperty("other"), "x");
}

// ---------------------------------------------------------------- what the loader builds

TEST(SceneLoad, DefaultsOfAHandWrittenFile) {
  const Scene s = LoadKeys(R"([{"x": 0, "y": 0}, {"x": 1, "y": 1}, {"x": 2, "y": 0}])");
  ASSERT_EQ(s.curves.size(), 1u);
  const T::FCurve& c = *s.curves[0];
  EXPECT_TRUE(c.isEditable() && !c.isLocked() && c.isVisible());
  ASSERT_EQ(c.numKeys(), 3u);
  auto it = c.begin();
  EXPECT_EQ(Expr(**it), "constant()");
  ++it;
  EXPECT_EQ(Expr(**it), "bezier()");
  EXPECT_TRUE(it.key()->isTangentsUnified());
  EXPECT_FALSE(it.key()->isBreakdown());
  // Handles without an offset are smooth and computed by the curve model
  // from the neighbours: the middle key's slope is that of its neighbours'
  // chord (0), one third of the span long.
  ++it;
  const auto out = it.key()->getOutTangent();
  EXPECT_EQ(out->getType(), T::TangentType::Smooth);
  EXPECT_EQ(out->get(), T::Vector2D<double>(1.0 / 3.0, 0.0));
  EXPECT_DOUBLE_EQ(it.key()->getInTangent()->get().x, -1.0 / 3.0);
}

TEST(SceneLoad, HandlesAreSetBeforeUnificationAndWeightLocksAfterTheLength) {
  // Were the key unified before its handles are set, setting one would turn
  // the other; were the weight locked first, the length could not be set.
  const Scene s = LoadKeys(R"([{"x": 0, "y": 0, "unified": true,
      "in": {"x": -1, "y": 2, "type": "fixed"}, "out": {"x": 1, "y": 1, "type": "fixed"}},
      {"x": 3, "y": 0, "unified": false,
      "out": {"x": 3, "y": 4, "type": "fixed", "weighted": true, "weightLocked": true}}, {"x": 10, "y": 0}])");
  const auto first = s.curves[0]->begin()->getRightKey();
  EXPECT_TRUE(first->isTangentsUnified());
  EXPECT_EQ(first->getInTangent()->get(), T::Vector2D<double>(-1, 2));
  EXPECT_EQ(first->getOutTangent()->get(), T::Vector2D<double>(1, 1));
  const auto out = first->getRightSegment()->getRightKey()->getOutTangent();
  EXPECT_EQ(out->get(), T::Vector2D<double>(3, 4));
  EXPECT_TRUE(out->isWeighted() && out->isWeightLocked());
}

TEST(SceneLoad, KeysExactlyTheMinimumSeparationApartAreAccepted) {
  EXPECT_EQ(LoadKeys(R"([{"x": 0.29, "y": 0}, {"x": 0.30, "y": 1}, {"x": 0.31, "y": 0}])").curves[0]->numKeys(), 3u);
}

TEST(SceneLoad, TangentTypesGoByNameAndCodesWithoutANameAsNumbers) {
  for (int code = 0; code <= 6; ++code) {
    const QString name = SceneFile::tangentTypeName(static_cast<unsigned char>(code));
    EXPECT_FALSE(name.isEmpty()) << code;
    EXPECT_EQ(SceneFile::tangentTypeFromName(name), code);
  }
  EXPECT_TRUE(SceneFile::tangentTypeName(7).isEmpty());
  EXPECT_EQ(SceneFile::tangentTypeFromName(QStringLiteral("Smooth")), -1);
  const Scene s = LoadKeys(R"([{"x": 0, "y": 0, "unified": false, "in": {"type": 42}, "out": {"type": "plateau"}}])");
  const auto key = s.curves[0]->begin()->getRightKey();
  EXPECT_EQ(key->getInTangent()->getType(), 42);
  EXPECT_EQ(key->getOutTangent()->getType(), T::TangentType::Plateau);
  const QJsonObject saved = QJsonDocument::fromJson(SceneFile::toJson(s)).object();
  const QJsonObject k = saved["curves"].toArray()[0].toObject()["keys"].toArray()[0].toObject();
  EXPECT_EQ(k["in"].toObject()["type"].toInt(), 42);
  EXPECT_EQ(k["out"].toObject()["type"].toString(), QStringLiteral("plateau"));
}

// ---------------------------------------------------------------- the sample scene

TEST(SampleScene, ChannelsKeysInterpolatorsAndTangentsThatSurviveTheRoundTrip) {
  const Scene s = ArvelleDemo::MakeSampleScene();
  ASSERT_EQ(s.curves.size(), 4u);
  std::set<std::string> names, interpolators;
  std::set<int> types;
  for (const auto& c : s.curves) {
    names.insert(c->getName());
    EXPECT_GE(c->numKeys(), 24u) << c->getName();
    double previous = -1e300;
    for (auto it = c->begin(); it != c->end(); ++it) {
      interpolators.insert(Expr(**it));
      if (!it.key()) continue;
      EXPECT_GT(it.key()->getX(), previous);
      previous = it.key()->getX();
      types.insert(it.key()->getInTangent()->getType());
      types.insert(it.key()->getOutTangent()->getType());
      EXPECT_TRUE(std::isfinite(it.key()->getOutTangent()->get().y));
    }
  }
  EXPECT_EQ(names, (std::set<std::string>{"ball.translateX", "ball.translateY", "ball.translateZ", "ball.rotateZ"}));
  for (const char* i : {"bezier()", "linear()", "constant()", "ease()"}) EXPECT_EQ(interpolators.count(i), 1u) << i;
  EXPECT_GE(types.size(), 4u);
  EXPECT_TRUE(SameScene(s, Load(SceneFile::toJson(s))));
}

TEST(SampleScene, BallRestsOnTheFloorAndNeverSinksBelowIt) {
  const auto y = ArvelleDemo::MakeSampleScene().curves[1];
  ASSERT_EQ(y->getName(), "ball.translateY");
  EXPECT_DOUBLE_EQ(y->eval(0.0), 4.0);
  EXPECT_DOUBLE_EQ(y->eval(200.0), 0.0);
  for (double f = 0; f <= 96; f += 0.25) EXPECT_GE(y->eval(f), -1e-9) << f;
}
