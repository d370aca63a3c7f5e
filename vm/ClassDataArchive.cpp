#include "vm/ClassDataArchive.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "os/Path.h"
#include "os/Text.h"

namespace vm {

namespace {

// The -XX flags by which a user runs class-data sharing (or its successor, the ahead-of-time
// cache) without the launcher. Every flag whose name starts with "AOT" counts as well.
const char* const kManagingFlags[] = {
    "SharedArchiveFile",   "ArchiveClassesAtExit",  "AutoCreateSharedArchive",
    "UseSharedSpaces",     "SharedClassListFile",   "DumpLoadedClassList",
    "RecordDynamicDumpInfo",
};

// The name of a -XX flag: -XX:+Name, -XX:-Name, -XX:Name=value.
std::string flagName(const std::string& option) {
  if (option.compare(0, 4, "-XX:") != 0) return std::string();
  std::size_t start = 4;
  if (start < option.size() && (option[start] == '+' || option[start] == '-')) ++start;
  return option.substr(start, option.find('=', start) - start);
}

bool isHexText(const std::string& text, std::size_t at, std::size_t length) {
  if (at + length > text.size()) return false;
  for (std::size_t i = at; i < at + length; ++i) {
    const char c = text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

bool isDigits(const std::string& text, std::size_t at, std::size_t length) {
  if (length == 0 || length > 10 || at + length > text.size()) return false;
  for (std::size_t i = at; i < at + length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

bool endsWith(const std::string& text, const char* suffix) {
  const std::size_t length = std::strlen(suffix);
  return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

const char* extensionOf(ArchiveKind kind) { return kind == ArchiveKind::AotCache ? ".aot" : ".jsa"; }

// One of the program's files, taken apart by its name.
struct ParsedName {
  enum class Role { Archive, ArchiveMark, Recording, RecordingMark } role = Role::Archive;
  ArchiveKind kind = ArchiveKind::Dynamic;  // an archive's or its mark's
  std::string runtime;
  std::string key;
  std::string stamp;  // an archive's or its mark's
  std::string base;   // an archive's name, or the recording's, without the program's prefix
};

// After the program's prefix: "<runtime>-<key>-" and then "<stamp>.jsa" or "<stamp>.aot" (an
// archive), either followed by ".<pid>.mark" (its mark), or "<pid>.tmp" (a recording), followed
// by ".config" (the VM's notes beside it) or ".mark" (its mark).
bool parseName(const std::string& rest, ParsedName& parsed) {
  constexpr std::size_t kHex = 16;
  constexpr std::size_t kTail = 2 * kHex + 2;
  if (!isHexText(rest, 0, kHex) || rest.size() <= kHex || rest[kHex] != '-' ||
      !isHexText(rest, kHex + 1, kHex) || rest.size() <= 2 * kHex + 1 || rest[2 * kHex + 1] != '-') {
    return false;
  }
  parsed.runtime = rest.substr(0, kHex);
  parsed.key = rest.substr(kHex + 1, kHex);
  const std::string tail = rest.substr(kTail);
  const std::string extension = tail.size() >= kHex + 4 ? tail.substr(kHex, 4) : std::string();
  const bool aot = extension == ".aot";
  if (isHexText(tail, 0, kHex) && (aot || extension == ".jsa")) {
    parsed.kind = aot ? ArchiveKind::AotCache : ArchiveKind::Dynamic;
    parsed.stamp = tail.substr(0, kHex);
    parsed.base = rest.substr(0, kTail + kHex + 4);
    if (tail.size() == kHex + 4) {
      parsed.role = ParsedName::Role::Archive;
      return true;
    }
    parsed.role = ParsedName::Role::ArchiveMark;
    return tail[kHex + 4] == '.' && endsWith(tail, ".mark") &&
           isDigits(tail, kHex + 5, tail.size() - (kHex + 5) - 5);
  }
  const std::size_t dot = tail.find('.');
  if (dot == std::string::npos) return false;
  const std::string suffix = tail.substr(dot);
  parsed.role = suffix == ".tmp.mark" ? ParsedName::Role::RecordingMark : ParsedName::Role::Recording;
  parsed.base = rest.substr(0, kTail + dot + 4);
  return isDigits(tail, 0, dot) &&
         (suffix == ".tmp" || suffix == ".tmp.config" || suffix == ".tmp.mark");
}

std::string stampHash(const os::FileStamp& stamp) {
  return hex64(os::fnv1a64(std::to_string(stamp.size) + ":" + std::to_string(stamp.modified)));
}

void appendField(std::string& text, const char* label, const std::string& value) {
  text += label;
  text += ' ';
  text += std::to_string(value.size());
  text += ':';
  text += value;
  text += '\n';
}

void appendStamped(std::string& text, const char* label, const StampedPath& entry) {
  const os::FileStamp& stamp = entry.stamp;
  appendField(text, label,
              entry.path + " " + entryKindName(stamp.kind) + " " + std::to_string(stamp.size) +
                  " " + std::to_string(stamp.modified) + " " + std::to_string(stamp.changed) +
                  " " + std::to_string(stamp.volume) + ":" + std::to_string(stamp.id));
}

}  // namespace

const char* entryKindName(os::EntryKind kind) {
  switch (kind) {
    case os::EntryKind::File: return "file";
    case os::EntryKind::Folder: return "folder";
    case os::EntryKind::Other: return "other";
    case os::EntryKind::Absent: break;
  }
  return "absent";
}

bool parseClassDataSharing(const std::string& value, ClassDataSharingMode& mode) {
  if (os::equalsIgnoringCase(value, "auto")) {
    mode = ClassDataSharingMode::Auto;
    return true;
  }
  mode = ClassDataSharingMode::Off;
  return os::equalsIgnoringCase(value, "off");
}

bool managesClassData(const std::string& option) {
  if (option.compare(0, 7, "-Xshare") == 0) return true;
  const std::string name = flagName(option);
  if (name.compare(0, 3, "AOT") == 0) return true;
  for (const char* flag : kManagingFlags) {
    if (name == flag) return true;
  }
  return false;
}

StringArray splitInheritedOptions(const std::string& text) {
  StringArray options;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t start = text.find_first_not_of(" \t\r\n", at);
    if (start == std::string::npos) break;
    std::size_t end = text.find_first_of(" \t\r\n", start);
    if (end == std::string::npos) end = text.size();
    options.push_back(text.substr(start, end - start));
    at = end;
  }
  return options;
}

ArchiveKind archiveKindFor(const config::JavaVersion& version) {
  return version.components[0] >= kFirstAotCacheVersion ? ArchiveKind::AotCache
                                                         : ArchiveKind::Dynamic;
}

const char* archiveObstacle(const config::JavaVersion& version, const std::string& jvmVariant) {
  if (version.count == 0) return "its version is not known";
  if (version.components[0] < 13) return "it is older than Java 13, which brought dynamic archives";
  // Vendors that name the VM write "Hotspot" (or the name of a HotSpot variant); another VM would
  // refuse the options.
  static const char* const kHotSpotNames[] = {"hotspot", "server", "client"};
  if (jvmVariant.empty()) return nullptr;
  for (const char* name : kHotSpotNames) {
    if (os::equalsIgnoringCase(jvmVariant, name)) return nullptr;
  }
  return "its VM is not HotSpot";
}

StringArray resolvedPathList(const std::string& list, const std::string& currentFolder) {
  StringArray paths;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(os::kListSeparator, start);
    if (end == std::string::npos) end = list.size();
    const std::string entry = list.substr(start, end - start);
    if (!entry.empty()) {
      paths.push_back(os::isAbsolutePath(entry) || currentFolder.empty()
                          ? entry
                          : os::withTrailingSeparator(currentFolder) + entry);
    }
    start = end + 1;
  }
  return paths;
}

std::string archiveKeyText(const ArchiveKeyInputs& inputs) {
  std::string text = "class-data archive key 2\n";
  appendField(text, "runtime home", inputs.runtimeHome);
  appendField(text, "release", inputs.release);
  for (const StampedPath& file : inputs.runtimeFiles) appendStamped(text, "runtime file", file);
  for (const StampedPath& entry : inputs.classPath) appendStamped(text, "class path", entry);
  appendField(text, "vm parameters", inputs.vmParameters);
  appendField(text, "inherited options", inputs.inheritedOptions);
  return text;
}

std::string hex64(std::uint64_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    value >>= 4;
  }
  return text;
}

ArchiveSlot archiveSlot(const std::string& program, const std::string& runtimeHome,
                        const std::string& keyText) {
  return ArchiveSlot{program, hex64(os::fnv1a64(runtimeHome)), hex64(os::fnv1a64(keyText))};
}

std::string archiveFileName(const ArchiveSlot& slot, ArchiveKind kind, const os::FileStamp& stamp) {
  return slot.program + "-" + slot.runtime + "-" + slot.key + "-" + stampHash(stamp) +
         extensionOf(kind);
}

std::string recordingFileName(const ArchiveSlot& slot, std::uint32_t processId) {
  return slot.program + "-" + slot.runtime + "-" + slot.key + "-" + std::to_string(processId) +
         ".tmp";
}

std::string markFileName(const std::string& archiveName, std::uint32_t processId) {
  return archiveName + "." + std::to_string(processId) + ".mark";
}

std::string recordingCompanion(const std::string& recordingPath) {
  return recordingPath + ".config";
}

std::string recordingMarkName(const std::string& recordingName) { return recordingName + ".mark"; }

ProgramMarks programMarks(const std::string& program, const std::vector<CacheEntry>& entries) {
  ProgramMarks marks;
  const std::string prefix = program + "-";
  for (const CacheEntry& entry : entries) {
    ParsedName parsed;
    if (entry.name.compare(0, prefix.size(), prefix) != 0 ||
        !parseName(entry.name.substr(prefix.size()), parsed)) {
      continue;
    }
    if (parsed.role == ParsedName::Role::ArchiveMark) {
      marks.archives.push_back(MarkedFile{entry.name, prefix + parsed.base});
    } else if (parsed.role == ParsedName::Role::Recording) {
      marks.recordings.push_back(MarkedFile{recordingMarkName(prefix + parsed.base), entry.name});
    } else if (parsed.role == ParsedName::Role::RecordingMark) {
      marks.recordings.push_back(MarkedFile{entry.name, std::string()});
    }
  }
  return marks;
}

CacheReview reviewCache(const ArchiveSlot& slot, ArchiveKind kind,
                        const std::vector<CacheEntry>& entries) {
  CacheReview review;
  const std::string prefix = slot.program + "-";
  std::vector<const CacheEntry*> current;
  // Newest archive time of each other runtime, and its archives.
  std::map<std::string, std::int64_t> newest;
  std::multimap<std::string, const CacheEntry*> others;

  for (const CacheEntry& entry : entries) {
    ParsedName parsed;
    if (entry.name.compare(0, prefix.size(), prefix) != 0 ||
        !parseName(entry.name.substr(prefix.size()), parsed) ||
        parsed.role != ParsedName::Role::Archive) {
      continue;
    }
    review.largestArchive = std::max(review.largestArchive, entry.stamp.size);
    if (parsed.runtime != slot.runtime) {
      const auto found = newest.find(parsed.runtime);
      if (found == newest.end() || found->second < entry.stamp.modified) {
        newest[parsed.runtime] = entry.stamp.modified;
      }
      others.emplace(parsed.runtime, &entry);
    } else if (parsed.key != slot.key || parsed.kind != kind) {
      review.remove.push_back({entry.name, "recorded for another key"});
    } else if (entry.stamp.kind != os::EntryKind::File || stampHash(entry.stamp) != parsed.stamp) {
      review.remove.push_back({entry.name, "changed since it was recorded"});
    } else {
      current.push_back(&entry);
    }
  }

  if (!current.empty()) {
    const auto greatest = std::max_element(
        current.begin(), current.end(),
        [](const CacheEntry* a, const CacheEntry* b) { return a->name < b->name; });
    review.use = (*greatest)->name;
    for (const CacheEntry* entry : current) {
      if (entry != *greatest) review.remove.push_back({entry->name, "a second archive of the key"});
    }
  }

  std::vector<std::pair<std::int64_t, std::string>> runtimes;
  for (const auto& item : newest) runtimes.emplace_back(item.second, item.first);
  std::sort(runtimes.begin(), runtimes.end(),
            [](const std::pair<std::int64_t, std::string>& a,
               const std::pair<std::int64_t, std::string>& b) {
              return a.first != b.first ? a.first > b.first : a.second > b.second;
            });
  for (std::size_t i = kOtherRuntimesKept; i < runtimes.size(); ++i) {
    const auto range = others.equal_range(runtimes[i].second);
    for (auto it = range.first; it != range.second; ++it) {
      review.remove.push_back({it->second->name, "of a runtime not used lately"});
    }
  }
  return review;
}

std::uint64_t recordingSpaceNeeded(const RecordingSpace& space) {
  constexpr std::uint64_t kMegabyte = 1024 * 1024;
  // Measured: a dynamic archive takes about one and a half times the class path's bytes; an
  // ahead-of-time cache starts from the JDK's own classes (about the default archive) and adds as
  // much again per class-path byte, and its recording writes the VM's notes of about the same size
  // before the cache. The largest archive the program already has is measured, not estimated.
  std::uint64_t expected = 0;
  if (space.kind == ArchiveKind::Dynamic) {
    expected = std::max(2 * space.classPathBytes + 4 * kMegabyte, space.largestArchive);
  } else {
    const std::uint64_t base = std::max(space.defaultArchiveBytes, 16 * kMegabyte);
    expected = 2 * std::max(base + 2 * space.classPathBytes, space.largestArchive);
  }
  return 2 * expected + 32 * kMegabyte;
}

bool isFinishedArchive(ArchiveKind kind, const std::string& firstBytes) {
  if (firstBytes.size() < 4) return false;
  // CDS_DYNAMIC_ARCHIVE_MAGIC 0xf00baba8 or, for the ahead-of-time cache (a static archive),
  // CDS_ARCHIVE_MAGIC 0xf00baba2, in the VM's byte order.
  const unsigned char low = kind == ArchiveKind::AotCache ? 0xa2 : 0xa8;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(firstBytes[i]); };
  const bool little = byte(0) == low && byte(1) == 0xab && byte(2) == 0x0b && byte(3) == 0xf0;
  const bool big = byte(0) == 0xf0 && byte(1) == 0x0b && byte(2) == 0xab && byte(3) == low;
  return little || big;
}

}  // namespace vm
