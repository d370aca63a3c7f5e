#include <string>

#include "config/Settings.h"
#include "tests/unit/Test.h"

using namespace config;

TEST_CASE(jvmType_conversion) {
  struct Row {
    const char* value;
    JvmType expected;
  } rows[] = {
      {"server", JvmType::Server},          {"favor_server", JvmType::FavorServer},
      {"", JvmType::Default},               {"client", JvmType::Default},
      {"Server", JvmType::Default},         {"FAVOR_SERVER", JvmType::Default},
      {" server", JvmType::Default},        {"server ", JvmType::Default},
  };
  for (const Row& row : rows) {
    test::setContext(std::string("\"") + row.value + "\"");
    CHECK_EQ(static_cast<int>(parseJvmType(row.value)), static_cast<int>(row.expected));
  }
}

TEST_CASE(jvmSource_conversion_isExact) {
  struct Row {
    const char* value;
    bool jdk;
    bool jre;
    bool favor;
  } rows[] = {
      {"", true, true, true},
      {"only_JRE", false, true, false},
      {"only_JDK", true, false, false},
      {"favor_JRE", false, true, true},
      {"favor_JDK", true, false, true},
      {"only_jre", false, false, false},
      {"FAVOR_JDK", false, false, false},
      {"both", false, false, false},
      {" only_JRE", false, false, false},
  };
  for (const Row& row : rows) {
    test::setContext(std::string("\"") + row.value + "\"");
    LauncherConfig config;  // as constructed
    applyJvmSource(row.value, config);
    CHECK_EQ(config.sourceJdk, row.jdk);
    CHECK_EQ(config.sourceJre, row.jre);
    CHECK_EQ(config.sourceFavor, row.favor);
  }
}

TEST_CASE(vmProvider_conversion_ignoresCase) {
  struct Row {
    const char* value;
    bool jrockitAllowed;
    bool sunAllowed;
    bool jrockitFavored;
    bool sunFavored;
  } rows[] = {
      {"", false, true, false, true},
      {"sun", false, true, false, true},
      {"jrockit ", false, true, false, true},
      {"jrockit", true, false, true, false},
      {"JRockit", true, false, true, false},
      {"favor_sun", true, true, false, true},
      {"Favor_Sun", true, true, false, true},
      {"favor_jrockit", true, true, true, false},
      {"FAVOR_JROCKIT", true, true, true, false},
      {"any", true, true, false, false},
      {"ANY", true, true, false, false},
  };
  for (const Row& row : rows) {
    test::setContext(std::string("\"") + row.value + "\"");
    LauncherConfig config;
    applyVmProvider(row.value, config);
    CHECK_EQ(config.jrockitAllowed, row.jrockitAllowed);
    CHECK_EQ(config.sunAllowed, row.sunAllowed);
    CHECK_EQ(config.jrockitFavored, row.jrockitFavored);
    CHECK_EQ(config.sunFavored, row.sunFavored);
  }
}

TEST_CASE(isYes_table) {
  struct Row {
    const char* value;
    bool expected;
  } rows[] = {
      {"Yes", true}, {"yes", true}, {"YES", true},  {"yEs", true},   {"", false},
      {"y", false},  {"no", false}, {"Yes ", false}, {"yess", false}, {"true", false},
  };
  for (const Row& row : rows) {
    test::setContext(std::string("\"") + row.value + "\"");
    CHECK_EQ(isYes(row.value), row.expected);
  }
}

TEST_CASE(folderSafeName_dropsTheNineCharacters) {
  struct Row {
    const char* name;
    const char* expected;
  } rows[] = {
      {"My:App*", "MyApp"},
      {"a\\b?c\"d|e>f<g:h/i*j", "abcdefghij"},
      {"Plain Name 2.0", "Plain Name 2.0"},
      {"", ""},
      {"\\?\"|><:/*", ""},
      {"{1-2}", "{1-2}"},
  };
  for (const Row& row : rows) {
    test::setContext(std::string("\"") + row.name + "\"");
    CHECK_EQ(folderSafeName(row.name), std::string(row.expected));
  }
}

TEST_CASE(iniPathFor_table) {
  struct Row {
    const char* program;
    bool ok;
    const char* expected;
  } rows[] = {
#ifdef _WIN32
      {"C:\\A\\app.exe", true, "C:\\A\\app.ini"},
      {"C:\\A\\app.tool.exe", true, "C:\\A\\app.tool.ini"},
      {"C:\\A\\APP.EXE", true, "C:\\A\\APP.ini"},
      {"C:\\A\\app", false, ""},
      // Everything after the last "." of the whole path is replaced.
      {"C:\\My.Apps\\app", true, "C:\\My.ini"},
#else
      {"/opt/app/launcher", true, "/opt/app/launcher.ini"},
      {"/opt/app/launcher.bin", true, "/opt/app/launcher.ini"},
      {"/opt/my.app/launcher", true, "/opt/my.app/launcher.ini"},
      {"/opt/my.app/launcher.x.y", true, "/opt/my.app/launcher.x.ini"},
#endif
  };
  for (const Row& row : rows) {
    test::setContext(row.program);
    std::string path = "untouched";
    CHECK_EQ(iniPathFor(row.program, path), row.ok);
    if (row.ok) CHECK_EQ(path, std::string(row.expected));
  }
}

TEST_CASE(userIniPathFor_table) {
  struct Row {
    const char* program;
    const char* folder;
    const char* name;
    const char* code;
    const char* productFolder;
    const char* codeFolder;
    const char* path;
  } rows[] = {
#ifdef _WIN32
      {"C:\\A\\app.exe", "C:\\Users\\u\\AppData\\Roaming", "My:App*", "{1-2}",
       "C:\\Users\\u\\AppData\\Roaming\\MyApp", "C:\\Users\\u\\AppData\\Roaming\\MyApp\\{1-2}",
       "C:\\Users\\u\\AppData\\Roaming\\MyApp\\{1-2}\\app.ini"},
      {"C:\\A\\app.v2.exe", "", "", "", "\\", "\\\\", "\\\\\\app.v2.ini"},
      {"app", "D:\\S", "P", "C", "D:\\S\\P", "D:\\S\\P\\C", "D:\\S\\P\\C\\app.ini"},
      {"C:\\My.Apps\\app", "D:\\S", "P", "C", "D:\\S\\P", "D:\\S\\P\\C", "D:\\S\\P\\C\\app.ini"},
      // Names of dots and blanks, which Windows reads as "." or "..", never lead out of the folder.
      {"app.exe", "D:\\S", "..", "..\\x/. .", "D:\\S\\", "D:\\S\\\\\\x/", "D:\\S\\\\\\x/\\app.ini"},
#else
      {"/opt/a/app", "/home/u/.config", "My:App*", "{1-2}", "/home/u/.config/MyApp",
       "/home/u/.config/MyApp/{1-2}", "/home/u/.config/MyApp/{1-2}/app.ini"},
      {"/opt/my.app/launcher", "/c", "N", "C", "/c/N", "/c/N/C", "/c/N/C/launcher.ini"},
      {"/opt/a/launcher.bin", "/c", "a/b", "x", "/c/ab", "/c/ab/x", "/c/ab/x/launcher.ini"},
      {"/opt/a/app", "/c", "..", "../x/..", "/c/", "/c///x/", "/c///x//app.ini"},
      {"/opt/a/app", "/c", ".", "...", "/c/", "/c//", "/c///app.ini"},
#endif

  };
  for (const Row& row : rows) {
    test::setContext(row.program);
    const UserIniLocation location = userIniPathFor(row.program, row.folder, row.name, row.code);
    CHECK_EQ(location.productFolder, std::string(row.productFolder));
    CHECK_EQ(location.codeFolder, std::string(row.codeFolder));
    CHECK_EQ(location.path, std::string(row.path));
  }
}
