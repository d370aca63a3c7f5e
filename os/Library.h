#ifndef OS_LIBRARY_H
#define OS_LIBRARY_H

// Dynamic libraries, always by full path. A loaded library stays loaded until the process ends.

#include <string>

namespace os {

// Null on failure, with error set to the system error code.
void* loadLibrary(const std::string& fullPath, unsigned long& error);

// Null when the library has no such entry; error then holds the system error code.
void* findSymbol(void* library, const char* name, unsigned long& error);

}  // namespace os

#endif
