#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "launcher/Trace.h"
#include "os/Library.h"

namespace os {

void* loadLibrary(const std::string& fullPath, unsigned long& error) {
  // A name without a slash would send dlopen through the library search path.
  const std::string path = fullPath.find('/') == std::string::npos ? "./" + fullPath : fullPath;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (library != nullptr) return library;
  const char* reason = dlerror();
  trace("dlopen %s: %s", fullPath.c_str(), reason != nullptr ? reason : "?");
  // dlopen keeps no error code: a file that cannot be opened gives its errno, one that opens but
  // is no library gives ENOEXEC.
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) {
    error = static_cast<unsigned long>(errno);
  } else {
    close(fd);
    error = ENOEXEC;
  }
  return nullptr;
}

void* findSymbol(void* library, const char* name, unsigned long& error) {
  dlerror();
  void* entry = dlsym(library, name);
  if (entry == nullptr) error = ENOENT;
  return entry;
}

}  // namespace os
