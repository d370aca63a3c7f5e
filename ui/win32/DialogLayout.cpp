#include "ui/win32/DialogLayout.h"

#include "ui/win32/Rects.h"

namespace ui {

namespace {

// SBS_SIZEBOXBOTTOMRIGHTALIGN places the box in the corner of whatever rectangle it is given.
constexpr DWORD kSizeGripStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBS_SIZEBOX |
                                 SBS_SIZEGRIP | SBS_SIZEBOXBOTTOMRIGHTALIGN;

}  // namespace

bool DialogLayout::isChildDialog() const {
  return (GetWindowLongA(dialog_, GWL_STYLE) & WS_CHILD) != 0;
}

void DialogLayout::init(HWND dialog, bool addSizeGrip, bool useMinTrackSize, DWORD forcedStyle) {
  dialog_ = dialog;
  const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
  if ((style & forcedStyle) != forcedStyle) {
    SetWindowLongA(dialog, GWL_STYLE, static_cast<LONG>(style | forcedStyle));
  }
  if (!isChildDialog()) {
    const LONG extended = GetWindowLongA(dialog, GWL_EXSTYLE);
    SetWindowLongA(dialog, GWL_EXSTYLE, extended | WS_EX_DLGMODALFRAME);
    if (SendMessageA(dialog, WM_GETICON, ICON_SMALL, 0) == 0) {
      SendMessageA(dialog, WM_SETICON, ICON_SMALL, 0);
    }
  }

  // Set up again: the grip this layout made goes with the old entries.
  HWND oldGrip = GetDlgItem(dialog, kSizeGripId);
  if (oldGrip != nullptr && !entries_.empty() && (entries_.front().flags & SizeGripEntry)) {
    DestroyWindow(oldGrip);
  }
  entries_.clear();
  sizeGripPresent_ = false;
  minTrackWidth_ = -1;
  minTrackHeight_ = -1;

  RECT client = {};
  GetClientRect(dialog, &client);
  initialWidth_ = client.right;
  initialHeight_ = client.bottom;

  if (addSizeGrip && GetDlgItem(dialog, kSizeGripId) == nullptr) {
    HWND grip = CreateWindowExA(0, "SCROLLBAR", nullptr, kSizeGripStyle, 0, 0, client.right,
                                client.bottom, dialog,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSizeGripId)),
                                GetModuleHandleA(nullptr), nullptr);
    if (grip != nullptr) {
      sizeGripPresent_ = true;
      LayoutEntry entry;
      entry.controlId = kSizeGripId;
      entry.flags = MoveX | MoveY | Repaint | SizeGripEntry;
      windowRectIn(grip, dialog, entry.initial);
      entries_.push_back(entry);
    }
  }

  if (useMinTrackSize) {
    RECT size = {};
    if (isChildDialog()) {
      GetClientRect(dialog, &size);
    } else {
      GetWindowRect(dialog, &size);
    }
    minTrackWidth_ = size.right - size.left;
    minTrackHeight_ = size.bottom - size.top;
  }

  for (const LayoutRow* row = table_; row != nullptr && !isEndRow(*row); ++row) {
    LayoutEntry entry;
    entry.controlId = row->controlId;
    entry.flags = row->flags;
    // A control the dialog lacks keeps an empty rectangle and is skipped at every layout.
    windowRectIn(GetDlgItem(dialog, row->controlId), dialog, entry.initial);
    entries_.push_back(entry);
  }
}

bool DialogLayout::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (dialog_ == nullptr) return false;
  if (message == WM_GETMINMAXINFO) {
    if (minTrackWidth_ != -1 && minTrackHeight_ != -1) {
      MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize.x = minTrackWidth_;
      info->ptMinTrackSize.y = minTrackHeight_;
    }
    result = 0;
    return true;
  }
  if (message == WM_SIZE) {
    if (sizeGripPresent_) {
      HWND grip = GetDlgItem(dialog_, kSizeGripId);
      if (wParam == SIZE_MAXIMIZED) ShowWindow(grip, SW_HIDE);
      if (wParam == SIZE_RESTORED) ShowWindow(grip, SW_SHOW);
    }
    if (wParam != SIZE_MINIMIZED) {
      layOut(static_cast<std::int16_t>(LOWORD(lParam)), static_cast<std::int16_t>(HIWORD(lParam)));
    }
    result = 0;
    return true;
  }
  return false;
}

void DialogLayout::layOut(std::int32_t cx, std::int32_t cy) {
  if (isChildDialog()) {
    if (cx < minTrackWidth_) cx = minTrackWidth_;
    if (cy < minTrackHeight_) cy = minTrackHeight_;
  }
  const bool visible = IsWindowVisible(dialog_) != FALSE;
  if (visible) SendMessageA(dialog_, WM_SETREDRAW, FALSE, 0);
  for (const LayoutEntry& entry : entries_) position(entry, cx, cy);
  if (visible) SendMessageA(dialog_, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(dialog_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void DialogLayout::position(const LayoutEntry& entry, std::int32_t cx, std::int32_t cy) {
  HWND control = GetDlgItem(dialog_, entry.controlId);
  Rect current;
  if (!windowRectIn(control, dialog_, current)) return;
  const Rect target = laidOutRect(entry, current, initialWidth_, initialHeight_, cx, cy);
  if (entry.flags & Repaint) InvalidateRect(control, nullptr, TRUE);
  if (entry.flags != 0) {
    SetWindowPos(control, nullptr, target.left, target.top, target.width(), target.height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace ui
