#ifndef SPLASH_SPLASHPLACEMENT_H
#define SPLASH_SPLASHPLACEMENT_H

// Where the launcher's own splash window goes: centred on the whole primary screen, not its work
// area, so the picture sits where the eye expects it whatever the task bar does.

#include <cstdint>

#include "ui/Geometry.h"

namespace splash {

// The window rectangle of a picture of cx by cy pixels on a screen of screenWidth by screenHeight.
// Each offset is truncated toward zero; a picture larger than the screen gets a negative left or
// top and stays centred, its edges off the screen.
ui::Rect splashRectangle(std::int32_t screenWidth, std::int32_t screenHeight, std::int32_t cx,
                         std::int32_t cy);

}  // namespace splash

#endif
