#ifndef VM_CLASSDATAARCHIVE_H
#define VM_CLASSDATAARCHIVE_H

// The rules behind the class-data archives that the launcher keeps for an application: the
// setting, the options and runtimes that take part, the key that names an archive, the names in
// the cache folder and which of its files are used or removed. Pure functions of what they are
// given; ClassDataSharing gathers the facts from the system and acts on the answers.

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


// Why the runtime records no dynamic archives (they came with Java 13, in the HotSpot VM); null
// when it does. jvmVariant is JVM_VARIANT of its release file, empty when the file names none.
const char* dynamicArchiveObstacle(const config::JavaVersion& version,
                                   const std::string& jvmVariant);

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
// never give the same text. The archive's key is the hash of this text.
std::string archiveKeyText(const ArchiveKeyInputs& inputs);

// 16 lower-case hexadecimal digits.
std::string hex64(std::uint64_t value);

// The files of one application, runtime and key in the cache folder:
//   <program>-<runtime>-<key>-<stamp>.jsa   an archive; stamp: its size and time when recorded
//   <program>-<runtime>-<key>-<pid>.tmp     what the VM of process pid is recording
// program is the program's base name; runtime, key and stamp are hex64 hashes.
struct ArchiveSlot {
  std::string program;
  std::string runtime;  // hex64 of the runtime home
  std::string key;      // hex64 of the key text
};

ArchiveSlot archiveSlot(const std::string& program, const std::string& runtimeHome,
                        const std::string& keyText);
std::string archiveFileName(const ArchiveSlot& slot, const os::FileStamp& stamp);
std::string recordingFileName(const ArchiveSlot& slot, std::uint32_t processId);

struct CacheEntry {
  std::string name;
  os::FileStamp stamp;
};

struct CacheRemoval {
  std::string name;
  const char* reason;
};

struct CacheReview {
  std::string use;  // the archive of the slot's key, unchanged since it was recorded; or empty
  std::vector<CacheRemoval> remove;
};

// A recording file this old was left by a process that ended during the VM's dump.
constexpr std::int64_t kAbandonedRecordingAge = 3600ll * 1000000000ll;
// Archives of this many other runtimes stay beside the current one's, the newest first.
constexpr std::size_t kOtherRuntimesKept = 2;

// Looks at the folder's entries that belong to the slot's program, and tells which archive to use
// and what to remove: the slot's archives of other keys, archives changed since they were
// recorded, all but one of several archives of the key (the greatest name stays, so that processes
// that decide at once keep the same one), abandoned recordings, and the archives of runtimes
// beyond the newest kOtherRuntimesKept others. Everything else is left alone.
CacheReview reviewCache(const ArchiveSlot& slot, const std::vector<CacheEntry>& entries,
                        std::int64_t now);

// Whether a file starts as a dynamic archive does once the VM has finished it: the VM writes the
// header, with its magic number, last.
bool isDynamicArchiveHeader(const std::string& firstBytes);

}  // namespace vm

#endif
