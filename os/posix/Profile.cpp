#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "os/IniText.h"
#include "os/Process.h"
#include "os/Profile.h"
#include "os/posix/Handles.h"

namespace os {

namespace {

// No INI file is this long: whatever lies beyond is not read, however far it goes.
constexpr std::size_t kIniLimit = 16 * 1024 * 1024;

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string readProfileString(const std::string& path, const char* section, const char* key) {
  std::string text;
  std::string value;
  if (readFile(path, text, kIniLimit) != FileRead::Read ||
      !findIniValue(text, section, key, value)) {
    return std::string();
  }
  return value;
}

bool writeProfileString(const std::string& path, const char* section, const char* key,
                        const std::string& value) {
  // A file that exists but cannot be read is left alone: rewriting it from nothing would lose
  // every other setting in it.
  std::string text;
  // Nor is anything but a regular file replaced: a pipe or a device is not the user's settings.
  const FileRead read = readFile(path, text, kIniLimit);
  if (read == FileRead::Failed || read == FileRead::NotAFile) return false;

  // A link to the INI file stays a link: the file it names is the one rewritten.
  std::string target = path;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) != nullptr) target = resolved;
  struct stat original;
  const bool exists = ::stat(target.c_str(), &original) == 0;

  const std::string updated = setIniValue(text, section, key, value);
  // Written beside the file under a name of our own and renamed over it, so a failed write
  // leaves the old file whole.
  std::string temporary;
  UniqueFd fd;
  for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
    temporary = target + ".new-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    fd.reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd && errno != EEXIST) return false;
  }
  if (!fd) return false;
  bool ok = writeAll(fd.get(), updated);
  if (ok && exists) ok = ::fchmod(fd.get(), original.st_mode & 07777) == 0;
  // The close is where a full disk may show: its result counts.
  ok = ::close(fd.release()) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace os
