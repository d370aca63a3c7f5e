#ifndef BASE_MODULEPATH_H
#define BASE_MODULEPATH_H

#include <string>

namespace base {

// The full path of the running executable. On failure shows "Windows exception: failed to get the
// module path (errno = N)." and returns false. The launcher asks once, at its start, and hands the
// path to whoever needs it.
bool getModulePath(std::string& path);

}  // namespace base

#endif
