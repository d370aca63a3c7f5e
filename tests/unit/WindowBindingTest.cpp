// The binding of window objects to their handles, against the real window manager (the Windows
// build of the unit tests runs under Wine). Message-only windows need no display.
#ifdef _WIN32

#include <windows.h>

#include <vector>

#include "tests/unit/Test.h"
#include "ui/win32/WindowBinding.h"

namespace {

constexpr UINT kProbe = WM_APP + 7;

// Records what it sees; answers kProbe itself and leaves everything else.
class Recorder : public ui::WindowObject {
 public:
  std::vector<UINT> seen;
  bool handleMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result) noexcept override {
    seen.push_back(message);
    if (message != kProbe) return false;
    result = 42;
    return true;
  }
};

class SubclassedRecorder : public ui::SubclassedWindow {
 public:
  std::vector<UINT> seen;
  bool attach(HWND window) { return subclass(window); }
  bool handleMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result) noexcept override {
    seen.push_back(message);
    if (message != kProbe) return false;
    result = 43;
    return true;
  }
};

bool saw(const std::vector<UINT>& seen, UINT message) {
  for (UINT m : seen) {
    if (m == message) return true;
  }
  return false;
}

}  // namespace

TEST_CASE(window_objects_are_bound_from_creation_to_destruction) {
  WNDCLASSA type = {};
  type.lpfnWndProc = ui::objectWindowProcedure;
  type.hInstance = GetModuleHandleA(nullptr);
  type.lpszClassName = "QlBindingTest";
  RegisterClassA(&type);
  Recorder recorder;
  HWND window = CreateWindowExA(0, "QlBindingTest", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), &recorder);
  CHECK(window != nullptr);
  CHECK(saw(recorder.seen, WM_NCCREATE));  // bound before the first message is routed
  CHECK_EQ(SendMessageA(window, kProbe, 0, 0), 42L);
  // What the object leaves gets the default procedure: the text is kept by it.
  CHECK(SetWindowTextA(window, "kept") != FALSE);
  char text[8] = {};
  GetWindowTextA(window, text, sizeof text);
  CHECK_EQ(std::string(text), std::string("kept"));
  DestroyWindow(window);
  CHECK(saw(recorder.seen, WM_NCDESTROY));
  CHECK_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0L);  // the handle is gone with the binding

  // A subclassed window: the object first, then the window's own procedure, which comes back.
  HWND label = CreateWindowExA(0, "STATIC", "label", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  const LONG_PTR own = GetWindowLongPtrA(label, GWLP_WNDPROC);
  {
    SubclassedRecorder subclassed;
    CHECK(subclassed.attach(label));
    CHECK(!subclassed.attach(label));  // once only
    CHECK_EQ(SendMessageA(label, kProbe, 0, 0), 43L);
    char labelText[8] = {};
    GetWindowTextA(label, labelText, sizeof labelText);
    CHECK_EQ(std::string(labelText), std::string("label"));
    CHECK(saw(subclassed.seen, WM_GETTEXT));
  }
  // The object went first: the window has its own procedure again and still works.
  CHECK_EQ(GetWindowLongPtrA(label, GWLP_WNDPROC), own);
  CHECK_EQ(SendMessageA(label, kProbe, 0, 0), 0L);
  SubclassedRecorder untilDestroyed;
  CHECK(untilDestroyed.attach(label));
  DestroyWindow(label);
  CHECK(saw(untilDestroyed.seen, WM_NCDESTROY));
  CHECK(untilDestroyed.window() == nullptr);
}

#endif
