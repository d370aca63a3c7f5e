#include "instance/SingleInstance.h"

#include <atomic>
#include <memory>
#include <vector>

#include "base/Trace.h"
#include "config/Settings.h"
#include "instance/ArgumentArea.h"
#include "os/SharedBlock.h"
#include "os/ThreadMessage.h"
#include "vm/SecondaryMain.h"

// The first launcher process of a program path runs Java; later starts of the same path hand it
// their arguments through a named block and wait for its answer.
//
// The block (1052 bytes, little-endian):
//   0   thread id of the first instance's listener (written last: a nonzero id means the listener
//       receives)
//   4   process id of the first instance
//   8   id of the registered message
//   12  argument area (1040 bytes), written by one second start at a time under the hand-over lock
//
// A second start: waits until the header is complete, takes the hand-over lock, writes its
// arguments, posts the request (wParam = its thread id), and keeps the lock until the listener has
// said it copied the area. The reply carries the result (wParam) and ends the second start.
// The listener copies the area as each request arrives, and keeps the requests that come before
// main is called until it has been.
//
// A first instance that has no listener after all says so in the listener's field, and second
// starts start on their own. When the first process ends before it has copied a second start's
// arguments, the starts that wait for it race to put their own process id in its field: the
// winner becomes the first instance, with its arguments, and the others hand theirs to it.

namespace instance {

namespace {

constexpr std::size_t kBlockSize = 1052;
constexpr std::size_t kThreadIdOffset = 0;
constexpr std::size_t kProcessIdOffset = 4;
constexpr std::size_t kMessageIdOffset = 8;
constexpr std::size_t kArgumentAreaOffset = 12;

// In the listener's field: the first instance has no listener (its set-up turned single instance
// off after the block existed), so later starts start on their own. No thread has this id.
constexpr std::uint32_t kNoListener = 0xFFFFFFFFu;
// In the process field: a start is taking the place of a first process that ended.
constexpr std::uint32_t kTakingOver = 0xFFFFFFFFu;
// Rounds of a hand-over that found the first instance replaced: each means another start made
// progress, so a few suffice; the bound only keeps a broken block from holding a start for ever.
constexpr int kHandOverRounds = 64;

// Wakes the listener to serve the requests it kept until main was called.
constexpr std::uint32_t kMainStartedMessage = os::kPrivateMessage + 1;

// How long a second start waits for a first instance that is still writing the block's header.
constexpr int kHeaderWaitMilliseconds = 10000;
constexpr int kHeaderPollMilliseconds = 2;

// The header fields are read and written by other processes while this one runs: each is one
// aligned 32-bit word, accessed whole.
using SharedWord = std::atomic<std::uint32_t>;
static_assert(sizeof(SharedWord) == 4 && SharedWord::is_always_lock_free,
              "a block field is a lock-free 32-bit word");

std::uint32_t loadField(const unsigned char* block, std::size_t offset) {
  return reinterpret_cast<const SharedWord*>(block + offset)->load();
}

void storeField(unsigned char* block, std::size_t offset, std::uint32_t value) {
  reinterpret_cast<SharedWord*>(block + offset)->store(value);
}

using State = SingleInstanceState;

// One hand-over, owned by its request thread (or by the listener while it waits for main).
struct Request {
  std::uint32_t threadId;  // the second start's thread, where the reply goes
  JavaVM* javaVM;
  std::string mainClass;
  StringArray arguments;
  std::string scope;
  std::uint32_t messageId;
};

// Each separator becomes "_", as it always has, so that the name of a path without an underscore
// never changes. An underscore becomes "_" and a character that never follows a separator in a
// program path, so x/y/app and x_y/app no longer share a block.
std::string blockName(const std::string& programPath) {
  std::string name;
  name.reserve(programPath.size());
  for (char c : programPath) {
    if (c == os::kPathSeparator) {
      name += '_';
    } else if (c == '_') {
      name += '_';
      name += os::kNeverAfterSeparator;
    } else {
      name += c;
    }
  }
  return name;
}

void postReply(void* context, std::int32_t value) {
  const Request& request = *static_cast<const Request*>(context);
  os::ThreadMessage reply;
  reply.message = request.messageId;
  reply.wParam = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(value));
  const bool posted = os::postThreadMessage(request.scope, request.threadId, reply);
  trace("single instance: reply %d to thread %u%s", static_cast<int>(value),
        static_cast<unsigned>(request.threadId), posted ? "" : " could not be posted");
}

using RequestPtr = std::unique_ptr<Request>;

unsigned long requestThreadMain(void* argument) {
  const RequestPtr request(static_cast<Request*>(argument));
  vm::callSecondaryMain(request->javaVM, request->mainClass, request->arguments,
                        request->threadId, postReply, request.get());
  return 0;
}

void startRequest(const State& s, RequestPtr request) {
  request->javaVM = s.vm->javaVM.load();
  if (request->javaVM == nullptr) {
    trace("single instance: request of thread %u dropped: the VM is gone",
          static_cast<unsigned>(request->threadId));
    return;
  }
  request->mainClass = s.vm->mainClass;
  os::Thread thread;  // not kept: the thread owns its request and ends on its own
  if (thread.start(0, requestThreadMain, request.get())) {
    request.release();
  } else {
    trace("single instance: no thread for the request of thread %u",
          static_cast<unsigned>(request->threadId));
  }
}

unsigned long listenerThreadMain(void* argument) {
  State& s = *static_cast<State*>(argument);
  os::MessageQueue queue;
  if (!queue.open(s.name)) {
    trace("single instance: the listener cannot receive messages: %s", queue.failure().c_str());
    storeField(s.block, kThreadIdOffset, kNoListener);
    return 1;
  }
  // Second starts post to this id only once it is there, and the queue exists by now.
  storeField(s.block, kThreadIdOffset, os::currentThreadId());
  trace("single instance: listener %u ready", static_cast<unsigned>(os::currentThreadId()));

  std::vector<RequestPtr> waiting;  // arrived before main was called
  os::ThreadMessage message;
  while (queue.get(message)) {
    const bool mainStarted = s.mainStarted.load();
    if (message.message == s.messageId) {
      const std::uint32_t from = static_cast<std::uint32_t>(message.wParam);
      RequestPtr request(
          new Request{from, nullptr, std::string(), StringArray(), s.name, s.messageId});
      // Copied before anything else happens, so the next second start may use the area.
      request->arguments = readArgumentArea(s.block + kArgumentAreaOffset);
      os::ThreadMessage copied;
      copied.message = s.copiedMessageId;
      os::postThreadMessage(s.name, from, copied);
      trace("single instance: request from thread %u, %u arguments", static_cast<unsigned>(from),
            static_cast<unsigned>(request->arguments.size()));
      if (mainStarted) {
        startRequest(s, std::move(request));
      } else {
        trace("single instance: request of thread %u kept until main is called",
              static_cast<unsigned>(from));
        waiting.push_back(std::move(request));
      }
    }
    if (mainStarted && !waiting.empty()) {
      for (RequestPtr& request : waiting) {
        trace("single instance: serving the kept request of thread %u",
              static_cast<unsigned>(request->threadId));
        startRequest(s, std::move(request));
      }
      waiting.clear();
    }
  }
  // Kept requests that were never served go with the list: their second starts wait for this
  // process to end.
  trace("single instance: listener ended");
  return 0;
}

void turnOff(State& s, const char* why) {
  trace("single instance: off (%s)", why);
  s.enabled = false;
}

// Turns single instance off in a first instance whose block exists: later starts learn from the
// block at once that nobody listens, and start on their own.
void turnOffListening(State& s, const char* why) {
  storeField(s.block, kThreadIdOffset, kNoListener);
  turnOff(s, why);
}

bool setUpFirstInstance(State& s) {
  storeField(s.block, kProcessIdOffset, os::currentProcessId());
  s.messageId = os::registerMessage(s.name);
  if (s.messageId == 0) {
    turnOffListening(s, "the message cannot be registered");
    return true;
  }
  s.copiedMessageId = os::registerMessage(s.name + ":copied");
  trace("single instance: first instance, block %s, message %s = %u", s.name.c_str(),
        s.name.c_str(), static_cast<unsigned>(s.messageId));
  storeField(s.block, kMessageIdOffset, s.messageId);
  s.mapping.recordExitCodeAtExit(os::currentProcessId());
  if (!s.listener.start(0, listenerThreadMain, &s)) {
    turnOffListening(s, "the listener cannot be started");
  }
  return true;
}

// Takes the messages queued for this thread: notes a reply; true once the first instance has
// copied our arguments (a reply implies it).
bool drainMessages(State& s) {
  bool copied = false;
  os::ThreadMessage message;
  while (s.queue.peek(message)) {
    if (message.message == s.copiedMessageId) {
      copied = true;
    } else if (message.message == s.messageId && !s.replied) {
      s.replied = true;
      s.reply = static_cast<std::int32_t>(message.wParam);
      copied = true;
    }
  }
  return copied;
}

// How one attempt to hand the arguments to the first instance ended.
enum class Attempt {
  Posted,      // the arguments were copied, or the outcome is the reply's to tell
  FirstGone,   // the first process ended before it copied them
  NoListener,  // the first instance has no listener
  Replaced,    // another start took the first process's place meanwhile
  Failed,
};

// The header as one whole: the process field is read before and after the others, so that a
// start taking the first process's place in between is never half seen.
bool readHeader(const State& s, std::uint32_t& listener, std::uint32_t& processId,
                std::uint32_t& messageId) {
  processId = loadField(s.block, kProcessIdOffset);
  listener = loadField(s.block, kThreadIdOffset);
  messageId = loadField(s.block, kMessageIdOffset);
  return loadField(s.block, kProcessIdOffset) == processId;
}

Attempt attemptHandOver(State& s, const StringArray& arguments, std::uint32_t& firstProcess) {
  // The first instance may still be writing the header; its listener id comes last.
  std::uint32_t listener = 0, processId = 0, messageId = 0;
  for (int waited = 0;; waited += kHeaderPollMilliseconds) {
    if (readHeader(s, listener, processId, messageId)) {
      if (listener == kNoListener) return Attempt::NoListener;
      if (processId != 0 && processId != kTakingOver) {
        firstProcess = processId;
        if (s.firstProcess.processId() != processId) {
          s.firstProcess.close();
          if (!s.firstProcess.open(processId)) return Attempt::FirstGone;
        }
        if (!s.firstProcess.running()) return Attempt::FirstGone;
        if (listener != 0 && messageId != 0) break;
      }
    }
    if (waited >= kHeaderWaitMilliseconds) {
      trace("single instance: the first instance never became ready");
      return Attempt::Failed;
    }
    if (waited == 0) trace("single instance: waiting for the first instance to be ready");
    os::sleepMilliseconds(kHeaderPollMilliseconds);
  }
  s.messageId = messageId;
  s.copiedMessageId = os::registerMessage(s.name + ":copied");
  trace("single instance: second instance, block %s, message %s = %u, listener %u, process %u",
        s.name.c_str(), s.name.c_str(), static_cast<unsigned>(messageId),
        static_cast<unsigned>(listener), static_cast<unsigned>(processId));

  // Replies can come at any time after the request: the queue must exist before it is posted.
  if (!s.queue.isOpen() && !s.queue.open(s.name)) {
    trace("single instance: this thread cannot receive messages: %s", s.queue.failure().c_str());
    return Attempt::Failed;
  }
  // One hand-over at a time: the area is ours until the listener has copied it.
  if (!s.handoverLock.acquire(s.name, processId)) {
    if (!s.firstProcess.running()) return Attempt::FirstGone;
    trace("single instance: the hand-over lock cannot be taken");
    return Attempt::Failed;
  }
  const auto released = [&](Attempt attempt) {
    s.handoverLock.release();
    return attempt;
  };
  if (loadField(s.block, kProcessIdOffset) != processId) return released(Attempt::Replaced);
  if (!s.firstProcess.running()) return released(Attempt::FirstGone);
  writeArgumentArea(s.block + kArgumentAreaOffset, arguments);
  os::ThreadMessage request;
  request.message = messageId;
  request.wParam = os::currentThreadId();
  if (!os::postThreadMessage(s.name, listener, request)) {
    if (!s.firstProcess.running()) return released(Attempt::FirstGone);
    trace("single instance: the request cannot be posted to thread %u",
          static_cast<unsigned>(listener));
    return released(Attempt::Failed);
  }
  trace("single instance: request posted to thread %u", static_cast<unsigned>(listener));
  while (!drainMessages(s)) {
    const os::WaitResult woke = os::waitForMessageOrExit(s.queue, &s.firstProcess, -1);
    if (woke == os::WaitResult::Message) continue;
    if (drainMessages(s)) break;
    if (woke == os::WaitResult::ProcessEnded) return released(Attempt::FirstGone);
    trace("single instance: the wait for the first instance failed");
    break;
  }
  return released(Attempt::Posted);
}

// Puts this process in the place of the first process that ended; false when another start was
// quicker, which then is the one to hand the arguments to.
bool takeOver(State& s, std::uint32_t goneProcess) {
  auto& field = *reinterpret_cast<SharedWord*>(s.block + kProcessIdOffset);
  std::uint32_t expected = goneProcess;
  if (!field.compare_exchange_strong(expected, kTakingOver)) return false;
  // The gone listener's id goes before this process's id is in place: whoever sees this
  // process's id sees no stale listener.
  storeField(s.block, kThreadIdOffset, 0);
  s.handoverLock.release();
  s.firstProcess.close();
  s.queue.close();
  s.isFirstInstance = true;
  trace("single instance: the first process %u ended before it took these arguments; this start "
        "becomes the first instance", static_cast<unsigned>(goneProcess));
  return true;
}

bool handOver(State& s, const StringArray& arguments) {
  if (argumentAreaBytes(arguments) > kArgumentAreaSize) {
    trace("single instance: the arguments need %u bytes, more than %u",
          static_cast<unsigned>(argumentAreaBytes(arguments)),
          static_cast<unsigned>(kArgumentAreaSize));
    return false;
  }
  for (int round = 0; round < kHandOverRounds; ++round) {
    std::uint32_t firstProcess = 0;
    switch (attemptHandOver(s, arguments, firstProcess)) {
      case Attempt::Posted:
        return true;
      case Attempt::Failed:
        return false;
      case Attempt::NoListener:
        turnOff(s, "the first instance has no listener");
        s.queue.close();
        s.block = nullptr;
        s.mapping.close();
        return true;
      case Attempt::FirstGone:
        if (takeOver(s, firstProcess)) return setUpFirstInstance(s);
        trace("single instance: another start took the place of the first process %u",
              static_cast<unsigned>(firstProcess));
        break;
      case Attempt::Replaced:
        trace("single instance: the first process was replaced; handing over again");
        break;
    }
  }
  trace("single instance: the first instance kept changing; giving up");
  return false;
}

}  // namespace

bool setupSingleInstance(const config::LauncherConfig& config, const StringArray& arguments,
                         const vm::VmState& vm, SingleInstanceState& s) {
  if (config::readSetting(config.iniPath, config::ini::kApplicationType) == "service") {
    trace("single instance: off for a service");
    return true;
  }
  if (config::readSetting(config.iniPath, config::ini::kSingleInstance) != "yes") return true;
  s.enabled = true;
  s.vm = &vm;
  s.name = blockName(config.programPath);

  bool createdNew = false;
  if (!s.mapping.createOrOpen(s.name, kBlockSize, createdNew)) {
    const std::string why = "the block cannot be created: " + s.mapping.failure();
    turnOff(s, why.c_str());
    return true;
  }
  s.isFirstInstance = createdNew;
  s.block = s.mapping.map();
  if (s.block == nullptr) {
    turnOff(s, "the block cannot be mapped");
    return true;
  }
  if (s.isFirstInstance) return setUpFirstInstance(s);
  return handOver(s, arguments);
}

std::int32_t waitForFirstInstance(SingleInstanceState& s) {
  for (;;) {
    // A reply may have come with the copy notice already.
    drainMessages(s);
    if (s.replied) {
      trace("single instance: reply %d", static_cast<int>(s.reply));
      return s.reply;
    }
    if (!s.firstProcess.isOpen()) {
      trace("single instance: the first process cannot be watched; result 0");
      return 0;
    }
    const os::WaitResult woke = os::waitForMessageOrExit(s.queue, &s.firstProcess, -1);
    if (woke == os::WaitResult::Message) continue;
    drainMessages(s);
    if (s.replied) continue;
    // The system keeps the code (Windows), or the first process left it beside the block.
    std::int32_t code = -1;
    if (woke != os::WaitResult::ProcessEnded ||
        (!s.firstProcess.exitCode(code) &&
         !s.mapping.recordedExitCode(s.firstProcess.processId(), code))) {
      code = -1;
    }
    trace("single instance: the first process ended without a reply; exit code %d",
          static_cast<int>(code));
    return code;
  }
}

void singleInstanceMainStarting(SingleInstanceState& s) {
  if (!s.enabled || !s.isFirstInstance) return;
  trace("single instance: main starting; requests can be served");
  s.mainStarted.store(true);
  // A listener that has not published its id yet sees the flag once it has.
  os::ThreadMessage wake;
  wake.message = kMainStartedMessage;
  const std::uint32_t listener = loadField(s.block, kThreadIdOffset);
  if (listener != 0) os::postThreadMessage(s.name, listener, wake);
}

void stopSingleInstance(SingleInstanceState& s) {
  // The listener ends on the quit message only, and may not have its queue yet.
  if (s.isFirstInstance && s.listener.started()) os::endMessageThread(s.listener, s.name);
  s.handoverLock.release();
  s.queue.close();
  s.block = nullptr;
  s.mapping.close();
}

}  // namespace instance
