#include <algorithm>
#include <string>
#include <vector>

#include "os/Platform.h"
#include "tests/unit/Test.h"
#include "runtime/JvmSearch.h"
#include "vm/ClassDataArchive.h"

using namespace runtime;
using namespace vm;

namespace {

os::FileStamp fileStamp(std::uint64_t size, std::int64_t modified) {
  os::FileStamp stamp;
  stamp.kind = os::EntryKind::File;
  stamp.size = size;
  stamp.modified = modified;
  return stamp;
}

JavaVersion version(std::int32_t major, std::int32_t minor, std::int32_t count) {
  JavaVersion v;
  v.components[0] = major;
  v.components[1] = minor;
  v.count = count;
  return v;
}

std::string removals(const CacheReview& review) {
  std::vector<std::string> names;
  for (const CacheRemoval& removal : review.remove) names.push_back(removal.name);
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += "<" + name + ">";
  return text;
}

constexpr std::int64_t kSecond = 1000000000;

}  // namespace

TEST_CASE(classData_settingAndOptions) {
  ClassDataSharingMode mode = ClassDataSharingMode::Auto;
  struct Setting {
    const char* value;
    bool known;
    ClassDataSharingMode mode;
  } settings[] = {
      {"auto", true, ClassDataSharingMode::Auto}, {"Auto", true, ClassDataSharingMode::Auto},
      {"OFF", true, ClassDataSharingMode::Off},   {"", false, ClassDataSharingMode::Off},
      {"yes", false, ClassDataSharingMode::Off},  {"auto ", false, ClassDataSharingMode::Off},
  };
  for (const Setting& row : settings) {
    test::setContext(row.value);
    CHECK_EQ(parseClassDataSharing(row.value, mode), row.known);
    CHECK(mode == row.mode);
  }

  struct Option {
    const char* option;
    bool manages;
  } options[] = {
      {"-Xshare:off", true},           {"-XX:SharedArchiveFile=/a.jsa", true},
      {"-XX:ArchiveClassesAtExit=/a.jsa", true}, {"-XX:+AutoCreateSharedArchive", true},
      {"-XX:-UseSharedSpaces", true},  {"-XX:AOTCache=app.aot", true},
      {"-XX:+VerifySharedSpaces", false}, {"-XX:SharedArchiveFileX=1", false},
      {"-Xlog:cds=info", false},       {"-Dhint=-Xshare:off", false},
  };
  for (const Option& row : options) {
    test::setContext(row.option);
    CHECK_EQ(managesClassData(row.option), row.manages);
  }

  const StringArray inherited = splitInheritedOptions("  -Xmx1g\t-Xshare:off\n\r -Dx=1 ");
  CHECK_EQ(inherited.size(), static_cast<std::size_t>(3));
  CHECK_EQ(inherited[1], std::string("-Xshare:off"));
  CHECK(splitInheritedOptions(" \n ").empty());
}

TEST_CASE(classData_runtimes) {
  const std::string release =
      "IMPLEMENTOR=\"Eclipse Adoptium\"\r\nJAVA_VERSION_DATE=\"2026-04-21\"\r\n"
      "JAVA_VERSION=\"25.0.3\"\r\nJVM_VARIANT=\"Openj9\"\r\nOS_ARCH=x86_64";
  CHECK_EQ(releaseValue(release, "JAVA_VERSION"), std::string("25.0.3"));
  CHECK_EQ(releaseValue(release, "JVM_VARIANT"), std::string("Openj9"));
  CHECK_EQ(releaseValue(release, "OS_ARCH"), std::string("x86_64"));
  CHECK_EQ(releaseValue(release, "MODULES"), std::string());

  constexpr ArchiveKind D = ArchiveKind::Dynamic;
  constexpr ArchiveKind A = ArchiveKind::AotCache;
  struct Row {
    JavaVersion version;
    const char* variant;
    bool supported;
    ArchiveKind kind;
  } rows[] = {
      {version(17, 0, 3), "", true, D},        {version(13, 0, 1), "", true, D},
      {version(25, 0, 3), "Hotspot", true, A}, {version(21, 0, 2), "server", true, D},
      {version(24, 0, 2), "", true, D},        {version(26, 0, 1), "", true, A},
      {version(21, 0, 2), "Openj9", false, D}, {version(12, 0, 2), "", false, D},
      {version(1, 8, 2), "", false, D},        {version(0, 0, 0), "", false, D},
  };
  for (const Row& row : rows) {
    test::setContext(std::to_string(row.version.components[0]) + " " + row.variant);
    CHECK_EQ(archiveObstacle(row.version, row.variant) == nullptr, row.supported);
    if (row.supported) CHECK(archiveKindFor(row.version) == row.kind);
  }
}

TEST_CASE(classData_pathListsAndKey) {
  const std::string s(1, os::kPathSeparator);
  const std::string l(1, os::kListSeparator);
  const std::string root = os::kPathSeparator == '\\' ? "C:\\" : "/";
  const StringArray paths =
      resolvedPathList("lib" + s + "a.jar" + l + l + root + "b.jar" + l, root + "app");
  CHECK_EQ(paths.size(), static_cast<std::size_t>(2));
  CHECK_EQ(paths[0], root + "app" + s + "lib" + s + "a.jar");
  CHECK_EQ(paths[1], root + "b.jar");

  ArchiveKeyInputs base;
  base.runtimeHome = "/jdk/";
  base.release = "JAVA_VERSION=\"17\"\n";
  base.runtimeFiles = {{"/jdk/lib/server/libjvm.so", fileStamp(100, 5)}};
  base.classPath = {{"/app/a.jar", fileStamp(10, 7)}, {"/app/b.jar", fileStamp(20, 8)}};
  base.vmParameters = "-Xmx1g";
  base.inheritedOptions = "\n";
  const std::string key = archiveKeyText(base);
  CHECK_EQ(archiveKeyText(base), key);

  // Every input that can change under an archive changes the key.
  std::vector<ArchiveKeyInputs> changed(11, base);
  changed[0].runtimeHome = "/jdk2/";
  changed[1].release = "JAVA_VERSION=\"17.0.1\"\n";
  changed[2].runtimeFiles[0].stamp.modified = 6;
  changed[3].classPath[0].stamp.size = 11;                 // a jar rebuilt
  changed[4].classPath[1].stamp.modified = 9;              // a jar touched
  changed[5].classPath.pop_back();                         // the class path changed
  std::swap(changed[6].classPath[0], changed[6].classPath[1]);  // its order too
  changed[7].vmParameters = "-Xmx2g";
  changed[8].inheritedOptions = "-Xshare:off\n";
  changed[9].classPath[0].stamp.changed = 12;  // rewritten with size and time set back
  changed[10].classPath[1].stamp.id = 99;      // replaced by another file of that size and time
  for (std::size_t i = 0; i < changed.size(); ++i) {
    test::setContext("change " + std::to_string(i));
    CHECK(archiveKeyText(changed[i]) != key);
  }
  // Values carry their length, so text that looks like another line does not pass for one.
  ArchiveKeyInputs forged = base;
  forged.classPath.pop_back();
  forged.vmParameters = "x\nclass path 14:/app/b.jar file 20 8\nvm parameters 6:-Xmx1g";
  ArchiveKeyInputs real = base;
  real.vmParameters = "x";
  CHECK(archiveKeyText(forged) != archiveKeyText(real));
}

TEST_CASE(classData_namesAndCacheReview) {
  constexpr ArchiveKind D = ArchiveKind::Dynamic;
  const ArchiveSlot slot = archiveSlot("app", "/jdk/", "key text");
  CHECK_EQ(slot.runtime.size(), static_cast<std::size_t>(16));
  CHECK_EQ(slot.key.size(), static_cast<std::size_t>(16));
  const os::FileStamp stamp = fileStamp(4096, 1000 * kSecond);
  const std::string archive = archiveFileName(slot, D, stamp);
  CHECK_EQ(archive.substr(0, 38), "app-" + slot.runtime + "-" + slot.key + "-");
  CHECK_EQ(archive.size(), static_cast<std::size_t>(58));
  CHECK_EQ(archive.substr(54), std::string(".jsa"));
  const std::string cache = archiveFileName(slot, ArchiveKind::AotCache, stamp);
  CHECK_EQ(cache, archive.substr(0, 54) + ".aot");
  const std::string recording = recordingFileName(slot, 4321);
  CHECK_EQ(recording, "app-" + slot.runtime + "-" + slot.key + "-4321.tmp");

  const ArchiveSlot oldKey = archiveSlot("app", "/jdk/", "old key text");
  const ArchiveSlot otherApp = archiveSlot("app2", "/jdk/", "key text");
  const ArchiveSlot runtime1 = archiveSlot("app", "/jdk1/", "k");
  const ArchiveSlot runtime2 = archiveSlot("app", "/jdk2/", "k");
  const ArchiveSlot runtime3 = archiveSlot("app", "/jdk3/", "k");
  const os::FileStamp other = fileStamp(8192, 2000 * kSecond);

  struct Row {
    const char* what;
    std::vector<CacheEntry> entries;
    std::string use;
    std::string removed;
  } rows[] = {
      {"the archive of the key is used, marks and recordings are no matter of the review",
       {{archive, stamp}, {"app.ini", stamp}, {markFileName(archive, 7), stamp},
        {recording, other}, {recordingCompanion(recording), other}},
       archive, ""},
      {"a changed archive is removed, none used",
       {{archive, fileStamp(4000, 1000 * kSecond)}}, "", "<" + archive + ">"},
      {"a touched archive too", {{archive, fileStamp(4096, 1001 * kSecond)}}, "",
       "<" + archive + ">"},
      {"archives of other keys and of the other kind go",
       {{archive, stamp}, {archiveFileName(oldKey, D, other), other}, {cache, stamp}}, archive,
       "<" + archiveFileName(oldKey, D, other) + "><" + cache + ">"},
      {"of two archives of the key the greatest name stays",
       {{archive, stamp}, {archiveFileName(slot, D, other), other}},
       std::max(archive, archiveFileName(slot, D, other)),
       "<" + std::min(archive, archiveFileName(slot, D, other)) + ">"},
      {"other programs' files and stray names are left alone",
       {{archiveFileName(otherApp, D, other), other}, {recordingFileName(otherApp, 9), other},
        {"app-" + slot.runtime + "-" + slot.key + "-zz.jsa", stamp}, {"app-.jsa", stamp}},
       "", ""},
      {"two other runtimes stay, the oldest third goes",
       {{archiveFileName(runtime1, D, fileStamp(1, 10 * kSecond)), fileStamp(1, 10 * kSecond)},
        {archiveFileName(runtime2, D, fileStamp(1, 30 * kSecond)), fileStamp(1, 30 * kSecond)},
        {archiveFileName(runtime3, D, fileStamp(1, 20 * kSecond)), fileStamp(1, 20 * kSecond)}},
       "", "<" + archiveFileName(runtime1, D, fileStamp(1, 10 * kSecond)) + ">"},
  };
  for (const Row& row : rows) {
    test::setContext(row.what);
    const CacheReview review = reviewCache(slot, D, row.entries);
    CHECK_EQ(review.use, row.use);
    CHECK_EQ(removals(review), row.removed);
  }
  CHECK_EQ(reviewCache(slot, D, rows[3].entries).largestArchive, static_cast<std::uint64_t>(8192));

  // Each archive mark with its archive; each recording file, and a mark left alone, with the mark.
  const ProgramMarks marks = programMarks(
      "app", {{markFileName(archive, 7), stamp}, {markFileName(cache, 8), stamp}, {recording, stamp},
              {recordingCompanion(recording), stamp}, {recordingMarkName(recordingFileName(oldKey, 5)), stamp},
              {markFileName(archiveFileName(otherApp, D, stamp), 7), stamp}, {archive + ".x.mark", stamp}});
  std::string text;
  for (const MarkedFile& m : marks.archives) text += "<" + m.mark + " " + m.file + ">";
  CHECK_EQ(text, "<" + archive + ".7.mark " + archive + "><" + cache + ".8.mark " + cache + ">");
  text.clear();
  for (const MarkedFile& m : marks.recordings) text += "<" + m.mark + " " + m.file + ">";
  CHECK_EQ(text, "<" + recording + ".mark " + recording + "><" + recording + ".mark " + recording +
                     ".config><" + recordingFileName(oldKey, 5) + ".mark >");

  // Twice the expected archive and a margin; what an archive of the program took counts.
  constexpr std::uint64_t MB = 1024 * 1024;
  CHECK_EQ(recordingSpaceNeeded({D, 3 * MB, 13 * MB, 0}), 52 * MB);
  CHECK_EQ(recordingSpaceNeeded({D, 3 * MB, 13 * MB, 30 * MB}), 92 * MB);
  CHECK_EQ(recordingSpaceNeeded({ArchiveKind::AotCache, 3 * MB, 10 * MB, 0}), 120 * MB);

  const std::string little("\xa8\xab\x0b\xf0\x13\x00", 6);
  const std::string big("\xf0\x0b\xab\xa8", 4);
  CHECK(isFinishedArchive(D, little));
  CHECK(isFinishedArchive(D, big));
  CHECK(!isFinishedArchive(D, std::string(4, '\0')));  // the header is written last
  CHECK(!isFinishedArchive(D, "\xa2\xab\x0b\xf0"));    // a static archive
  CHECK(isFinishedArchive(ArchiveKind::AotCache, "\xa2\xab\x0b\xf0"));  // as the cache is
  CHECK(!isFinishedArchive(ArchiveKind::AotCache, little));
  CHECK(!isFinishedArchive(D, little.substr(0, 3)));
}
