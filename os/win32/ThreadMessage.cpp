#include <windows.h>

#include "os/ThreadMessage.h"
#include "os/win32/Handles.h"

namespace os {

std::uint32_t currentThreadId() { return GetCurrentThreadId(); }

std::uint32_t currentProcessId() { return GetCurrentProcessId(); }

std::uint32_t registerMessage(const std::string& name) { return RegisterWindowMessageA(name.c_str()); }

// The queue itself belongs to the thread; the object only records that it was made.
struct MessageQueue::Impl {};

MessageQueue::MessageQueue() = default;
MessageQueue::~MessageQueue() { close(); }

bool MessageQueue::open(const std::string&) {
  // The first call into the window system gives the thread its queue.
  MSG message;
  PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  impl_.reset(new Impl);
  return true;
}

void MessageQueue::close() { impl_.reset(); }

bool MessageQueue::get(ThreadMessage& message) {
  MSG msg;
  if (GetMessageA(&msg, nullptr, 0, 0) <= 0) return false;
  message.message = msg.message;
  message.wParam = msg.wParam;
  message.lParam = msg.lParam;
  return true;
}

bool MessageQueue::peek(ThreadMessage& message) {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  message.message = msg.message;
  message.wParam = msg.wParam;
  message.lParam = msg.lParam;
  return true;
}

bool postThreadMessage(const std::string&, std::uint32_t threadId, const ThreadMessage& message) {
  return PostThreadMessageA(threadId, message.message, message.wParam, message.lParam) != FALSE;
}

struct ProcessWatch::Impl {
  UniqueHandle process;
  std::uint32_t processId;
};

ProcessWatch::ProcessWatch() = default;
ProcessWatch::~ProcessWatch() { close(); }

bool ProcessWatch::open(std::uint32_t processId) {
  close();
  UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId));
  if (!process) return false;
  impl_.reset(new Impl{std::move(process), processId});
  return true;
}

void ProcessWatch::close() { impl_.reset(); }

std::uint32_t ProcessWatch::processId() const { return isOpen() ? impl_->processId : 0; }

bool ProcessWatch::running() {
  return isOpen() && WaitForSingleObject(impl_->process.get(), 0) == WAIT_TIMEOUT;
}

bool ProcessWatch::exitCode(std::int32_t& code) {
  DWORD value = 0;
  // A process may end with 259 (STILL_ACTIVE) itself: only the signalled handle tells that it ended.
  if (!isOpen() || WaitForSingleObject(impl_->process.get(), 0) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(impl_->process.get(), &value)) {
    return false;
  }
  code = static_cast<std::int32_t>(value);
  return true;
}

WaitResult waitForMessageOrExit(MessageQueue&, ProcessWatch* process, int timeoutMs) {
  HANDLE handles[1];
  DWORD count = 0;
  if (process != nullptr && process->isOpen()) handles[count++] = process->impl_->process.get();
  // MWMO_INPUTAVAILABLE: a message already queued counts, not only one that arrives from now on.
  const DWORD result = MsgWaitForMultipleObjectsEx(
      count, handles, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs),
      QS_POSTMESSAGE | QS_ALLPOSTMESSAGE, MWMO_INPUTAVAILABLE);
  if (result == WAIT_OBJECT_0 + count) return WaitResult::Message;
  if (count == 1 && result == WAIT_OBJECT_0) return WaitResult::ProcessEnded;
  if (result == WAIT_TIMEOUT) return WaitResult::TimedOut;
  return WaitResult::Failed;
}

void sleepMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

}  // namespace os
