#ifndef VM_CLASSDATASTATE_H
#define VM_CLASSDATASTATE_H

// The VM state's part of the class-data archives (a state header only; the steps are in
// ClassDataSharing): where the launcher's archive options stand in the option list, and a
// recording. The VM writes a recording into recordingPath when it ends; the launcher gives it its
// final name only then, either after DestroyJavaVM has returned or from the VM's exit hook when the
// application calls System.exit, whichever comes.

#include <jni.h>

#include <atomic>
#include <cstddef>
#include <string>

#include "vm/ClassDataArchive.h"

namespace vm {

using VmExitHook = void(JNICALL*)(jint code);

struct ClassDataSharingState {
  // All written by the first thread before the VM thread starts; the VM thread clears
  // optionsCount, recordingPath and exitHook when it withdraws the options after the VM refused
  // them, before its second attempt to create the VM.
  std::size_t optionsAt = 0;     // the launcher's archive options in the VM options
  std::size_t optionsCount = 0;  // 0: none
  std::string folder;         // the archives' folder, with a trailing separator
  std::string recordingPath;  // where the VM writes; empty when this start records nothing
  ArchiveSlot slot;
  VmExitHook exitHook = nullptr;  // handed to the VM as its "exit" hook when set
  // Written by the first thread when the VM thread has ended: main was called and nothing failed.
  bool runSucceeded = false;
  // Set by whichever thread kept or dropped the recording first: the first thread after
  // DestroyJavaVM, or the VM's thread in the exit hook.
  std::atomic<bool> finished{false};
};

}  // namespace vm

#endif
