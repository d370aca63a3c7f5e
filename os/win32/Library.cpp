#include <windows.h>

#include "os/Library.h"

namespace os {

void* loadLibrary(const std::string& fullPath, LibraryError& error) {
  // A relative name would send LoadLibrary through the search order; anchor it to the current
  // folder instead, so only the file the caller means can be loaded.
  std::string path = fullPath;
  const DWORD needed = GetFullPathNameA(fullPath.c_str(), 0, nullptr, nullptr);
  if (needed != 0) {
    std::string buffer(needed, '\0');
    const DWORD length = GetFullPathNameA(fullPath.c_str(), needed, &buffer[0], nullptr);
    if (length != 0 && length < needed) path.assign(buffer, 0, length);
  }
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) error.code = GetLastError();
  return reinterpret_cast<void*>(module);
}

void* findSymbol(void* library, const char* name, unsigned long& error) {
  FARPROC entry = GetProcAddress(static_cast<HMODULE>(library), name);
  if (entry == nullptr) error = GetLastError();
  return reinterpret_cast<void*>(entry);
}

}  // namespace os
