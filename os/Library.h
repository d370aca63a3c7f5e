#ifndef OS_LIBRARY_H
#define OS_LIBRARY_H

// Dynamic libraries, always by full path. A loaded library stays loaded until the process ends.

#include <string>

namespace os {

struct LibraryError {
  unsigned long code = 0;  // the system error code
  std::string reason;      // the loader's own words where it has them (POSIX), for the trace
};

// Null on failure, with error filled in.
void* loadLibrary(const std::string& fullPath, LibraryError& error);

// Null when the library has no such entry; error then holds the system error code.
void* findSymbol(void* library, const char* name, unsigned long& error);

}  // namespace os

#endif
