#ifndef VM_VMHOST_H
#define VM_VMHOST_H

// Loading the VM library, creating the VM on its own thread, calling main, destroying the VM.

#include <jni.h>

#include <cstdint>
#include <string>

#include "config/LauncherConfig.h"
#include "os/Platform.h"
#include "vm/VmState.h"

namespace vm {

// Loads vm.jvmDllPath and takes its two entry points; reports its own failures.
bool loadJvmLibrary(VmState& vm);

// Creates the VM and calls main with the arguments on a thread of its own, waits for it, and
// returns its exit code: 0 when main was called and the thread left the VM cleanly, 1 otherwise.
std::uint32_t runVmThread(const config::LauncherConfig& config, const StringArray& arguments,
                          VmState& vm);

// The VM's default Java thread stack size in bytes, asked with the JNI 1.1 record; 0 when it
// gives none (the thread then gets the system's default).
std::uint32_t defaultThreadStackSize(const VmState& vm);

// System.exit(code) on the VM thread; returns only when the exit was refused.
void systemExit(JNIEnv* env, int code);

// Returns when the application's last non-daemon thread has ended.
void destroyVm(VmState& vm);

}  // namespace vm

#endif
