#ifndef INSTANCE_SINGLEINSTANCE_H
#define INSTANCE_SINGLEINSTANCE_H

// A second start of a single-instance application hands its arguments to the first one.

#include <cstdint>

#include "config/LauncherConfig.h"
#include "instance/SingleInstanceState.h"
#include "os/Platform.h"
#include "vm/VmState.h"

namespace instance {

// Set-up of a first instance, or hand-over of a second one with its arguments. config has its
// paths worked out; vm is read when requests are served. False makes start-up fail.
bool setupSingleInstance(const config::LauncherConfig& config, const StringArray& arguments,
                         const vm::VmState& vm, SingleInstanceState& state);

// A second instance's wait for the first one's reply; returns the exit code.
std::int32_t waitForFirstInstance(SingleInstanceState& state);

// Called on the VM thread just before main is called: from here on, hand-overs can be served
// (those that arrived earlier were kept until now).
void singleInstanceMainStarting(SingleInstanceState& state);

// Ends the listener of a first instance and releases the shared block.
void stopSingleInstance(SingleInstanceState& state);

}  // namespace instance

#endif
