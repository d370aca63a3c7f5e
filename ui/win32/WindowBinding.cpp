#include "ui/win32/WindowBinding.h"

namespace ui {

namespace {

// The subclassed window's own user data stays its class's to use; our object rides in a property.
constexpr const char* kObjectProperty = "QlLauncher.WindowObject";

}  // namespace

LRESULT CALLBACK objectWindowProcedure(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  WindowObject* object = reinterpret_cast<WindowObject*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  LRESULT result = 0;
  const bool handled = object != nullptr && object->handleMessage(window, message, wParam, lParam, result);
  if (message == WM_NCDESTROY) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  return handled ? result : DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR CALLBACK objectDialogProcedure(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(window, DWLP_USER, lParam);
  WindowObject* object = reinterpret_cast<WindowObject*>(GetWindowLongPtrA(window, DWLP_USER));
  LRESULT result = 0;
  const bool handled = object != nullptr && object->handleMessage(window, message, wParam, lParam, result);
  if (message == WM_NCDESTROY) SetWindowLongPtrA(window, DWLP_USER, 0);
  if (message == WM_INITDIALOG) return handled ? static_cast<INT_PTR>(result) : TRUE;
  if (!handled) return FALSE;
  SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
  return TRUE;
}

SubclassedWindow::~SubclassedWindow() { unsubclass(); }

bool SubclassedWindow::subclass(HWND window) noexcept {
  if (window == nullptr || window_ != nullptr) return false;
  if (!SetPropA(window, kObjectProperty, static_cast<HANDLE>(this))) return false;
  SetLastError(0);
  const LONG_PTR previous = SetWindowLongPtrA(window, GWLP_WNDPROC,
                                              reinterpret_cast<LONG_PTR>(&SubclassedWindow::procedure));
  if (previous == 0 && GetLastError() != 0) {
    RemovePropA(window, kObjectProperty);
    return false;
  }
  window_ = window;
  previous_ = reinterpret_cast<WNDPROC>(previous);
  return true;
}

void SubclassedWindow::unsubclass() noexcept {
  if (window_ == nullptr) return;
  SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
  RemovePropA(window_, kObjectProperty);
  window_ = nullptr;
}

LRESULT SubclassedWindow::callPrevious(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  return CallWindowProcA(previous_, window_, message, wParam, lParam);
}

LRESULT CALLBACK SubclassedWindow::procedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) noexcept {
  SubclassedWindow* object = static_cast<SubclassedWindow*>(GetPropA(window, kObjectProperty));
  if (object == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  LRESULT result = 0;
  const bool handled = object->handleMessage(window, message, wParam, lParam, result);
  if (message == WM_NCDESTROY) {
    // The last message: the window's own procedure takes over again to finish its clean-up.
    const WNDPROC previous = object->previous_;
    object->unsubclass();
    return CallWindowProcA(previous, window, message, wParam, lParam);
  }
  return handled ? result : object->callPrevious(message, wParam, lParam);
}

}  // namespace ui
