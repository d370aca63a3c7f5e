#include "ui/Centering.h"

namespace ui {

namespace {

std::int32_t placeAlong(std::int32_t referenceStart, std::int32_t referenceEnd, std::int32_t size,
                        std::int32_t boundStart, std::int32_t boundEnd) {
  std::int32_t start = (referenceStart + referenceEnd) / 2 - size / 2;
  if (start + size > boundEnd) start = boundEnd - size;
  if (start < boundStart) start = boundStart;
  return start;
}

}  // namespace

Point centeredPosition(const Rect& window, const Rect& reference, const Rect& bounds) {
  Point position;
  position.x = placeAlong(reference.left, reference.right, window.width(), bounds.left, bounds.right);
  position.y = placeAlong(reference.top, reference.bottom, window.height(), bounds.top, bounds.bottom);
  return position;
}

}  // namespace ui
