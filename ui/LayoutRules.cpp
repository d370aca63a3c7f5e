#include "ui/LayoutRules.h"

namespace ui {

Rect laidOutRect(const LayoutEntry& entry, const Rect& current, std::int32_t initialWidth,
                 std::int32_t initialHeight, std::int32_t cx, std::int32_t cy) {
  Rect result = current;
  const Rect& r0 = entry.initial;
  if (entry.flags & (SizeX | MoveX)) {
    result.right = r0.right + (cx - initialWidth);
    if (entry.flags & MoveX) result.left = result.right - r0.width();
  }
  if (entry.flags & (SizeY | MoveY)) {
    result.bottom = r0.bottom + (cy - initialHeight);
    if (entry.flags & MoveY) result.top = result.bottom - r0.height();
  }
  return result;
}

}  // namespace ui
