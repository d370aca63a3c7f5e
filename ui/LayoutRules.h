#ifndef UI_LAYOUTRULES_H
#define UI_LAYOUTRULES_H

// How the controls of a resizable dialog follow its size: one row per control names the control
// and what it does when the dialog grows or shrinks.

#include <cstdint>

#include "ui/Geometry.h"

namespace ui {

enum LayoutFlag : std::uint32_t {
  SizeX = 0x0001,          // the right edge follows the change in width
  SizeY = 0x0002,          // the bottom edge follows the change in height
  MoveX = 0x0004,          // moves by the change in width, keeping its width
  MoveY = 0x0008,          // moves by the change in height, keeping its height
  Repaint = 0x0010,        // invalidated (with erasing) before it moves
  SizeGripEntry = 0x4000,  // the size grip the layout made itself
};

// The control id of the size grip in the bottom-right corner.
constexpr std::int32_t kSizeGripId = 59393;

// A row of a dialog's layout table; a table ends with the row {-1, 0}.
struct LayoutRow {
  std::int32_t controlId;
  std::uint32_t flags;
};

inline bool isEndRow(const LayoutRow& row) { return row.controlId == -1 && row.flags == 0; }

struct LayoutEntry {
  std::int32_t controlId = 0;
  std::uint32_t flags = 0;
  Rect initial;  // in the dialog's client coordinates when the layout was set up
};

// The control's rectangle for the client size cx by cy, from its initial rectangle and the initial
// client size, never from the previous layout; an edge that no flag moves stays where `current`
// has it.
Rect laidOutRect(const LayoutEntry& entry, const Rect& current, std::int32_t initialWidth,
                 std::int32_t initialHeight, std::int32_t cx, std::int32_t cy);

}  // namespace ui

#endif
