#ifndef UI_WIN32_DIALOGBASE_H
#define UI_WIN32_DIALOGBASE_H

// What the launcher's dialogs share: the modal run from a template in the program's resources,
// the two ending commands, and the centring when they open.

#include <windows.h>

#include "ui/win32/WindowBinding.h"

namespace ui {

class DialogBase : public WindowObject {
 public:
  // Runs the dialog from template `templateId` of the executable. Returns the value it ended with;
  // 0 or -1 when it could not be shown.
  INT_PTR runModal(HWND parent);

  HWND window() const noexcept { return window_; }

 protected:
  // wideText: the dialog shows text outside the ANSI code page. It then runs as a UTF-16 window,
  // since an edit control made by the ANSI dialog functions keeps its text in the code page.
  explicit DialogBase(int templateId, bool wideText = false)
      : templateId_(templateId), wideText_(wideText) {}
  ~DialogBase() = default;

  // WM_INITDIALOG. The dialog answers 0, so the dialog manager leaves the keyboard focus alone.
  virtual void onInitDialog() = 0;
  // A command by control id (the notification code does not matter); true when handled.
  // Unhandled, command 1 ends the dialog with 1 and command 2 (also Escape and the close box)
  // with 2.
  virtual bool onCommand(int id);
  // Every other message, before the dialog manager's default processing.
  virtual bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  bool handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                     LRESULT& result) noexcept override;

  int templateId_;
  bool wideText_;
  HWND window_ = nullptr;
};

// Centres a dialog on centreOn, by default its parent (a child dialog) or its owner. A top-level
// dialog whose owner is missing, hidden or minimised is centred on the work area, and it always
// stays inside the work area; a child dialog stays inside its parent's client area.
void centerOnOwner(HWND dialog, HWND centreOn = nullptr);

// Puts the system's error icon (shared, never destroyed) into the dialog's icon control.
void setErrorIcon(HWND dialog, int controlId);

}  // namespace ui

#endif
