// The scene the demo shows when no file is given: a ball dropped from a
// height, bouncing ever lower while it rolls forward and drifts sideways.
#pragma once

#include "scenefile.h"

namespace ArvelleDemo {

// Four channels ("ball.translateX", "ball.translateY", "ball.translateZ",
// "ball.rotateZ"), x in frames at 24 per second, a few dozen keys each,
// using several interpolators and tangent types.
Scene MakeSampleScene();

}  // namespace ArvelleDemo
