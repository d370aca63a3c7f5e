// Thread messages on POSIX. A receiving thread binds a datagram socket "m-<hash of scope>-<thread
// id>" in the user's private folder (PrivateFolder.h); a sender addresses it by the same name.
// Only the user can reach the folder, so no other user can take a name that a thread will need or
// send to one. The name goes with the queue; one left by a process that died refuses every
// datagram, so a thread that has ended (or never listened) cannot be posted to, as with
// PostThreadMessage; such names are removed when found, and a process removes its own at exit.
// Another process's end is watched through a pidfd.

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "os/ThreadMessage.h"
#include "os/Text.h"
#include "os/posix/Handles.h"
#include "os/posix/PrivateFolder.h"

#ifndef SYS_pidfd_open
#define SYS_pidfd_open 434
#endif

namespace os {

namespace {

struct Datagram {
  std::uint32_t message;
  std::uint32_t reserved;
  std::uint64_t wParam;
  std::int64_t lParam;
};

// False when the private folder is refused or the name would not fit a socket address.
bool channelAddress(const std::string& scope, std::uint32_t threadId, sockaddr_un& address,
                    socklen_t& length, std::string& why) {
  std::string folder;
  if (!posix::privateFolder(folder, why)) return false;
  char name[48];
  std::snprintf(name, sizeof name, "/m-%016llx-%u",
                static_cast<unsigned long long>(fnv1a64(scope)), threadId);
  const std::string path = folder + name;
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    why = path + ": too long for a socket";
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
  return true;
}

// Only datagrams whose sender runs as our own user count: should the private folder ever be
// reachable (root can reach it), nobody else can make the application replay the last arguments
// or hand a waiting second start a forged answer.
bool fromOurUser(msghdr& header) {
  for (cmsghdr* control = CMSG_FIRSTHDR(&header); control != nullptr;
       control = CMSG_NXTHDR(&header, control)) {
    if (control->cmsg_level == SOL_SOCKET && control->cmsg_type == SCM_CREDENTIALS &&
        control->cmsg_len >= CMSG_LEN(sizeof(ucred))) {
      ucred credentials;
      std::memcpy(&credentials, CMSG_DATA(control), sizeof credentials);
      return credentials.uid == geteuid();
    }
  }
  return false;
}

bool receive(int fd, ThreadMessage& message, int flags) {
  for (;;) {
    Datagram datagram;
    iovec data = {&datagram, sizeof datagram};
    union {
      cmsghdr align;
      char bytes[CMSG_SPACE(sizeof(ucred))];
    } control;
    msghdr header;
    std::memset(&header, 0, sizeof header);
    header.msg_iov = &data;
    header.msg_iovlen = 1;
    header.msg_control = control.bytes;
    header.msg_controllen = sizeof control.bytes;
    const ssize_t got = recvmsg(fd, &header, flags);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got != static_cast<ssize_t>(sizeof datagram)) continue;  // not one of ours
    if (!fromOurUser(header)) continue;
    message.message = datagram.message;
    message.wParam = static_cast<std::uintptr_t>(datagram.wParam);
    message.lParam = static_cast<std::intptr_t>(datagram.lParam);
    return true;
  }
}

// The channels this process has bound. They are removed at exit as well: System.exit ends the
// process without unwinding the threads that own the queues.
constexpr std::size_t kChannelSlots = 8;
std::atomic<char*> boundChannels[kChannelSlots];
std::atomic<bool> exitRemovalRegistered{false};

void removeBoundChannels() {
  for (std::atomic<char*>& slot : boundChannels) {
    char* path = slot.exchange(nullptr);
    if (path == nullptr) continue;
    unlink(path);
    std::free(path);
  }
}

void rememberChannel(const std::string& path) {
  if (!exitRemovalRegistered.exchange(true)) std::atexit(removeBoundChannels);
  char* copy = strdup(path.c_str());
  if (copy == nullptr) return;
  for (std::atomic<char*>& slot : boundChannels) {
    char* empty = nullptr;
    if (slot.compare_exchange_strong(empty, copy)) return;
  }
  // More queues than slots: this one's name goes only when the queue closes.
  std::free(copy);
}

void forgetChannel(const std::string& path) {
  for (std::atomic<char*>& slot : boundChannels) {
    char* held = slot.load();
    if (held != nullptr && path == held && slot.compare_exchange_strong(held, nullptr)) {
      std::free(held);
      return;
    }
  }
}

// A process that was killed leaves its channels behind, and they would pile up in the private
// folder. Nobody listens on such a socket, so a connect to it is refused: those of this user's
// channels are removed when a queue opens.
void removeStaleChannels(const std::string& folder) {
  const UniqueDirectory dir{opendir(folder.c_str())};
  if (!dir) return;
  while (const dirent* entry = readdir(dir.get())) {
    if (std::strncmp(entry->d_name, "m-", 2) != 0) continue;
    const std::string path = folder + "/" + entry->d_name;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode) || info.st_uid != geteuid()) {
      continue;
    }
    sockaddr_un address;
    if (path.size() >= sizeof address.sun_path) continue;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const UniqueFd probe(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!probe) return;
    if (connect(probe.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
        errno == ECONNREFUSED) {
      unlink(path.c_str());
    }
  }
}

}  // namespace

std::uint32_t currentThreadId() { return static_cast<std::uint32_t>(syscall(SYS_gettid)); }

std::uint32_t currentProcessId() { return static_cast<std::uint32_t>(getpid()); }

std::uint32_t registerMessage(const std::string& name) {
  // Like a registered window message: the same name gives the same id in every process, out of
  // the range of the fixed messages.
  const std::uint64_t hash = fnv1a64(name);
  return static_cast<std::uint32_t>(hash ^ (hash >> 32)) | 0x80000000u;
}

struct MessageQueue::Impl {
  UniqueFd socket;   // bound to this thread's name in the scope
  std::string path;  // that name, removed when the queue closes
  ~Impl() {
    forgetChannel(path);
    unlink(path.c_str());
  }
};

MessageQueue::MessageQueue() = default;
MessageQueue::~MessageQueue() { close(); }

bool MessageQueue::open(const std::string& scope) {
  close();
  failure_.clear();
  sockaddr_un address;
  socklen_t length = 0;
  if (!channelAddress(scope, currentThreadId(), address, length, failure_)) return false;
  UniqueFd fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd) {
    failure_ = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  // Every datagram then comes with its sender's credentials (see fromOurUser).
  const int on = 1;
  if (setsockopt(fd.get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0) {
    failure_ = std::string("SO_PASSCRED: ") + std::strerror(errno);
    return false;
  }
  // A thread id is used again once its thread has ended: a socket left under this name by a
  // process of ours that died is taken away. Anything that is not our socket is left alone.
  struct stat old;
  if (lstat(address.sun_path, &old) == 0) {
    if (!S_ISSOCK(old.st_mode) || old.st_uid != geteuid()) {
      failure_ = std::string(address.sun_path) + " is not a socket of this user: not used";
      return false;
    }
    unlink(address.sun_path);
  }
  if (bind(fd.get(), reinterpret_cast<sockaddr*>(&address), length) != 0) {
    failure_ = std::string(address.sun_path) + ": " + std::strerror(errno);
    return false;
  }
  impl_.reset(new Impl{std::move(fd), address.sun_path});
  rememberChannel(impl_->path);
  std::string folder;
  std::string why;
  if (posix::privateFolder(folder, why)) removeStaleChannels(folder);
  return true;
}

void MessageQueue::close() { impl_.reset(); }

bool MessageQueue::get(ThreadMessage& message) {
  if (!isOpen() || !receive(impl_->socket.get(), message, 0)) return false;
  return message.message != kQuitMessage;
}

bool MessageQueue::peek(ThreadMessage& message) {
  return isOpen() && receive(impl_->socket.get(), message, MSG_DONTWAIT);
}

bool postThreadMessage(const std::string& scope, std::uint32_t threadId,
                       const ThreadMessage& message) {
  if (threadId == 0) return false;
  sockaddr_un address;
  socklen_t length = 0;
  std::string why;
  if (!channelAddress(scope, threadId, address, length, why)) return false;
  const UniqueFd fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd) return false;
  // A receiver whose queue is full and never drains must not hold the sender for ever.
  timeval limit = {5, 0};
  setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  Datagram datagram;
  std::memset(&datagram, 0, sizeof datagram);
  datagram.message = message.message;
  datagram.wParam = static_cast<std::uint64_t>(message.wParam);
  datagram.lParam = static_cast<std::int64_t>(message.lParam);
  ssize_t sent;
  do {
    sent = sendto(fd.get(), &datagram, sizeof datagram, MSG_NOSIGNAL,
                  reinterpret_cast<sockaddr*>(&address), length);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(sizeof datagram);
}

// A pidfd where the kernel has them (it becomes readable when the process ends); otherwise the
// process is probed.
struct ProcessWatch::Impl {
  std::uint32_t processId;
  UniqueFd pidfd;
};

ProcessWatch::ProcessWatch() = default;
ProcessWatch::~ProcessWatch() { close(); }

bool ProcessWatch::open(std::uint32_t processId) {
  close();
  if (processId == 0) return false;
  UniqueFd pidfd(static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(processId), 0)));
  if (!pidfd) {
    // Kernels without pidfds: the process is watched by probing it.
    if (errno != ENOSYS) return false;
    if (kill(static_cast<pid_t>(processId), 0) != 0 && errno != EPERM) return false;
  }
  impl_.reset(new Impl{processId, std::move(pidfd)});
  return true;
}

void ProcessWatch::close() { impl_.reset(); }

std::uint32_t ProcessWatch::processId() const { return isOpen() ? impl_->processId : 0; }

bool ProcessWatch::running() {
  if (!isOpen()) return false;
  if (!impl_->pidfd) {
    return kill(static_cast<pid_t>(impl_->processId), 0) == 0 || errno == EPERM;
  }
  pollfd entry = {impl_->pidfd.get(), POLLIN, 0};
  return poll(&entry, 1, 0) == 0;
}

// Another process's exit status is its parent's alone to read.
bool ProcessWatch::exitCode(std::int32_t&) { return false; }

WaitResult waitForMessageOrExit(MessageQueue& queue, ProcessWatch* process, int timeoutMs) {
  if (!queue.isOpen()) return WaitResult::Failed;
  const bool watched = process != nullptr && process->isOpen();
  const bool probing = watched && !process->impl_->pidfd;
  pollfd entries[2] = {{queue.impl_->socket.get(), POLLIN, 0},
                       {watched ? process->impl_->pidfd.get() : -1, POLLIN, 0}};
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    int slice = timeoutMs;
    if (timeoutMs >= 0) {
      timespec now;
      clock_gettime(CLOCK_MONOTONIC, &now);
      const long elapsed =
          (now.tv_sec - start.tv_sec) * 1000L + (now.tv_nsec - start.tv_nsec) / 1000000L;
      slice = elapsed >= timeoutMs ? 0 : static_cast<int>(timeoutMs - elapsed);
    }
    if (probing && (slice < 0 || slice > 20)) slice = 20;
    const int ready = poll(entries, watched && !probing ? 2 : 1, slice);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return WaitResult::Failed;
    if (entries[0].revents & POLLIN) return WaitResult::Message;
    if (entries[0].revents & (POLLERR | POLLNVAL)) return WaitResult::Failed;
    if (watched && !probing && entries[1].revents != 0) return WaitResult::ProcessEnded;
    if (probing && !process->running()) return WaitResult::ProcessEnded;
    if (ready == 0 && timeoutMs >= 0 && slice == 0) return WaitResult::TimedOut;
    if (ready == 0 && timeoutMs >= 0 && !probing) return WaitResult::TimedOut;
  }
}

void sleepMilliseconds(int milliseconds) {
  timespec delay = {milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
  }
}

}  // namespace os
