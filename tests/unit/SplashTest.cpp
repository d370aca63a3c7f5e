// The splash's pure arithmetic: where the own window goes, and where the runtime's splash library
// is looked for.

#include <cstdint>
#include <string>

#include "splash/NativeSplash.h"
#include "splash/SplashPlacement.h"
#include "tests/unit/Test.h"

using namespace splash;

namespace test {
std::string show(const ui::Rect& r);  // DialogGeometryTest.cpp
}  // namespace test

TEST_CASE(splash_is_centred_on_the_whole_screen) {
  struct Row {
    const char* label;
    std::int32_t screenWidth, screenHeight, cx, cy;
    ui::Rect expected;
  };
  const Row rows[] = {
      {"odd picture width: the offset truncates", 1024, 768, 301, 150, {361, 309, 662, 459}},
      {"exactly the screen", 1024, 768, 1024, 768, {0, 0, 1024, 768}},
      {"larger than the screen: negative offsets, truncated toward zero", 1024, 768, 1101, 801,
       {-38, -16, 1063, 785}},
      {"no picture: no size, at the centre", 1024, 768, 0, 0, {512, 384, 512, 384}},
      {"odd screen", 1023, 767, 100, 100, {461, 333, 561, 433}},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    CHECK_EQ(splash::splashRectangle(row.screenWidth, row.screenHeight, row.cx, row.cy),
             row.expected);
  }
  test::setContext("");
}

TEST_CASE(splash_library_lies_two_components_above_the_vm_library) {
  struct Row {
    const char* vmLibrary;
    char separator;
    const char* libraryName;
    const char* expected;
  };
  const Row rows[] = {
      {"C:\\Java\\jre\\bin\\client\\jvm.dll", '\\', "splashscreen.dll",
       "C:\\Java\\jre\\bin\\splashscreen.dll"},
      // The second removal finds no separator and keeps the drive.
      {"D:\\jvm.dll", '\\', "splashscreen.dll", "D:\\splashscreen.dll"},
      {"\\jvm.dll", '\\', "splashscreen.dll", ""},
      {"", '\\', "splashscreen.dll", ""},
      // What is left ends in a slash: nothing appended.
      {"E:\\rt/\\client\\jvm.dll", '\\', "splashscreen.dll", "E:\\rt/splashscreen.dll"},
      {"/usr/lib/jvm/java-17/lib/server/libjvm.so", '/', "libsplashscreen.so",
       "/usr/lib/jvm/java-17/lib/libsplashscreen.so"},
      {"/server/libjvm.so", '/', "libsplashscreen.so", ""},
  };
  for (const Row& row : rows) {
    test::setContext(row.vmLibrary);
    CHECK_EQ(splash::nativeSplashLibraryPath(row.vmLibrary, row.separator, row.libraryName),
             std::string(row.expected));
  }
  test::setContext("");
}
