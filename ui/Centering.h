#ifndef UI_CENTERING_H
#define UI_CENTERING_H

// Where a dialog opens: centred on a reference rectangle (its owner, or the work area), then kept
// inside the bounding area.

#include "ui/Geometry.h"

namespace ui {

// The top-left corner for `window` (only its size counts). Each half is truncated toward zero on
// its own. A window that passes the right or bottom edge is pulled back inside; one larger than
// the area keeps its left and top edges on the area's, so its caption stays within reach.
Point centeredPosition(const Rect& window, const Rect& reference, const Rect& bounds);

}  // namespace ui

#endif
