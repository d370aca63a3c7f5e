// The file services of the OS seam on real files: natively, and the Windows ones under Wine.

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <string>

#include "os/FileSystem.h"
#include "os/Path.h"
#include "os/Process.h"
#include "tests/unit/Test.h"

namespace {

// Sets an environment variable for the life of the object; the old value comes back after.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    had_ = os::getEnvironment(name, old_);
    os::setEnvironment(name, value);
  }
  ~ScopedVariable() {
#ifdef _WIN32
    SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr);
#else
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
#endif
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

std::string scratchFolder() {
  std::string base;
#ifdef _WIN32
  os::getEnvironment("TEMP", base);
#else
  base = "/tmp";
#endif
  return os::withTrailingSeparator(base) + "filesystemtest-" +
         std::to_string(os::currentTime() % 1000000007);
}

void makeReadOnly(const std::string& path) {
#ifdef _WIN32
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
#else
  chmod(path.c_str(), 0444);
#endif
}

}  // namespace

TEST_CASE(fileSystem_stampsListsReplacesAndRemoves) {
  const std::string folder = scratchFolder();
  CHECK(os::createDirectory(folder));
  const std::string a = folder + os::kPathSeparator + "a.bin";
  const std::string b = folder + os::kPathSeparator + "b.bin";

  const std::int64_t before = os::currentTime();
  CHECK(os::writeFile(a, std::string(1000, 'a')));
  CHECK(os::writeFile(b, "bb"));
  const os::FileStamp stamp = os::fileStamp(a);
  CHECK(stamp.kind == os::EntryKind::File);
  CHECK_EQ(stamp.size, static_cast<std::uint64_t>(1000));
  // Both clocks are the same one: the write lies within seconds of now (file systems round).
  CHECK(stamp.modified > before - 5000000000ll && stamp.modified < os::currentTime() + 5000000000ll);
  CHECK(os::fileStamp(folder).kind == os::EntryKind::Folder);
  CHECK(os::fileStamp(folder + os::kPathSeparator + "none").kind == os::EntryKind::Absent);

  StringArray names = os::folderEntries(folder);
  CHECK_EQ(names.size(), static_cast<std::size_t>(2));
  CHECK((names[0] == "a.bin" && names[1] == "b.bin") || (names[0] == "b.bin" && names[1] == "a.bin"));

  // The replaced file goes; the moved one keeps its bytes and its time.
  CHECK(os::replaceFile(a, b));
  CHECK(os::fileStamp(a).kind == os::EntryKind::Absent);
  const os::FileStamp moved = os::fileStamp(b);
  CHECK_EQ(moved.size, static_cast<std::uint64_t>(1000));
  CHECK_EQ(moved.modified, stamp.modified);

  // The VM writes its archives read-only; they must go all the same.
  makeReadOnly(b);
  CHECK(os::removeFile(b));
  CHECK(os::fileStamp(b).kind == os::EntryKind::Absent);
  CHECK(!os::removeFile(b));
  CHECK(os::folderEntries(folder).empty());

  std::uint64_t free = 0;
  CHECK(os::freeDiskSpace(folder, free));
  CHECK(free > 0);
#ifdef _WIN32
  RemoveDirectoryA(folder.c_str());
#else
  rmdir(folder.c_str());
#endif
  CHECK(os::folderEntries(folder).empty());
  CHECK(os::isAbsolutePath(os::currentDirectory()));
}

TEST_CASE(fileSystem_userCacheFolder) {
#ifdef _WIN32
  // The local folder, never the roaming one.
  ScopedVariable roaming("APPDATA", "C:\\Users\\u\\AppData\\Roaming");
  ScopedVariable local("LOCALAPPDATA", "C:\\Users\\u\\AppData\\Local");
  CHECK_EQ(os::userCacheFolder(), std::string("C:\\Users\\u\\AppData\\Local"));
#else
  ScopedVariable home("HOME", "/home/u");
  struct Row {
    const char* xdgCacheHome;
    const char* expected;
  } rows[] = {
      {"/var/cache/u", "/var/cache/u"},
      {"relative/cache", "/home/u/.cache"},  // the XDG rules ignore a relative value
      {"", "/home/u/.cache"},
  };
  for (const Row& row : rows) {
    test::setContext(row.xdgCacheHome);
    ScopedVariable cache("XDG_CACHE_HOME", row.xdgCacheHome);
    CHECK_EQ(os::userCacheFolder(), std::string(row.expected));
  }
  ScopedVariable noHome("HOME", "");
  ScopedVariable noCache("XDG_CACHE_HOME", "");
  CHECK_EQ(os::userCacheFolder(), std::string());
#endif
}

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
