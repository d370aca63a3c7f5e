#include <windows.h>

#include "os/FileSystem.h"
#include "os/win32/Handles.h"

namespace os {

namespace {

// FILETIME counts 100-nanosecond steps from 1601; the stamps count nanoseconds from 1970.
constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000;

std::int64_t nanoseconds(const FILETIME& time) {
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return (static_cast<std::int64_t>(ticks) - kTicksFrom1601To1970) * 100;
}

}  // namespace

FileStamp fileStamp(const std::string& path) {
  FileStamp stamp;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    return stamp;
  }
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    stamp.kind = EntryKind::Folder;
  } else if ((data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    stamp.kind = EntryKind::Other;
  } else {
    stamp.kind = EntryKind::File;
    stamp.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  stamp.modified = nanoseconds(data.ftLastWriteTime);
  return stamp;
}

std::int64_t currentTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return nanoseconds(now);
}

StringArray folderEntries(const std::string& folder) {
  StringArray names;
  const std::string pattern =
      folder.empty() || folder.back() == '\\' || folder.back() == '/' ? folder + "*" : folder + "\\*";
  WIN32_FIND_DATAA data;
  const UniqueFindHandle find(FindFirstFileA(pattern.c_str(), &data));
  if (!find) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(find.get(), &data));
  return names;
}

bool removeFile(const std::string& path) {
  if (DeleteFileA(path.c_str())) return true;
  // The VM writes its archives read-only.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) {
    return false;
  }
  if (!SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))) {
    return false;
  }
  if (DeleteFileA(path.c_str())) return true;
  SetFileAttributesA(path.c_str(), attributes);  // still in use: it stays as it was
  return false;
}

bool replaceFile(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool writeFile(const std::string& path, const std::string& bytes) {
  const UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::size_t written = 0;
  while (written < bytes.size()) {
    DWORD n = 0;
    const std::size_t left = bytes.size() - written;
    const DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
    if (!WriteFile(file.get(), bytes.data() + written, chunk, &n, nullptr) || n == 0) return false;
    written += n;
  }
  return true;
}

bool freeDiskSpace(const std::string& folder, std::uint64_t& bytes) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr)) return false;
  bytes = available.QuadPart;
  return true;
}

}  // namespace os
