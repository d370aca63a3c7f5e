#ifndef VM_VMOPTIONS_H
#define VM_VMOPTIONS_H

// The environment the Java application inherits and the option list the VM is created with.

#include "config/LauncherConfig.h"
#include "vm/VmState.h"

namespace vm {

// Sets QL_JVM_PATH, QL_JVM_HOME and the search path for the VM library vm.jvmDllPath; adds the
// library-path option.
void prepareEnvironment(const config::LauncherConfig& config, VmState& vm);

// Adds the class-path option and the user's options; fills the output and error files. False after
// "Java Class Path was not specified in INI file.".
bool buildVmOptions(const config::LauncherConfig& config, VmState& vm);

}  // namespace vm

#endif
