#ifndef INSTANCE_SINGLEINSTANCESTATE_H
#define INSTANCE_SINGLEINSTANCESTATE_H

// What single-instance coordination keeps for the life of the launch (a state header only; the
// steps are in SingleInstance).

#include <atomic>
#include <cstdint>
#include <string>

#include "os/SharedBlock.h"
#include "os/Thread.h"
#include "os/ThreadMessage.h"
#include "vm/VmState.h"

namespace instance {

struct SingleInstanceState {
  bool enabled = false;  // "Single Instance" is "yes" and nothing turned it off
  bool isFirstInstance = false;
  std::string name;                   // block name, message name and message scope
  os::SharedMapping mapping;
  unsigned char* block = nullptr;     // view of mapping
  std::uint32_t messageId = 0;        // request and reply
  std::uint32_t copiedMessageId = 0;  // the listener has copied a request's arguments

  // First instance. The listener reads the VM and its main class when it serves a request: they
  // belong to the launcher, which outlives the listener.
  os::Thread listener;
  const vm::VmState* vm = nullptr;
  std::atomic<bool> mainStarted{false};  // set once by the VM thread

  // Second instance.
  os::MessageQueue queue;
  os::ProcessWatch firstProcess;
  os::NamedLock handoverLock;
  bool replied = false;
  std::int32_t reply = 0;
};

}  // namespace instance

#endif
