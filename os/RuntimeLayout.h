#ifndef OS_RUNTIMELAYOUT_H
#define OS_RUNTIMELAYOUT_H

// Where things lie inside a Java runtime on this OS, and where the system keeps installed
// runtimes. The search itself is portable; only these names differ.

#include <string>

#include "os/Platform.h"

namespace os {

// The VM library of one VM kind ("server", "client", "classic", "hotspot", "jrockit") below a
// runtime home, as relative paths in the order to try.
StringArray vmLibraryPaths(const std::string& vmKind);

// Relative paths of which one exists in every runtime home (the core Java library).
StringArray runtimeMarkers();

// Relative path of the compiler that makes a home a JDK.
const char* compilerPath();

// The folder below which the system's packages install runtimes; empty where there is none.
const char* installedRuntimesFolder();

// The runtime folders directly below root, each with a trailing separator: the real folders in
// name order, then the symbolic links to folders not listed yet, so every runtime counts once.
StringArray listRuntimeFolders(const std::string& root);

}  // namespace os

#endif
