// For the sanitizer build only. The GL driver keeps allocations for the life
// of the process by design, but it is unloaded before the leak check runs,
// leaving them nameless; holding it loaded to the end lets the suppressions
// (tests/lsan.supp) recognise them. Elsewhere this does nothing.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>

#include <initializer_list>

inline void KeepGlDriverLoaded() {
  for (const char* path : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "swrast_dri.so"}) {
    if (dlopen(path, RTLD_NOW | RTLD_NODELETE)) return;
  }
}
#else
inline void KeepGlDriverLoaded() {}
#endif
