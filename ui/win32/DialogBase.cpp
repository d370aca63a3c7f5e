#include "ui/win32/DialogBase.h"

#include "ui/Centering.h"
#include "ui/win32/Rects.h"

namespace ui {

namespace {

bool isChild(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0; }

}  // namespace

INT_PTR DialogBase::runModal(HWND parent) {
  const LPARAM self = reinterpret_cast<LPARAM>(static_cast<WindowObject*>(this));
  if (wideText_) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent,
                           objectDialogProcedure, self);
  }
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent,
                         objectDialogProcedure, self);
}

bool DialogBase::onCommand(int) { return false; }

bool DialogBase::onMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

bool DialogBase::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                               LRESULT& result) noexcept {
  switch (message) {
    case WM_INITDIALOG:
      window_ = window;
      onInitDialog();
      result = 0;
      return true;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (onCommand(id)) return true;
      if (id == IDOK || id == IDCANCEL) {
        EndDialog(window, id);
        return true;
      }
      return false;
    }
    case WM_NCDESTROY:
      window_ = nullptr;
      return false;
    default:
      return onMessage(message, wParam, lParam, result);
  }
}

void centerOnOwner(HWND dialog, HWND centreOn) {
  const bool child = isChild(dialog);
  if (centreOn == nullptr) centreOn = child ? GetParent(dialog) : GetWindow(dialog, GW_OWNER);
  RECT window = {};
  if (!GetWindowRect(dialog, &window)) return;
  RECT bounds = {};
  RECT reference = {};
  if (!child) {
    if (centreOn != nullptr && (!IsWindowVisible(centreOn) || IsIconic(centreOn))) centreOn = nullptr;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &bounds, 0);
    reference = bounds;
    if (centreOn != nullptr) GetWindowRect(centreOn, &reference);
  } else {
    HWND parent = GetParent(dialog);
    GetClientRect(parent, &bounds);
    if (centreOn != nullptr) {
      GetClientRect(centreOn, &reference);
      MapWindowPoints(centreOn, parent, reinterpret_cast<POINT*>(&reference), 2);
    } else {
      reference = bounds;
    }
  }
  const Point position = centeredPosition(fromRect(window), fromRect(reference), fromRect(bounds));
  SetWindowPos(dialog, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void setErrorIcon(HWND dialog, int controlId) {
  SendDlgItemMessageA(dialog, controlId, STM_SETICON,
                      reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_ERROR)), 0);
}

}  // namespace ui
