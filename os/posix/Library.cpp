#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "os/Library.h"
#include "os/posix/Handles.h"

namespace os {

void* loadLibrary(const std::string& fullPath, LibraryError& error) {
  // A name without a slash would send dlopen through the library search path.
  const std::string path = fullPath.find('/') == std::string::npos ? "./" + fullPath : fullPath;
  // dlopen would wait for a writer on a pipe: only a regular file is offered to it. Anything else
  // fails as a missing file does.
  {
    const UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info;
    if (!fd || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
      const int code = fd ? ENOENT : errno;
      error.code = static_cast<unsigned long>(code);
      error.reason = fd ? "not a regular file" : std::strerror(code);
      return nullptr;
    }
  }
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (library != nullptr) return library;
  const char* reason = dlerror();
  error.reason = reason != nullptr ? reason : "";
  // dlopen keeps no error code: a file that cannot be opened gives its errno, one that opens but
  // is no library gives ENOEXEC.
  const UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  error.code = fd ? ENOEXEC : static_cast<unsigned long>(errno);
  return nullptr;
}

void* findSymbol(void* library, const char* name, unsigned long& error) {
  dlerror();
  void* entry = dlsym(library, name);
  if (entry == nullptr) error = ENOENT;
  return entry;
}

}  // namespace os
