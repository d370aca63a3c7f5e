#ifndef RUNTIME_JVMSEARCH_H
#define RUNTIME_JVMSEARCH_H

// The search for a Java runtime: "JRE Path", a runtime beside the executable, then the registered
// installations; the first source that yields a VM library wins.

#include <string>

#include "config/LauncherConfig.h"

class Launcher;

// Sets launcher.jvmDllPath; true when it is not empty.
bool findJvm(Launcher& launcher);

// The VM library below home (which ends with a path separator) for the type, or empty. Sets
// isServer when it finds one.
std::string chooseJvmLibrary(const std::string& home, JvmType type, bool& isServer);

#endif
