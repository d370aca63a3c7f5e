// The splash picture against the real OLE picture services (the Windows build of the unit tests
// runs under Wine): the HIMETRIC size measured in screen pixels, and loads that give no picture.
// Decoding BMP, JPEG and GIF files and rendering them the right way up are seen on the screen by
// the end-to-end tests.
#ifdef _WIN32

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "splash/win32/SplashPicture.h"
#include "tests/unit/Test.h"

using namespace splash;

namespace {

// An enhanced metafile one inch square: its frame is recorded in HIMETRIC, 2540 to the inch.
std::vector<unsigned char> oneInchMetafile(HDC reference) {
  const RECT frame = {0, 0, 2540, 2540};
  HDC recorder = CreateEnhMetaFileA(reference, nullptr, &frame, nullptr);
  if (recorder == nullptr) return {};
  Rectangle(recorder, 0, 0, 50, 50);
  HENHMETAFILE metafile = CloseEnhMetaFile(recorder);
  std::vector<unsigned char> bytes(GetEnhMetaFileBits(metafile, 0, nullptr));
  GetEnhMetaFileBits(metafile, static_cast<UINT>(bytes.size()), bytes.data());
  DeleteEnhMetaFile(metafile);
  return bytes;
}

std::string scratchFile(const char* name, const char* text) {
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  const std::string path = std::string(folder) + name;
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fputs(text, file);
    std::fclose(file);
  }
  return path;
}

}  // namespace

TEST_CASE(splash_picture_size_and_the_loads_that_give_none) {
  const os::WindowDc screen(nullptr);
  if (!screen) SKIP("no screen device context");
  const std::vector<unsigned char> inch = oneInchMetafile(screen.get());
  SplashPicture picture;
  CHECK(loadPictureBytes(inch.data(), inch.size(), picture));
  const SIZE size = pictureSizePixels(picture);
  CHECK_EQ(size.cx, static_cast<LONG>(GetDeviceCaps(screen.get(), LOGPIXELSX)));
  CHECK_EQ(size.cy, static_cast<LONG>(GetDeviceCaps(screen.get(), LOGPIXELSY)));

  // Each failed load leaves the holder without the picture it had.
  struct Row {
    const char* label;
    std::string path;  // empty: the bytes below instead of a file
  } rows[] = {
      {"empty file", scratchFile("ql-splash-empty.gif", "")},
      {"missing file", scratchFile("ql-splash-gone.jpg", "") + ".gone"},
      {"a folder", "C:\\windows"},
      {"bytes that decode to nothing", ""},
  };
  const char junk[] = "BM and no bitmap after it";
  for (const Row& row : rows) {
    test::setContext(row.label);
    CHECK(loadPictureBytes(inch.data(), inch.size(), picture));
    CHECK(!(row.path.empty() ? loadPictureBytes(junk, sizeof junk, picture)
                             : loadPictureFile(row.path, picture)));
    CHECK(!picture.picture);
    CHECK_EQ(pictureSizePixels(picture).cx, 0L);
    CHECK(!renderPicture(picture, screen.get()));
  }
  test::setContext("");
}

#endif
