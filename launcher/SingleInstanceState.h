#ifndef LAUNCHER_SINGLEINSTANCESTATE_H
#define LAUNCHER_SINGLEINSTANCESTATE_H

// What single-instance coordination keeps beside the Launcher's named fields; a part of the
// Launcher, so that it lives exactly as long.

#include <atomic>
#include <cstdint>
#include <string>

#include "os/SharedBlock.h"
#include "os/ThreadMessage.h"

struct SingleInstanceState {
  std::string name;                   // block name, message name and message scope
  std::uint32_t messageId = 0;        // request and reply
  std::uint32_t copiedMessageId = 0;  // the listener has copied a request's arguments
  // First instance.
  std::atomic<bool> listenerRunning{false};  // set by the first thread, cleared by the listener
  std::atomic<bool> mainStarted{false};      // set once by the VM thread
  // Second instance.
  os::MessageQueue queue;
  os::ProcessWatch firstProcess;
  os::NamedLock handoverLock;
  bool replied = false;
  std::int32_t reply = 0;
};

#endif
