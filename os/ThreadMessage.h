#ifndef OS_THREADMESSAGE_H
#define OS_THREADMESSAGE_H

// Messages posted to a thread of any process by its thread id, and the wait of a thread on its own
// messages and another process's end together.
//
// Windows: registered window messages and the thread message queue. POSIX: each receiving thread
// owns a datagram socket in the user's private folder whose name is formed from a scope (the sender
// and receiver agree on it) and the receiver's thread id; a datagram carries the message, wParam
// and lParam.

#include <cstdint>
#include <memory>
#include <string>

#include "os/Thread.h"

namespace os {

struct ThreadMessage {
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// The message that ends a thread's message loop.
constexpr std::uint32_t kQuitMessage = 0x0012;
// First id of the messages a program keeps to itself (its own threads only).
constexpr std::uint32_t kPrivateMessage = 0x8000;

// The id of the calling thread, as thread messages address it.
std::uint32_t currentThreadId();
std::uint32_t currentProcessId();

// The same nonzero id for the same name in every process; 0 on failure.
std::uint32_t registerMessage(const std::string& name);

class ProcessWatch;
enum class WaitResult { Message, ProcessEnded, TimedOut, Failed };

// The calling thread's queue of thread messages. Must be opened on the thread that reads it.
class MessageQueue {
 public:
  MessageQueue();
  ~MessageQueue();
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  // From now on messages posted to this thread (within scope) are kept. False, with the reason in
  // failure(), when the thread cannot receive.
  bool open(const std::string& scope);
  const std::string& failure() const { return failure_; }
  void close();
  bool isOpen() const { return impl_ != nullptr; }

  // Blocks for the next message; false for the quit message or a failure.
  bool get(ThreadMessage& message);
  // Takes the next message if there is one.
  bool peek(ThreadMessage& message);

 private:
  friend WaitResult waitForMessageOrExit(MessageQueue&, ProcessWatch*, int);
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string failure_;
};

// False when the thread does not exist or cannot receive (POSIX: has no open queue in scope).
bool postThreadMessage(const std::string& scope, std::uint32_t threadId,
                       const ThreadMessage& message);

// Waits until a message is queued for the calling thread or the watched process (may be null) has
// ended; timeoutMs < 0 waits without limit. Wakes at once on either; takes no message.
WaitResult waitForMessageOrExit(MessageQueue& queue, ProcessWatch* process, int timeoutMs);

// Another process, watched for its end.
class ProcessWatch {
 public:
  ProcessWatch();
  ~ProcessWatch();
  ProcessWatch(const ProcessWatch&) = delete;
  ProcessWatch& operator=(const ProcessWatch&) = delete;

  // False when the process cannot be opened (for instance because it has ended).
  bool open(std::uint32_t processId);
  void close();
  bool isOpen() const { return impl_ != nullptr; }
  std::uint32_t processId() const;

  bool running();
  // The ended process's exit code, where the system keeps it (Windows); false otherwise.
  bool exitCode(std::int32_t& code);

 private:
  friend WaitResult waitForMessageOrExit(MessageQueue&, ProcessWatch*, int);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Ends a thread that runs a message loop on a queue within scope, and waits for it: posts it the
// quit message until it has ended, since a post fails while the thread has no queue yet. Between
// posts it waits on the thread itself, so a busy thread is not raced by a spinning loop for a core
// that others could use. Returns the thread's exit code.
unsigned long endMessageThread(Thread& thread, const std::string& scope);

// Sleeps; for the few waits that have nothing to wake on.
void sleepMilliseconds(int milliseconds);

}  // namespace os

#endif
