#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "os/Library.h"
#include "os/Process.h"
#include "tests/unit/Test.h"

namespace {

#ifdef _WIN32
const char* const kSystemLibraryName = "kernel32.dll";
const char* const kSystemEntry = "GetProcAddress";
const unsigned long kModuleNotFound = 126;  // ERROR_MOD_NOT_FOUND
const unsigned long kEntryNotFound = 127;   // ERROR_PROC_NOT_FOUND

std::string systemLibraryPath() {
  std::string path = "%SystemRoot%\\system32\\kernel32.dll";
  os::expandEnvironment(path);
  return path;
}
#else
const char* const kSystemLibraryName = "libc.so.6";
const char* const kSystemEntry = "getpid";
const unsigned long kModuleNotFound = ENOENT;
const unsigned long kEntryNotFound = ENOENT;

// The C library this process runs with, as the loader mapped it.
std::string systemLibraryPath() {
  std::string found;
  if (FILE* maps = std::fopen("/proc/self/maps", "r")) {
    char line[4096];
    while (found.empty() && std::fgets(line, sizeof line, maps) != nullptr) {
      const char* path = std::strchr(line, '/');
      if (path != nullptr && std::strstr(path, "/libc.so.6") != nullptr) {
        found = path;
        while (!found.empty() && (found.back() == '\n' || found.back() == ' ')) found.pop_back();
      }
    }
    std::fclose(maps);
  }
  return found;
}
#endif

}  // namespace

// A bare name must not reach the system's library search: the launcher loads what it names and
// nothing a search might find instead (a library planted in the working folder, or one of the
// system's).
TEST_CASE(loadLibrary_bareNameIsNotSearchedFor) {
  os::LibraryError error;
  void* library = os::loadLibrary(kSystemLibraryName, error);
  CHECK(library == nullptr);
  CHECK_EQ(error.code, kModuleNotFound);
  // The loader's own words travel to the caller for its trace (the system has none on Windows).
  CHECK_EQ(error.reason.empty(), os::kPathSeparator == '\\');
}

TEST_CASE(loadLibrary_fullPathLoadsAndEntriesAreFound) {
  const std::string path = systemLibraryPath();
  test::setContext(path);
  CHECK(!path.empty());
  os::LibraryError loadError;
  void* library = os::loadLibrary(path, loadError);
  CHECK(library != nullptr);
  if (library == nullptr) return;
  unsigned long error = 0;
  CHECK(os::findSymbol(library, kSystemEntry, error) != nullptr);
  CHECK(os::findSymbol(library, "NoSuchEntryInThisLibrary", error) == nullptr);
  CHECK_EQ(error, kEntryNotFound);
}
