#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "config/IniText.h"
#include "os/Profile.h"

namespace os {

namespace {

enum class ReadResult { Read, Absent, Failed };

ReadResult readWhole(const std::string& path, std::string& text) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return errno == ENOENT ? ReadResult::Absent : ReadResult::Failed;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return failed ? ReadResult::Failed : ReadResult::Read;
}

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
  if (readWhole(path, text) != ReadResult::Read || !findIniValue(text, section, key, value)) {
    return std::string();
  }
  return value;
}

bool writeProfileString(const std::string& path, const char* section, const char* key,
                        const std::string& value) {
  // A file that exists but cannot be read is left alone: rewriting it from nothing would lose
  // every other setting in it.
  std::string text;
  if (readWhole(path, text) == ReadResult::Failed) return false;

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
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = target + ".new-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = writeAll(fd, updated);
  if (ok && exists) ok = ::fchmod(fd, original.st_mode & 07777) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace os
