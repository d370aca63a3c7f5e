#include "splash/win32/SplashPicture.h"

#include <climits>
#include <cstring>
#include <memory>
#include <new>

namespace splash {

namespace {

constexpr int kHimetricPerInch = 2540;

bool himetricSize(const SplashPicture& picture, OLE_XSIZE_HIMETRIC& width,
                  OLE_YSIZE_HIMETRIC& height) {
  width = 0;
  height = 0;
  return picture.picture && SUCCEEDED(picture.picture->get_Width(&width)) &&
         SUCCEEDED(picture.picture->get_Height(&height));
}

}  // namespace

bool loadPictureFile(const std::string& path, SplashPicture& picture) {
  picture.picture.reset();
  const os::UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const DWORD size = GetFileSize(file.get(), nullptr);
  if (size == 0 || size == INVALID_FILE_SIZE) return false;
  const std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[size]);
  if (!bytes) return false;
  DWORD read = 0;
  if (!ReadFile(file.get(), bytes.get(), size, &read, nullptr) || read == 0) return false;
  return loadPictureBytes(bytes.get(), read, picture);
}

bool loadPictureBytes(const void* bytes, std::size_t count, SplashPicture& picture) {
  picture.picture.reset();
  // The decoder takes the size as a LONG.
  if (count == 0 || count > static_cast<std::size_t>(LONG_MAX)) return false;
  os::UniqueGlobalMemory block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, count));
  if (!block) return false;
  void* copy = GlobalLock(block.get());
  if (copy == nullptr) return false;
  std::memcpy(copy, bytes, count);
  GlobalUnlock(block.get());
  os::ComRef<IStream> stream;
  if (CreateStreamOnHGlobal(block.get(), TRUE, stream.put()) != S_OK) return false;
  block.release();  // the stream frees it when it goes
  const HRESULT result = OleLoadPicture(stream.get(), static_cast<LONG>(count), FALSE, IID_IPicture,
                                        picture.picture.putVoid());
  if (result == S_OK) return true;
  picture.picture.reset();
  return false;
}

SIZE pictureSizePixels(const SplashPicture& picture) {
  SIZE size = {0, 0};
  OLE_XSIZE_HIMETRIC width;
  OLE_YSIZE_HIMETRIC height;
  if (!himetricSize(picture, width, height)) return size;
  const os::WindowDc screen(nullptr);
  if (!screen) return size;
  // MulDiv rounds to the nearest pixel; a size it cannot hold (-1) counts as none.
  size.cx = MulDiv(width, GetDeviceCaps(screen.get(), LOGPIXELSX), kHimetricPerInch);
  size.cy = MulDiv(height, GetDeviceCaps(screen.get(), LOGPIXELSY), kHimetricPerInch);
  if (size.cx < 0 || size.cy < 0) size = SIZE{0, 0};
  return size;
}

void renderPictureToBitmap(SplashPicture& picture, HWND window, os::UniqueBitmap& destination) {
  const os::WindowDc windowDc(window);
  const os::UniqueMemoryDc memory(CreateCompatibleDC(windowDc.get()));
  const SIZE size = pictureSizePixels(picture);
  picture.target = RECT{0, 0, size.cx, size.cy};
  destination.reset(CreateCompatibleBitmap(windowDc.get(), size.cx, size.cy));
  if (!memory || !destination) return;
  const os::SelectedObject selected(memory.get(), destination.get());
  if (selected.selected()) renderPicture(picture, memory.get());
}

bool renderPicture(SplashPicture& picture, HDC dc) {
  OLE_XSIZE_HIMETRIC width;
  OLE_YSIZE_HIMETRIC height;
  if (!himetricSize(picture, width, height)) return false;
  RECT target = picture.target;
  if (target.left == 0 && target.top == 0 && target.right == 0 && target.bottom == 0) {
    const SIZE size = pictureSizePixels(picture);
    target = RECT{0, 0, size.cx, size.cy};
  }
  // The source is HIMETRIC space, whose y axis runs upward: starting at the picture's height with a
  // negative height draws it the right way up.
  return picture.picture->Render(dc, target.left, target.top, target.right - target.left,
                                 target.bottom - target.top, 0, height, width, -height,
                                 nullptr) == S_OK;
}

}  // namespace splash
