// The whole public API of the curve-model library.
#pragma once

#include <tessal/version.h>
#include <tessal/types.h>
#include <tessal/observer.h>
#include <tessal/interpolator.h>
#include <tessal/fcurve.h>
#include <tessal/container.h>
#include <tessal/selection.h>
#include <tessal/queries.h>
#include <tessal/algorithms.h>
