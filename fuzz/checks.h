// What must hold of every curve and selection after any operation, for the
// fuzz targets: a broken invariant prints what is wrong and aborts, which
// libFuzzer reports with the input that caused it.
#pragma once

#include <tessal/tessal.h>

namespace FuzzChecks {

// Keys finite, in range, each with both handles (finite, owned by the key,
// on their own side), every entry with an interpolator and its segment
// pointing back at its keys. Unless ordered is false (inside a Switch, keys
// may pass each other), keys strictly increasing at least the minimum
// separation apart and findSegment() finding each key's own entry.
void CheckCurve(const Zentho::Tessal::FCurve& curve, bool ordered = true);

// Every record the selection's walks give names a live element of a curve
// the container holds, and the walks agree with isSelected().
void CheckSelection(const Zentho::Tessal::Selection& selection);

[[noreturn]] void Fail(const char* what, const Zentho::Tessal::FCurve* curve = nullptr);

}  // namespace FuzzChecks
