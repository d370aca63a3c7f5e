// The shared block on POSIX: a shared-memory object "/<name>" and a companion object
// "/<name>.users" (both under /dev/shm on Linux). The companion carries open-file-description
// record locks, which the system drops when their holder closes or dies:
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

// Object names are one path component: long program paths are cut and made unique by a hash.
std::string objectName(const std::string& name, const char* suffix) {
  std::string base = name;
  if (base.size() > 200) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    char hex[20];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    base = base.substr(0, 180) + "~" + hex;
  }
  return "/" + base + suffix;
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

bool sameFile(int fd, const std::string& objName) {
  const int again = shm_open(objName.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (again < 0) return false;
  struct stat a, b;
  const bool same = fstat(fd, &a) == 0 && fstat(again, &b) == 0 && a.st_dev == b.st_dev &&
                    a.st_ino == b.st_ino;
  ::close(again);
  return same;
}

// Opens the companion and takes its gate, making sure the gate belongs to the companion that is
// still in place (a closer may have removed the one we opened while we waited).
int openCompanionGated(const std::string& companion) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = shm_open(companion.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (!lockByte(fd, kGateByte, F_WRLCK, true)) {
      ::close(fd);
      return -1;
    }
    if (sameFile(fd, companion)) {
      struct stat st;
      if (fstat(fd, &st) == 0 && st.st_size < kCompanionSize) {
        if (ftruncate(fd, kCompanionSize) != 0) {
          ::close(fd);
          return -1;
        }
      }
      return fd;
    }
    ::close(fd);
  }
  return -1;
}

int exitRecordFd = -1;
std::uint32_t exitRecordProcessId = 0;

// The mapping still open when the process exits (System.exit ends it without the launcher's own
// clean-up), and the names it was opened under.
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

SharedMapping::~SharedMapping() { close(); }

bool SharedMapping::createOrOpen(const std::string& name, std::size_t size, bool& createdNew) {
  close();
  const std::string block = objectName(name, "");
  const std::string companion = objectName(name, ".users");
  const int companionFd = openCompanionGated(companion);
  if (companionFd < 0) return false;
  // Coordination stays within one user, whose messages alone its threads receive: a block made by
  // another user (reachable here only with root's rights) is not joined.
  struct stat owner;
  if (fstat(companionFd, &owner) != 0 || owner.st_uid != geteuid()) {
    ::close(companionFd);
    return false;
  }

  int blockFd = -1;
  bool created = false;
  if (lockByte(companionFd, kUsersByte, F_WRLCK, false)) {
    // Nobody else uses it: whatever block exists was left by a process that died.
    shm_unlink(block.c_str());
    blockFd = shm_open(block.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    created = true;
    const ExitRecord none = {0, 0, 0};
    if (pwrite(companionFd, &none, sizeof none, kExitRecordOffset) != sizeof none) {
      // A stale record names a process id that is not ours, so it is harmless.
    }
  } else {
    blockFd = shm_open(block.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (blockFd < 0 && errno == ENOENT) {
      blockFd = shm_open(block.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      created = true;
    }
  }
  if (blockFd >= 0 && created && ftruncate(blockFd, static_cast<off_t>(size)) != 0) {
    ::close(blockFd);
    shm_unlink(block.c_str());
    blockFd = -1;
  }
  // Downgrades our exclusive hold, or joins the other users.
  if (blockFd < 0 || !lockByte(companionFd, kUsersByte, F_RDLCK, false)) {
    if (blockFd >= 0) ::close(blockFd);
    ::close(companionFd);  // drops the gate and any hold on the users byte
    return false;
  }
  lockByte(companionFd, kGateByte, F_UNLCK, false);

  blockFd_ = blockFd;
  companionFd_ = companionFd;
  openMapping = this;
  if (!exitHandlerRegistered) exitHandlerRegistered = on_exit(atProcessExit, nullptr) == 0;
  handle_ = this;
  size_ = size;
  name_ = name;
  createdNew = created;
  return true;
}

unsigned char* SharedMapping::map() {
  if (blockFd_ < 0) return nullptr;
  if (view_ == nullptr) {
    void* view = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, blockFd_, 0);
    if (view == MAP_FAILED) return nullptr;
    view_ = view;
  }
  return static_cast<unsigned char*>(view_);
}

void SharedMapping::leaveAtExit() {
  if (companionFd_ < 0) return;
  lockByte(companionFd_, kGateByte, F_WRLCK, true);
  lockByte(companionFd_, kUsersByte, F_UNLCK, false);
  if (lockByte(companionFd_, kUsersByte, F_WRLCK, false)) {
    shm_unlink(objectName(name_, "").c_str());
    shm_unlink(objectName(name_, ".users").c_str());
  }
  ::close(companionFd_);  // drops the gate and the users lock
  companionFd_ = -1;
}

void SharedMapping::close() {
  if (openMapping == this) openMapping = nullptr;
  if (view_ != nullptr) munmap(view_, size_);
  view_ = nullptr;
  if (companionFd_ >= 0) {
    lockByte(companionFd_, kGateByte, F_WRLCK, true);
    lockByte(companionFd_, kUsersByte, F_UNLCK, false);
    if (lockByte(companionFd_, kUsersByte, F_WRLCK, false)) {
      // The last user: the block goes, as a file mapping goes with its last handle.
      shm_unlink(objectName(name_, "").c_str());
      shm_unlink(objectName(name_, ".users").c_str());
    }
    ::close(companionFd_);
    companionFd_ = -1;
  }
  if (blockFd_ >= 0) ::close(blockFd_);
  blockFd_ = -1;
  handle_ = nullptr;
}

bool SharedMapping::isOpen() const { return handle_ != nullptr; }

void SharedMapping::recordExitCodeAtExit(std::uint32_t processId) {
  if (companionFd_ < 0 || exitRecordFd >= 0) return;
  // An open of its own: the block's descriptors are closed before the process exits.
  exitRecordFd = shm_open(objectName(name_, ".users").c_str(), O_RDWR | O_CLOEXEC, 0);
  if (exitRecordFd < 0) return;
  exitRecordProcessId = processId;
}

bool SharedMapping::recordedExitCode(std::uint32_t processId, std::int32_t& code) const {
  if (companionFd_ < 0) return false;
  ExitRecord record;
  if (pread(companionFd_, &record, sizeof record, kExitRecordOffset) != sizeof record) return false;
  if (record.magic != kExitRecordMagic || record.processId != processId) return false;
  code = record.code;
  return true;
}

NamedLock::~NamedLock() { release(); }

bool NamedLock::acquire(const std::string& name, std::uint32_t) {
  release();
  // A description of its own, so that this lock and the block's users lock stay apart.
  fd_ = shm_open(objectName(name, ".users").c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd_ < 0) return false;
  held_ = lockByte(fd_, kHandoverByte, F_WRLCK, true);
  if (!held_) release();
  return held_;
}

void NamedLock::release() {
  if (fd_ >= 0) {
    if (held_) lockByte(fd_, kHandoverByte, F_UNLCK, false);
    ::close(fd_);
  }
  fd_ = -1;
  held_ = false;
}

}  // namespace os
