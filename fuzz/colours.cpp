// The colour override parser on any property text: always an opaque colour
// with components in range, and what it reads saves and reads back the same.
#include "checks.h"

#include <arvelle/graphviewcolors.h>

#include <cstdint>
#include <string>

namespace A = Zentho::Arvelle;
namespace T = Zentho::Tessal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto curve = T::FCurve::create("c");
  const std::string text(reinterpret_cast<const char*>(data), size);
  curve->setProperty("fc_ui", text);
  QColor read;
  A::GetUnselectedInteriorColor(*curve, read);
  if (!read.isValid() || read.alpha() != 255) FuzzChecks::Fail("an override read as no opaque colour");
  if (A::HasUnselectedInteriorColor(*curve) != !text.empty()) FuzzChecks::Fail("presence disagrees with the text");
  A::SetUnselectedInteriorColor(*curve, read);
  QColor again;
  A::GetUnselectedInteriorColor(*curve, again);
  if (again != read) FuzzChecks::Fail("a saved override reads back different");
  return 0;
}
