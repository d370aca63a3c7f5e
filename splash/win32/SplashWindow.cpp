// The launcher's own splash window and its thread. The thread registers the window class, makes
// the window from the picture, shows it, runs its message loop until the quit message and then
// destroys the window; the object outlives the window and is deleted by closeSplashWindow.

#include "splash/SplashWindow.h"

#include <windows.h>

#include <new>
#include <string>

#include "base/ErrorReport.h"
#include "base/Trace.h"
#include "os/win32/Handles.h"
#include "splash/SplashPlacement.h"
#include "splash/SplashPlatform.h"
#include "splash/win32/SplashPicture.h"
#include "ui/win32/WindowBinding.h"

namespace splash {

namespace {

constexpr const char* kClassName = "SplashScreenWindow";
constexpr UINT kClassStyle = CS_DBLCLKS | CS_SAVEBITS | CS_DROPSHADOW;
static_assert(kClassStyle == 0x00020808, "the splash class style");

}  // namespace

struct SplashWindow::Native final : ui::WindowObject {
  HWND window = nullptr;  // written by the splash thread; the thread destroys the window itself
  os::UniqueBitmap bitmap;  // the picture as rendered once, copied to the screen on every paint

  bool handleMessage(HWND handle, UINT message, WPARAM, LPARAM, LRESULT& result) noexcept override {
    switch (message) {
      case WM_PAINT:
        paint(handle);
        result = 0;
        return true;
      case WM_ERASEBKGND:
        // The bitmap covers the whole window: erasing first would only flicker.
        result = 1;
        return true;
      default:
        return false;
    }
  }

  void paint(HWND handle) noexcept {
    const os::PaintContext paint(handle);
    BITMAP size = {};
    if (!paint || !bitmap || GetObjectA(bitmap.get(), sizeof size, &size) == 0) return;
    const os::UniqueMemoryDc memory(CreateCompatibleDC(paint.get()));
    const os::SelectedObject selected(memory.get(), bitmap.get());
    if (!selected.selected()) return;
    BitBlt(paint.get(), 0, 0, size.bmWidth, size.bmHeight, memory.get(), 0, 0, SRCCOPY);
  }
};

SplashWindow::SplashWindow(std::unique_ptr<Native> native) : native_(std::move(native)) {}

SplashWindow::~SplashWindow() = default;

std::unique_ptr<SplashWindow> SplashWindow::create() {
  std::unique_ptr<Native> native(new (std::nothrow) Native);
  if (!native) return nullptr;
  return std::unique_ptr<SplashWindow>(new (std::nothrow) SplashWindow(std::move(native)));
}

namespace {

// Once per process; a class left by an earlier request is used as it is. A system that refuses the
// shadow bit gets the class without it.
bool registerSplashClass(HINSTANCE instance, bool shadow) {
  WNDCLASSA windowClass = {};
  windowClass.style = shadow ? kClassStyle : kClassStyle & ~static_cast<UINT>(CS_DROPSHADOW);
  windowClass.lpfnWndProc = ui::objectWindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  windowClass.lpszClassName = kClassName;
  if (RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return true;
  if ((windowClass.style & CS_DROPSHADOW) == 0) return false;
  trace("splash window: class refused with the shadow (%lu); registered without it",
        GetLastError());
  windowClass.style &= ~static_cast<UINT>(CS_DROPSHADOW);
  return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The window for the picture at imagePath, hidden, with the picture rendered into the object's
// bitmap. A picture that cannot be had gives a window of no size at the screen's centre; null when
// the class or the window cannot be made.
HWND createSplashWindow(SplashWindow::Native& native, const std::string& imagePath, bool shadow) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!registerSplashClass(instance, shadow)) {
    trace("splash window: class not registered: %lu", GetLastError());
    return nullptr;
  }
  SplashPicture picture;
  if (!loadPictureFile(imagePath, picture)) {
    trace("splash window: picture [%s] not loaded", imagePath.c_str());
  }
  const SIZE size = pictureSizePixels(picture);
  const ui::Rect place = splash::splashRectangle(GetSystemMetrics(SM_CXSCREEN),
                                                 GetSystemMetrics(SM_CYSCREEN), size.cx, size.cy);
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, nullptr, WS_POPUP, place.left,
                                place.top, place.width(), place.height(), nullptr, nullptr, instance,
                                static_cast<ui::WindowObject*>(&native));
  if (window == nullptr) {
    trace("splash window: not created: %lu", GetLastError());
    return nullptr;
  }
  native.window = window;
  renderPictureToBitmap(picture, window, native.bitmap);
  trace("splash window: %ldx%ld at (%d, %d)%s", static_cast<long>(size.cx),
        static_cast<long>(size.cy), static_cast<int>(place.left), static_cast<int>(place.top),
        shadow ? " with a shadow" : "");
  return window;
}

unsigned long splashThreadMain(void* parameter) {
  SplashState& state = *static_cast<SplashState*>(parameter);
  SplashWindow::Native& native = state.window->native();
  // Exactly "true": "True" and "yes" give no shadow.
  const bool shadow = state.shadow == "true";
  HWND window = createSplashWindow(native, state.image, shadow);
  // From here the launcher's error boxes are owned by the splash, and so shown above it.
  base::setErrorOwner(window);
  if (window != nullptr) {
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
  }
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  // A box owned by a destroyed window would not show at all: later boxes have no owner.
  base::setErrorOwner(nullptr);
  if (window != nullptr) DestroyWindow(window);
  native.window = nullptr;
  return 0;
}

}  // namespace

bool startSplashWindow(SplashState& state) {
  state.window = SplashWindow::create();
  if (!state.window) return false;
  if (!state.thread.start(0, splashThreadMain, &state)) {
    state.window.reset();
    return false;
  }
  trace("splash: own window, thread %u", static_cast<unsigned>(state.thread.id()));
  return true;
}

}  // namespace splash
