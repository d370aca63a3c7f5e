#include <windows.h>

#include "os/Thread.h"
#include "os/win32/Handles.h"

namespace os {

struct Thread::Impl {
  UniqueHandle thread;
  std::uint32_t id = 0;
};

namespace {

DWORD WINAPI threadStart(void* parameter) {
  return static_cast<DWORD>(
      runStartedThread(static_cast<ThreadStartRecord*>(parameter), GetCurrentThreadId()));
}

}  // namespace

Thread::Thread() = default;
Thread::~Thread() = default;

bool Thread::start(std::size_t stackSize, ThreadProc proc, void* argument) {
  ThreadStartRecord record;
  record.proc = proc;
  record.argument = argument;
  DWORD id = 0;
  UniqueHandle thread(CreateThread(nullptr, stackSize, threadStart, &record, 0, &id));
  if (!thread) return false;
  awaitThreadStart(record, [] { SwitchToThread(); });
  impl_.reset(new Impl{std::move(thread), id});
  return true;
}

bool Thread::waitFor(int timeoutMs) {
  if (!started()) return true;
  return WaitForSingleObject(impl_->thread.get(), timeoutMs < 0 ? INFINITE
                                                                : static_cast<DWORD>(timeoutMs)) ==
         WAIT_OBJECT_0;
}

unsigned long Thread::wait() {
  if (!started()) return 0;
  WaitForSingleObject(impl_->thread.get(), INFINITE);
  DWORD code = 0;
  GetExitCodeThread(impl_->thread.get(), &code);
  impl_.reset();
  return code;
}

bool Thread::started() const { return impl_ != nullptr; }

std::uint32_t Thread::id() const { return impl_ != nullptr ? impl_->id : 0; }

}  // namespace os
