#ifndef VM_CLASSDATASHARING_H
#define VM_CLASSDATASHARING_H

// Class-data archives that the launcher keeps for the application when "Class Data Sharing" is
// "auto": one per application and runtime in the launcher's own folder below the user's cache
// folder, under the product folders of the per-user INI file, which only the user can reach. An
// archive whose key still holds is handed to the VM; otherwise the VM records one when it ends,
// under a name of its own that becomes the archive's only once the VM is done. Nothing here ever
// fails a start or changes its exit code: every obstacle leaves the VM without an archive, and
// the trace says why.

#include <string>

#include "config/LauncherConfig.h"
#include "vm/VmState.h"

namespace vm {

// Puts the archive options right after the class-path option of vm.options, so that the user's own
// options, which follow, win over them. vmParameters is "Virtual Machine Parameters" as read from
// the INI file.
void addClassDataSharingOptions(const config::LauncherConfig& config, VmState& vm,
                                const std::string& vmParameters);

// When the VM could not be created with the launcher's archive options (a runtime that no longer
// knows one of them): takes them out of vm.options, with the recording, so that the VM can be
// created without them. False when there were none.
bool withdrawClassDataSharingOptions(VmState& vm);

// On the VM thread once the VM is up, before main: when this start records, notes how the VM
// found the recording's files and learns the code the application gives System.exit, so that a
// VM that fails to write the archive and ends the process itself still ends it with the
// application's own code.
void watchClassDataRecording(JNIEnv* env, VmState& vm);

// On the VM thread when main has returned (or could not be called): the archive in use has served
// the start, and its mark goes.
void classDataMainReturned(VmState& vm);

// On the first thread when the VM thread has ended: main was called and nothing failed, or not.
void classDataRunEnded(VmState& vm, bool succeeded);

// Once the VM has ended (after DestroyJavaVM, or when it could not be created): what this start
// recorded becomes the archive when the run succeeded, and is removed otherwise.
void finishClassDataRecording(VmState& vm);

}  // namespace vm

#endif
