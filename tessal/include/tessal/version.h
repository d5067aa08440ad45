// Version namespace of the curve-model library. Every public name lives in
// Zentho::Tessal::ZENTHO_TESSAL_LIB_VERSION_NS, an inline namespace, so that two
// incompatible builds cannot be linked into one program by accident.
#pragma once

#define ZENTHO_TESSAL_LIB_VERSION_NS v19
#define ZENTHO_TESSAL_VERSION_MAJOR 19

#define ZENTHO_TESSAL_NAMESPACE_BEGIN \
  namespace Zentho {                  \
  namespace Tessal {                  \
  inline namespace ZENTHO_TESSAL_LIB_VERSION_NS {
#define ZENTHO_TESSAL_NAMESPACE_END \
  }                                 \
  }                                 \
  }
