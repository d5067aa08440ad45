// The change-notification bracket that every command runs around a curve
// edit: observers hear "about to change" before and "changed" after, and the
// process-wide change type is back at idle when the edit is done.
#pragma once

#include <arvelle/version.h>

#include <tessal/fcurve.h>

#include <utility>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

// Code 1 and notifyChanged() on the curve; code 2 while change() runs; code 3
// and notifyChanged(); code 0. The curve is held for the whole bracket: an
// observer may drop the last other reference to it.
template <class Change>
void RunChangeBracket(Tessal::FCurve& curve, Change&& change) {
  const std::shared_ptr<Tessal::FCurve> hold = curve.sharedFromThis();
  Tessal::FCurve::setChangeType(Tessal::FCurve::AboutToChange);
  curve.notifyChanged();
  Tessal::FCurve::setChangeType(Tessal::FCurve::Changing);
  std::forward<Change>(change)();
  Tessal::FCurve::setChangeType(Tessal::FCurve::Changed);
  curve.notifyChanged();
  Tessal::FCurve::setChangeType(Tessal::FCurve::Idle);
}

ZENTHO_ARVELLE_NAMESPACE_END
