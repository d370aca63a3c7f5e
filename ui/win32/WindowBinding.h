#ifndef UI_WIN32_WINDOWBINDING_H
#define UI_WIN32_WINDOWBINDING_H

// The windows the launcher implements itself are objects bound to their window handles. Each
// object sees every message first, through one handler, and says whether it handled it; what it
// leaves goes on to the default window procedure, the dialog manager or the subclassed window's
// previous procedure. The binding never owns the handle: the window may be destroyed on one
// thread while its object is deleted on another, and unbinding at WM_NCDESTROY keeps the two
// apart.

#include <windows.h>

namespace ui {

class WindowObject {
 public:
  // True when the object handled the message; result is then the message's answer.
  virtual bool handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                             LRESULT& result) noexcept = 0;

 protected:
  WindowObject() = default;
  ~WindowObject() = default;
  WindowObject(const WindowObject&) = delete;
  WindowObject& operator=(const WindowObject&) = delete;
};

// The window procedure of a class whose windows are objects: CreateWindowExA is given the object
// as lpCreateParams; it is bound at WM_NCCREATE and unbound at WM_NCDESTROY.
LRESULT CALLBACK objectWindowProcedure(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;

// The dialog procedure of a dialog object: DialogBoxParamA is given the object as its parameter;
// it is bound at WM_INITDIALOG, whose answer is returned as it stands, and unbound at
// WM_NCDESTROY. Other answers go through DWLP_MSGRESULT; unhandled messages get FALSE, the dialog
// manager's default processing.
INT_PTR CALLBACK objectDialogProcedure(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;

// An existing window of another class whose procedure is replaced, so that the object sees its
// messages first. The previous procedure is called for everything the object leaves and is put
// back when the window is destroyed (or when the object goes first).
class SubclassedWindow : public WindowObject {
 public:
  HWND window() const noexcept { return window_; }

 protected:
  SubclassedWindow() = default;
  ~SubclassedWindow();

  // False when the window procedure cannot be replaced.
  bool subclass(HWND window) noexcept;
  LRESULT callPrevious(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam,
                                    LPARAM lParam) noexcept;
  void unsubclass() noexcept;

  HWND window_ = nullptr;
  WNDPROC previous_ = nullptr;
};

}  // namespace ui

#endif
