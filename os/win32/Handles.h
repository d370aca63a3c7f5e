#ifndef OS_WIN32_HANDLES_H
#define OS_WIN32_HANDLES_H

// Owners of the Windows handles the launcher takes: one type per kind, its "none" value part of
// the type. Shared handles from LoadCursor, LoadIcon and GetStockObject belong to the system and
// are never put into one of these.

#include <windows.h>
#include <objbase.h>

#include "os/UniqueResource.h"

namespace os {

namespace traits {

// A handle kind whose "none" is null and which the system function Close gives back.
template <typename H, auto Close>
struct NullIsNone {
  using Handle = H;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { Close(handle); }
};

// CreateFile and FindFirstFile report failure as INVALID_HANDLE_VALUE, not null.
template <auto Close>
struct InvalidValueIsNone {
  using Handle = HANDLE;
  static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(Handle handle) noexcept { Close(handle); }
};

inline void deleteGdiObject(HGDIOBJ object) noexcept { DeleteObject(object); }
inline void freeTaskMemory(void* memory) noexcept { CoTaskMemFree(memory); }

}  // namespace traits

// Kernel objects whose "none" is null: threads, processes, mappings, mutexes, events.
using UniqueHandle = UniqueResource<traits::NullIsNone<HANDLE, &CloseHandle>>;
using UniqueFileHandle = UniqueResource<traits::InvalidValueIsNone<&CloseHandle>>;
using UniqueFindHandle = UniqueResource<traits::InvalidValueIsNone<&FindClose>>;
using UniqueRegistryKey = UniqueResource<traits::NullIsNone<HKEY, &RegCloseKey>>;
using UniqueMappedView = UniqueResource<traits::NullIsNone<void*, &UnmapViewOfFile>>;
// Fonts, bitmaps, brushes: every GDI object that DeleteObject frees.
using UniqueFont = UniqueResource<traits::NullIsNone<HFONT, &traits::deleteGdiObject>>;
using UniqueBitmap = UniqueResource<traits::NullIsNone<HBITMAP, &traits::deleteGdiObject>>;
using UniqueBrush = UniqueResource<traits::NullIsNone<HBRUSH, &traits::deleteGdiObject>>;
using UniqueMemoryDc = UniqueResource<traits::NullIsNone<HDC, &DeleteDC>>;
// A cursor or icon made by CreateCursor/CreateIconIndirect; LoadCursor's and LoadIcon's are shared
// and never destroyed.
using UniqueCursor = UniqueResource<traits::NullIsNone<HCURSOR, &DestroyCursor>>;
using UniqueIcon = UniqueResource<traits::NullIsNone<HICON, &DestroyIcon>>;
// Only for windows the owner's own thread destroys.
using UniqueWindow = UniqueResource<traits::NullIsNone<HWND, &DestroyWindow>>;
using UniqueGlobalMemory = UniqueResource<traits::NullIsNone<HGLOBAL, &GlobalFree>>;
// Memory the shell hands out, such as the item id list of SHBrowseForFolder.
template <typename T>
using UniqueTaskMemory = UniqueResource<traits::NullIsNone<T*, &traits::freeTaskMemory>>;

// The device context of a window (GetDC), released with that window (ReleaseDC).
class WindowDc {
 public:
  explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint to EndPaint.
class PaintContext {
 public:
  explicit PaintContext(HWND window) noexcept : window_(window), paint_(), dc_(BeginPaint(window, &paint_)) {}
  ~PaintContext() {
    if (dc_ != nullptr) EndPaint(window_, &paint_);
  }
  PaintContext(const PaintContext&) = delete;
  PaintContext& operator=(const PaintContext&) = delete;
  HDC get() const noexcept { return dc_; }
  const PAINTSTRUCT& paint() const noexcept { return paint_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  HWND window_;
  PAINTSTRUCT paint_;
  HDC dc_;
};

// Selects an object into a device context and puts the previous one back when it goes.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) noexcept
      : dc_(dc), previous_(dc != nullptr && object != nullptr ? SelectObject(dc, object) : nullptr) {}
  ~SelectedObject() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  bool selected() const noexcept { return previous_ != nullptr && previous_ != HGDI_ERROR; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// One reference to a COM object (IStream, IPicture), released when it goes.
template <typename T>
class ComRef {
 public:
  ComRef() noexcept = default;
  explicit ComRef(T* object) noexcept : object_(object) {}
  ~ComRef() { reset(); }
  ComRef(ComRef&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      reset();
      object_ = other.object_;
      other.object_ = nullptr;
    }
    return *this;
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;

  T* get() const noexcept { return object_; }
  T* operator->() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  void reset() noexcept {
    if (object_ != nullptr) object_->Release();
    object_ = nullptr;
  }
  // For calls that hand a new reference back through a pointer.
  T** put() noexcept {
    reset();
    return &object_;
  }
  void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }

 private:
  T* object_ = nullptr;
};

}  // namespace os

#endif
