// Builds against the installed-style interface only: the umbrella header and
// the exported target.
#include <arvelle/arvelle.h>

#include <cstring>
#include <iostream>
#include <memory>

int main() {
  using namespace Zentho::Arvelle;
  Viewport viewport;
  viewport.setWorldBounds(Zentho::Tessal::Rectangle<double>(-10, -2, 110, 4));
  SnapSettings snap;
  snap.setSnappingX(true);
  auto root = std::make_shared<LayerManager>("Root Layer");
  root->pushLayer(std::make_shared<Layer>("Probe"));
  const bool ok = snap.str() == "SnapSettings: x on, x inc=auto, y off, y inc=auto" &&
                  root->findLayer("Probe") != nullptr && viewport.getWorldBounds().width == 110 &&
                  std::strcmp(root->metaObject()->className(),
                              "Zentho::Arvelle::ZENTHO_ARVELLE_QT_LIB_VERSION_NS::LayerManager") == 0;
  std::cout << (ok ? "consumer: ok" : "consumer: wrong answers") << std::endl;
  return ok ? 0 : 1;
}
