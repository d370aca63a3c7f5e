#ifndef OS_THREAD_H
#define OS_THREAD_H

// Threads of the launcher: started with a stack size, waited for, their exit code read.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "os/ThreadStart.h"

namespace os {

// One thread: a handle on Windows, a joinable thread on POSIX. A thread whose object goes before
// it has been waited for runs on by itself.
class Thread {
 public:
  Thread();
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // stackSize 0 means the system's default. False when the thread could not be created.
  bool start(std::size_t stackSize, ThreadProc proc, void* argument);

  // Waits up to timeoutMs (< 0: without limit); true once the thread has ended.
  bool waitFor(int timeoutMs);

  // Blocks until the thread has ended and returns its exit code; the thread is then released.
  unsigned long wait();

  bool started() const;
  // The thread's id as thread messages address it: the Windows thread id, or the Linux kernel
  // thread id. 0 when no thread was started.
  std::uint32_t id() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace os

#endif
