// Version namespace of the curve-model library. Every public name lives in
// Zentho::Tessal::ZENTHO_TESSAL_LIB_VERSION_NS, an inline namespace, so that two
// incompatible builds cannot be linked into one program by accident.
#pragma once

#define ZENTHO_TESSAL_LIB_VERSION_NS v19
#define ZENTHO_TESSAL_VERSION_MAJOR 19

// Marks the classes and functions libTessal.so exports. The library is built
// with hidden visibility, so everything else stays internal to it; on ELF the
// same attribute serves the library and the programs that use it.
#if defined(__GNUC__) || defined(__clang__)
#define ZENTHO_TESSAL_EXPORT __attribute__((visibility("default")))
#else
#define ZENTHO_TESSAL_EXPORT
#endif

#define ZENTHO_TESSAL_NAMESPACE_BEGIN \
  namespace Zentho {                  \
  namespace Tessal {                  \
  inline namespace ZENTHO_TESSAL_LIB_VERSION_NS {
#define ZENTHO_TESSAL_NAMESPACE_END \
  }                                 \
  }                                 \
  }
