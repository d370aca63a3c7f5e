#ifndef RUNTIME_POSIX_INSTALLEDRUNTIMES_H
#define RUNTIME_POSIX_INSTALLEDRUNTIMES_H

// The runtimes installed below the folder where Linux distributions put them (/usr/lib/jvm).

#include <string>

#include "config/LauncherConfig.h"
#include "os/Platform.h"
#include "runtime/JvmCandidate.h"

namespace runtime {

constexpr const char* kInstalledRuntimesFolder = "/usr/lib/jvm";

// The runtime folders directly below root, each with a trailing separator: the real folders in
// name order, then the symbolic links to folders not listed yet, so every runtime counts once.
StringArray listRuntimeFolders(const std::string& root);

// Appends the runtimes installed below root: JDKs first, then JREs, as the registry keys are
// searched on Windows.
void collectInstalledRuntimes(const std::string& root, const LauncherConfig& config,
                              CandidateList& list);

}  // namespace runtime

#endif
