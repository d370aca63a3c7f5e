#include "splash/SplashPlacement.h"

namespace splash {

ui::Rect splashRectangle(std::int32_t screenWidth, std::int32_t screenHeight, std::int32_t cx,
                         std::int32_t cy) {
  // 64-bit differences: a picture that measures near the 32-bit limit must not wrap around.
  const std::int64_t left = (static_cast<std::int64_t>(screenWidth) - cx) / 2;
  const std::int64_t top = (static_cast<std::int64_t>(screenHeight) - cy) / 2;
  ui::Rect rect;
  rect.left = static_cast<std::int32_t>(left);
  rect.top = static_cast<std::int32_t>(top);
  rect.right = static_cast<std::int32_t>(left + cx);
  rect.bottom = static_cast<std::int32_t>(top + cy);
  return rect;
}

}  // namespace splash
