#include "vm/ClassDataSharing.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "base/Trace.h"
#include "config/Settings.h"
#include "os/FileSystem.h"
#include "os/Path.h"
#include "os/Process.h"
#include "os/ThreadMessage.h"
#include "runtime/JvmCandidate.h"
#include "runtime/JvmSearch.h"
#include "vm/ClassDataArchive.h"
#include "vm/OptionText.h"

namespace vm {

namespace {

constexpr const char* kClassPathOption = "-Djava.class.path=";
constexpr const char* kBootAppendOption = "-Xbootclasspath/a:";
// The VM's archive messages go to standard output, where a user of a desktop application has no
// use for them; the trace tells what the launcher did. A user's own -Xlog:cds comes later and wins.
constexpr const char* kQuietArchives = "-Xlog:cds*=off";
// A dynamic archive is tens of megabytes; the VM ends the process with 1 when it cannot write it.
constexpr std::uint64_t kFreeSpaceNeeded = 256ull * 1024 * 1024;

// The recording that the VM's exit hook finishes: set before the VM is created, cleared when the
// recording is withdrawn or finished.
std::atomic<ClassDataSharingState*> exitingRecording{nullptr};

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

StampedPath stamped(const std::string& path) { return StampedPath{path, os::fileStamp(path)}; }

std::string inheritedOptions() {
  std::string toolOptions;
  std::string javaOptions;
  os::getEnvironment("JAVA_TOOL_OPTIONS", toolOptions);
  os::getEnvironment("_JAVA_OPTIONS", javaOptions);
  return toolOptions + "\n" + javaOptions;
}

// The option by which the user runs class-data sharing; empty when there is none.
std::string userManagedOption(const StringArray& options, const std::string& inherited) {
  for (const std::string& option : options) {
    if (managesClassData(option)) return option;
  }
  for (const std::string& option : splitInheritedOptions(inherited)) {
    if (managesClassData(option)) return option + " (from the environment)";
  }
  return std::string();
}

// What the archive depends on inside the runtime: the VM library, the modules image and the
// default archives beside the VM library, on which a dynamic archive builds.
std::vector<StampedPath> runtimeFiles(const std::string& jvmPath, const std::string& home,
                                      bool& hasDefaultArchive) {
  std::vector<StampedPath> files{stamped(jvmPath),
                                 stamped(home + "lib" + os::kPathSeparator + "modules")};
  const std::string vmFolder = os::folderOf(jvmPath);
  StringArray names = os::folderEntries(vmFolder);
  std::sort(names.begin(), names.end());
  hasDefaultArchive = false;
  for (const std::string& name : names) {
    if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".jsa") != 0) continue;
    files.push_back(stamped(vmFolder + name));
    hasDefaultArchive = hasDefaultArchive || files.back().stamp.kind == os::EntryKind::File;
  }
  return files;
}

std::vector<CacheEntry> cacheEntries(const std::string& folder) {
  std::vector<CacheEntry> entries;
  for (const std::string& name : os::folderEntries(folder)) {
    entries.push_back(CacheEntry{name, os::fileStamp(folder + name)});
  }
  return entries;
}

void removeTraced(const std::string& folder, const CacheRemoval& removal) {
  const bool removed = os::removeFile(folder + removal.name);
  trace("class data sharing: %s %s%s (%s)", removed ? "removed" : "could not remove", folder.c_str(),
        removal.name.c_str(), removal.reason);
}

// Removes what the cache review finds; the archive of the slot's key, if any.
std::string tidyCache(const std::string& folder, const ArchiveSlot& slot) {
  const CacheReview review = reviewCache(slot, cacheEntries(folder), os::currentTime());
  for (const CacheRemoval& removal : review.remove) removeTraced(folder, removal);
  return review.use;
}

bool finishedArchive(const std::string& path) {
  std::string header;
  return os::readFile(path, header, 4) == os::FileRead::Read && isDynamicArchiveHeader(header);
}

// A folder on the class path or the boot class path makes the VM's dump end the process with an
// error when the application ends; such a start records nothing.
std::string folderOnPaths(const std::vector<StampedPath>& classPath, const StringArray& options,
                          const std::string& currentFolder) {
  for (const StampedPath& entry : classPath) {
    if (entry.stamp.kind == os::EntryKind::Folder) return entry.path;
  }
  for (const std::string& option : options) {
    if (!startsWith(option, kBootAppendOption)) continue;
    const std::string list = option.substr(std::strlen(kBootAppendOption));
    for (const std::string& path : resolvedPathList(list, currentFolder)) {
      if (os::fileStamp(path).kind == os::EntryKind::Folder) return path;
    }
  }
  return std::string();
}

// Keeps or drops what the VM recorded; whichever of the two ways out comes first does it.
void keepRecording(ClassDataSharingState& recording, bool succeeded, const std::string& ending) {
  if (recording.recordingPath.empty() || recording.finished.exchange(true)) return;
  const std::string& path = recording.recordingPath;
  if (!succeeded) {
    os::removeFile(path);
    trace("class data sharing: %s not kept: %s", path.c_str(), ending.c_str());
    return;
  }
  const os::FileStamp stamp = os::fileStamp(path);
  if (stamp.kind != os::EntryKind::File || !finishedArchive(path)) {
    os::removeFile(path);
    trace("class data sharing: the VM left no finished archive in %s (%s)", path.c_str(),
          ending.c_str());
    return;
  }
  const std::string archive = recording.folder + archiveFileName(recording.slot, stamp);
  if (!os::replaceFile(path, archive)) {
    os::removeFile(path);
    trace("class data sharing: %s could not be renamed to %s", path.c_str(), archive.c_str());
    return;
  }
  trace("class data sharing: recorded archive %s kept (%s, %llu bytes)", archive.c_str(),
        ending.c_str(), static_cast<unsigned long long>(stamp.size));
  // Another start may have kept one of the same key meanwhile, and runtimes may have piled up.
  tidyCache(recording.folder, recording.slot);
}

void JNICALL onVmExit(jint code) {
  ClassDataSharingState* recording = exitingRecording.load();
  if (recording == nullptr) return;
  keepRecording(*recording, code == 0, "System.exit(" + std::to_string(code) + ")");
}

// The archives' folder below the user's cache folder, created when needed: the folders of the
// per-user INI file, below the cache folder instead of the settings folder.
bool archiveFolder(const config::LauncherConfig& config, std::string& folder,
                   std::string& program) {
  const std::string cache = os::userCacheFolder();
  if (cache.empty()) {
    trace("class data sharing: none, the user has no cache folder");
    return false;
  }
  const config::UserIniLocation location =
      config::userIniPathFor(config.programPath, cache, config.productName, config.productCode);
  // A fresh account may not have its cache folder yet; failures show in the test below.
  os::createDirectory(cache);
  os::createDirectory(location.productFolder);
  os::createDirectory(location.codeFolder);
  if (os::fileStamp(location.codeFolder).kind != os::EntryKind::Folder) {
    trace("class data sharing: none, the folder %s cannot be created", location.codeFolder.c_str());
    return false;
  }
  folder = os::withTrailingSeparator(location.codeFolder);
  const std::string iniName = location.path.substr(os::fileNameStart(location.path));
  program = iniName.substr(0, iniName.size() - 4);  // without ".ini"
  return true;
}

// The archive option goes last: a VM that refuses one of the others stops reading before it, and
// when it is created again without them (withdrawClassDataSharingOptions) no archive flag is left
// set from the first attempt, which HotSpot would keep.
void insertOptions(VmState& vm, std::size_t at, const StringArray& added) {
  StringArray& options = vm.options;
  options.insert(options.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
  vm.classDataSharing.optionsAt = at;
  vm.classDataSharing.optionsCount = added.size();
}

// The runtime's part of the key; false, traced, when the runtime records no dynamic archives.
bool runtimeInputs(const std::string& jvmPath, ArchiveKeyInputs& inputs,
                   config::JavaVersion& version) {
  const std::string home = os::withTrailingSeparator(stripPathComponents(jvmPath, 3));
  const std::string release = runtime::readReleaseFile(home);
  version = runtime::runtimeVersion(home, release);
  const std::string variant = runtime::releaseValue(release, "JVM_VARIANT");
  if (const char* obstacle = dynamicArchiveObstacle(version, variant)) {
    trace("class data sharing: none for the runtime %s (version %s): %s", home.c_str(),
          runtime::versionTraceText(version).c_str(), obstacle);
    return false;
  }
  bool hasDefaultArchive = false;
  inputs.runtimeFiles = runtimeFiles(jvmPath, home, hasDefaultArchive);
  if (!hasDefaultArchive) {
    trace("class data sharing: none, the runtime %s has no default archive to build on",
          home.c_str());
    return false;
  }
  inputs.runtimeHome = home;
  inputs.release = release;
  return true;
}

void traceKey(const ArchiveSlot& slot, const ArchiveKeyInputs& inputs,
              const config::JavaVersion& version) {
  if (!base::traceEnabled()) return;
  trace("class data sharing: key %s of runtime %s (%s, version %s)", slot.key.c_str(),
        slot.runtime.c_str(), inputs.runtimeHome.c_str(),
        runtime::versionTraceText(version).c_str());
  for (const std::vector<StampedPath>* list : {&inputs.runtimeFiles, &inputs.classPath}) {
    for (const StampedPath& entry : *list) {
      trace("  %s: %s, %llu bytes, modified %lld", entry.path.c_str(),
            entryKindName(entry.stamp.kind), static_cast<unsigned long long>(entry.stamp.size),
            static_cast<long long>(entry.stamp.modified));
    }
  }
}

// Has the VM record an archive of the slot's key into a name of its own, to be kept at its end.
void startRecording(VmState& vm, std::size_t insertAt, const std::string& folder,
                    const ArchiveSlot& slot) {
  std::uint64_t freeBytes = 0;
  if (os::freeDiskSpace(folder, freeBytes) && freeBytes < kFreeSpaceNeeded) {
    trace("class data sharing: nothing recorded, %llu bytes free in %s",
          static_cast<unsigned long long>(freeBytes), folder.c_str());
    return;
  }
  const std::string path = folder + recordingFileName(slot, os::currentProcessId());
  // The VM ends the process with an error at its exit when it cannot create the file, so the
  // launcher makes sure first that it can.
  if (!os::writeFile(path, std::string())) {
    trace("class data sharing: nothing recorded, %s cannot be written", path.c_str());
    return;
  }
  ClassDataSharingState& recording = vm.classDataSharing;
  recording.folder = folder;
  recording.recordingPath = path;
  recording.slot = slot;
  recording.exitHook = onVmExit;
  exitingRecording.store(&recording);
  insertOptions(vm, insertAt, {kQuietArchives, "-XX:ArchiveClassesAtExit=" + path});
  trace("class data sharing: no archive for this key; the VM records into %s at its exit",
        path.c_str());
}

}  // namespace

void addClassDataSharingOptions(const config::LauncherConfig& config, VmState& vm,
                                const std::string& vmParameters) {
  const std::string setting = config::readSetting(config.iniPath, config::ini::kClassDataSharing);
  ClassDataSharingMode mode = ClassDataSharingMode::Off;
  if (!parseClassDataSharing(setting, mode) && !setting.empty()) {
    trace("class data sharing: [%s] is neither auto nor off", setting.c_str());
  }
  if (mode == ClassDataSharingMode::Off) {
    trace("class data sharing: off");
    return;
  }

  const StringArray& options = vm.options;
  const auto isClassPath = [](const std::string& option) {
    return startsWith(option, kClassPathOption);
  };
  const auto first = std::find_if(options.begin(), options.end(), isClassPath);
  if (first == options.end()) return;
  const std::size_t insertAt = static_cast<std::size_t>(first - options.begin()) + 1;
  // The VM takes the last class path it is given.
  const std::string classPath =
      std::find_if(options.rbegin(), options.rend(), isClassPath)->substr(std::strlen(kClassPathOption));

  ArchiveKeyInputs inputs;
  inputs.vmParameters = vmParameters;
  inputs.inheritedOptions = inheritedOptions();
  const std::string managed = userManagedOption(options, inputs.inheritedOptions);
  if (!managed.empty()) {
    trace("class data sharing: left to the VM, whose options include %s", managed.c_str());
    return;
  }
  config::JavaVersion version;
  std::string folder;
  std::string program;
  if (!runtimeInputs(vm.jvmDllPath, inputs, version) || !archiveFolder(config, folder, program)) {
    return;
  }
  const std::string currentFolder = os::currentDirectory();
  for (const std::string& entry : resolvedPathList(classPath, currentFolder)) {
    inputs.classPath.push_back(stamped(entry));
  }
  const ArchiveSlot slot = archiveSlot(program, inputs.runtimeHome, archiveKeyText(inputs));
  traceKey(slot, inputs, version);

  const std::string use = tidyCache(folder, slot);
  if (!use.empty()) {
    const std::string archive = folder + use;
    if (finishedArchive(archive)) {
      // The VM's checksum test of every region (-XX:+VerifySharedSpaces) is left to the vendor: it
      // costs a tenth of the start on Temurin 25, against damage that keeps an archive's size and
      // time, which only the disk could do, as it could to the runtime's own archive.
      insertOptions(vm, insertAt, {kQuietArchives, "-XX:SharedArchiveFile=" + archive});
      trace("class data sharing: using %s, recorded for this key", archive.c_str());
      return;
    }
    removeTraced(folder, CacheRemoval{use, "not a finished archive"});
  }
  const std::string folderEntry = folderOnPaths(inputs.classPath, options, currentFolder);
  if (!folderEntry.empty()) {
    trace("class data sharing: nothing recorded, the VM cannot archive the folder %s",
          folderEntry.c_str());
    return;
  }
  startRecording(vm, insertAt, folder, slot);
}

bool withdrawClassDataSharingOptions(VmState& vm) {
  ClassDataSharingState& state = vm.classDataSharing;
  if (state.optionsCount == 0) return false;
  StringArray& options = vm.options;
  const auto first = options.begin() + static_cast<std::ptrdiff_t>(state.optionsAt);
  options.erase(first, first + static_cast<std::ptrdiff_t>(state.optionsCount));
  state.optionsCount = 0;
  if (!state.recordingPath.empty()) {
    os::removeFile(state.recordingPath);
    state.recordingPath.clear();
  }
  state.exitHook = nullptr;
  exitingRecording.store(nullptr);
  trace("class data sharing: the VM refused the archive options; creating it without them");
  return true;
}

void finishClassDataRecording(VmState& vm) {
  ClassDataSharingState& recording = vm.classDataSharing;
  keepRecording(recording, recording.runSucceeded,
                recording.runSucceeded ? "the VM ended" : "the run failed");
  exitingRecording.store(nullptr);
}

}  // namespace vm
