#include "scenefile.h"

#include "regularfile.h"
#include "safetext.h"

#include <tessal/interpolator.h>
#include <tessal/types.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QLocale>
#include <QSaveFile>

#include <cmath>
#include <functional>
#include <initializer_list>
#include <utility>

namespace ArvelleDemo {

namespace T = Zentho::Tessal;

namespace {

const char* const cFormatName = "arvelle-scene";
const int cFormatVersion = 1;

// Raised while reading; caught at the top so that nothing is built from a
// file with a fault anywhere in it.
struct Fault {
  QString where;
  QString what;
};

QString Num(double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); }

QString Describe(const QJsonValue& v) {
  switch (v.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("true/false");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("a string");
    case QJsonValue::Array: return QStringLiteral("an array");
    case QJsonValue::Object: return QStringLiteral("an object");
    case QJsonValue::Undefined: break;
  }
  return QStringLiteral("nothing");
}

QString Member(const QString& where, const char* name) {
  return where.isEmpty() ? QString::fromLatin1(name) : where + QLatin1Char('.') + QLatin1String(name);
}

[[noreturn]] void Fail(const QString& where, const QString& what) { throw Fault{where, what}; }

[[noreturn]] void WrongType(const QString& where, const char* expected, const QJsonValue& v) {
  Fail(where, QStringLiteral("expected %1, found %2").arg(QLatin1String(expected), Describe(v)));
}

QJsonObject AsObject(const QJsonValue& v, const QString& where) {
  if (!v.isObject()) WrongType(where, "an object", v);
  return v.toObject();
}

// A misspelt member would otherwise be dropped silently and its default
// used, which is the kind of half-load the format promises never to do.
void AllowOnly(const QJsonObject& o, const QString& where, std::initializer_list<const char*> names) {
  for (auto it = o.begin(); it != o.end(); ++it) {
    bool known = false;
    for (const char* n : names) known = known || it.key() == QLatin1String(n);
    if (!known) Fail(where, QStringLiteral("unknown member %1").arg(QuotedText(it.key())));
  }
}

double Number(const QJsonObject& o, const char* name, const QString& where, bool required, double def) {
  const QJsonValue v = o.value(QLatin1String(name));
  const QString at = Member(where, name);
  if (v.isUndefined()) {
    if (required) Fail(where, QStringLiteral("missing member \"%1\"").arg(QLatin1String(name)));
    return def;
  }
  if (!v.isDouble()) WrongType(at, "a number", v);
  const double d = v.toDouble();
  if (!std::isfinite(d)) Fail(at, QStringLiteral("not a finite number"));
  return d;
}

bool Boolean(const QJsonObject& o, const char* name, const QString& where, bool def) {
  const QJsonValue v = o.value(QLatin1String(name));
  if (v.isUndefined()) return def;
  if (!v.isBool()) WrongType(Member(where, name), "true or false", v);
  return v.toBool();
}

QString String(const QJsonObject& o, const char* name, const QString& where, bool required, const QString& def) {
  const QJsonValue v = o.value(QLatin1String(name));
  if (v.isUndefined()) {
    if (required) Fail(where, QStringLiteral("missing member \"%1\"").arg(QLatin1String(name)));
    return def;
  }
  if (!v.isString()) WrongType(Member(where, name), "a string", v);
  return v.toString();
}

using Properties = std::vector<std::pair<std::string, std::string>>;

Properties ReadProperties(const QJsonObject& o, const QString& where, std::set<std::string>& names) {
  Properties result;
  const QJsonValue v = o.value(QLatin1String("properties"));
  if (v.isUndefined()) return result;
  const QString at = Member(where, "properties");
  const QJsonObject props = AsObject(v, at);
  for (auto it = props.begin(); it != props.end(); ++it) {
    if (it.key().isEmpty()) Fail(at, QStringLiteral("a property name is empty"));
    if (!it.value().isString()) WrongType(at + QLatin1Char('.') + ShownText(it.key()), "a string", it.value());
    const std::string name = it.key().toStdString();
    names.insert(name);
    result.emplace_back(name, it.value().toString().toStdString());
  }
  return result;
}

struct HandleData {
  bool hasOffset = false;
  T::Vector2D<double> offset;
  unsigned char type = T::TangentType::Smooth;
  bool weighted = false;
  bool weightLocked = false;
};

struct SegmentData {
  std::shared_ptr<T::Interpolator> interpolator;
  Properties properties;
};

struct KeyData {
  T::Vector2D<double> pos;
  bool breakdown = false;
  bool unified = true;
  bool locked = false;
  HandleData in, out;
  SegmentData segment;
};

struct CurveData {
  std::string name;
  bool editable = true, locked = false, visible = true, velocityVisible = false, accelerationVisible = false;
  Properties properties;
  SegmentData leading;
  std::vector<KeyData> keys;
};

HandleData ReadHandle(const QJsonObject& key, const char* name, const QString& where) {
  HandleData h;
  const QJsonValue v = key.value(QLatin1String(name));
  if (v.isUndefined()) return h;
  const QString at = Member(where, name);
  const QJsonObject o = AsObject(v, at);
  AllowOnly(o, at, {"x", "y", "type", "weighted", "weightLocked"});
  const bool hasX = o.contains(QLatin1String("x")), hasY = o.contains(QLatin1String("y"));
  if (hasX != hasY) Fail(at, QStringLiteral("give both \"x\" and \"y\" of the handle, or neither"));
  if (hasX) {
    h.hasOffset = true;
    h.offset.x = Number(o, "x", at, true, 0);
    h.offset.y = Number(o, "y", at, true, 0);
  }
  const QJsonValue t = o.value(QLatin1String("type"));
  if (t.isString()) {
    const int code = SceneFile::tangentTypeFromName(t.toString());
    if (code < 0) Fail(Member(at, "type"), QStringLiteral("unknown tangent type %1").arg(QuotedText(t.toString())));
    h.type = static_cast<unsigned char>(code);
  } else if (t.isDouble()) {
    // Codes without a name (hosts may use their own) are kept as numbers.
    const double d = t.toDouble();
    if (!(d >= 0 && d <= 255 && d == std::floor(d)))
      Fail(Member(at, "type"), QStringLiteral("tangent type code %1 is not a whole number from 0 to 255").arg(Num(d)));
    h.type = static_cast<unsigned char>(d);
  } else if (!t.isUndefined()) {
    WrongType(Member(at, "type"), "a tangent type name or code", t);
  }
  h.weighted = Boolean(o, "weighted", at, false);
  h.weightLocked = Boolean(o, "weightLocked", at, false);
  return h;
}

SegmentData ReadSegment(const QJsonObject& owner, const char* name, const QString& where, const char* defaultName,
                        std::set<std::string>& names) {
  SegmentData s;
  QString interpolator = QLatin1String(defaultName);
  const QJsonValue v = owner.value(QLatin1String(name));
  if (!v.isUndefined()) {
    const QString at = Member(where, name);
    const QJsonObject o = AsObject(v, at);
    AllowOnly(o, at, {"interpolator", "properties"});
    interpolator = String(o, "interpolator", at, false, interpolator);
    s.properties = ReadProperties(o, at, names);
    s.interpolator = T::InterpolatorFactory::create(interpolator.toStdString());
    if (!s.interpolator)
      Fail(Member(at, "interpolator"), QStringLiteral("unknown interpolator %1").arg(QuotedText(interpolator)));
    return s;
  }
  s.interpolator = T::InterpolatorFactory::create(interpolator.toStdString());
  return s;
}

bool TooClose(double gap) {
  // The curve model's own rule, so that every key accepted here is one it
  // accepts too.
  const double sep = T::Keyframe::getMinSeparation();
  return !(gap >= sep) && !T::NearEqual(gap, sep);
}

CurveData ReadCurve(const QJsonValue& value, const QString& where, std::set<std::string>& names) {
  const QJsonObject o = AsObject(value, where);
  AllowOnly(o, where,
            {"name", "editable", "locked", "visible", "velocityVisible", "accelerationVisible", "properties",
             "leading", "keys"});
  CurveData c;
  c.name = String(o, "name", where, true, QString()).toStdString();
  c.editable = Boolean(o, "editable", where, true);
  c.locked = Boolean(o, "locked", where, false);
  c.visible = Boolean(o, "visible", where, true);
  c.velocityVisible = Boolean(o, "velocityVisible", where, false);
  c.accelerationVisible = Boolean(o, "accelerationVisible", where, false);
  c.properties = ReadProperties(o, where, names);
  c.leading = ReadSegment(o, "leading", where, "constant()", names);

  const QJsonValue keys = o.value(QLatin1String("keys"));
  if (keys.isUndefined()) return c;
  if (!keys.isArray()) WrongType(Member(where, "keys"), "an array", keys);
  const QJsonArray array = keys.toArray();
  c.keys.reserve(static_cast<std::size_t>(array.size()));
  for (int i = 0; i < array.size(); ++i) {
    const QString at = Member(where, "keys") + QStringLiteral("[%1]").arg(i);
    const QJsonObject k = AsObject(array.at(i), at);
    AllowOnly(k, at, {"x", "y", "breakdown", "unified", "locked", "in", "out", "segment"});
    KeyData d;
    d.pos.x = Number(k, "x", at, true, 0);
    d.pos.y = Number(k, "y", at, true, 0);
    if (!c.keys.empty()) {
      const double prev = c.keys.back().pos.x;
      const double gap = d.pos.x - prev;
      if (gap == 0)
        Fail(Member(at, "x"), QStringLiteral("x = %1 repeats the previous key's x").arg(Num(d.pos.x)));
      if (gap < 0)
        Fail(Member(at, "x"), QStringLiteral("keys out of order: x = %1 is not after the previous key's x = %2")
                                  .arg(Num(d.pos.x), Num(prev)));
      if (TooClose(gap))
        Fail(Member(at, "x"), QStringLiteral("x = %1 is closer than %2 to the previous key's x = %3")
                                  .arg(Num(d.pos.x), Num(T::Keyframe::getMinSeparation()), Num(prev)));
    }
    d.breakdown = Boolean(k, "breakdown", at, false);
    d.unified = Boolean(k, "unified", at, true);
    d.locked = Boolean(k, "locked", at, false);
    d.in = ReadHandle(k, "in", at);
    d.out = ReadHandle(k, "out", at);
    d.segment = ReadSegment(k, "segment", at, "bezier()", names);
    c.keys.push_back(std::move(d));
  }
  return c;
}

void WriteHandle(T::Tangent& t, const HandleData& h) {
  // Lock last: a weight-locked handle would keep its old length when set.
  // Type after the offset: setting an offset makes a handle Fixed.
  t.setWeightLocked(false);
  t.setWeighted(h.weighted);
  if (h.hasOffset) t.set(h.offset);
  t.setType(h.type);
  t.setWeightLocked(h.weightLocked);
}

void ApplyProperties(const Properties& props, T::FCurve& curve) {
  for (const auto& p : props) curve.setProperty(p.first, p.second);
}
void ApplyProperties(const Properties& props, T::Segment& segment) {
  for (const auto& p : props) segment.setProperty(p.first, p.second);
}

std::shared_ptr<T::FCurve> BuildCurve(const CurveData& d, const QString& where) {
  auto curve = T::FCurve::create(d.name);
  curve->setEditable(d.editable);
  curve->setLocked(d.locked);
  curve->setVisible(d.visible);
  curve->setVelocityVisible(d.velocityVisible);
  curve->setAccelerationVisible(d.accelerationVisible);
  ApplyProperties(d.properties, *curve);
  {
    // Automatic handles are computed once, from the finished keys, instead
    // of after every insertion.
    T::FCurve::Switch deferUpkeep(*curve);
    auto leading = *curve->begin();
    leading->setInterpolator(d.leading.interpolator);
    ApplyProperties(d.leading.properties, *leading);

    std::vector<std::shared_ptr<T::Keyframe>> keys;
    keys.reserve(d.keys.size());
    for (std::size_t i = 0; i < d.keys.size(); ++i) {
      const KeyData& k = d.keys[i];
      // Not unified yet: on a unified key setting one handle turns the
      // other, which would overwrite the file's value for it.
      T::Keyframe value(k.pos.x, k.pos.y);
      value.setBreakdown(k.breakdown);
      value.setTangentsUnified(false);
      T::SetLocked(value, k.locked);
      auto it = curve->insertSegment(value, k.segment.interpolator);
      if (it == curve->end())
        Fail(where + QStringLiteral(".keys[%1]").arg(i), QStringLiteral("the curve refused the key"));
      ApplyProperties(k.segment.properties, **it);
      keys.push_back(it->getLeftKey());
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
      WriteHandle(*keys[i]->getInTangent(), d.keys[i].in);
      WriteHandle(*keys[i]->getOutTangent(), d.keys[i].out);
    }
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i]->setTangentsUnified(d.keys[i].unified);
  }
  return curve;
}

// ---------------------------------------------------------------- writing

QJsonObject PropertiesObject(const std::set<std::string>& names,
                             const std::function<std::string(const std::string&)>& get) {
  QJsonObject o;
  for (const auto& n : names) {
    const std::string v = get(n);
    if (!v.empty()) o.insert(QString::fromStdString(n), QString::fromStdString(v));
  }
  return o;
}

QJsonObject SegmentObject(const T::Segment& s, const std::set<std::string>& names) {
  QJsonObject o;
  const auto& interp = s.getInterpolator();
  o.insert(QStringLiteral("interpolator"), QString::fromStdString(interp ? interp->getExpression() : "constant()"));
  const QJsonObject props = PropertiesObject(names, [&](const std::string& n) { return s.getProperty(n); });
  if (!props.isEmpty()) o.insert(QStringLiteral("properties"), props);
  return o;
}

QJsonObject HandleObject(const T::Tangent& t) {
  QJsonObject o;
  o.insert(QStringLiteral("x"), t.get().x);
  o.insert(QStringLiteral("y"), t.get().y);
  const QString name = SceneFile::tangentTypeName(t.getType());
  if (name.isEmpty())
    o.insert(QStringLiteral("type"), static_cast<int>(t.getType()));
  else
    o.insert(QStringLiteral("type"), name);
  o.insert(QStringLiteral("weighted"), t.isWeighted());
  o.insert(QStringLiteral("weightLocked"), t.isWeightLocked());
  return o;
}

QJsonObject CurveObject(const T::FCurve& c, const std::set<std::string>& names) {
  QJsonObject o;
  o.insert(QStringLiteral("name"), QString::fromStdString(c.getName()));
  o.insert(QStringLiteral("editable"), c.isEditable());
  o.insert(QStringLiteral("locked"), c.isLocked());
  o.insert(QStringLiteral("visible"), c.isVisible());
  o.insert(QStringLiteral("velocityVisible"), c.isVelocityVisible());
  o.insert(QStringLiteral("accelerationVisible"), c.isAccelerationVisible());
  const QJsonObject props = PropertiesObject(names, [&](const std::string& n) { return c.getProperty(n); });
  if (!props.isEmpty()) o.insert(QStringLiteral("properties"), props);
  QJsonArray keys;
  for (auto it = c.begin(); it != c.end(); ++it) {
    const T::Keyframe* k = it.key();
    if (!k) {
      o.insert(QStringLiteral("leading"), SegmentObject(*it.segment(), names));
      continue;
    }
    QJsonObject ko;
    ko.insert(QStringLiteral("x"), k->getX());
    ko.insert(QStringLiteral("y"), k->getY());
    ko.insert(QStringLiteral("breakdown"), k->isBreakdown());
    ko.insert(QStringLiteral("unified"), k->isTangentsUnified());
    ko.insert(QStringLiteral("locked"), T::IsLocked(*k));
    if (auto in = k->getInTangent()) ko.insert(QStringLiteral("in"), HandleObject(*in));
    if (auto out = k->getOutTangent()) ko.insert(QStringLiteral("out"), HandleObject(*out));
    ko.insert(QStringLiteral("segment"), SegmentObject(*it.segment(), names));
    keys.append(ko);
  }
  o.insert(QStringLiteral("keys"), keys);
  return o;
}

struct TypeName {
  unsigned char code;
  const char* name;
};
const TypeName cTypeNames[] = {
    {T::TangentType::Fixed, "fixed"},     {T::TangentType::Flat, "flat"},
    {T::TangentType::Linear, "linear"},   {T::TangentType::Smooth, "smooth"},
    {T::TangentType::SmoothNormal, "smoothNormal"}, {T::TangentType::Clamped, "clamped"},
    {T::TangentType::Plateau, "plateau"},
};

// Line and column (from 1) of a byte offset, for parse errors.
QString Position(const QByteArray& json, int offset) {
  int line = 1, column = 1;
  for (int i = 0; i < offset && i < json.size(); ++i) {
    if (json.at(i) == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

}  // namespace

const std::set<std::string>& SceneFile::standardPropertyNames() {
  static const std::set<std::string> names = {"fc_ue", "fc_ui", "fc_se", "fc_si", "fc_st", "fc_ut", "fc_nocopy"};
  return names;
}

QString SceneFile::tangentTypeName(unsigned char type) {
  for (const auto& t : cTypeNames)
    if (t.code == type) return QLatin1String(t.name);
  return QString();
}

int SceneFile::tangentTypeFromName(const QString& name) {
  for (const auto& t : cTypeNames)
    if (name == QLatin1String(t.name)) return t.code;
  return -1;
}

bool SceneFile::fromJson(const QByteArray& json, const QString& sourceName, Scene& scene, QString& error) {
  // The name goes into messages that are printed and shown.
  const QString source = EscapeControls(sourceName);
  if (json.trimmed().isEmpty()) {
    error = QStringLiteral("%1: the file is empty").arg(source);
    return false;
  }
  QJsonParseError parseError;
  const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
  if (parseError.error != QJsonParseError::NoError) {
    error = QStringLiteral("%1: %2: not valid JSON (%3)")
                .arg(source, Position(json, parseError.offset), parseError.errorString());
    return false;
  }
  try {
    if (!doc.isObject()) Fail(QString(), QStringLiteral("expected an object at the top, found %1")
                                             .arg(doc.isArray() ? QStringLiteral("an array") : QStringLiteral("nothing")));
    const QJsonObject top = doc.object();
    AllowOnly(top, QString(), {"format", "version", "curves"});
    const QString format = String(top, "format", QString(), true, QString());
    if (format != QLatin1String(cFormatName))
      Fail(QStringLiteral("format"),
           QStringLiteral("expected \"%1\", found %2").arg(QLatin1String(cFormatName), QuotedText(format)));
    const double version = Number(top, "version", QString(), true, 0);
    if (version != cFormatVersion)
      Fail(QStringLiteral("version"),
           QStringLiteral("version %1 is not supported (this program reads version %2)").arg(Num(version)).arg(cFormatVersion));
    const QJsonValue curvesValue = top.value(QLatin1String("curves"));
    if (curvesValue.isUndefined()) Fail(QString(), QStringLiteral("missing member \"curves\""));
    if (!curvesValue.isArray()) WrongType(QStringLiteral("curves"), "an array", curvesValue);
    const QJsonArray curves = curvesValue.toArray();

    // Everything is read and checked before the first curve is made.
    Scene result;
    std::vector<CurveData> data;
    data.reserve(static_cast<std::size_t>(curves.size()));
    for (int i = 0; i < curves.size(); ++i)
      data.push_back(ReadCurve(curves.at(i), QStringLiteral("curves[%1]").arg(i), result.propertyNames));
    for (std::size_t i = 0; i < data.size(); ++i)
      result.curves.push_back(BuildCurve(data[i], QStringLiteral("curves[%1]").arg(i)));
    scene = std::move(result);
    return true;
  } catch (const Fault& f) {
    error = f.where.isEmpty() ? QStringLiteral("%1: %2").arg(source, f.what)
                              : QStringLiteral("%1: %2: %3").arg(source, f.where, f.what);
    return false;
  }
}

bool SceneFile::read(const QString& path, Scene& scene, QString& error) {
  QByteArray json;
  if (!ReadRegularFile(path, json, error)) return false;
  return fromJson(json, path, scene, error);
}

QByteArray SceneFile::toJson(const Scene& scene) {
  std::set<std::string> names = scene.propertyNames;
  names.insert(standardPropertyNames().begin(), standardPropertyNames().end());
  QJsonArray curves;
  for (const auto& c : scene.curves)
    if (c) curves.append(CurveObject(*c, names));
  QJsonObject top;
  top.insert(QStringLiteral("format"), QLatin1String(cFormatName));
  top.insert(QStringLiteral("version"), cFormatVersion);
  top.insert(QStringLiteral("curves"), curves);
  return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

bool SceneFile::write(const QString& path, const Scene& scene, QString& error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    error = QStringLiteral("%1: cannot be written (%2)").arg(EscapeControls(path), file.errorString());
    return false;
  }
  const QByteArray json = toJson(scene);
  if (file.write(json) != json.size() || !file.commit()) {
    error = QStringLiteral("%1: cannot be written (%2)").arg(EscapeControls(path), file.errorString());
    return false;
  }
  return true;
}

}  // namespace ArvelleDemo
