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

// Kernel objects whose "none" is null: threads, processes, mappings, mutexes, events.
struct KernelHandle {
  using Handle = HANDLE;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { CloseHandle(handle); }
};

// CreateFile reports failure as INVALID_HANDLE_VALUE, not null.
struct FileHandle {
  using Handle = HANDLE;
  static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(Handle handle) noexcept { CloseHandle(handle); }
};

struct FindHandle {
  using Handle = HANDLE;
  static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(Handle handle) noexcept { FindClose(handle); }
};

struct RegistryKey {
  using Handle = HKEY;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { RegCloseKey(handle); }
};

struct MappedView {
  using Handle = void*;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { UnmapViewOfFile(handle); }
};

// Fonts, bitmaps, brushes: every GDI object that DeleteObject frees.
template <typename T>
struct GdiObject {
  using Handle = T;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { DeleteObject(handle); }
};

struct MemoryDc {
  using Handle = HDC;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { DeleteDC(handle); }
};

// A cursor made by CreateCursor; one from LoadCursor is shared and never destroyed.
struct CreatedCursor {
  using Handle = HCURSOR;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { DestroyCursor(handle); }
};

struct CreatedIcon {
  using Handle = HICON;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { DestroyIcon(handle); }
};

// Only for windows the owner's own thread destroys.
struct Window {
  using Handle = HWND;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { DestroyWindow(handle); }
};

struct GlobalMemory {
  using Handle = HGLOBAL;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { GlobalFree(handle); }
};

// Memory the shell hands out, such as the item id list of SHBrowseForFolder.
template <typename T>
struct TaskMemory {
  using Handle = T*;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { CoTaskMemFree(handle); }
};

}  // namespace traits

using UniqueHandle = UniqueResource<traits::KernelHandle>;
using UniqueFileHandle = UniqueResource<traits::FileHandle>;
using UniqueFindHandle = UniqueResource<traits::FindHandle>;
using UniqueRegistryKey = UniqueResource<traits::RegistryKey>;
using UniqueMappedView = UniqueResource<traits::MappedView>;
using UniqueFont = UniqueResource<traits::GdiObject<HFONT>>;
using UniqueBitmap = UniqueResource<traits::GdiObject<HBITMAP>>;
using UniqueBrush = UniqueResource<traits::GdiObject<HBRUSH>>;
using UniqueMemoryDc = UniqueResource<traits::MemoryDc>;
using UniqueCursor = UniqueResource<traits::CreatedCursor>;
using UniqueIcon = UniqueResource<traits::CreatedIcon>;
using UniqueWindow = UniqueResource<traits::Window>;
using UniqueGlobalMemory = UniqueResource<traits::GlobalMemory>;
template <typename T>
using UniqueTaskMemory = UniqueResource<traits::TaskMemory<T>>;

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
