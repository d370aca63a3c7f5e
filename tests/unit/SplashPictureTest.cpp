// The splash picture against the real OLE picture services and GDI (the Windows build of the unit
// tests runs under Wine): decoding from memory and from files, the size in pixels, and the
// rendering the right way up.
#ifdef _WIN32

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "splash/win32/SplashPicture.h"
#include "tests/unit/Test.h"

namespace {

constexpr COLORREF kTopLeft = RGB(200, 10, 10);
constexpr COLORREF kTopRight = RGB(10, 200, 10);
constexpr COLORREF kBottomLeft = RGB(10, 10, 200);
constexpr COLORREF kBottomRight = RGB(220, 220, 30);

void put(std::vector<unsigned char>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// A 24-bit Windows bitmap file of width by height pixels, its four quarters in the colours above;
// its rows are stored bottom-up, as such files are.
std::vector<unsigned char> bitmapFile(int width, int height) {
  const int stride = (width * 3 + 3) & ~3;
  std::vector<unsigned char> out;
  put(out, 0x4D42, 2);
  put(out, static_cast<std::uint32_t>(54 + stride * height), 4);
  put(out, 0, 4);
  put(out, 54, 4);
  put(out, 40, 4);
  put(out, static_cast<std::uint32_t>(width), 4);
  put(out, static_cast<std::uint32_t>(height), 4);
  put(out, 1, 2);
  put(out, 24, 2);
  for (int i = 0; i < 6; ++i) put(out, 0, 4);
  for (int row = height - 1; row >= 0; --row) {
    for (int x = 0; x < width; ++x) {
      const bool top = row < height / 2;
      const COLORREF c = top ? (x < width / 2 ? kTopLeft : kTopRight)
                             : (x < width / 2 ? kBottomLeft : kBottomRight);
      out.push_back(GetBValue(c));
      out.push_back(GetGValue(c));
      out.push_back(GetRValue(c));
    }
    for (int pad = width * 3; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

// The pixel at (x, y) of a bitmap, read back as the screen format holds it.
COLORREF pixelAt(HBITMAP bitmap, int width, int height, int x, int y) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const os::WindowDc screen(nullptr);
  if (GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(), &info,
                DIB_RGB_COLORS) != height) {
    return CLR_INVALID;
  }
  const std::uint32_t p = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                 static_cast<std::size_t>(x)];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

std::string scratchFile(const char* name, const void* bytes, std::size_t count) {
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  const std::string path = std::string(folder) + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file != nullptr) {
    if (count > 0) std::fwrite(bytes, 1, count, file);
    std::fclose(file);
  }
  return path;
}

}  // namespace

TEST_CASE(bitmap_is_measured_and_rendered_the_right_way_up) {
  const os::WindowDc screen(nullptr);
  if (!screen || GetDeviceCaps(screen.get(), BITSPIXEL) < 24) SKIP("no true-colour screen");
  const std::vector<unsigned char> file = bitmapFile(6, 4);
  SplashPicture picture;
  CHECK(loadPictureBytes(file.data(), file.size(), picture));
  const SIZE size = pictureSizePixels(picture);
  CHECK_EQ(size.cx, 6L);
  CHECK_EQ(size.cy, 4L);

  os::UniqueBitmap bitmap;
  renderPictureToBitmap(picture, nullptr, bitmap);
  CHECK(bitmap.valid());
  CHECK(picture.target.right == 6 && picture.target.bottom == 4);
  const struct {
    int x, y;
    COLORREF colour;
  } rows[] = {{0, 0, kTopLeft}, {5, 0, kTopRight}, {0, 3, kBottomLeft}, {5, 3, kBottomRight}};
  for (const auto& row : rows) {
    test::setContext("pixel " + std::to_string(row.x) + "," + std::to_string(row.y));
    CHECK_EQ(static_cast<unsigned long>(pixelAt(bitmap.get(), 6, 4, row.x, row.y)),
             static_cast<unsigned long>(row.colour));
  }
  test::setContext("");

  // The same picture from a file; then bytes that decode to nothing leave the holder empty.
  SplashPicture fromFile;
  CHECK(loadPictureFile(scratchFile("ql-splash-test.bmp", file.data(), file.size()), fromFile));
  CHECK_EQ(pictureSizePixels(fromFile).cx, 6L);
  const char junk[] = "BM but no bitmap follows these bytes";
  CHECK(!loadPictureBytes(junk, sizeof junk, fromFile));
  CHECK(!fromFile.picture);
  CHECK_EQ(pictureSizePixels(fromFile).cx, 0L);
  CHECK(!renderPicture(fromFile, screen.get()));
}

TEST_CASE(picture_of_one_inch_measures_the_screens_pixels_per_inch) {
  const os::WindowDc screen(nullptr);
  if (!screen) SKIP("no screen device context");
  // An enhanced metafile carries its frame in HIMETRIC: 2540 of them are one inch.
  const RECT frame = {0, 0, 2540, 2540};
  HDC recorder = CreateEnhMetaFileA(screen.get(), nullptr, &frame, nullptr);
  CHECK(recorder != nullptr);
  Rectangle(recorder, 0, 0, 50, 50);
  HENHMETAFILE metafile = CloseEnhMetaFile(recorder);
  std::vector<unsigned char> bytes(GetEnhMetaFileBits(metafile, 0, nullptr));
  GetEnhMetaFileBits(metafile, static_cast<UINT>(bytes.size()), bytes.data());
  DeleteEnhMetaFile(metafile);
  SplashPicture picture;
  CHECK(loadPictureBytes(bytes.data(), bytes.size(), picture));
  const SIZE size = pictureSizePixels(picture);
  CHECK_EQ(size.cx, static_cast<LONG>(GetDeviceCaps(screen.get(), LOGPIXELSX)));
  CHECK_EQ(size.cy, static_cast<LONG>(GetDeviceCaps(screen.get(), LOGPIXELSY)));
}

TEST_CASE(files_that_give_no_picture) {
  SplashPicture picture;
  const std::vector<unsigned char> file = bitmapFile(2, 2);
  CHECK(loadPictureBytes(file.data(), file.size(), picture));
  struct Row {
    const char* label;
    std::string path;
  } rows[] = {
      {"empty", scratchFile("ql-splash-empty.gif", nullptr, 0)},
      {"missing", scratchFile("ql-splash-missing.jpg", nullptr, 0) + ".gone"},
      {"a folder", "C:\\windows"},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    CHECK(!loadPictureFile(row.path, picture));
    CHECK(!picture.picture);  // a failed load keeps nothing of an earlier picture
  }
  test::setContext("");
  CHECK(!loadPictureBytes(file.data(), 0, picture));
}

#endif
