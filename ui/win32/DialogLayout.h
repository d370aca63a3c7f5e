#ifndef UI_WIN32_DIALOGLAYOUT_H
#define UI_WIN32_DIALOGLAYOUT_H

// The resize layout of a dialog: its controls follow the dialog's size by a fixed table, a size
// grip sits in the bottom-right corner, and the dialog cannot be made smaller than it opened.

#include <windows.h>

#include <vector>

#include "ui/LayoutRules.h"

namespace ui {

class DialogLayout {
 public:
  // table: the dialog's rows, ending with {-1, 0}; it must outlive the layout.
  explicit DialogLayout(const LayoutRow* table) : table_(table) {}

  // At the end of the dialog's WM_INITDIALOG, after centring: takes the controls' initial
  // rectangles, optionally adds the size grip and the opening size as the smallest size, and
  // forces forcedStyle onto the dialog.
  void init(HWND dialog, bool addSizeGrip, bool useMinTrackSize, DWORD forcedStyle);

  // Gets the first look at each of the dialog's messages: WM_SIZE and WM_GETMINMAXINFO are
  // handled (answer 0), everything else is left.
  bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  void layOut(std::int32_t cx, std::int32_t cy);
  void position(const LayoutEntry& entry, std::int32_t cx, std::int32_t cy);
  bool isChildDialog() const;

  const LayoutRow* table_;
  HWND dialog_ = nullptr;
  std::vector<LayoutEntry> entries_;
  std::int32_t initialWidth_ = 0;
  std::int32_t initialHeight_ = 0;
  std::int32_t minTrackWidth_ = -1;
  std::int32_t minTrackHeight_ = -1;
  bool sizeGripPresent_ = false;
};

}  // namespace ui

#endif
