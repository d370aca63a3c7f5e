#include "ui/win32/HyperlinkControl.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "ui/win32/Rects.h"

namespace ui {

namespace {

// The pointing hand, 32 by 32, hot spot on the fingertip (5, 0). Four bytes a row, top row first,
// the most significant bit leftmost; the rows below 21 are transparent (AND 1, XOR 0).
struct CursorRows {
  int first;
  int last;
  std::uint32_t andMask;
  std::uint32_t xorMask;
};
constexpr CursorRows kHandRows[] = {
    {0, 0, 0xF9FFFFFF, 0x00000000},   {1, 4, 0xF0FFFFFF, 0x06000000},
    {5, 5, 0xF03FFFFF, 0x06000000},   {6, 6, 0xF007FFFF, 0x06C00000},
    {7, 7, 0xF001FFFF, 0x06D80000},   {8, 8, 0xF000FFFF, 0x06DA0000},
    {9, 9, 0x10007FFF, 0x06DB0000},   {10, 10, 0x00007FFF, 0x67FB0000},
    {11, 11, 0x00007FFF, 0x77FF0000}, {12, 12, 0x80007FFF, 0x37FF0000},
    {13, 14, 0xC0007FFF, 0x17FF0000}, {15, 15, 0xE0007FFF, 0x0FFF0000},
    {16, 16, 0xE000FFFF, 0x0FFE0000}, {17, 18, 0xF000FFFF, 0x07FE0000},
    {19, 20, 0xF801FFFF, 0x03FC0000}, {21, 21, 0xF801FFFF, 0x00000000},
};

HCURSOR createHandCursor() {
  unsigned char andBits[32 * 4];
  unsigned char xorBits[32 * 4];
  for (int row = 0; row < 32; ++row) {
    std::uint32_t andRow = 0xFFFFFFFF;
    std::uint32_t xorRow = 0;
    for (const CursorRows& rows : kHandRows) {
      if (row >= rows.first && row <= rows.last) {
        andRow = rows.andMask;
        xorRow = rows.xorMask;
      }
    }
    for (int byte = 0; byte < 4; ++byte) {
      andBits[row * 4 + byte] = static_cast<unsigned char>(andRow >> (24 - 8 * byte));
      xorBits[row * 4 + byte] = static_cast<unsigned char>(xorRow >> (24 - 8 * byte));
    }
  }
  return CreateCursor(GetModuleHandleA(nullptr), 5, 0, 32, 32, andBits, xorBits);
}

// The static kinds that show no text: icons, rectangles, frames, owner-drawn, bitmaps, metafiles.
bool showsNoText(DWORD style) {
  const DWORD kind = style & 0xFF;
  return (kind >= 3 && kind <= 9) || (kind >= 13 && kind <= 15);
}

constexpr const char* kBrowserSettingsKey = "Software\\Microsoft\\Internet Explorer\\Settings";

void readColor(HKEY key, const char* name, std::uint32_t& color) {
  char data[kColorValueBytes] = {};
  DWORD type = 0;
  DWORD size = sizeof data;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
    return;
  }
  linkColorFromValue(type == REG_SZ || type == REG_EXPAND_SZ, data, size, color);
}

}  // namespace

bool HyperlinkControl::attach(HWND staticWindow) {
  if (!subclass(staticWindow)) return false;
  HWND control = window();

  char className[8] = {};
  GetClassNameA(control, className, sizeof className);
  if (lstrcmpiA(className, "static") == 0) {
    const DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
    SetWindowLongA(control, GWL_STYLE, static_cast<LONG>(style | SS_NOTIFY));
    if (showsNoText(style)) paintLabel_ = false;
  }

  handCursor_.reset(createHandCursor());

  if (paintLabel_) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(GetParent(control), WM_GETFONT, 0, 0));
    if (font == nullptr) font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    normalFont_ = font;
    LOGFONTA description = {};
    if (GetObjectA(font, sizeof description, &description) != 0) {
      description.lfUnderline = TRUE;
      linkFont_.reset(CreateFontIndirectA(&description));
    }
  }

  // The tooltip class lives in the common controls; registering it is harmless when done.
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  tooltip_.reset(CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, control, nullptr,
                                 GetModuleHandleA(nullptr), nullptr));

  if (label_.empty()) {
    const int length = GetWindowTextLengthA(control);
    if (length > 0) {
      std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
      const int copied = GetWindowTextA(control, text.data(), length + 1);
      label_.assign(text.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0);
      computeLinkRect();
      SetWindowTextA(control, label_.c_str());
    }
  }
  computeLinkRect();
  if (target_.empty()) target_ = label_;
  addTool();
  if (paintLabel_) readBrowserColors();
  return true;
}

void HyperlinkControl::addTool() {
  if (!tooltip_ || target_.empty()) return;
  SendMessageA(tooltip_.get(), TTM_ACTIVATE, TRUE, 0);
  TOOLINFOA tool = {};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.hwnd = window();
  tool.uId = 1;
  tool.rect = linkRect_;
  tool.lpszText = const_cast<char*>(target_.c_str());
  SendMessageA(tooltip_.get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void HyperlinkControl::readBrowserColors() {
  // Read access is all the colours need; a key the user may read but not write still counts.
  os::UniqueRegistryKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kBrowserSettingsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return;
  }
  readColor(key.get(), "Anchor Color", linkColor_);
  readColor(key.get(), "Anchor Color Visited", visitedColor_);
}

TextAlign HyperlinkControl::textAlign() const {
  return staticTextAlign(static_cast<std::uint32_t>(GetWindowLongA(window(), GWL_STYLE)));
}

UINT HyperlinkControl::drawFlags(UINT flags) const {
  switch (textAlign()) {
    case TextAlign::Center: return flags | DT_CENTER;
    case TextAlign::Right: return flags | DT_RIGHT;
    default: return flags | DT_LEFT;
  }
}

void HyperlinkControl::computeLinkRect() {
  HWND control = window();
  if (!IsWindow(control) || shownText().empty()) return;
  RECT client = {};
  GetClientRect(control, &client);
  RECT rect = client;
  if (paintLabel_) {
    os::WindowDc dc(control);
    if (!dc) return;
    os::SelectedObject font(dc.get(), linkFont_ ? linkFont_.get() : normalFont_);
    DrawTextA(dc.get(), shownText().c_str(), -1, &rect, drawFlags(DT_CALCRECT | DT_WORDBREAK));
    const Rect moved = alignedLinkRect(fromRect(rect), client.right, textAlign());
    rect = {moved.left, moved.top, moved.right, moved.bottom};
  }
  linkRect_ = rect;
}

void HyperlinkControl::paint(HDC dc) {
  HWND control = window();
  RECT client = {};
  GetClientRect(control, &client);
  HBRUSH background = reinterpret_cast<HBRUSH>(
      SendMessageA(GetParent(control), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(control)));
  if (background != nullptr) FillRect(dc, &client, background);
  const int previousMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF color = !IsWindowEnabled(control) ? GetSysColor(COLOR_GRAYTEXT)
                         : visited_                ? visitedColor_
                                                   : linkColor_;
  const COLORREF previousColor = SetTextColor(dc, color);
  {
    os::SelectedObject font(dc, linkFont_ ? linkFont_.get() : normalFont_);
    RECT text = linkRect_;
    DrawTextA(dc, shownText().c_str(), -1, &text, drawFlags(DT_WORDBREAK));
    if (GetFocus() == control) DrawFocusRect(dc, &linkRect_);
  }
  SetTextColor(dc, previousColor);
  SetBkMode(dc, previousMode);
}

void HyperlinkControl::open() {
  const HINSTANCE result =
      ShellExecuteA(nullptr, "open", target_.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) <= 32) return;
  visited_ = true;
  repaint(false);
}

void HyperlinkControl::repaint(bool now) {
  InvalidateRect(window(), nullptr, TRUE);
  if (now) UpdateWindow(window());
}

bool HyperlinkControl::inLink(LPARAM point) const {
  const POINT p = {static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
  return PtInRect(&linkRect_, p) != FALSE;
}

bool HyperlinkControl::handleMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                     LRESULT& result) noexcept {
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSEWHEEL && tooltip_) {
    MSG relayed = {};
    relayed.hwnd = control;
    relayed.message = message;
    relayed.wParam = wParam;
    relayed.lParam = lParam;
    SendMessageA(tooltip_.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
  }
  result = 0;
  switch (message) {
    case WM_MOUSEMOVE:
      if (target_.empty() || !inLink(lParam)) return false;
      SetCursor(handCursor_.get());
      return true;
    case WM_LBUTTONDOWN:
      if (inLink(lParam)) {
        SetFocus(control);
        SetCapture(control);
      }
      return true;
    case WM_LBUTTONUP:
      if (GetCapture() == control) {
        ReleaseCapture();
        if (inLink(lParam)) open();
      }
      return true;
    case WM_SETCURSOR: {
      if (target_.empty()) return false;
      POINT cursor = {};
      GetCursorPos(&cursor);
      ScreenToClient(control, &cursor);
      if (!PtInRect(&linkRect_, cursor)) return false;
      result = TRUE;
      return true;
    }
    case WM_CHAR:
      if (wParam == VK_RETURN || wParam == VK_SPACE) open();
      return true;
    case WM_GETDLGCODE:
      result = DLGC_WANTCHARS;
      return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (!paintLabel_) return false;
      repaint(false);
      return true;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      if (!paintLabel_) return false;
      if (wParam != 0) {
        paint(reinterpret_cast<HDC>(wParam));
      } else {
        os::PaintContext context(control);
        if (context) paint(context.get());
      }
      return true;
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_ENABLE:
      repaint(true);
      return true;
    case WM_SIZE:
      computeLinkRect();
      if (tooltip_) {
        TOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.hwnd = control;
        tool.uId = 1;
        tool.rect = linkRect_;
        SendMessageA(tooltip_.get(), TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
      }
      repaint(false);
      return true;
    case WM_SETFONT:
      normalFont_ = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam) != 0) repaint(true);
      return true;
    case WM_GETFONT:
      result = reinterpret_cast<LRESULT>(normalFont_);
      return true;
    case WM_UPDATEUISTATE:
      return true;
    case WM_DESTROY:
      // Owned windows may already be gone with the dialog.
      if (tooltip_ && !IsWindow(tooltip_.get())) tooltip_.release();
      tooltip_.reset();
      return false;
    default:
      return false;
  }
}

}  // namespace ui
