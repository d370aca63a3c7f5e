#ifndef UI_WIN32_RECTS_H
#define UI_WIN32_RECTS_H

// The system's RECT and the portable rectangle the arithmetic works on.

#include <windows.h>

#include "ui/Geometry.h"

namespace ui {

inline Rect fromRect(const RECT& r) {
  Rect result;
  result.left = r.left;
  result.top = r.top;
  result.right = r.right;
  result.bottom = r.bottom;
  return result;
}

// The window rectangle of `window` in the client coordinates of `owner`; false when it cannot be
// read.
inline bool windowRectIn(HWND window, HWND owner, Rect& rect) {
  RECT r = {};
  if (window == nullptr || !GetWindowRect(window, &r)) return false;
  MapWindowPoints(nullptr, owner, reinterpret_cast<POINT*>(&r), 2);
  rect = fromRect(r);
  return true;
}

}  // namespace ui

#endif
