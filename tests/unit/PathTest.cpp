#include <string>

#include "os/Path.h"
#include "os/Platform.h"
#include "tests/unit/Test.h"

TEST_CASE(path_isAbsolutePath) {
  struct Row {
    const char* path;
    bool windows;
    bool posix;
  } rows[] = {
      {"C:\\a\\b.jar", true, false}, {"c:/a", true, false},  {"\\\\server\\share", true, false},
      {"\\a", false, false},         {"C:a", false, false},  {"/usr/lib", false, true},
      {"//x", true, true},           {"lib/a.jar", false, false}, {"", false, false},
  };
  for (const Row& row : rows) {
    test::setContext(row.path);
    CHECK_EQ(os::isAbsolutePath(row.path), os::kPathSeparator == '\\' ? row.windows : row.posix);
  }
}
