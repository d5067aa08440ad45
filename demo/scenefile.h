// The demo's scene: an ordered list of curves, and the JSON file that holds
// it. Depends on the curve-model library and QtCore only, so that it can be
// tested without a widget.
#pragma once

#include <tessal/fcurve.h>

#include <QByteArray>
#include <QString>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace ArvelleDemo {

struct Scene {
  std::vector<std::shared_ptr<Zentho::Tessal::FCurve>> curves;
  // Names of the string properties worth saving. The curve model answers a
  // property by name but cannot list a curve's or segment's names, so the
  // scene remembers every name it has read or been told about.
  std::set<std::string> propertyNames;
};

class SceneFile {
 public:
  // The properties the widget library itself writes (colour overrides, the
  // copy-gap mark); they are always looked for when saving.
  static const std::set<std::string>& standardPropertyNames();

  // Reads the file. On success replaces scene and returns true; on any
  // failure leaves scene untouched, sets error to one line naming the file
  // and the fault, and returns false.
  static bool read(const QString& path, Scene& scene, QString& error);
  // The same for JSON text; sourceName prefixes the error message.
  static bool fromJson(const QByteArray& json, const QString& sourceName, Scene& scene, QString& error);

  // Writes the whole file, replacing an existing one only once the new
  // text is complete (QSaveFile). False with error set on failure.
  static bool write(const QString& path, const Scene& scene, QString& error);
  static QByteArray toJson(const Scene& scene);

  // Tangent type codes by name: "fixed", "flat", "linear", "smooth",
  // "smoothNormal", "clamped", "plateau". Empty for a code without a name.
  static QString tangentTypeName(unsigned char type);
  // -1 for an unknown name.
  static int tangentTypeFromName(const QString& name);
};

}  // namespace ArvelleDemo
