#include "vm/ClassDataSharing.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "base/Trace.h"
#include "config/Settings.h"
#include "os/FileSystem.h"
#include "os/Library.h"
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
// The launcher's own folder below the user's cache folder, beside other programs' files.
constexpr const char* kOwnFolder = "ql-launcher";
// The VM's archive messages go to standard output, where a user of a desktop application has no
// use for them; the trace tells what the launcher did. A user's own -Xlog:cds comes later and wins.
// Java 25 logs the ahead-of-time cache under "aot", a tag that Java 17 refuses.
constexpr const char* kQuietArchives = "-Xlog:cds*=off";
constexpr const char* kQuietAotCache = "-Xlog:aot*=off";
// A recording start passes System.exit's native method through the launcher (noteHalt), of which
// the VM warns, in the same place.
constexpr const char* kQuietNatives = "-Xlog:jni+resolve=off";

// The state whose recording or mark the VM's hooks finish: set when the archive options go in,
// cleared when they are withdrawn or the recording is finished.
std::atomic<ClassDataSharingState*> hookedState{nullptr};

using HaltFunction = void(JNICALL*)(jint code);
std::atomic<HaltFunction> vmHalt{nullptr};

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
                                      std::uint64_t& defaultArchiveBytes) {
  std::vector<StampedPath> files{stamped(jvmPath),
                                 stamped(home + "lib" + os::kPathSeparator + "modules")};
  const std::string vmFolder = os::folderOf(jvmPath);
  StringArray names = os::folderEntries(vmFolder);
  std::sort(names.begin(), names.end());
  defaultArchiveBytes = 0;
  for (const std::string& name : names) {
    if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".jsa") != 0) continue;
    files.push_back(stamped(vmFolder + name));
    if (files.back().stamp.kind == os::EntryKind::File) {
      defaultArchiveBytes = std::max(defaultArchiveBytes, files.back().stamp.size);
    }
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

// Marks that their processes left behind: an archive whose user died before main returned may be
// damaged and goes, before anyone maps it again; a recording whose process is gone will never be
// finished. Marks still held belong to starts that are running and are left alone, and so are
// their archives and recordings.
void settleMarks(const std::string& folder, const std::string& program) {
  const ProgramMarks marks = programMarks(program, cacheEntries(folder));
  for (const MarkedFile& entry : marks.archives) {
    if (os::claimMark(folder + entry.mark) != os::MarkState::Abandoned) continue;
    trace("class data sharing: %s%s was left by a start that ended before its main returned",
          folder.c_str(), entry.mark.c_str());
    if (os::fileStamp(folder + entry.file).kind != os::EntryKind::Absent) {
      removeTraced(folder, CacheRemoval{entry.file, "it may be damaged"});
    }
  }
  for (const MarkedFile& entry : marks.recordings) {
    if (os::claimMark(folder + entry.mark) != os::MarkState::Held && !entry.file.empty()) {
      removeTraced(folder, CacheRemoval{entry.file, "a recording whose start has ended"});
    }
  }
}

// Removes what the cache review finds; the archive of the slot's key, if any.
CacheReview tidyCache(const std::string& folder, const ArchiveSlot& slot, ArchiveKind kind) {
  CacheReview review = reviewCache(slot, kind, cacheEntries(folder));
  for (const CacheRemoval& removal : review.remove) removeTraced(folder, removal);
  return review;
}

bool finishedArchive(ArchiveKind kind, const std::string& path) {
  std::string header;
  return os::readFile(path, header, 4) == os::FileRead::Read && isFinishedArchive(kind, header);
}

// A folder on the class path or the boot class path makes the VM's dump fail when the application
// ends; such a start records nothing.
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

void releaseArchiveMark(ClassDataSharingState& state) {
  if (!state.markReleased.exchange(true)) state.archiveMark.release();
}

void removeRecordingFiles(const ClassDataSharingState& recording) {
  os::removeFile(recording.recordingPath);
  os::removeFile(recordingCompanion(recording.recordingPath));
}

// Keeps or drops what the VM recorded; whichever of the ways out comes first does it.
void keepRecording(ClassDataSharingState& recording, bool succeeded, const std::string& ending) {
  if (recording.recordingPath.empty() || recording.finished.exchange(true)) return;
  const std::string& path = recording.recordingPath;
  const os::FileStamp stamp = os::fileStamp(path);
  if (!succeeded) {
    trace("class data sharing: %s not kept: %s", path.c_str(), ending.c_str());
  } else if (stamp.kind != os::EntryKind::File || !finishedArchive(recording.kind, path)) {
    trace("class data sharing: the VM left no finished archive in %s (%s)", path.c_str(),
          ending.c_str());
  } else {
    const std::string archive =
        recording.folder + archiveFileName(recording.slot, recording.kind, stamp);
    if (os::replaceFile(path, archive)) {
      trace("class data sharing: recorded archive %s kept (%s, %llu bytes)", archive.c_str(),
            ending.c_str(), static_cast<unsigned long long>(stamp.size));
    } else {
      trace("class data sharing: %s could not be renamed to %s", path.c_str(), archive.c_str());
    }
  }
  removeRecordingFiles(recording);
  recording.recordingMark.release();
  // Another start may have kept one of the same key meanwhile, and runtimes may have piled up.
  tidyCache(recording.folder, recording.slot, recording.kind);
}

// The code the application ends with: what it gave System.exit, else, once main's thread has
// ended, the launcher's own. False while neither is known.
bool applicationExitCode(const ClassDataSharingState& state, int& code) {
  if (state.haltSeen.load()) {
    code = state.haltCode.load();
    return true;
  }
  if (state.runEnded.load()) {
    code = state.runCode.load();
    return true;
  }
  return false;
}

// The exit hook: System.exit, or the VM ending the process itself. A VM whose recording failed
// may end with a code of its own (later JDKs end with 1 when the assembly of an ahead-of-time cache
// fails, JDK-8382879); the process ends with the application's instead, as the VM expects an exit
// hook to end the process anyway.
void JNICALL onVmExit(jint code) {
  ClassDataSharingState* state = hookedState.load();
  if (state == nullptr) return;
  releaseArchiveMark(*state);
  int own = code;
  const bool known = vmHalt.load() != nullptr && applicationExitCode(*state, own);
  keepRecording(*state, own == 0, "System.exit(" + std::to_string(own) + ")");
  if (known && own != code && !state->recordingPath.empty()) {
    trace("class data sharing: the VM ends with %d; the application's own code %d is kept",
          static_cast<int>(code), own);
    std::exit(own);
  }
}

// Whether the VM has begun to write the recording: it replaces the files it found at its start
// only then.
bool recordingTouched(const ClassDataSharingState& state) {
  const auto same = [](const os::FileStamp& now, const os::FileStamp& before) {
    return now.kind == before.kind && now.id == before.id && now.size == before.size;
  };
  return !same(os::fileStamp(state.recordingPath), state.recordingAtStart) ||
         !same(os::fileStamp(recordingCompanion(state.recordingPath)), state.companionAtStart);
}

// The abort hook: the VM ends the process after a fatal error, or, with an exit code of 1, when
// it cannot write the archive. The second never changes the start's outcome: the recording goes
// and the process ends with the application's own code. A crash while the application runs is
// left as it is (and an archive mark stays behind for the next start to find).
void JNICALL onVmAbort() {
  ClassDataSharingState* state = hookedState.load();
  int code = 0;
  if (state == nullptr || state->recordingPath.empty() || !recordingTouched(*state) ||
      !applicationExitCode(*state, code) || state->finished.exchange(true)) {
    return;
  }
  removeRecordingFiles(*state);
  state->recordingMark.release();
  trace("class data sharing: the VM could not write %s; the process ends with the application's "
        "own code %d", state->recordingPath.c_str(), code);
  std::exit(code);
}

// Shutdown.halt0, the native method by which System.exit and Runtime.halt end the VM, passes
// through here first, so that the hooks know the application's own code.
void JNICALL noteHalt(JNIEnv*, jclass, jint code) {
  if (ClassDataSharingState* state = hookedState.load()) {
    state->haltCode.store(code);
    state->haltSeen.store(true);
  }
  vmHalt.load()(code);
}

// The archives' folder, the launcher's own below the user's cache folder, with the product
// folders of the per-user INI file inside it; made when needed, and used only when nobody else
// can reach into it.
bool archiveFolder(const config::LauncherConfig& config, std::string& folder,
                   std::string& program) {
  const std::string cache = os::userCacheFolder();
  if (cache.empty()) {
    trace("class data sharing: none, the user has no cache folder");
    return false;
  }
  const config::UserIniLocation location =
      config::userIniPathFor(config.programPath, std::string(), config.productName,
                             config.productCode);
  StringArray names{kOwnFolder};
  std::size_t start = 0;
  const std::string& relative = location.codeFolder;
  for (std::size_t i = 0; i <= relative.size(); ++i) {
    if (i < relative.size() && relative[i] != os::kPathSeparator && relative[i] != '/') {
      if (os::isLeadByte(static_cast<unsigned char>(relative[i])) && i + 1 < relative.size()) ++i;
      continue;
    }
    if (i > start) names.push_back(relative.substr(start, i - start));
    start = i + 1;
  }
  std::string why;
  if (!os::userOwnFolder(cache, names, folder, why)) {
    trace("class data sharing: none, the archive folder is not the user's own: %s", why.c_str());
    return false;
  }
  const std::string iniName = location.path.substr(os::fileNameStart(location.path));
  program = iniName.substr(0, iniName.size() - 4);  // without ".ini"
  return true;
}

// The archive option goes last: a VM that refuses one of the others stops reading before it, and
// when it is created again without them (withdrawClassDataSharingOptions) no archive flag is left
// set from the first attempt, which HotSpot would keep.
void insertOptions(VmState& vm, std::size_t at, const std::string& archiveOption) {
  ClassDataSharingState& state = vm.classDataSharing;
  StringArray added{kQuietArchives};
  if (state.kind == ArchiveKind::AotCache) added.push_back(kQuietAotCache);
  if (!state.recordingPath.empty()) added.push_back(kQuietNatives);
  added.push_back(archiveOption);
  StringArray& options = vm.options;
  options.insert(options.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
  state.optionsAt = at;
  state.optionsCount = added.size();
  state.exitHook = onVmExit;
  state.abortHook = onVmAbort;
  hookedState.store(&state);
}

// The runtime's part of the key and the kind of archive it keeps; false, traced, when it keeps
// none.
bool runtimeInputs(const std::string& jvmPath, ArchiveKeyInputs& inputs,
                   config::JavaVersion& version, ArchiveKind& kind,
                   std::uint64_t& defaultArchiveBytes) {
  const std::string home = os::withTrailingSeparator(stripPathComponents(jvmPath, 3));
  const std::string release = runtime::readReleaseFile(home);
  version = runtime::runtimeVersion(home, release);
  const std::string variant = runtime::releaseValue(release, "JVM_VARIANT");
  if (const char* obstacle = archiveObstacle(version, variant)) {
    trace("class data sharing: none for the runtime %s (version %s): %s", home.c_str(),
          runtime::versionTraceText(version).c_str(), obstacle);
    return false;
  }
  kind = archiveKindFor(version);
  inputs.runtimeFiles = runtimeFiles(jvmPath, home, defaultArchiveBytes);
  const std::string launcher = home + "bin" + os::kPathSeparator + "java";
  if (kind == ArchiveKind::Dynamic && defaultArchiveBytes == 0) {
    trace("class data sharing: none, the runtime %s has no default archive to build on (made "
          "by jlink without --generate-cds-archive?)", home.c_str());
    return false;
  }
  // The VM assembles the cache in a child process of the runtime's own launcher.
  if (kind == ArchiveKind::AotCache && os::fileStamp(launcher).kind != os::EntryKind::File &&
      os::fileStamp(launcher + ".exe").kind != os::EntryKind::File) {
    trace("class data sharing: none, the runtime %s has no bin%cjava to assemble its cache",
          home.c_str(), os::kPathSeparator);
    return false;
  }
  inputs.runtimeHome = home;
  inputs.release = release;
  return true;
}

void traceKey(const ArchiveSlot& slot, const ArchiveKeyInputs& inputs,
              const config::JavaVersion& version, ArchiveKind kind) {
  if (!base::traceEnabled()) return;
  trace("class data sharing: key %s of runtime %s (%s, version %s, %s)", slot.key.c_str(),
        slot.runtime.c_str(), inputs.runtimeHome.c_str(),
        runtime::versionTraceText(version).c_str(),
        kind == ArchiveKind::AotCache ? "ahead-of-time cache" : "dynamic archive");
  for (const std::vector<StampedPath>* list : {&inputs.runtimeFiles, &inputs.classPath}) {
    for (const StampedPath& entry : *list) {
      trace("  %s: %s, %llu bytes, modified %lld, changed %lld, file %llu:%llu", entry.path.c_str(),
            entryKindName(entry.stamp.kind), static_cast<unsigned long long>(entry.stamp.size),
            static_cast<long long>(entry.stamp.modified),
            static_cast<long long>(entry.stamp.changed),
            static_cast<unsigned long long>(entry.stamp.volume),
            static_cast<unsigned long long>(entry.stamp.id));
    }
  }
}

// Hands the VM the archive of the slot's key, under a mark held until main has returned.
bool useArchive(VmState& vm, std::size_t insertAt, const std::string& folder,
                const std::string& name) {
  ClassDataSharingState& state = vm.classDataSharing;
  const std::string archive = folder + name;
  if (!finishedArchive(state.kind, archive)) {
    removeTraced(folder, CacheRemoval{name, "not a finished archive"});
    return false;
  }
  const std::string mark = folder + markFileName(name, os::currentProcessId());
  if (!state.archiveMark.create(mark)) {
    trace("class data sharing: %s not used, its mark %s cannot be made", archive.c_str(),
          mark.c_str());
    return true;
  }
  // The VM's checksum test of every region (-XX:+VerifySharedSpaces) is left to the vendor: it
  // costs a tenth of the start on Temurin 25. A damaged archive costs one start instead: the mark.
  insertOptions(vm, insertAt,
                (state.kind == ArchiveKind::AotCache ? "-XX:AOTCache=" : "-XX:SharedArchiveFile=") +
                    archive);
  trace("class data sharing: using %s, recorded for this key", archive.c_str());
  return true;
}

// Has the VM record an archive of the slot's key into a name of its own, to be kept at its end.
void startRecording(VmState& vm, std::size_t insertAt, const std::string& folder,
                    const RecordingSpace& space) {
  ClassDataSharingState& recording = vm.classDataSharing;
  const std::uint64_t needed = recordingSpaceNeeded(space);
  std::uint64_t freeBytes = 0;
  if (!os::freeDiskSpace(folder, freeBytes) || freeBytes < needed) {
    trace("class data sharing: nothing recorded, %llu bytes free in %s, a recording needs %llu",
          static_cast<unsigned long long>(freeBytes), folder.c_str(),
          static_cast<unsigned long long>(needed));
    return;
  }
  const std::string name = recordingFileName(recording.slot, os::currentProcessId());
  const std::string path = folder + name;
  // A file of this name is a leftover of an earlier process of the same id (settleMarks found its
  // mark gone); the VM finds its file made, by a start that can make it exclusively.
  os::removeFile(path);
  os::removeFile(recordingCompanion(path));
  if (!recording.recordingMark.create(folder + recordingMarkName(name)) || !os::createNewFile(path)) {
    recording.recordingMark.release();
    trace("class data sharing: nothing recorded, %s cannot be made", path.c_str());
    return;
  }
  recording.recordingPath = path;
  insertOptions(vm, insertAt,
                (recording.kind == ArchiveKind::AotCache ? "-XX:AOTCacheOutput="
                                                         : "-XX:ArchiveClassesAtExit=") +
                    path);
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
  ClassDataSharingState& state = vm.classDataSharing;
  config::JavaVersion version;
  RecordingSpace space;
  std::string folder;
  std::string program;
  if (!runtimeInputs(vm.jvmDllPath, inputs, version, state.kind, space.defaultArchiveBytes) ||
      !archiveFolder(config, folder, program)) {
    return;
  }
  const std::string currentFolder = os::currentDirectory();
  for (const std::string& entry : resolvedPathList(classPath, currentFolder)) {
    inputs.classPath.push_back(stamped(entry));
    space.classPathBytes += inputs.classPath.back().stamp.size;
  }
  state.folder = folder;
  state.slot = archiveSlot(program, inputs.runtimeHome, archiveKeyText(inputs));
  traceKey(state.slot, inputs, version, state.kind);

  settleMarks(folder, program);
  const CacheReview review = tidyCache(folder, state.slot, state.kind);
  if (!review.use.empty() && useArchive(vm, insertAt, folder, review.use)) return;
  const std::string folderEntry = folderOnPaths(inputs.classPath, options, currentFolder);
  if (!folderEntry.empty()) {
    trace("class data sharing: nothing recorded, the VM cannot archive the folder %s",
          folderEntry.c_str());
    return;
  }
  space.kind = state.kind;
  space.largestArchive = review.largestArchive;
  startRecording(vm, insertAt, folder, space);
}

bool withdrawClassDataSharingOptions(VmState& vm) {
  ClassDataSharingState& state = vm.classDataSharing;
  if (state.optionsCount == 0) return false;
  StringArray& options = vm.options;
  const auto first = options.begin() + static_cast<std::ptrdiff_t>(state.optionsAt);
  options.erase(first, first + static_cast<std::ptrdiff_t>(state.optionsCount));
  state.optionsCount = 0;
  if (!state.recordingPath.empty()) {
    removeRecordingFiles(state);
    state.recordingPath.clear();
    state.recordingMark.release();
  }
  releaseArchiveMark(state);
  state.exitHook = nullptr;
  state.abortHook = nullptr;
  hookedState.store(nullptr);
  trace("class data sharing: the VM refused the archive options; creating it without them");
  return true;
}

void watchClassDataRecording(JNIEnv* env, VmState& vm) {
  ClassDataSharingState& state = vm.classDataSharing;
  if (state.recordingPath.empty()) return;
  state.recordingAtStart = os::fileStamp(state.recordingPath);
  state.companionAtStart = os::fileStamp(recordingCompanion(state.recordingPath));
  // Only a VM that System.exit reaches through Shutdown.halt0 tells the application's code.
  os::LibraryError error;
  unsigned long symbolError = 0;
  void* library = os::loadLibrary(vm.jvmDllPath, error);
  void* halt = library == nullptr ? nullptr : os::findSymbol(library, "JVM_Halt", symbolError);
  if (halt == nullptr && library != nullptr) halt = os::findSymbol(library, "_JVM_Halt@4", symbolError);
  jclass shutdown = halt == nullptr ? nullptr : env->FindClass("java/lang/Shutdown");
  if (shutdown != nullptr) {
    vmHalt.store(reinterpret_cast<HaltFunction>(halt));
    JNINativeMethod method = {const_cast<char*>("halt0"), const_cast<char*>("(I)V"),
                              reinterpret_cast<void*>(noteHalt)};
    if (env->RegisterNatives(shutdown, &method, 1) != JNI_OK) vmHalt.store(nullptr);
    env->DeleteLocalRef(shutdown);
  }
  if (env->ExceptionCheck()) env->ExceptionClear();
  if (vmHalt.load() == nullptr) {
    trace("class data sharing: System.exit is not seen; should the recording fail then, the VM's "
          "exit code stands");
  }
}

void classDataMainReturned(VmState& vm) { releaseArchiveMark(vm.classDataSharing); }

void classDataRunEnded(VmState& vm, bool succeeded) {
  vm.classDataSharing.runSucceeded.store(succeeded);
  // As the launcher ends: an uncaught exception that nobody ignored fails the start with 1.
  vm.classDataSharing.runCode.store(succeeded ? (vm.uncaughtException ? 1 : 0) : -1);
  vm.classDataSharing.runEnded.store(true);
}

void finishClassDataRecording(VmState& vm) {
  ClassDataSharingState& recording = vm.classDataSharing;
  releaseArchiveMark(recording);
  keepRecording(recording, recording.runSucceeded.load(),
                recording.runSucceeded.load() ? "the VM ended" : "the run failed");
  hookedState.store(nullptr);
}

}  // namespace vm
