#include "os/ThreadMessage.h"

namespace os {

namespace {

constexpr int kQuitRetryMs = 10;

}  // namespace

unsigned long endMessageThread(Thread& thread, const std::string& scope) {
  const ThreadMessage quit{kQuitMessage, 0, 0};
  do {
    postThreadMessage(scope, thread.id(), quit);
  } while (!thread.waitFor(kQuitRetryMs));
  return thread.wait();
}

}  // namespace os
