#ifndef OS_RUNTIMELAYOUT_H
#define OS_RUNTIMELAYOUT_H

// Where things lie inside a Java runtime on this OS. The search itself is portable; only these
// names differ.

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

}  // namespace os

#endif
