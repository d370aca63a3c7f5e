#ifndef OS_THREADSTART_H
#define OS_THREADSTART_H

// How a new thread takes its procedure and argument on both OSes. The record lives on the starting
// thread's stack: the new thread copies what it needs and says so, and only then may the starter
// return and drop the record. The new thread also publishes its id as thread messages address it,
// which on Linux only the thread itself can learn.

#include <atomic>
#include <cstdint>

namespace os {

using ThreadProc = unsigned long (*)(void* argument);

struct ThreadStartRecord {
  ThreadProc proc = nullptr;
  void* argument = nullptr;
  std::atomic<std::uint32_t> threadId{0};  // written by the new thread before `taken`
  std::atomic<bool> taken{false};          // written by the new thread; read by the starter
};

// On the new thread: takes the procedure and argument, publishes the id, runs the procedure.
inline unsigned long runStartedThread(ThreadStartRecord* record, std::uint32_t threadId) {
  const ThreadProc proc = record->proc;
  void* const argument = record->argument;
  record->threadId.store(threadId, std::memory_order_relaxed);
  record->taken.store(true, std::memory_order_release);  // the record may be gone after this
  return proc(argument);
}

// On the starting thread, after the thread was created: waits until the record is taken and
// returns the new thread's id.
template <typename Yield>
std::uint32_t awaitThreadStart(ThreadStartRecord& record, Yield yield) {
  while (!record.taken.load(std::memory_order_acquire)) yield();
  return record.threadId.load(std::memory_order_relaxed);
}

}  // namespace os

#endif
