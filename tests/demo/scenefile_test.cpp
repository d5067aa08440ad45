// The demo's scene file: what saving and loading give back, what the loader
// builds from a hand-written file, and bad files, each refused with one
// message naming the file and the fault, the scene given to the loader left
// exactly as it was. Text quoted from a file reaches the message escaped and
// cut short, so that printing or showing it is safe.
#include "samplescene.h"
#include "scene_helpers.h"
#include "scenefile.h"

#include "safetext.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <set>
#include <string>

using ArvelleDemo::Scene;
using ArvelleDemo::SceneFile;
using namespace DemoTest;

namespace {

// A valid file; each case below replaces one piece of it.
const char* const cBase = R"json({"format": "arvelle-scene", "version": 1, "curves": [
  {"name": "first", "keys": [{"x": 0, "y": 0}, {"x": 1, "y": 1}]},
  {"name": "second", "visible": true, "properties": {"node": "ball"},
   "leading": {"interpolator": "constant()"},
   "keys": [{"x": 0, "y": 0, "in": {"x": -1, "y": 0, "type": "fixed"}, "segment": {"interpolator": "linear()"}},
            {"x": 5, "y": 2, "breakdown": false}]}]})json";

// A name of a megabyte, quoted, and what a message shows of it.
const std::string cHugeName = '"' + std::string(1 << 20, 'q') + '"';
const std::string cHugeNameShown = "unknown interpolator \"" + std::string(60, 'q') + "\u2026\"";

struct BadCase {
  const char* label;
  const char* find;     // piece of cBase to replace ("" for the whole text)
  const char* replace;
  const char* where;    // expected location in the message
  const char* what;     // expected description
};

const BadCase cCases[] = {
    {"empty file", "", "", "", "the file is empty"},
    {"blank file", "", " \n\t ", "", "the file is empty"},
    {"truncated", "]}]}", "]}]", "line 6", "not valid JSON"},
    {"trailing comma", "\"y\": 2, ", "\"y\": 2,, ", "line 6, column", "not valid JSON"},
    {"overflowing number", "\"y\": 2,", "\"y\": 1e400,", "line 6", "not valid JSON"},
    {"top is an array", "", "[1, 2]", "", "expected an object at the top, found an array"},
    {"unknown format", "arvelle-scene", "other-scene", "format", "expected \"arvelle-scene\""},
    {"missing format", "\"format\": \"arvelle-scene\", ", "", "", "missing member \"format\""},
    {"future version", "\"version\": 1", "\"version\": 2", "version", "version 2 is not supported"},
    {"version as text", "\"version\": 1", "\"version\": \"1\"", "version", "expected a number, found a string"},
    {"unknown top member", "\"version\": 1,", "\"version\": 1, \"extra\": 0,", "", "unknown member \"extra\""},
    {"curves not an array", "", "{\"format\": \"arvelle-scene\", \"version\": 1, \"curves\": {}}", "curves", "expected an array, found an object"},
    {"curve not an object", "{\"name\": \"first\"", "7, {\"name\": \"first\"", "curves[0]", "expected an object, found a number"},
    {"name missing", "\"name\": \"second\", ", "", "curves[1]", "missing member \"name\""},
    {"name a number", "\"name\": \"second\"", "\"name\": 2", "curves[1].name", "expected a string, found a number"},
    {"flag as text", "\"visible\": true", "\"visible\": \"yes\"", "curves[1].visible", "expected true or false, found a string"},
    {"misspelt member", "\"breakdown\": false", "\"breakdwon\": false", "curves[1].keys[1]", "unknown member \"breakdwon\""},
    {"keys not an array", "\"keys\": [{\"x\": 0, \"y\": 0}, {\"x\": 1, \"y\": 1}]", "\"keys\": 3", "curves[0].keys", "expected an array"},
    {"key x missing", "{\"x\": 5, \"y\": 2", "{\"y\": 2", "curves[1].keys[1]", "missing member \"x\""},
    {"key y is text", "\"y\": 2,", "\"y\": \"2\",", "curves[1].keys[1].y", "expected a number, found a string"},
    {"key y null (how infinity is written)", "\"y\": 2,", "\"y\": null,", "curves[1].keys[1].y", "found null"},
    {"keys out of order", "{\"x\": 5, \"y\": 2", "{\"x\": -5, \"y\": 2", "curves[1].keys[1].x", "keys out of order"},
    {"keys at the same x", "{\"x\": 5, \"y\": 2", "{\"x\": 0, \"y\": 2", "curves[1].keys[1].x", "repeats the previous key's x"},
    {"keys too close", "{\"x\": 5, \"y\": 2", "{\"x\": 0.005, \"y\": 2", "curves[1].keys[1].x", "closer than 0.01"},
    {"unknown interpolator", "\"linear()\"", "\"lineer()\"", "curves[1].keys[0].segment.interpolator", "unknown interpolator \"lineer()\""},
    {"unknown leading interpolator", "\"constant()\"", "\"step()\"", "curves[1].leading.interpolator", "unknown interpolator"},
    {"interpolator not text", "\"linear()\"", "1", "curves[1].keys[0].segment.interpolator", "expected a string"},
    {"unknown tangent type", "\"fixed\"", "\"fixd\"", "curves[1].keys[0].in.type", "unknown tangent type \"fixd\""},
    {"tangent code too big", "\"fixed\"", "256", "curves[1].keys[0].in.type", "not a whole number from 0 to 255"},
    {"tangent code fraction", "\"fixed\"", "1.5", "curves[1].keys[0].in.type", "not a whole number"},
    {"handle with x only", "\"x\": -1, \"y\": 0, ", "\"x\": -1, ", "curves[1].keys[0].in", "both \"x\" and \"y\""},
    {"handle not an object", "\"in\": {\"x\": -1, \"y\": 0, \"type\": \"fixed\"}", "\"in\": [1]", "curves[1].keys[0].in", "expected an object, found an array"},
    {"property not text", "\"node\": \"ball\"", "\"node\": 1", "curves[1].properties.node", "expected a string, found a number"},
    {"property without a name", "\"node\": \"ball\"", "\"\": \"ball\"", "curves[1].properties", "a property name is empty"},
    // What the file says is quoted escaped and cut short.
    {"escaped ESC in a member name", "\"version\": 1,", "\"version\": 1, \"\\u001b[2J\": 0,", "",
     "unknown member \"\\u001b[2J\""},
    {"raw line break and tab in a member name", "\"version\": 1,", "\"version\": 1, \"a\nb\tc\": 0,", "",
     "unknown member \"a\\u000ab\\u0009c\""},
    {"quotes and backslashes in a name", "\"fixed\"", R"("fi\"x\\d")", "", R"(unknown tangent type "fi\"x\\d")"},
    {"bidirectional override in a property name", "\"node\": \"ball\"", "\"no\\u202ede\": 1",
     "curves[1].properties.no\\u202ede", "expected a string"},
    {"a megabyte interpolator name", "\"linear()\"", cHugeName.c_str(), "curves[1].keys[0].segment.interpolator",
     cHugeNameShown.c_str()},
};

QByteArray Apply(const BadCase& c) {
  if (!*c.find) return QByteArray(c.replace);
  QByteArray json(cBase);
  const int at = json.indexOf(c.find);
  EXPECT_GE(at, 0) << c.label << ": the case's text is not in the base file";
  return json.replace(at, int(std::strlen(c.find)), c.replace);
}

// A scene the failed loads must leave as it is.
Scene Sentinel() {
  Scene s;
  auto c = T::FCurve::create("kept");
  c->insertSegment(T::Keyframe(1, 2), T::Bezier::create());
  s.curves.push_back(c);
  s.propertyNames = {"kept"};
  return s;
}

void ExpectUntouched(const Scene& s, const Scene& sentinel) {
  ASSERT_EQ(s.curves.size(), 1u);
  EXPECT_EQ(s.curves[0], sentinel.curves[0]);
  EXPECT_EQ(s.curves[0]->numKeys(), 1u);
  EXPECT_EQ(s.propertyNames, sentinel.propertyNames);
}


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

TEST(SceneErrors, EachFaultGivesOneMessageAndLoadsNothing) {
  Scene base;
  QString error;
  ASSERT_TRUE(SceneFile::fromJson(cBase, QStringLiteral("base.json"), base, error)) << error.toStdString();
  for (const BadCase& c : cCases) {
    SCOPED_TRACE(c.label);
    const Scene sentinel = Sentinel();
    Scene s = sentinel;
    EXPECT_FALSE(SceneFile::fromJson(Apply(c), QStringLiteral("/some/dir/bad.json"), s, error));
    const std::string e = error.toStdString();
    EXPECT_EQ(e.rfind("/some/dir/bad.json: ", 0), 0u) << e;
    EXPECT_NE(e.find(c.where), std::string::npos) << e;
    EXPECT_NE(e.find(c.what), std::string::npos) << e;
    // One line of printable text of a readable length.
    EXPECT_LT(error.size(), 200) << e;
    for (const QChar ch : error) EXPECT_TRUE(ch >= QChar(0x20) && ch != QChar(0x7f)) << e;
    ExpectUntouched(s, sentinel);
  }
}

TEST(SceneFileErrors, FilesThatCannotBeReadOrWrittenAreNamedAndLeftAlone) {
  QTemporaryDir dir;
  const QString locked = dir.filePath(QStringLiteral("locked.json"));
  QFile f(locked);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(cBase);
  f.close();
  ASSERT_TRUE(f.setPermissions(QFileDevice::WriteOwner));
  const QString closed = dir.filePath(QStringLiteral("closed"));
  ASSERT_TRUE(QDir().mkdir(closed));
  ASSERT_TRUE(QFile::copy(locked, closed + QStringLiteral("/inside.json")));
  ASSERT_TRUE(QFile::setPermissions(closed, QFileDevice::WriteOwner));
  const QString loop = dir.filePath(QStringLiteral("loop.json"));
  ASSERT_TRUE(QFile::link(loop + QStringLiteral(".b"), loop));
  ASSERT_TRUE(QFile::link(loop, loop + QStringLiteral(".b")));
  const bool root = ::geteuid() == 0;  // root reads every file and enters every folder
  const struct {
    QString path;
    const char* what;
    bool skip;
  } reads[] = {
      {dir.filePath(QStringLiteral("missing.json")), "no such file", false},
      {locked + QStringLiteral("/under-a-file.json"), "no such file", false},
      {dir.path(), "is a directory", false},
      {QStringLiteral("/dev/zero"), "not a regular file", false},
      {loop, "too many levels of symbolic links", false},
      {locked, "permission denied", root},
      {closed + QStringLiteral("/inside.json"), "permission denied", root},
  };
  for (const auto& c : reads) {
    SCOPED_TRACE(c.path.toStdString());
    if (c.skip) continue;
    const Scene sentinel = Sentinel();
    Scene s = sentinel;
    QString error;
    EXPECT_FALSE(SceneFile::read(c.path, s, error));
    EXPECT_EQ(error.toStdString(), (c.path + QStringLiteral(": ")).toStdString() + c.what);
    ExpectUntouched(s, sentinel);
  }
  // A path is named with its control characters escaped.
  QString error;
  Scene s;
  EXPECT_FALSE(SceneFile::read(dir.filePath(QStringLiteral("a\x1b[2Jb\nc.json")), s, error));
  EXPECT_EQ(error.toStdString(), dir.filePath(QStringLiteral("a\\u001b[2Jb\\u000ac.json: no such file")).toStdString());
  QFile::setPermissions(closed, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

  const QString nowhere = dir.filePath(QStringLiteral("no/such/dir/out.json"));
  EXPECT_FALSE(SceneFile::write(nowhere, Sentinel(), error));
  EXPECT_TRUE(error.startsWith(nowhere + QStringLiteral(": cannot be written"))) << error.toStdString();
  // A directory in the way is not replaced by a file.
  const QString busy = dir.filePath(QStringLiteral("busy.json"));
  ASSERT_TRUE(QDir().mkpath(busy));
  EXPECT_FALSE(SceneFile::write(busy, Sentinel(), error));
  EXPECT_TRUE(QFileInfo(busy).isDir());
}

TEST(SceneRoundTrip, RandomScenesComeBackExactlyAndSaveToTheSameText) {
  for (std::uint64_t seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    RandomScenes random(seed);
    const Scene original = random.scene(static_cast<int>(seed % 4));
    const QByteArray json = SceneFile::toJson(original);
    const Scene loaded = Load(json);
    ASSERT_TRUE(SameScene(original, loaded));
    // Saving what was loaded writes the same text: nothing drifts, and the
    // property names read (not only the standard ones) are saved again.
    EXPECT_EQ(json, SceneFile::toJson(loaded));
  }
  // Named for what random scenes hit only by chance.
  Scene edge;
  edge.curves.push_back(T::FCurve::create("no keys"));
  auto zero = T::FCurve::create("negative zero");
  zero->insertSegment(T::Keyframe(-0.0, -0.0), T::Bezier::create());  // JSON reads -0 back as 0, an equal value
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

TEST(SceneLoad, TangentTypesGoByNameAndCodesWithoutANameAsNumbers) {
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

TEST(SampleScene, FourChannelsOfKeysThatSurviveTheRoundTripAndABallThatNeverSinks) {
  const Scene s = ArvelleDemo::MakeSampleScene();
  std::set<std::string> names, interpolators;
  std::set<int> types;
  for (const auto& c : s.curves) {
    names.insert(c->getName());
    EXPECT_GE(c->numKeys(), 24u) << c->getName();
    for (auto it = c->begin(); it != c->end(); ++it) {
      interpolators.insert(Expr(**it));
      if (it.key()) types.insert({it.key()->getInTangent()->getType(), it.key()->getOutTangent()->getType()});
    }
  }
  EXPECT_EQ(names, (std::set<std::string>{"ball.translateX", "ball.translateY", "ball.translateZ", "ball.rotateZ"}));
  EXPECT_GE(interpolators.size(), 3u);
  EXPECT_GE(types.size(), 3u);
  EXPECT_TRUE(SameScene(s, Load(SceneFile::toJson(s))));
  const auto& y = *s.curves[1];
  ASSERT_EQ(y.getName(), "ball.translateY");
  for (double f = 0; f <= 96; f += 0.25) EXPECT_GE(y.eval(f), -1e-9) << f;
  EXPECT_DOUBLE_EQ(y.eval(200.0), 0.0);  // at rest on the floor in the end
}

// ---------------------------------------------------------------- text in messages

TEST(SafeText, CutsWholeCharactersAndEscapesWhatNoFileRowReaches) {
  const QString emoji = QString::fromUcs4(U"\U0001F600");
  const struct {
    QString text;
    int max;
    QString shown;
  } cases[] = {
      {QStringLiteral("abc"), 3, QStringLiteral("abc")},
      // A pair of surrogates is one character: kept whole or cut whole.
      {QStringLiteral("ab") + emoji + QStringLiteral("c"), 3, QStringLiteral("ab") + emoji + QStringLiteral("\u2026")},
      {QStringLiteral("a") + QChar(0xd800) + QStringLiteral("b"), 60, QStringLiteral("a\\ud800b")},
      {QStringLiteral("x\u0085\u2028y"), 60, QStringLiteral("x\\u0085\\u2028y")},
      {QString::fromUcs4(U"t\U000E0001"), 60, QStringLiteral("t\\U000e0001")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    EXPECT_EQ(ArvelleDemo::ShownText(c.text, c.max).toStdString(), c.shown.toStdString());
  }
}
