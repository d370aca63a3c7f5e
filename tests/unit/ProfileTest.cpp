// The profile functions on real files: the system's own on Windows, ours elsewhere. Both must give
// the same answers for ordinary files.

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <string>
#include <vector>

#include "os/Profile.h"
#include "tests/unit/Test.h"

namespace {

// A folder of our own for this run, removed with everything in it at the end of each test.
class TempFolder {
 public:
  TempFolder() {
#ifdef _WIN32
    char base[MAX_PATH + 1] = {};
    GetTempPathA(sizeof base, base);
    static unsigned counter = 0;
    path_ = std::string(base) + "profiletest-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
    CreateDirectoryA(path_.c_str(), nullptr);
#else
    char pattern[] = "/tmp/profiletest-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made != nullptr ? made : "";
#endif
  }
  ~TempFolder() {
    for (const std::string& file : files_) std::remove(file.c_str());
#ifdef _WIN32
    RemoveDirectoryA(path_.c_str());
#else
    rmdir(path_.c_str());
#endif
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // A fresh file name in the folder (each once: the system may cache a file it has read).
  std::string file(const std::string& name) {
#ifdef _WIN32
    const std::string full = path_ + "\\" + name;
#else
    const std::string full = path_ + "/" + name;
#endif
    files_.push_back(full);
    return full;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::vector<std::string> files_;
};

bool writeFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::string readFile(const std::string& path) {
  std::string text;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return "<no file>";
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  std::fclose(f);
  return text;
}

struct ReadRow {
  const char* label;
  std::string text;
  const char* section;
  const char* key;
  std::string expected;
};

}  // namespace

TEST_CASE(profile_readsLikeTheSystem) {
  TempFolder folder;
  CHECK(!folder.path().empty());
  const std::string longValue(300, 'c');
  const std::string exactly255(255, 'e');
  const std::string exactly511(511, 'f');
  const std::string hugeValue = std::string(70 * 1024, 'h') + "end";
  const ReadRow rows[] = {
      {"plain", "[S]\r\nK=v\r\n", "S", "K", "v"},
      {"LF lines", "[S]\nK=v\n", "S", "K", "v"},
      {"section and key ignore case", "[java runtime environment]\r\nmain class=a.B\r\n",
       "Java Runtime Environment", "Main Class", "a.B"},
      {"blanks around key and value", "[S]\r\n  Main Class \t=  com.x.App \t\r\n", "S",
       "Main Class", "com.x.App"},
      {"blanks before the header", "  [S]\r\nK=v\r\n", "S", "K", "v"},
      {"blanks inside the value", "[S]\r\nK=a  b\r\n", "S", "K", "a  b"},
      {"equals inside the value", "[S]\r\nK=a=b\r\n", "S", "K", "a=b"},
      {"empty value", "[S]\r\nK=\r\n", "S", "K", ""},
      {"first key wins", "[S]\r\nK=first\r\nK=second\r\n", "S", "K", "first"},
      {"first section value", "[S]\r\nK=early\r\n[s]\r\nK=late\r\n", "S", "K", "early"},
      {"missing key", "[S]\r\nA=1\r\n", "S", "K", ""},
      {"missing section", "[T]\r\nK=v\r\n", "S", "K", ""},
      {"key of another section", "[T]\r\nK=t\r\n[S]\r\nA=1\r\n", "S", "K", ""},
      {"double quotes removed", "[S]\r\nK=\"a b\"\r\n", "S", "K", "a b"},
      {"single quotes removed", "[S]\r\nK='a b'\r\n", "S", "K", "a b"},
      {"unpaired quote stays", "[S]\r\nK=\"a\r\n", "S", "K", "\"a"},
      {"inner quotes stay", "[S]\r\nK=a \"b\" c\r\n", "S", "K", "a \"b\" c"},
      {"comment line", "[S]\r\n; a comment\r\nK=v\r\n", "S", "K", "v"},
      {"junk lines", "junk\r\n[S]\r\nthis is junk\r\n\r\nK=v\r\n", "S", "K", "v"},
      {"last line without break", "[S]\r\nK=v", "S", "K", "v"},
      {"value of 255 characters", "[S]\r\nK=" + exactly255 + "\r\n", "S", "K", exactly255},
      {"value of 511 characters", "[S]\r\nK=" + exactly511 + "\r\n", "S", "K", exactly511},
      {"value over 255 characters", "[S]\r\nK=" + longValue + "\r\n", "S", "K", longValue},
      {"value over 64 KiB", "[S]\r\nK=" + hugeValue + "\r\n", "S", "K", hugeValue},
      {"quoted value over 255 characters", "[S]\r\nK=\"" + longValue + "\"\r\n", "S", "K",
       longValue},
      {"blanks inside the brackets", "[ S ]\r\nK=v\r\n", "S", "K", "v"},
      {"requested names trimmed", "[S]\r\nK=v\r\n", " S ", " K ", "v"},
      {"unclosed bracket is an ordinary line", "[S]\r\n[broken\r\nK=v\r\n", "S", "K", "v"},
      {"header without closing bracket opens nothing", "[S\r\nK=v\r\n", "S", "K", ""},
      {"last bracket closes the name", "[a]b]\r\nK=v\r\n", "a]b", "K", "v"},
      {"line without equals hides a later value", "[S]\r\nK\r\nK=v\r\n", "S", "K", ""},
      {"Ctrl+Z after the value", "[S]\r\nK=v\x1a\r\n", "S", "K", "v"},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF[S]\r\nK=v\r\n", "S", "K", "v"},
      {"lone CR ends a line", "[S]\rA=1\rK=v\r", "S", "K", "v"},
      {"quoted blanks kept", "[S]\r\nK=\" a \"\r\n", "S", "K", " a "},
      {"no comment after a value", "[S]\r\nK=v ; c\r\n", "S", "K", "v ; c"},
      {"backslashes kept", "[S]\r\nJRE Path=C:\\Program Files\\Java\\\r\n", "S", "JRE Path",
       "C:\\Program Files\\Java\\"},
  };
  int n = 0;
  for (const ReadRow& row : rows) {
    test::setContext(row.label);
    const std::string path = folder.file("read" + std::to_string(++n) + ".ini");
    CHECK(writeFile(path, row.text));
    CHECK_EQ(os::readProfileString(path, row.section, row.key), row.expected);
  }
  test::setContext("no file");
  CHECK_EQ(os::readProfileString(folder.file("absent.ini"), "S", "K"), std::string());
}

TEST_CASE(profile_writesLikeTheSystem) {
  TempFolder folder;
  const std::string original =
      "; settings of the demo\r\n[Application]\r\nSingle Instance=yes\r\n\r\n"
      "[Java Runtime Environment]\r\nMain Class=com.example.App\r\nJRE Path=old\r\n"
      "Maximum Version = 1.6\r\n[Display]\r\nSplash Screen=splash.bmp\r\n";
  const char* const kJre = "Java Runtime Environment";

  test::setContext("existing key rewritten, others kept");
  const std::string path = folder.file("write1.ini");
  CHECK(writeFile(path, original));
  CHECK(os::writeProfileString(path, kJre, "JRE Path", "C:\\jre\\"));
  CHECK_EQ(os::readProfileString(path, kJre, "JRE Path"), std::string("C:\\jre\\"));
  CHECK_EQ(os::readProfileString(path, kJre, "Main Class"), std::string("com.example.App"));
  CHECK_EQ(os::readProfileString(path, kJre, "Maximum Version"), std::string("1.6"));
  CHECK_EQ(os::readProfileString(path, "Application", "Single Instance"), std::string("yes"));
  CHECK_EQ(os::readProfileString(path, "Display", "Splash Screen"), std::string("splash.bmp"));
  CHECK(readFile(path).find("; settings of the demo") != std::string::npos);
#ifndef _WIN32
  // Our writer keeps every other byte as it was.
  std::string expected = original;
  expected.replace(expected.find("JRE Path=old"), 12, "JRE Path=C:\\jre\\");
  CHECK_EQ(readFile(path), expected);
#endif

  test::setContext("new key goes into its section");
  const std::string second = folder.file("write2.ini");
  CHECK(writeFile(second, original));
  CHECK(os::writeProfileString(second, "Display", "Splash Screen Shadow", "true"));
  CHECK_EQ(os::readProfileString(second, "Display", "Splash Screen Shadow"), std::string("true"));
  CHECK_EQ(os::readProfileString(second, "Display", "Splash Screen"), std::string("splash.bmp"));
  CHECK_EQ(os::readProfileString(second, kJre, "JRE Path"), std::string("old"));

  test::setContext("new section");
  const std::string third = folder.file("write3.ini");
  CHECK(writeFile(third, original));
  CHECK(os::writeProfileString(third, "Product Information", "Product Code", "{1-2}"));
  CHECK_EQ(os::readProfileString(third, "Product Information", "Product Code"),
           std::string("{1-2}"));
  CHECK_EQ(os::readProfileString(third, "Display", "Splash Screen"), std::string("splash.bmp"));

  test::setContext("key matched without regard to case");
  const std::string fourth = folder.file("write4.ini");
  CHECK(writeFile(fourth, original));
  CHECK(os::writeProfileString(fourth, "JAVA RUNTIME ENVIRONMENT", "jre path", "new"));
  CHECK_EQ(os::readProfileString(fourth, kJre, "JRE Path"), std::string("new"));
  CHECK_EQ(readFile(fourth).find("old"), std::string::npos);

  test::setContext("file created when absent");
  const std::string fresh = folder.file("fresh.ini");
  CHECK(os::writeProfileString(fresh, kJre, "JRE Path", "D:\\java\\"));
  CHECK_EQ(os::readProfileString(fresh, kJre, "JRE Path"), std::string("D:\\java\\"));
  CHECK_EQ(os::readProfileString(fresh, kJre, "Main Class"), std::string());

  test::setContext("empty file");
  const std::string empty = folder.file("empty.ini");
  CHECK(writeFile(empty, ""));
  CHECK(os::writeProfileString(empty, kJre, "JRE Path", "E:\\j\\"));
  CHECK_EQ(os::readProfileString(empty, kJre, "JRE Path"), std::string("E:\\j\\"));

  test::setContext("long value written and read whole");
  const std::string longValue(3000, 'L');
  CHECK(os::writeProfileString(fresh, kJre, "Class Path", longValue));
  CHECK_EQ(os::readProfileString(fresh, kJre, "Class Path"), longValue);
  CHECK_EQ(os::readProfileString(fresh, kJre, "JRE Path"), std::string("D:\\java\\"));

  test::setContext("folder missing");
#ifdef _WIN32
  const std::string nowhere = folder.path() + "\\missing\\x.ini";
#else
  const std::string nowhere = folder.path() + "/missing/x.ini";
#endif
  CHECK(!os::writeProfileString(nowhere, kJre, "JRE Path", "x"));
  CHECK_EQ(readFile(nowhere), std::string("<no file>"));
}

#ifndef _WIN32
namespace {

std::vector<std::string> folderEntries(const std::string& path) {
  std::vector<std::string> names;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return names;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

}  // namespace

TEST_CASE(profile_posixWriteKeepsTheFileItself) {
  TempFolder folder;
  const char* const kJre = "Java Runtime Environment";

  test::setContext("permissions kept");
  const std::string privateFile = folder.file("private.ini");
  CHECK(writeFile(privateFile, "[Java Runtime Environment]\nMain Class=a.B\n"));
  CHECK(chmod(privateFile.c_str(), 0600) == 0);
  CHECK(os::writeProfileString(privateFile, kJre, "JRE Path", "/opt/jre/"));
  struct stat info;
  CHECK(stat(privateFile.c_str(), &info) == 0);
  CHECK_EQ(static_cast<unsigned>(info.st_mode & 07777), 0600u);

  test::setContext("a link stays a link");
  const std::string real = folder.file("real.ini");
  const std::string link = folder.file("link.ini");
  CHECK(writeFile(real, "[Java Runtime Environment]\nMain Class=a.B\n"));
  CHECK(symlink(real.c_str(), link.c_str()) == 0);
  CHECK(os::writeProfileString(link, kJre, "JRE Path", "/opt/jre/"));
  CHECK(lstat(link.c_str(), &info) == 0);
  CHECK(S_ISLNK(info.st_mode));
  CHECK_EQ(os::readProfileString(real, kJre, "JRE Path"), std::string("/opt/jre/"));
  CHECK_EQ(os::readProfileString(real, kJre, "Main Class"), std::string("a.B"));

  test::setContext("files beside it untouched, nothing left over");
  const std::string settings = folder.file("app.ini");
  const std::string neighbour = folder.file("app.ini.tmp");
  CHECK(writeFile(neighbour, "the user's own file"));
  CHECK(os::writeProfileString(settings, kJre, "JRE Path", "/opt/jre/"));
  CHECK_EQ(readFile(neighbour), std::string("the user's own file"));
  CHECK_EQ(folderEntries(folder.path()).size(), static_cast<std::size_t>(5));

  test::setContext("a file beyond the 16 MiB read is refused, never cut");
  const std::string huge = folder.file("huge.ini");
  const std::string tail = "\n[Last]\nKey=kept\n";
  const std::string hugeText = "[Java Runtime Environment]\n" + std::string(17 << 20, ';') + tail;
  CHECK(writeFile(huge, hugeText));
  CHECK(!os::writeProfileString(huge, kJre, "JRE Path", "/opt/jre/"));
  CHECK(readFile(huge) == hugeText);

  test::setContext("a folder in place of the file");
  const std::string dir = folder.file("dir.ini");
  CHECK(mkdir(dir.c_str(), 0700) == 0);
  CHECK(!os::writeProfileString(dir, kJre, "JRE Path", "x"));
  CHECK_EQ(os::readProfileString(dir, kJre, "JRE Path"), std::string());
  rmdir(dir.c_str());
  CHECK_EQ(folderEntries(folder.path()).size(), static_cast<std::size_t>(6));
}
#endif
