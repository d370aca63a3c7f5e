#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "os/FileSystem.h"
#include "os/posix/Handles.h"
#include "os/posix/PrivateFolder.h"

namespace os {

namespace {

std::int64_t nanoseconds(const struct timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

bool lockWhole(int fd, short type, bool wait) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  while (fcntl(fd, wait ? F_SETLKW : F_SETLK, &lock) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// Every folder from the root down to the cache folder must be beyond the reach of other users, or
// one of them could swap a folder on the way for one of theirs while a start writes below it:
// each is root's or this user's, and writable by nobody else unless sticky (in a sticky folder
// nobody moves another user's entry). The cache folder itself is this user's, writable by none
// else. Links on the way are resolved first, so that the folder is named without them.
bool safeBase(const std::string& base, std::string& resolved, std::string& why) {
  if (mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) {
    why = base + ": " + std::strerror(errno);
    return false;
  }
  char buffer[PATH_MAX];
  if (realpath(base.c_str(), buffer) == nullptr) {
    why = base + ": " + std::strerror(errno);
    return false;
  }
  resolved = buffer;
  StringArray folders{"/"};
  for (std::size_t slash = resolved.find('/', 1); slash != std::string::npos;
       slash = resolved.find('/', slash + 1)) {
    folders.push_back(resolved.substr(0, slash));
  }
  if (resolved != "/") folders.push_back(resolved);
  for (std::size_t i = 0; i < folders.size(); ++i) {
    const std::string& folder = folders[i];
    const bool last = i + 1 == folders.size();
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
      why = folder + " is not a folder";
      return false;
    }
    if (info.st_uid != geteuid() && (last || info.st_uid != 0)) {
      why = folder + " belongs to another user";
      return false;
    }
    if ((info.st_mode & 022) != 0 && (last || (info.st_mode & S_ISVTX) == 0)) {
      why = folder + " may be changed by other users";
      return false;
    }
  }
  return true;
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
  stamp.volume = static_cast<std::uint64_t>(info.st_dev);
  stamp.id = static_cast<std::uint64_t>(info.st_ino);
  stamp.changed = nanoseconds(info.st_ctim);
  return stamp;
}

std::int64_t currentTime() {
  struct timespec now;
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) return 0;
  return nanoseconds(now);
}

bool userOwnFolder(const std::string& base, const StringArray& names, std::string& folder,
                   std::string& why) {
  std::string path;
  if (!safeBase(base, path, why)) return false;
  for (const std::string& name : names) {
    path += "/" + name;
    if (!posix::makePrivateFolder(path, why)) return false;
  }
  folder = path + "/";
  return true;
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

bool createNewFile(const std::string& path) {
  // O_EXCL refuses any entry of the name, a dangling link included.
  const UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  return fd.valid();
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool replaceFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool freeDiskSpace(const std::string& folder, std::uint64_t& bytes) {
  struct statvfs info;
  if (statvfs(folder.c_str(), &info) != 0) return false;
  bytes = static_cast<std::uint64_t>(info.f_bavail) * static_cast<std::uint64_t>(info.f_frsize);
  return true;
}

// A record lock on the whole file holds the mark: the kernel lets go of it when the process ends,
// however it ends. The maker writes a byte once it holds the lock, so that a mark found unlocked
// but empty is known to be still in the making.
struct HeldMark::Impl {
  UniqueFd fd;
  std::string path;
};

HeldMark::HeldMark() = default;
HeldMark::~HeldMark() { release(); }

bool HeldMark::create(const std::string& path) {
  release();
  UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd) return false;
  if (!lockWhole(fd.get(), F_WRLCK, true) || write(fd.get(), "1", 1) != 1) {
    unlink(path.c_str());
    return false;
  }
  impl_.reset(new Impl{std::move(fd), path});
  return true;
}

void HeldMark::release() {
  if (!impl_) return;
  unlink(impl_->path.c_str());
  impl_.reset();
}

bool HeldMark::held() const { return impl_ != nullptr; }

MarkState claimMark(const std::string& path) {
  const UniqueFd fd(open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
  if (!fd) return errno == ENOENT ? MarkState::Gone : MarkState::Held;
  if (!lockWhole(fd.get(), F_WRLCK, false)) return MarkState::Held;
  struct stat info;
  if (fstat(fd.get(), &info) != 0 || info.st_nlink == 0) return MarkState::Gone;
  // Empty: its maker has not taken the lock yet. Someone else's file is none of ours.
  if (info.st_size == 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
    return MarkState::Held;
  }
  unlink(path.c_str());
  return MarkState::Abandoned;
}

}  // namespace os
