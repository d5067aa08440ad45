// Whole-curve operations that rewrite a curve in place. Each refuses bad
// input (non-finite arguments, non-positive steps, results of more than
// cMaxGeneratedKeys keys, scales that would squeeze keys closer than the
// minimum separation) by returning false and leaving the curve unchanged.
#pragma once

#include <tessal/fcurve.h>

ZENTHO_TESSAL_NAMESPACE_BEGIN

// Upper bound on the keys one bake or smooth may create: beyond it a slip of
// the step field would freeze the editor and exhaust memory.
constexpr std::size_t cMaxGeneratedKeys = 1000000;

enum SmoothFilter { BoxFilter = 0, TriangleFilter = 1 };
enum FlipType { FlipHorizontal = 0, FlipVertical = 1, FlipBoth = 2 };

// Replaces the keys strictly inside (x0, x1) by keys every step from x0, each
// with the original value and slope as a Fixed, unified, non-weighted handle
// pair, on "bezier()" segments.
ZENTHO_TESSAL_EXPORT bool BakeCurve(FCurve& curve, double x0, double x1, double step);
// BakeCurve over the first to the last key.
ZENTHO_TESSAL_EXPORT bool BakeInterior(FCurve& curve, double step);

// Samples every step over [x0, x1], filters the samples with a box (equal
// weights over 2 radius + 1 samples) or triangle (weights radius + 1 - |i|)
// kernel, ends clamped; the keys at the span's ends keep their values, the
// inner keys are replaced by the smoothed samples with Clamped handles.
ZENTHO_TESSAL_EXPORT bool SmoothCurve(FCurve& curve, double x0, double x1, double step, int radius,
                                      int filter);
ZENTHO_TESSAL_EXPORT bool SmoothCurveInterior(FCurve& curve, double step, int radius, int filter);

// Horizontal: x about cx (key order reverses, in and out handles exchange,
// segments keep their interpolators and properties with their spans, the
// exterior segments exchange ends); vertical: y about cy; both. The curve is
// edited in place: every key, handle and segment keeps its identity (a
// selected in-handle that becomes an out-handle stays selected) and every
// pointer to it stays valid.
ZENTHO_TESSAL_EXPORT bool FlipCurve(FCurve& curve, int type, double cx, double cy);

// x' = sx x + tx, y' = sy y + ty, handles scaled; a negative x scale reverses
// the curve as a horizontal flip does, keeping identities the same way.
// Refused (false, no change) when a key or a Fixed handle would leave the
// accepted range.
ZENTHO_TESSAL_EXPORT bool TransformCurve(FCurve& curve, const Vector2D<double>& scale,
                                         const Vector2D<double>& translation);

ZENTHO_TESSAL_NAMESPACE_END
