#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>

#include "os/Thread.h"

namespace os {

struct Thread::Impl {
  pthread_t thread;
  std::uint32_t id;
  bool joined = false;
  unsigned long code = 0;
};

namespace {

void* threadStart(void* parameter) {
  const auto tid = static_cast<std::uint32_t>(syscall(SYS_gettid));
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(
      runStartedThread(static_cast<ThreadStartRecord*>(parameter), tid)));
}

}  // namespace

Thread::Thread() = default;

Thread::~Thread() {
  if (impl_ != nullptr && !impl_->joined) pthread_detach(impl_->thread);
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
  ThreadStartRecord record;
  record.proc = proc;
  record.argument = argument;
  pthread_t thread;
  const int result = pthread_create(&thread, &attributes, threadStart, &record);
  pthread_attr_destroy(&attributes);
  if (result != 0) return false;
  const std::uint32_t id = awaitThreadStart(record, [] { sched_yield(); });
  impl_.reset(new Impl{thread, id});
  return true;
}

bool Thread::waitFor(int timeoutMs) {
  if (!started() || impl_->joined) return true;
  void* code = nullptr;
  int result;
  if (timeoutMs < 0) {
    result = pthread_join(impl_->thread, &code);
  } else {
    timespec deadline;
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += timeoutMs / 1000;
    deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000L;
    }
    result = pthread_timedjoin_np(impl_->thread, &code, &deadline);
  }
  if (result != 0) return false;
  impl_->joined = true;
  impl_->code = static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(code));
  return true;
}

unsigned long Thread::wait() {
  if (!started()) return 0;
  waitFor(-1);
  const unsigned long code = impl_->code;
  impl_.reset();
  return code;
}

bool Thread::started() const { return impl_ != nullptr; }

std::uint32_t Thread::id() const { return impl_ != nullptr ? impl_->id : 0; }

}  // namespace os
