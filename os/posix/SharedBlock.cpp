// The shared block on POSIX: a file "<name>.block" and a companion "<name>.users" in the user's
// private folder (PrivateFolder.h), which no other user can enter, so nobody else can make, link or
// hold them in our place. The companion carries open-file-description record locks, which the
// system drops when their holder closes or dies:
//   byte 0  gate: held while a process opens or closes the block, so those steps never interleave;
//   byte 1  users: every process that has the block open holds a shared lock; whoever can take it
//           exclusively is alone, so a block found then is stale (left by a crash) and is made anew,
//           and a closer that is alone removes the block and the companion;
//   byte 2  the hand-over lock of the second starts.
// The companion's content holds the exit record of the first process (see recordExitCodeAtExit).

#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "os/SharedBlock.h"
#include "os/Text.h"
#include "os/posix/Handles.h"
#include "os/posix/PrivateFolder.h"

namespace os {

namespace {

constexpr off_t kGateByte = 0;
constexpr off_t kUsersByte = 1;
constexpr off_t kHandoverByte = 2;
constexpr off_t kExitRecordOffset = 16;
constexpr off_t kCompanionSize = 64;
constexpr std::uint32_t kExitRecordMagic = 0x5845514Cu;  // "LQEX"

struct ExitRecord {
  std::uint32_t magic;
  std::uint32_t processId;
  std::int32_t code;
};

// File names are one path component: a long program path is cut, and a name with a "/" (the
// escape of an underscore in a program path) is replaced, and either is made unique by a hash.
std::string objectName(const std::string& name, const char* suffix) {
  std::string base = name;
  if (base.size() > 200 || base.find('/') != std::string::npos) {
    char hex[20];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(fnv1a64(name)));
    base = base.substr(0, 180);
    for (char& c : base) {
      if (c == '/') c = '~';
    }
    base += std::string("~") + hex;
  }
  return base + suffix;
}

struct ObjectPaths {
  std::string block;
  std::string companion;
};

bool objectPaths(const std::string& name, ObjectPaths& paths, std::string& why) {
  std::string folder;
  if (!posix::privateFolder(folder, why)) return false;
  paths.block = folder + "/" + objectName(name, ".block");
  paths.companion = folder + "/" + objectName(name, ".users");
  return true;
}

bool lockByte(int fd, off_t byte, short type, bool wait) {
  struct flock lock;
  std::memset(&lock, 0, sizeof lock);
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = byte;
  lock.l_len = 1;
  int result;
  do {
    result = fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock);
  } while (result == -1 && errno == EINTR);
  return result == 0;
}

bool sameFile(int fd, const std::string& path) {
  struct stat a, b;
  return fstat(fd, &a) == 0 && lstat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

// Opens the companion and takes its gate, making sure the gate belongs to the companion that is
// still in place (a closer may have removed the one we opened while we waited).
UniqueFd openCompanionGated(const std::string& companion, std::string& why) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    UniqueFd fd = posix::openPrivateFile(companion, O_RDWR | O_CREAT, why);
    if (!fd) return fd;
    if (!lockByte(fd.get(), kGateByte, F_WRLCK, true)) {
      why = companion + ": the gate cannot be taken";
      return UniqueFd();
    }
    if (sameFile(fd.get(), companion)) {
      struct stat st;
      if (fstat(fd.get(), &st) == 0 && st.st_size < kCompanionSize &&
          ftruncate(fd.get(), kCompanionSize) != 0) {
        why = companion + ": cannot be sized";
        return UniqueFd();
      }
      return fd;
    }
  }
  why = companion + ": replaced again and again";
  return UniqueFd();
}

// Gives up this process's use of the block; the last user removes the names. Dropping the
// descriptor drops the gate and the users lock with it.
void leaveBlock(UniqueFd& companion, const ObjectPaths& paths) {
  if (!companion) return;
  lockByte(companion.get(), kGateByte, F_WRLCK, true);
  lockByte(companion.get(), kUsersByte, F_UNLCK, false);
  if (lockByte(companion.get(), kUsersByte, F_WRLCK, false)) {
    unlink(paths.block.c_str());
    unlink(paths.companion.c_str());
  }
  companion.reset();
}

}  // namespace

struct SharedMapping::Impl {
  ObjectPaths paths;
  std::size_t size = 0;
  UniqueFd block;
  UniqueFd companion;  // holds the shared users lock while the block is open
  MappedRegion view;
};

namespace {

// Written once at process exit (exit() and a return from main, not a crash): the exit record for
// the waiting second starts, and the leave of a block still open, since System.exit ends the
// process without the launcher's own clean-up.
int exitRecordFd = -1;
std::uint32_t exitRecordProcessId = 0;
SharedMapping* openMapping = nullptr;
bool exitHandlerRegistered = false;

void atProcessExit(int status, void*) {
  if (exitRecordFd >= 0) {
    const ExitRecord record = {kExitRecordMagic, exitRecordProcessId, status};
    if (pwrite(exitRecordFd, &record, sizeof record, kExitRecordOffset) != sizeof record) {
      // Nothing left to tell it to: the waiting second starts then report an unknown code.
    }
  }
  // Other threads may still read the view: only the names go, and only with the last user.
  if (openMapping != nullptr) openMapping->leaveAtExit();
}

}  // namespace

SharedMapping::SharedMapping() = default;
SharedMapping::~SharedMapping() { close(); }

bool SharedMapping::createOrOpen(const std::string& name, std::size_t size, bool& createdNew) {
  close();
  failure_.clear();
  ObjectPaths paths;
  if (!objectPaths(name, paths, failure_)) return false;
  UniqueFd companion = openCompanionGated(paths.companion, failure_);
  if (!companion) return false;

  UniqueFd blockFd;
  bool created = false;
  if (lockByte(companion.get(), kUsersByte, F_WRLCK, false)) {
    // Nobody else uses it: whatever block exists was left by a process that died.
    unlink(paths.block.c_str());
    blockFd = posix::openPrivateFile(paths.block, O_RDWR | O_CREAT | O_EXCL, failure_);
    created = true;
    const ExitRecord none = {0, 0, 0};
    if (pwrite(companion.get(), &none, sizeof none, kExitRecordOffset) != sizeof none) {
      // A stale record names a process id that is not ours, so it is harmless.
    }
  } else {
    blockFd = posix::openPrivateFile(paths.block, O_RDWR, failure_);
    if (!blockFd && errno == ENOENT) {
      blockFd = posix::openPrivateFile(paths.block, O_RDWR | O_CREAT | O_EXCL, failure_);
      created = true;
    }
  }
  if (blockFd && created && ftruncate(blockFd.get(), static_cast<off_t>(size)) != 0) {
    failure_ = paths.block + ": cannot be sized";
    blockFd.reset();
    unlink(paths.block.c_str());
  }
  // Downgrades our exclusive hold, or joins the other users. On failure the companion's
  // descriptor goes, and with it the gate and any hold on the users byte.
  if (!blockFd) return false;
  if (!lockByte(companion.get(), kUsersByte, F_RDLCK, false)) {
    failure_ = paths.companion + ": the users lock cannot be taken";
    return false;
  }
  lockByte(companion.get(), kGateByte, F_UNLCK, false);

  impl_.reset(new Impl);
  impl_->paths = paths;
  impl_->size = size;
  impl_->block = std::move(blockFd);
  impl_->companion = std::move(companion);
  openMapping = this;
  if (!exitHandlerRegistered) exitHandlerRegistered = on_exit(atProcessExit, nullptr) == 0;
  createdNew = created;
  return true;
}

unsigned char* SharedMapping::map() {
  if (!isOpen()) return nullptr;
  if (impl_->view.get() == nullptr &&
      !impl_->view.map(impl_->block.get(), impl_->size, PROT_READ | PROT_WRITE)) {
    return nullptr;
  }
  return static_cast<unsigned char*>(impl_->view.get());
}

void SharedMapping::leaveAtExit() {
  if (isOpen()) leaveBlock(impl_->companion, impl_->paths);
}

void SharedMapping::close() {
  if (openMapping == this) openMapping = nullptr;
  if (!isOpen()) return;
  impl_->view.reset();
  // The last user: the block goes, as a file mapping goes with its last handle.
  leaveBlock(impl_->companion, impl_->paths);
  impl_.reset();
}

bool SharedMapping::isOpen() const { return impl_ != nullptr; }

void SharedMapping::recordExitCodeAtExit(std::uint32_t processId) {
  if (!isOpen() || !impl_->companion || exitRecordFd >= 0) return;
  // A descriptor of its own, kept to the end: the block's descriptors are closed before the
  // process exits.
  std::string why;
  exitRecordFd = posix::openPrivateFile(impl_->paths.companion, O_RDWR, why).release();
  if (exitRecordFd < 0) return;
  exitRecordProcessId = processId;
}

bool SharedMapping::recordedExitCode(std::uint32_t processId, std::int32_t& code) const {
  if (!isOpen() || !impl_->companion) return false;
  ExitRecord record;
  if (pread(impl_->companion.get(), &record, sizeof record, kExitRecordOffset) != sizeof record) {
    return false;
  }
  if (record.magic != kExitRecordMagic || record.processId != processId) return false;
  code = record.code;
  return true;
}

struct NamedLock::Impl {
  UniqueFd fd;  // holds the hand-over byte's lock
};

NamedLock::NamedLock() = default;
NamedLock::~NamedLock() { release(); }

bool NamedLock::acquire(const std::string& name, std::uint32_t) {
  release();
  // A description of its own, so that this lock and the block's users lock stay apart.
  ObjectPaths paths;
  std::string why;
  if (!objectPaths(name, paths, why)) return false;
  UniqueFd fd = posix::openPrivateFile(paths.companion, O_RDWR, why);
  if (!fd || !lockByte(fd.get(), kHandoverByte, F_WRLCK, true)) return false;
  impl_.reset(new Impl{std::move(fd)});
  return true;
}

void NamedLock::release() {
  if (impl_ == nullptr) return;
  lockByte(impl_->fd.get(), kHandoverByte, F_UNLCK, false);
  impl_.reset();
}

}  // namespace os
