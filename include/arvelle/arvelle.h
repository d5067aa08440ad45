// The whole public API of the widget library.
#pragma once

#include <arvelle/version.h>
#include <arvelle/viewport.h>
#include <arvelle/snapsettings.h>
#include <arvelle/layer.h>
#include <arvelle/glhelpers.h>
#include <arvelle/graphviewcolors.h>
#include <arvelle/domainslider.h>
#include <arvelle/dragconstraint.h>
#include <arvelle/undostack.h>
#include <arvelle/graphwidget.h>
