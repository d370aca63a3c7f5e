#include <windows.h>

#include "os/Thread.h"

namespace os {

namespace {

struct StartRecord {
  ThreadProc proc;
  void* argument;
};

DWORD WINAPI threadStart(void* parameter) {
  StartRecord record = *static_cast<StartRecord*>(parameter);
  delete static_cast<StartRecord*>(parameter);
  return static_cast<DWORD>(record.proc(record.argument));
}

}  // namespace

Thread::~Thread() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

bool Thread::start(std::size_t stackSize, ThreadProc proc, void* argument) {
  auto* record = new StartRecord{proc, argument};
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, stackSize, threadStart, record, 0, &id);
  if (thread == nullptr) {
    delete record;
    return false;
  }
  handle_ = thread;
  id_ = id;
  return true;
}

unsigned long Thread::wait() {
  if (handle_ == nullptr) return 0;
  WaitForSingleObject(handle_, INFINITE);
  DWORD code = 0;
  GetExitCodeThread(handle_, &code);
  CloseHandle(handle_);
  handle_ = nullptr;
  return code;
}

}  // namespace os
