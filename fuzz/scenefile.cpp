// The demo's scene loader on any bytes: it must refuse what it cannot read
// without touching the scene, and what it accepts must be sound curves that
// save and load back to the same text.
#include "checks.h"
#include "scenefile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using ArvelleDemo::Scene;
  using ArvelleDemo::SceneFile;
  const QByteArray json(reinterpret_cast<const char*>(data), int(size));
  Scene scene;
  scene.curves.push_back(Zentho::Tessal::FCurve::create("untouched"));
  QString error;
  if (!SceneFile::fromJson(json, "fuzz", scene, error)) {
    if (error.isEmpty()) FuzzChecks::Fail("a refusal without a message");
    if (scene.curves.size() != 1 || scene.curves[0]->getName() != "untouched")
      FuzzChecks::Fail("a refused file changed the scene");
    return 0;
  }
  for (const auto& curve : scene.curves) FuzzChecks::CheckCurve(*curve);
  const QByteArray saved = SceneFile::toJson(scene);
  Scene again;
  if (!SceneFile::fromJson(saved, "saved", again, error)) FuzzChecks::Fail("a saved scene does not load");
  if (SceneFile::toJson(again) != saved) FuzzChecks::Fail("a saved scene loads back different");
  return 0;
}
