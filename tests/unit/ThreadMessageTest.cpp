// Thread messages between the launcher processes of one program: who may reach a thread's queue.

#include <atomic>

#include "os/Thread.h"
#include "os/ThreadMessage.h"
#include "tests/unit/Test.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

os::ThreadMessage messageOf(std::uint32_t id, std::uintptr_t wParam) {
  os::ThreadMessage message;
  message.message = id;
  message.wParam = wParam;
  return message;
}

}  // namespace

TEST_CASE(thread_message_reaches_the_queue_of_its_thread_only) {
  const std::string scope = "unit-thread-message-scope";
  os::MessageQueue queue;
  CHECK(queue.open(scope));
  CHECK(os::postThreadMessage(scope, os::currentThreadId(), messageOf(0x8101, 7)));
  os::ThreadMessage got;
  CHECK(queue.peek(got));
  CHECK_EQ(got.message, 0x8101u);
  CHECK_EQ(static_cast<unsigned long>(got.wParam), 7ul);
  CHECK(!queue.peek(got));
}

namespace {

struct Receiver {
  std::string scope;
  std::atomic<bool> ready{false};
  std::uint32_t ownId = 0;
  std::uintptr_t received = 0;
};

unsigned long receiveOne(void* argument) {
  Receiver& receiver = *static_cast<Receiver*>(argument);
  os::MessageQueue queue;
  if (!queue.open(receiver.scope)) return 1;
  receiver.ownId = os::currentThreadId();
  receiver.ready.store(true);
  os::ThreadMessage message;
  if (!queue.get(message)) return 2;
  receiver.received = message.wParam;
  return 0;
}

}  // namespace

// The id a started thread is known by is the one its messages are addressed to.
TEST_CASE(thread_message_posted_to_a_started_threads_id_arrives) {
  Receiver receiver;
  receiver.scope = "unit-thread-id-scope";
  os::Thread thread;
  CHECK(thread.start(0, receiveOne, &receiver));
  CHECK(thread.id() != 0);
  while (!receiver.ready.load()) os::sleepMilliseconds(1);
  CHECK_EQ(thread.id(), receiver.ownId);
  CHECK(os::postThreadMessage(receiver.scope, thread.id(), messageOf(0x8103, 42)));
  CHECK(thread.waitFor(10000));
  CHECK_EQ(thread.wait(), 0ul);
  CHECK_EQ(static_cast<unsigned long>(receiver.received), 42ul);
}

#ifndef _WIN32
// Another user of the machine cannot reach a thread's channel: it lies in a folder that is ours
// alone, so the other user's post does not even go out, and nothing reaches the queue.
TEST_CASE(thread_message_from_another_user_is_not_received) {
  if (geteuid() != 0) SKIP("switching to another user needs root");
  const std::string scope = "unit-thread-message-users";
  os::MessageQueue queue;
  CHECK(queue.open(scope));
  const std::uint32_t receiver = os::currentThreadId();
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    _exit(os::postThreadMessage(scope, receiver, messageOf(0x8102, 66)) ? 0 : 1);
  }
  CHECK(child > 0);
  int status = -1;
  CHECK_EQ(waitpid(child, &status, 0), child);
  CHECK(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  CHECK(os::postThreadMessage(scope, receiver, messageOf(0x8102, 5)));
  os::ThreadMessage got;
  CHECK(queue.peek(got));
  CHECK_EQ(static_cast<unsigned long>(got.wParam), 5ul);
  CHECK(!queue.peek(got));
}
#endif
