// The editor's colours: one table of 21 colour roles shared by every layer
// that draws, observable so that layers repaint when a host changes it, and
// per-curve overrides of the curve-part colours, stored as curve properties.
#pragma once

#include <arvelle/version.h>

#include <tessal/fcurve.h>
#include <tessal/observer.h>

#include <QColor>

#include <vector>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

class ZENTHO_ARVELLE_EXPORT ColorsObserver : public Tessal::TrackedObserver {
 public:
  ColorsObserver() = default;
  ~ColorsObserver() override;
  // After an effective change of the table.
  virtual void colorsChanged();
};

// Colour roles, by what they paint (defaults in GraphViewColors::defaultColor).
namespace ColorRole {
enum : int {
  Background = 0,             // clear colour; background side of the grid fade
  Grid = 1,                   // grid lines and axes; lightened for labels
  RubberBand = 2,             // rubber-band outline
  Unused3 = 3,
  Locked = 4,                 // locked parts, unselected
  LockedSelected = 5,         // locked parts, selected
  UnselectedInterior = 6,     // unselected curve, interior segments
  UnselectedExterior = 7,     // unselected curve, exterior segments
  Unused8 = 8,
  SelectedCurveInterior = 9,  // selected curve: unselected interior segments and keys
  SelectedCurveExterior = 10, // selected curve: unselected exterior segments
  SelectedCurveTangent = 11,  // selected curve: unselected tangent handles
  Selected = 12,              // selected segments, keys and handles
  Highlight = 13,             // the part under the pointer
  Velocity = 14,
  Acceleration = 15,
  ReadoutText = 16,           // domain slider and insertion readouts
  Unused17 = 17,
  DomainSlider = 18,
  InsertionMarker = 19,
  FocusFrame = 20,
};
}  // namespace ColorRole

class ZENTHO_ARVELLE_EXPORT GraphViewColors {
 public:
  static constexpr int cNumRoles = 21;

  // Every role at its default; no observers.
  GraphViewColors();
  // Copies the colours, never the observers.
  GraphViewColors(const GraphViewColors& other);
  // Copies and notifies once when any role differs; otherwise does nothing.
  GraphViewColors& operator=(const GraphViewColors& other);

  // A role outside 0..20 gives one shared invalid colour.
  const QColor& getColor(int role) const;
  // Ignored outside 0..20; notifies once when the colour really changes
  // (a different alpha or colour model counts).
  void setColor(int role, const QColor& color);

  // Observing does not change the colours, hence const.
  void subscribe(ColorsObserver& observer) const { mObservers.subscribe(observer); }
  void unsubscribe(ColorsObserver& observer) const { mObservers.unsubscribe(observer); }

  // The built-in default of a role; invalid outside 0..20.
  static QColor defaultColor(int role);

 private:
  friend bool operator==(const GraphViewColors& a, const GraphViewColors& b);
  void notify();

  mutable Tessal::Subject<ColorsObserver> mObservers;
  std::vector<QColor> mColors;  // exactly cNumRoles
};

ZENTHO_ARVELLE_EXPORT bool operator==(const GraphViewColors& a, const GraphViewColors& b);
ZENTHO_ARVELLE_EXPORT bool operator!=(const GraphViewColors& a, const GraphViewColors& b);

// Per-curve overrides. A property holds "r g b" (decimal, 0..255, single
// spaces); an empty value means no override. Get yields the stored colour,
// opaque, or opaque black without one; Set drops alpha.
ZENTHO_ARVELLE_EXPORT void GetUnselectedExteriorColor(const Tessal::FCurve& curve, QColor& out);
ZENTHO_ARVELLE_EXPORT void SetUnselectedExteriorColor(Tessal::FCurve& curve, const QColor& color);
ZENTHO_ARVELLE_EXPORT bool HasUnselectedExteriorColor(const Tessal::FCurve& curve);
ZENTHO_ARVELLE_EXPORT void RemoveUnselectedExteriorColor(Tessal::FCurve& curve);

ZENTHO_ARVELLE_EXPORT void GetUnselectedInteriorColor(const Tessal::FCurve& curve, QColor& out);
ZENTHO_ARVELLE_EXPORT void SetUnselectedInteriorColor(Tessal::FCurve& curve, const QColor& color);
ZENTHO_ARVELLE_EXPORT bool HasUnselectedInteriorColor(const Tessal::FCurve& curve);
ZENTHO_ARVELLE_EXPORT void RemoveUnselectedInteriorColor(Tessal::FCurve& curve);

ZENTHO_ARVELLE_EXPORT void GetSelectedExteriorColor(const Tessal::FCurve& curve, QColor& out);
ZENTHO_ARVELLE_EXPORT void SetSelectedExteriorColor(Tessal::FCurve& curve, const QColor& color);
ZENTHO_ARVELLE_EXPORT bool HasSelectedExteriorColor(const Tessal::FCurve& curve);
ZENTHO_ARVELLE_EXPORT void RemoveSelectedExteriorColor(Tessal::FCurve& curve);

ZENTHO_ARVELLE_EXPORT void GetSelectedInteriorColor(const Tessal::FCurve& curve, QColor& out);
ZENTHO_ARVELLE_EXPORT void SetSelectedInteriorColor(Tessal::FCurve& curve, const QColor& color);
ZENTHO_ARVELLE_EXPORT bool HasSelectedInteriorColor(const Tessal::FCurve& curve);
ZENTHO_ARVELLE_EXPORT void RemoveSelectedInteriorColor(Tessal::FCurve& curve);

ZENTHO_ARVELLE_EXPORT void GetSelectedTangentColor(const Tessal::FCurve& curve, QColor& out);
ZENTHO_ARVELLE_EXPORT void SetSelectedTangentColor(Tessal::FCurve& curve, const QColor& color);
ZENTHO_ARVELLE_EXPORT bool HasSelectedTangentColor(const Tessal::FCurve& curve);
ZENTHO_ARVELLE_EXPORT void RemoveSelectedTangentColor(Tessal::FCurve& curve);

// Stored and read, but the editor never draws handles of unselected curves.
ZENTHO_ARVELLE_EXPORT void GetUnselectedTangentColor(const Tessal::FCurve& curve, QColor& out);
ZENTHO_ARVELLE_EXPORT void SetUnselectedTangentColor(Tessal::FCurve& curve, const QColor& color);
ZENTHO_ARVELLE_EXPORT bool HasUnselectedTangentColor(const Tessal::FCurve& curve);
ZENTHO_ARVELLE_EXPORT void RemoveUnselectedTangentColor(Tessal::FCurve& curve);

ZENTHO_ARVELLE_NAMESPACE_END
