#ifndef VM_CLASSDATASTATE_H
#define VM_CLASSDATASTATE_H

// The VM state's part of the class-data archives (a state header only; the steps are in
// ClassDataSharing): where the launcher's archive options stand in the option list, the mark of an
// archive in use, and a recording. The VM writes a recording into recordingPath when it ends; the
// launcher gives it its final name only then, either after DestroyJavaVM has returned or from the
// VM's exit hook when the application calls System.exit, whichever comes. Should the VM fail to
// write it and end the process itself, its abort or exit hook still ends the process with the
// application's own exit code.

#include <jni.h>

#include <atomic>
#include <cstddef>
#include <string>

#include "os/FileSystem.h"
#include "vm/ClassDataArchive.h"

namespace vm {

using VmExitHook = void(JNICALL*)(jint code);
using VmAbortHook = void(JNICALL*)();

struct ClassDataSharingState {
  // All written by the first thread before the VM thread starts; the VM thread clears
  // optionsCount, recordingPath and the hooks when it withdraws the options after the VM refused
  // them, before its second attempt to create the VM.
  std::size_t optionsAt = 0;     // the launcher's archive options in the VM options
  std::size_t optionsCount = 0;  // 0: none
  ArchiveKind kind = ArchiveKind::Dynamic;
  std::string folder;         // the archives' folder, with a trailing separator
  std::string recordingPath;  // where the VM writes; empty when this start records nothing
  ArchiveSlot slot;
  VmExitHook exitHook = nullptr;    // handed to the VM as its "exit" hook when set
  VmAbortHook abortHook = nullptr;  // and as its "abort" hook
  // Held from before the VM is created until main has returned (or the VM ends): a start that
  // dies meanwhile leaves it, and the next start takes that as a sign of a damaged archive.
  os::HeldMark archiveMark;
  os::HeldMark recordingMark;  // held while this start records
  // The recording's files as the VM left them once it was up (the VM thread, before main): the
  // VM replaces them only when it writes the archive at its end.
  os::FileStamp recordingAtStart;
  os::FileStamp companionAtStart;
  // The application's own exit code, for a VM that ends the process itself after its recording
  // failed: the code given to System.exit (written by the thread that calls it), else the
  // launcher's own once the VM thread has ended (written by the first thread).
  std::atomic<bool> haltSeen{false};
  std::atomic<int> haltCode{0};
  std::atomic<bool> runEnded{false};
  std::atomic<int> runCode{0};  // the launcher's own code once the VM thread has ended
  // Written by the first thread when the VM thread has ended: main was called and nothing failed.
  std::atomic<bool> runSucceeded{false};
  // Set by whichever thread kept or dropped the recording first: the first thread after
  // DestroyJavaVM, or the VM's thread in one of its hooks.
  std::atomic<bool> finished{false};
  std::atomic<bool> markReleased{false};  // by main's thread, the exit hook or the first thread
};

}  // namespace vm

#endif
