#include "os/posix/PrivateFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace os {
namespace posix {

bool checkPrivateFolder(const std::string& path, std::string& why) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) {
    why = path + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(info.st_mode)) {
    why = path + " is not a folder (a link or a file is never followed)";
    return false;
  }
  if (info.st_uid != geteuid()) {
    why = path + " belongs to another user";
    return false;
  }
  if ((info.st_mode & 077) != 0) {
    why = path + " is open to other users";
    return false;
  }
  return true;
}

bool makePrivateFolder(const std::string& path, std::string& why) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    why = path + ": " + std::strerror(errno);
    return false;
  }
  return checkPrivateFolder(path, why);
}

bool privateFolder(std::string& folder, std::string& why) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string runtimeWhy;
  if (runtime != nullptr && runtime[0] == '/' && checkPrivateFolder(runtime, runtimeWhy)) {
    folder = std::string(runtime) + "/ql-launcher";
    return makePrivateFolder(folder, why);
  }
  const char* temporary = std::getenv("TMPDIR");
  std::string base = temporary != nullptr && temporary[0] == '/' ? temporary : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  folder = base + "/ql-launcher-" + std::to_string(static_cast<unsigned long>(geteuid()));
  if (makePrivateFolder(folder, why)) return true;
  if (!runtimeWhy.empty()) why += "; " + runtimeWhy;
  return false;
}

UniqueFd openPrivateFile(const std::string& path, int flags, std::string& why) {
  UniqueFd fd(open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd) {
    const int error = errno;  // the caller may ask it
    why = path + ": " + std::strerror(error);
    errno = error;
    return fd;
  }
  struct stat info;
  if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
    why = path + " is not a file of this user: not used";
    return UniqueFd();
  }
  return fd;
}

}  // namespace posix
}  // namespace os
