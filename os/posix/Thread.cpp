#include <pthread.h>
#include <unistd.h>

#include <climits>
#include <cstdint>

#include "os/Thread.h"

namespace os {

namespace {

struct StartRecord {
  ThreadProc proc;
  void* argument;
};

void* threadStart(void* parameter) {
  StartRecord record = *static_cast<StartRecord*>(parameter);
  delete static_cast<StartRecord*>(parameter);
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(record.proc(record.argument)));
}

}  // namespace

Thread::~Thread() {
  if (handle_ != nullptr) {
    pthread_detach(*static_cast<pthread_t*>(handle_));
    delete static_cast<pthread_t*>(handle_);
  }
}

bool Thread::start(std::size_t stackSize, ThreadProc proc, void* argument) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  if (stackSize != 0) {
    // pthreads wants at least PTHREAD_STACK_MIN, in whole pages.
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::size_t size = stackSize < static_cast<std::size_t>(PTHREAD_STACK_MIN)
                           ? static_cast<std::size_t>(PTHREAD_STACK_MIN)
                           : stackSize;
    size = (size + page - 1) / page * page;
    pthread_attr_setstacksize(&attributes, size);
  }
  auto* record = new StartRecord{proc, argument};
  auto* thread = new pthread_t;
  const int result = pthread_create(thread, &attributes, threadStart, record);
  pthread_attr_destroy(&attributes);
  if (result != 0) {
    delete record;
    delete thread;
    return false;
  }
  handle_ = thread;
  id_ = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle_));
  return true;
}

unsigned long Thread::wait() {
  if (handle_ == nullptr) return 0;
  void* code = nullptr;
  pthread_join(*static_cast<pthread_t*>(handle_), &code);
  delete static_cast<pthread_t*>(handle_);
  handle_ = nullptr;
  return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(code));
}

}  // namespace os
