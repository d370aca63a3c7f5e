#include <windows.h>

#include "os/Library.h"

namespace os {

void* loadLibrary(const std::string& fullPath, unsigned long& error) {
  HMODULE module = LoadLibraryA(fullPath.c_str());
  if (module == nullptr) error = GetLastError();
  return reinterpret_cast<void*>(module);
}

void* findSymbol(void* library, const char* name, unsigned long& error) {
  FARPROC entry = GetProcAddress(static_cast<HMODULE>(library), name);
  if (entry == nullptr) error = GetLastError();
  return reinterpret_cast<void*>(entry);
}

}  // namespace os
