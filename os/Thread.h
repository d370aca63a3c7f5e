#ifndef OS_THREAD_H
#define OS_THREAD_H

// Threads of the launcher: started with a stack size, waited for, their exit code read.

#include <cstddef>
#include <cstdint>

namespace os {

using ThreadProc = unsigned long (*)(void* argument);

// Owns one thread handle (Windows) or one joinable thread (POSIX).
class Thread {
 public:
  Thread() = default;
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // stackSize 0 means the system's default. False when the thread could not be created.
  bool start(std::size_t stackSize, ThreadProc proc, void* argument);

  // Blocks until the thread has ended and returns its exit code.
  unsigned long wait();

  bool started() const { return handle_ != nullptr; }
  // The system's id of the thread, as thread messages address it.
  std::uint32_t id() const { return id_; }

 private:
  void* handle_ = nullptr;
  std::uint32_t id_ = 0;
};

}  // namespace os

#endif
