#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include "config/Settings.h"
#include "os/Process.h"
#include "runtime/JvmCandidate.h"
#include "runtime/JvmSearch.h"
#include "tests/unit/Test.h"
#ifdef _WIN32
#include "runtime/win32/RegistrySearch.h"
#else
#include "runtime/posix/InstalledRuntimes.h"
#endif

using namespace config;
using namespace runtime;

namespace {

const char kSep = os::kPathSeparator;

JvmCandidate candidate(const char* version, const char* home, bool isServer, bool favored) {
  JvmCandidate c;
  c.version = parseVersion(version, 0);
  c.home = home;
  c.isServer = isServer;
  c.favored = favored;
  return c;
}

std::string homes(const CandidateList& list) {
  std::string text;
  for (const JvmCandidate& c : list) text += c.home + " ";
  return text;
}

LauncherConfig configFor(const char* source, const char* provider, JvmType type) {
  LauncherConfig config;
  applyJvmSource(source, config);
  applyVmProvider(provider, config);
  config.jvmType = type;
  return config;
}

// A folder below the system's temporary folder that the test removes again.
class TempTree {
 public:
  explicit TempTree(const char* name) {
    std::string base;
#ifdef _WIN32
    if (!os::getEnvironment("TEMP", base) || base.empty()) base = "C:\\";
#else
    base = "/tmp";
#endif
    if (base.back() != kSep) base += kSep;
    // Native, sanitized and Windows runs may overlap: the process id keeps their trees apart.
    static int counter = 0;
#ifdef _WIN32
    const long pid = static_cast<long>(_getpid());
#else
    const long pid = static_cast<long>(getpid());
#endif
    char unique[96];
    std::snprintf(unique, sizeof unique, "jvmsearch-%s-%ld-%d", name, pid, ++counter);
    root_ = base + unique + kSep;
    makeFolders(root_);
  }
  ~TempTree() {
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) std::remove(it->c_str());
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) removeFolder(*it);
  }
  const std::string& root() const { return root_; }

  // Creates the file (and its folders) at root + relative, relative written with '/'.
  std::string add(const std::string& relative, const std::string& content = "placeholder") {
    const std::string path = root_ + native(relative);
    const std::size_t slash = path.rfind(kSep);
    makeFolders(path.substr(0, slash + 1));
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
      std::fwrite(content.data(), 1, content.size(), file);
      std::fclose(file);
      files_.push_back(path);
    }
    return path;
  }
  std::string path(const std::string& relative) const { return root_ + native(relative); }
#ifndef _WIN32
  void link(const std::string& target, const std::string& relative) {
    const std::string path = root_ + relative;
    if (symlink(target.c_str(), path.c_str()) == 0) files_.push_back(path);
  }
#endif

 private:
  static std::string native(std::string relative) {
    for (char& c : relative) {
      if (c == '/') c = kSep;
    }
    return relative;
  }
  void makeFolders(const std::string& folder) {
    for (std::size_t i = 1; i < folder.size(); ++i) {
      if (folder[i] != kSep) continue;
      const std::string part = folder.substr(0, i);
      if (part.size() < root_.size() - 1 && !root_.empty()) continue;
      if (os::createDirectory(part)) folders_.push_back(part);
    }
  }
  static void removeFolder(const std::string& folder) {
#ifdef _WIN32
    _rmdir(folder.c_str());
#else
    rmdir(folder.c_str());
#endif
  }
  std::string root_;
  std::vector<std::string> files_;
  std::vector<std::string> folders_;
};

// The relative path of a VM library of the given kind, in this OS's layout.
std::string lib(const char* vmKind) {
#ifdef _WIN32
  return std::string("bin/") + vmKind + "/jvm.dll";
#else
  return std::string("lib/") + vmKind + "/libjvm.so";
#endif
}

}  // namespace

TEST_CASE(jvmSearch_sortKeysApplyOnlyWhenAsked) {
  struct Row {
    const char* label;
    bool sourceFavor;
    JvmType type;
    const char* expected;
  };
  // a: old favored client, b: new unfavored server, c: middle unfavored client, d: middle favored
  // server, e: same version as c, collected after it.
  const Row rows[] = {
      {"favour and favor_server", true, JvmType::FavorServer, "d a b c e "},
      {"favour only", true, JvmType::Default, "d a b c e "},
      {"favor_server only", false, JvmType::FavorServer, "b d c e a "},
      {"version only", false, JvmType::Default, "b c e d a "},
      {"server type does not sort by server", false, JvmType::Server, "b c e d a "},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    CandidateList list = {candidate("1.5.0_22", "a", false, true), candidate("1.7", "b", true, false),
                          candidate("1.6.0_10", "c", false, false),
                          candidate("1.6", "d", true, true), candidate("1.6.0_10", "e", false, false)};
    LauncherConfig config;
    config.sourceFavor = row.sourceFavor;
    config.jvmType = row.type;
    sortCandidates(list, config);
    CHECK_EQ(homes(list), std::string(row.expected));
  }
}

TEST_CASE(jvmSearch_sortIsStableOverManyEqualCandidates) {
  CandidateList list;
  const char* names[] = {"k0", "k1", "k2", "k3", "k4", "k5", "k6", "k7", "k8", "k9"};
  for (int i = 0; i < 10; ++i) {
    // Two versions interleaved: the order inside each version must stay the collection order.
    list.push_back(candidate(i % 2 == 0 ? "1.6" : "1.6.0", names[i], false, true));
  }
  list.push_back(candidate("1.6.0_1", "newest", false, true));
  LauncherConfig config;
  sortCandidates(list, config);
  CHECK_EQ(homes(list), std::string("newest k0 k1 k2 k3 k4 k5 k6 k7 k8 k9 "));
}

TEST_CASE(jvmSearch_selectionByPreferredVersions) {
  struct Row {
    const char* preferred;
    const char* expected;
  };
  const Row rows[] = {
      {"1.5", "1.5.0_22"},
      {"1.4;1.6", "1.6.0_10"},
      {"1.4", "1.6.0_10"},
      {"", "1.6.0_10"},
      {"1.5;1.6", "1.5.0_22"},     // the earlier entry wins over a newer match
      {"1.6.0;1.5", "1.6.0_10"},   // 1.6.0 matches 1.6.0_10
      {"1.6.1;1.5.0", "1.5.0_22"},
      {"1.6.0_10", "1.6.0_10"},
      {" 1.5 ", "1.5.0_22"},       // blanks around an entry do no harm
      {"1.5.0_23", "1.6.0_10"},    // matches nothing: the first of the list
  };
  for (const Row& row : rows) {
    test::setContext(row.preferred);
    CandidateList list = {candidate("1.6.0_10", "1.6.0_10", false, true),
                          candidate("1.5.0_22", "1.5.0_22", false, true)};
    LauncherConfig config;
    sortCandidates(list, config);
    const std::size_t chosen = selectCandidate(list, splitPreferredVersions(row.preferred));
    CHECK(chosen < list.size());
    if (chosen < list.size()) CHECK_EQ(list[chosen].home, std::string(row.expected));
  }
  test::setContext("");
  // The walk follows the sorted order: of two matches the one sorted first wins, even an older one.
  CandidateList list = {candidate("1.6.0_10", "new-client", false, false),
                        candidate("1.6.0_5", "old-server", true, false)};
  LauncherConfig config;
  config.jvmType = JvmType::FavorServer;
  sortCandidates(list, config);
  const std::size_t chosen = selectCandidate(list, splitPreferredVersions("1.6"));
  CHECK_EQ(list[chosen].home, std::string("old-server"));
  CHECK_EQ(selectCandidate(CandidateList(), splitPreferredVersions("1.6")), std::size_t(0));

  // An installation whose name has no digits reads as 0.0.0.0; an empty preferred entry (an absent
  // key, a stray ";") does not select it before the real versions.
  const char* noPreference[] = {"", ";", "jre", ";1.4"};
  for (const char* preferred : noPreference) {
    test::setContext(std::string("preferred [") + preferred + "]");
    CandidateList withNameless = {candidate("1.6", "real", false, true),
                                  candidate("jre", "nameless", false, true)};
    sortCandidates(withNameless, config);
    const std::size_t index = selectCandidate(withNameless, splitPreferredVersions(preferred));
    CHECK_EQ(withNameless[index].home, std::string("real"));
  }
}

#ifdef _WIN32
TEST_CASE(jvmSearch_classicBaseKeysSearchedAndFavoured) {
  std::size_t count = 0;
  const RegistrySource* keys = classicBaseKeys(count);
  CHECK_EQ(count, std::size_t(4));
  if (count != 4) return;
  CHECK_EQ(std::string(keys[0].baseKey), std::string("Software\\JavaSoft\\Java Development Kit\\"));
  CHECK_EQ(std::string(keys[1].baseKey),
           std::string("Software\\JavaSoft\\Java Runtime Environment\\"));
  CHECK_EQ(std::string(keys[2].baseKey), std::string("Software\\JRockit\\Java Runtime Environment\\"));
  CHECK_EQ(std::string(keys[3].baseKey), std::string("Software\\JRockit\\Java Development Kit\\"));
  for (std::size_t i = 0; i < count; ++i) {
    CHECK(keys[i].root == os::RegistryRoot::LocalMachine);
    CHECK_EQ(std::string(keys[i].valueName), std::string("JavaHome"));
    CHECK_EQ(std::string(keys[i].valuePath), std::string(""));
    CHECK(!keys[i].kindFromHome);
  }
  // Only the JavaSoft JRE key is collected client first under "favor_server".
  CHECK(!keys[0].clientFirst && keys[1].clientFirst && !keys[2].clientFirst && !keys[3].clientFirst);
  // JDK keys are used through their own "jre" folder.
  CHECK(keys[0].homeRule == HomeRule::JdkJre && keys[3].homeRule == HomeRule::JdkJre);
  CHECK(keys[1].homeRule == HomeRule::AsRecorded && keys[2].homeRule == HomeRule::AsRecorded);

  // For each "JVM Source" and "VM Provider" value: which of the four keys (JavaSoft JDK, JavaSoft
  // JRE, JRockit JRE, JRockit JDK) are searched, and which of them give favoured candidates.
  struct Row {
    const char* source;
    const char* provider;
    const char* searched;
    const char* favored;
  };
  const Row rows[] = {
      {"", "", "YYNN", "YYNN"},
      {"only_JRE", "", "NYNN", "NYNN"},
      {"only_JDK", "", "YNNN", "YNNN"},
      {"favor_JRE", "", "YYNN", "NYNN"},
      {"favor_JDK", "", "YYNN", "YNNN"},
      {"JRE", "", "NNNN", "NNNN"},        // not in the table: no key at all
      {"Favor_JRE", "", "NNNN", "NNNN"},  // other capitals: not recognised either
      {"", "jrockit", "NNYY", "NNYY"},
      {"", "JRockit", "NNYY", "NNYY"},    // "VM Provider" ignores case
      {"", "favor_sun", "YYYY", "YYNN"},
      {"", "favor_jrockit", "YYYY", "NNYY"},
      {"", "any", "YYYY", "NNNN"},
      {"", "oracle", "YYNN", "YYNN"},     // unknown provider: the initial values
      {"favor_JDK", "favor_jrockit", "YYYY", "NNNY"},
      {"favor_JRE", "FAVOR_SUN", "YYYY", "NYNN"},
      {"only_JDK", "jrockit", "NNNY", "NNNY"},
      {"only_JRE", "any", "NYYN", "NNNN"},
  };
  for (const Row& row : rows) {
    test::setContext(std::string("JVM Source [") + row.source + "], VM Provider [" + row.provider +
                     "]");
    const LauncherConfig config = configFor(row.source, row.provider, JvmType::Default);
    std::string searched;
    std::string favored;
    for (std::size_t i = 0; i < count; ++i) {
      searched += sourceSearched(keys[i], config) ? 'Y' : 'N';
      favored += kindFavored(keys[i].kind, keys[i].vendor, config) ? 'Y' : 'N';
    }
    CHECK_EQ(searched, std::string(row.searched));
    CHECK_EQ(favored, std::string(row.favored));
  }
}
#endif

TEST_CASE(jvmSearch_favorJreSortsJavaSoftJreFirstWhateverTheVersion) {
  const LauncherConfig config = configFor("favor_JRE", "", JvmType::Default);
  CandidateList list = {
      candidate("1.7", "jdk17", false, kindFavored(RuntimeKind::Jdk, RuntimeVendor::Sun, config)),
      candidate("1.5", "jre15", false, kindFavored(RuntimeKind::Jre, RuntimeVendor::Sun, config)),
      candidate("1.6", "jre16", false, kindFavored(RuntimeKind::Jre, RuntimeVendor::Sun, config))};
  sortCandidates(list, config);
  CHECK_EQ(homes(list), std::string("jre16 jre15 jdk17 "));

  // favor_JDK with favor_jrockit: a JavaSoft JDK is not favoured over a JavaSoft JRE.
  const LauncherConfig both = configFor("favor_JDK", "favor_jrockit", JvmType::Default);
  CandidateList mixed = {
      candidate("1.5", "sunjdk", false, kindFavored(RuntimeKind::Jdk, RuntimeVendor::Sun, both)),
      candidate("1.6", "sunjre", false, kindFavored(RuntimeKind::Jre, RuntimeVendor::Sun, both)),
      candidate("1.4", "rockjdk", false, kindFavored(RuntimeKind::Jdk, RuntimeVendor::JRockit, both)),
      candidate("1.7", "rockjre", false, kindFavored(RuntimeKind::Jre, RuntimeVendor::JRockit, both))};
  sortCandidates(mixed, both);
  CHECK_EQ(homes(mixed), std::string("rockjdk rockjre sunjre sunjdk "));
}

TEST_CASE(jvmSearch_chooseJvmLibraryOrderPerType) {
  struct Row {
    const char* label;
    std::vector<const char*> present;  // VM kinds whose library exists
    JvmType type;
    const char* expected;              // VM kind chosen, "" for none
  };
  const Row rows[] = {
      {"default prefers client over server", {"server", "client"}, JvmType::Default, "client"},
      {"default: classic before hotspot", {"hotspot", "classic", "jrockit"}, JvmType::Default, "classic"},
      {"default: hotspot before server", {"server", "hotspot"}, JvmType::Default, "hotspot"},
      {"default: server before jrockit", {"jrockit", "server"}, JvmType::Default, "server"},
      {"default: jrockit last", {"jrockit"}, JvmType::Default, "jrockit"},
      {"server wants server", {"client", "server"}, JvmType::Server, "server"},
      {"server refuses client only", {"client", "classic", "hotspot", "jrockit"}, JvmType::Server, ""},
      {"favor_server takes server first", {"client", "server"}, JvmType::FavorServer, "server"},
      {"favor_server falls back to client", {"client"}, JvmType::FavorServer, "client"},
      {"favor_server falls back to jrockit", {"jrockit"}, JvmType::FavorServer, "jrockit"},
      {"nothing there", {}, JvmType::Default, ""},
      {"unknown vm kind ignored", {"minimal"}, JvmType::FavorServer, ""},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    TempTree tree("choose");
    tree.add("release", "JAVA_VERSION=\"1.6.0\"\n");
    for (const char* kind : row.present) tree.add(lib(kind));
    bool isServer = true;  // untouched when nothing is found
    const std::string found = chooseJvmLibrary(tree.root(), row.type, isServer);
    if (row.expected[0] == '\0') {
      CHECK_EQ(found, std::string());
      CHECK(isServer);
    } else {
      CHECK_EQ(found, tree.path(lib(row.expected)));
      CHECK_EQ(isServer, std::string(row.expected) == "server");
    }
  }
}

TEST_CASE(jvmSearch_chooseJvmLibraryFolderNamedLikeTheLibraryCounts) {
  // The existence test finds folders as well as files.
  TempTree tree("folder");
  tree.add(lib("client") + "/inner");
  bool isServer = true;
  CHECK_EQ(chooseJvmLibrary(tree.root(), JvmType::Default, isServer), tree.path(lib("client")));
  CHECK(!isServer);
}

#ifndef _WIN32
TEST_CASE(jvmSearch_chooseJvmLibraryJava8LinuxLayout) {
  TempTree tree("java8");
  tree.add("lib/amd64/server/libjvm.so");
  tree.add("lib/amd64/client/libjvm.so");
  bool isServer = false;
  CHECK_EQ(chooseJvmLibrary(tree.root(), JvmType::Server, isServer),
           tree.path("lib/amd64/server/libjvm.so"));
  CHECK(isServer);
  CHECK_EQ(chooseJvmLibrary(tree.root(), JvmType::Default, isServer),
           tree.path("lib/amd64/client/libjvm.so"));
  CHECK(!isServer);
  // The layout of today wins over the older one for the same VM kind.
  tree.add("lib/server/libjvm.so");
  CHECK_EQ(chooseJvmLibrary(tree.root(), JvmType::FavorServer, isServer),
           tree.path("lib/server/libjvm.so"));
}
#endif

TEST_CASE(jvmSearch_runtimeHomeVersion) {
  struct Row {
    const char* folder;
    const char* release;  // nullptr: no release file
    const char* expected;
  };
  const Row rows[] = {
      {"jdk-17.0.2", "IMPLEMENTOR=\"X\"\nJAVA_VERSION=\"17.0.15\"\nOS_NAME=\"Linux\"\n", "17.0.15"},
      {"jdk-17.0.2", "JAVA_VERSION=\"1.8.0_392\"\r\nJAVA_VERSION_DATE=\"2024\"\r\n", "1.8.0.392"},
      {"jdk-17.0.2", nullptr, "17.0.2"},
      {"jdk1.8.0_392", "IMPLEMENTOR=\"X\"\n", "1.8.0.392"},       // no JAVA_VERSION line
      {"zulu11", "JAVA_VERSION_DATE=\"2024-01-16\"\n", "11"},     // only a look-alike key
      {"default-java", nullptr, "none"},
  };
  for (const Row& row : rows) {
    test::setContext(std::string(row.folder) + " / " + (row.release ? row.release : "no release"));
    TempTree tree("release");
    const std::string home = tree.root() + row.folder + kSep;
    if (row.release != nullptr) {
      tree.add(std::string(row.folder) + "/release", row.release);
    } else {
      tree.add(std::string(row.folder) + "/bin/placeholder");
    }
    CHECK_EQ(versionTraceText(runtimeHomeVersion(home)), std::string(row.expected));
  }
}

#ifndef _WIN32
TEST_CASE(jvmSearch_installedRuntimesJdkFirstLinksOnceRangeAndKind) {
  TempTree tree("installed");
  // A Java 8 JDK with its runtime in jre/, a JDK of today, a JRE, a folder that is no runtime and a
  // link to one of them.
  tree.add("a-jdk8/release", "JAVA_VERSION=\"1.8.0_392\"\n");
  tree.add("a-jdk8/bin/javac");
  tree.add("a-jdk8/jre/lib/amd64/server/libjvm.so");
  tree.add("b-jre11/release", "JAVA_VERSION=\"11.0.2\"\n");
  tree.add("b-jre11/lib/server/libjvm.so");
  tree.add("c-jdk17/release", "JAVA_VERSION=\"17.0.15\"\n");
  tree.add("c-jdk17/bin/javac");
  tree.add("c-jdk17/lib/server/libjvm.so");
  tree.add("d-sources/src.zip");
  tree.link("c-jdk17", "0-link-to-17");

  const std::string root = tree.root();
  {
    test::setContext("defaults");
    LauncherConfig config = configFor("", "", JvmType::Default);
    CandidateList list;
    collectInstalledRuntimes(root, config, list);
    CHECK_EQ(homes(list), root + "a-jdk8/jre/ " + root + "c-jdk17/ " + root + "b-jre11/ ");
    std::string home;
    sortCandidates(list, config);
    CHECK_EQ(list[0].home, root + "c-jdk17/");
    CHECK(list[0].isServer);
    CHECK(list[0].favored);
  }
  {
    test::setContext("only_JRE, range 11 to 17.9");
    LauncherConfig config = configFor("only_JRE", "", JvmType::Server);
    config.minVersion = parseVersion("11", 0);
    config.maxVersion = parseVersion("17.9", kAnyComponent);
    CandidateList list;
    collectInstalledRuntimes(root, config, list);
    CHECK_EQ(homes(list), root + "b-jre11/ ");
  }
  {
    test::setContext("maximum 1.8");
    LauncherConfig config = configFor("favor_JDK", "", JvmType::Default);
    config.maxVersion = parseVersion("1.8", kAnyComponent);
    CandidateList list;
    collectInstalledRuntimes(root, config, list);
    CHECK_EQ(homes(list), root + "a-jdk8/jre/ ");
    if (!list.empty()) CHECK(list[0].favored);
  }
}
#endif
