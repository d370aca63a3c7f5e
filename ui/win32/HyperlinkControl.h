#ifndef UI_WIN32_HYPERLINKCONTROL_H
#define UI_WIN32_HYPERLINKCONTROL_H

// Turns a static text control into a hyperlink: underlined in the browser's link colour, a
// pointing hand over the text, a tooltip with the address, and a click (or Enter or Space while
// it has the focus) opens the address with the shell's "open" verb, after which the text takes
// the visited colour. Messages it does not handle go on to the static control's own procedure.

#include <windows.h>

#include <cstdint>
#include <string>

#include "os/win32/Handles.h"
#include "ui/LinkStyle.h"
#include "ui/win32/WindowBinding.h"

namespace ui {

class HyperlinkControl : public SubclassedWindow {
 public:
  HyperlinkControl() = default;
  ~HyperlinkControl() = default;

  // False, with the control left a plain text, when its window procedure cannot be replaced.
  bool attach(HWND staticWindow);

 private:
  bool handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                     LRESULT& result) noexcept override;
  void computeLinkRect();
  void paint(HDC dc);
  void open();
  void repaint(bool now);
  void readBrowserColors();
  void addTool();
  bool inLink(LPARAM point) const;
  const std::string& shownText() const { return label_.empty() ? target_ : label_; }
  TextAlign textAlign() const;
  UINT drawFlags(UINT flags) const;  // flags with the static control's alignment

  std::string label_;   // the text shown; empty: none
  std::string target_;  // what the shell opens; empty: none
  os::UniqueCursor handCursor_;
  os::UniqueFont linkFont_;      // the normal font underlined, made here
  HFONT normalFont_ = nullptr;   // the dialog's, not ours
  RECT linkRect_ = {};
  os::UniqueWindow tooltip_;
  std::uint32_t linkColor_ = kDefaultLinkColor;
  std::uint32_t visitedColor_ = kDefaultVisitedColor;
  bool paintLabel_ = true;
  bool visited_ = false;  // not stored anywhere: lost with the dialog
};

}  // namespace ui

#endif
