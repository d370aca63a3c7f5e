#ifndef VM_CLASSDATAARCHIVE_H
#define VM_CLASSDATAARCHIVE_H

// The rules behind the class-data archives that the launcher keeps for an application: the
// setting, the options and runtimes that take part, which kind of archive a runtime keeps, the key
// that names an archive, the names in the cache folder, which of its files are used or removed,
// and the room a recording needs. Pure functions of what they are given; ClassDataSharing gathers
// the facts from the system and acts on the answers.

#include <cstdint>
#include <string>
#include <vector>

#include "os/FileSystem.h"
#include "os/Platform.h"
#include "config/JavaVersion.h"

namespace vm {

enum class ClassDataSharingMode { Off, Auto };

// "auto" or "off", in any case; false for any other text, which leaves sharing off.
bool parseClassDataSharing(const std::string& value, ClassDataSharingMode& mode);

// Whether the option decides class-data sharing itself: -Xshare, an archive of its own, the VM's
// automatic archive, the ahead-of-time cache. The launcher then leaves sharing to the VM.
bool managesClassData(const std::string& option);

// The options the VM takes from an environment variable such as JAVA_TOOL_OPTIONS: split at white
// space, as far as telling their names apart goes.
StringArray splitInheritedOptions(const std::string& text);

// Java 13 to 24 record a dynamic archive on top of the runtime's default archive
// (-XX:ArchiveClassesAtExit); Java 25 and later keep an ahead-of-time cache (-XX:AOTCacheOutput,
// -XX:AOTCache), which needs no default archive and also holds linked classes and profiles.
enum class ArchiveKind { Dynamic, AotCache };
constexpr std::int32_t kFirstAotCacheVersion = 25;
ArchiveKind archiveKindFor(const config::JavaVersion& version);

// Why the runtime keeps no archives of either kind; null when it does. jvmVariant is JVM_VARIANT of
// its release file, empty when the file names none.
const char* archiveObstacle(const config::JavaVersion& version, const std::string& jvmVariant);

// A path list split at the list separator, empty entries left out, each relative entry put below
// the current folder.
StringArray resolvedPathList(const std::string& list, const std::string& currentFolder);

// "file", "folder", "other" or "absent".
const char* entryKindName(os::EntryKind kind);

struct StampedPath {
  std::string path;
  os::FileStamp stamp;
};

// Everything an archive depends on that can change under it.
struct ArchiveKeyInputs {
  std::string runtimeHome;
  std::string release;                    // the runtime's release file
  std::vector<StampedPath> runtimeFiles;  // VM library, modules image, the default archives
  std::vector<StampedPath> classPath;     // each entry as the VM will open it
  std::string vmParameters;               // "Virtual Machine Parameters" as the INI file has it
  std::string inheritedOptions;           // JAVA_TOOL_OPTIONS and _JAVA_OPTIONS
};

// One line per input, each value preceded by its length, so that two different sets of inputs
// never give the same text. Each file counts with its size, its times of last write and last
// change, and which file it is, so that content replaced under the same size and time (an update
// with fixed time stamps, "touch -d") still changes the key. The archive's key is the hash of
// this text.
std::string archiveKeyText(const ArchiveKeyInputs& inputs);

// 16 lower-case hexadecimal digits.
std::string hex64(std::uint64_t value);

// The files of one application, runtime and key in the cache folder:
//   <program>-<runtime>-<key>-<stamp>.jsa           a dynamic archive; stamp: its size and time
//   <program>-<runtime>-<key>-<stamp>.aot           an ahead-of-time cache, named the same way
//   <archive name>.<pid>.mark                       process pid uses the archive and has not yet
//                                                   seen main return
//   <program>-<runtime>-<key>-<pid>.tmp             what the VM of process pid is recording
//   <program>-<runtime>-<key>-<pid>.tmp.config      the VM's own file beside an ahead-of-time
//                                                   recording
//   <program>-<runtime>-<key>-<pid>.tmp.mark        process pid is recording
// program is the program's base name; runtime, key and stamp are hex64 hashes.
struct ArchiveSlot {
  std::string program;
  std::string runtime;  // hex64 of the runtime home
  std::string key;      // hex64 of the key text
};

ArchiveSlot archiveSlot(const std::string& program, const std::string& runtimeHome,
                        const std::string& keyText);
std::string archiveFileName(const ArchiveSlot& slot, ArchiveKind kind, const os::FileStamp& stamp);
std::string recordingFileName(const ArchiveSlot& slot, std::uint32_t processId);
std::string markFileName(const std::string& archiveName, std::uint32_t processId);
// Where the VM keeps its own notes while it records an ahead-of-time cache at recordingPath.
std::string recordingCompanion(const std::string& recordingPath);
// The mark that a recording's process holds from before the recording's first file until after
// its last is gone.
std::string recordingMarkName(const std::string& recordingName);

struct CacheEntry {
  std::string name;
  os::FileStamp stamp;
};

// The marks of the program's files: each archive mark with its archive, and each recording file
// with the mark its process holds while it records (a mark left alone comes with no file).
struct MarkedFile {
  std::string mark;
  std::string file;
};
struct ProgramMarks {
  std::vector<MarkedFile> archives;
  std::vector<MarkedFile> recordings;
};
ProgramMarks programMarks(const std::string& program, const std::vector<CacheEntry>& entries);

struct CacheRemoval {
  std::string name;
  const char* reason;
};

struct CacheReview {
  std::string use;  // the archive of the slot's key, unchanged since it was recorded; or empty
  std::vector<CacheRemoval> remove;
  std::uint64_t largestArchive = 0;  // bytes of the program's largest archive, of any key
};

// Archives of this many other runtimes stay beside the current one's, the newest first.
constexpr std::size_t kOtherRuntimesKept = 2;

// Looks at the folder's archives that belong to the slot's program, and tells which to use and
// which to remove: the slot's archives of other keys or of the other kind, archives changed since
// they were recorded, all but one of several archives of the key (the greatest name stays, so
// that processes that decide at once keep the same one), and the archives of runtimes beyond the
// newest kOtherRuntimesKept others. Marks, recordings and everything else are left alone.
CacheReview reviewCache(const ArchiveSlot& slot, ArchiveKind kind,
                        const std::vector<CacheEntry>& entries);

// What the room a recording needs is worked out from.
struct RecordingSpace {
  ArchiveKind kind = ArchiveKind::Dynamic;
  std::uint64_t classPathBytes = 0;       // the class path's files
  std::uint64_t defaultArchiveBytes = 0;  // the runtime's largest default archive
  std::uint64_t largestArchive = 0;       // the program's largest archive already kept
};
// Bytes that must be free before a start records: twice what the archive is expected to take
// (an ahead-of-time recording also writes the VM's notes of the same size), and a margin, so that
// a recording neither runs out of room nor fills the disk.
std::uint64_t recordingSpaceNeeded(const RecordingSpace& space);

// Whether a file starts as an archive of the kind does once the VM has finished it: the VM writes
// the header, with its magic number, last.
bool isFinishedArchive(ArchiveKind kind, const std::string& firstBytes);

}  // namespace vm

#endif
