#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "os/FileSystem.h"
#include "os/posix/Handles.h"

namespace os {

namespace {

std::int64_t nanoseconds(const struct timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

}  // namespace

FileStamp fileStamp(const std::string& path) {
  FileStamp stamp;
  struct stat info;
  if (path.empty() || stat(path.c_str(), &info) != 0) return stamp;
  if (S_ISREG(info.st_mode)) {
    stamp.kind = EntryKind::File;
    stamp.size = static_cast<std::uint64_t>(info.st_size);
  } else {
    stamp.kind = S_ISDIR(info.st_mode) ? EntryKind::Folder : EntryKind::Other;
  }
  stamp.modified = nanoseconds(info.st_mtim);
  return stamp;
}

std::int64_t currentTime() {
  struct timespec now;
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) return 0;
  return nanoseconds(now);
}

StringArray folderEntries(const std::string& folder) {
  StringArray names;
  if (const UniqueDirectory dir{opendir(folder.c_str())}) {
    while (const dirent* entry = readdir(dir.get())) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
  }
  return names;
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool replaceFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool writeFile(const std::string& path, const std::string& bytes) {
  const UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd) return false;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(fd.get(), bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

bool freeDiskSpace(const std::string& folder, std::uint64_t& bytes) {
  struct statvfs info;
  if (statvfs(folder.c_str(), &info) != 0) return false;
  bytes = static_cast<std::uint64_t>(info.f_bavail) * static_cast<std::uint64_t>(info.f_frsize);
  return true;
}

}  // namespace os
