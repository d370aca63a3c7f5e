#ifndef VM_VMHOST_H
#define VM_VMHOST_H

// Loading the VM library, creating the VM on its own thread, calling main, destroying the VM.

#include <jni.h>

#include <cstdint>
#include <string>

#include "os/Platform.h"

class Launcher;

// Loads jvmDllPath and takes its two entry points; reports its own failures.
bool loadJvmLibrary(Launcher& launcher);

// Creates the VM and calls main on a thread of its own, waits for it, and returns its exit code:
// 0 when main was called and the thread left the VM cleanly, 1 otherwise.
std::uint32_t runVmThread(Launcher& launcher);

// The VM's default Java thread stack size in bytes, asked with the JNI 1.1 record; 0 when it
// gives none (the thread then gets the system's default).
std::uint32_t defaultThreadStackSize(Launcher& launcher);

// System.exit(code) on the VM thread; returns only when the exit was refused.
void systemExit(Launcher& launcher, int code);

// Returns when the application's last non-daemon thread has ended.
void destroyVm(Launcher& launcher);

#endif
