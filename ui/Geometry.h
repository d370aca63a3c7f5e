#ifndef UI_GEOMETRY_H
#define UI_GEOMETRY_H

// Rectangles and points as the window system measures them (32-bit signed, right and bottom
// exclusive), for the arithmetic that is kept apart from the system calls.

#include <cstdint>

namespace ui {

struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  std::int32_t width() const { return right - left; }
  std::int32_t height() const { return bottom - top; }
};

inline bool operator==(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator==(const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; }

}  // namespace ui

#endif
