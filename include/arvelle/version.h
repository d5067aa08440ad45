// Version namespace of the widget library. Every public name lives in
// Zentho::Arvelle::ZENTHO_ARVELLE_QT_LIB_VERSION_NS, an inline namespace, so
// that two incompatible builds cannot be linked into one program by accident.
//
// moc must not see the macro's value: the meta-object class names are part of
// the library's interface and carry the macro's name, not its expansion, while
// the compiler still resolves the namespace to v22.
#pragma once

#ifndef Q_MOC_RUN
#define ZENTHO_ARVELLE_QT_LIB_VERSION_NS v22
#endif
#define ZENTHO_ARVELLE_VERSION_MAJOR 22

// Marks the classes and functions libArvelleQt.so exports (it is built with
// hidden visibility). moc reads it as nothing, so the class names it records
// are the names alone.
#if (defined(__GNUC__) || defined(__clang__)) && !defined(Q_MOC_RUN)
#define ZENTHO_ARVELLE_EXPORT __attribute__((visibility("default")))
#else
#define ZENTHO_ARVELLE_EXPORT
#endif

// For headers without Q_OBJECT classes; headers that moc reads spell the
// namespaces out so that moc sees them.
#define ZENTHO_ARVELLE_NAMESPACE_BEGIN \
  namespace Zentho {                   \
  namespace Arvelle {                  \
  inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {
#define ZENTHO_ARVELLE_NAMESPACE_END \
  }                                  \
  }                                  \
  }

// The curve-model library's names, reachable as Tessal:: from inside ours.
#include <tessal/version.h>
