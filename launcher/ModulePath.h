#ifndef LAUNCHER_MODULEPATH_H
#define LAUNCHER_MODULEPATH_H

#include <string>

class Launcher;

// The full path of the running executable. On failure shows "Windows exception: failed to get the
// module path (errno = N)." owned by messageParent and returns false.
bool getModulePath(const Launcher& launcher, std::string& path);

#endif
