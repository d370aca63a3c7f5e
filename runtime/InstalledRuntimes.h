#ifndef RUNTIME_INSTALLEDRUNTIMES_H
#define RUNTIME_INSTALLEDRUNTIMES_H

// The runtimes the system knows of, the last source of the search: on Windows those its installers
// recorded in the registry (win32/RegistrySearch.cpp), on Linux the folders where its packages
// install them (posix/InstalledRuntimes.cpp); JAVA_HOME after them on both.

#include <string>

#include "config/LauncherConfig.h"

namespace runtime {

// The home of the selected runtime; false when none passed.
bool searchInstalledRuntimes(const config::LauncherConfig& config, std::string& home);

}  // namespace runtime

#endif
