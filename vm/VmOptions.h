#ifndef VM_VMOPTIONS_H
#define VM_VMOPTIONS_H

// The environment the Java application inherits and the option list the VM is created with.

class Launcher;

// Sets QL_JVM_PATH, QL_JVM_HOME and the search path; adds the library-path option.
void prepareEnvironment(Launcher& launcher);

// Adds the class-path option and the user's options; fills the output and error files. False when
// the INI file cannot be located, or after "Java Class Path was not specified in INI file.".
bool buildVmOptions(Launcher& launcher);

#endif
