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

// Each INI file is read once per launch and every key answered from that copy: start-up asks the
// program INI some twenty times. Only the first thread reads settings; the one write updates the
// copy, so a later read sees it.
struct CachedFile {
  std::string path;
  FileRead result = FileRead::Absent;
  std::string text;
};

CachedFile cache[4];
std::size_t cacheNext = 0;

const CachedFile& cachedRead(const std::string& path) {
  for (const CachedFile& entry : cache) {
    if (!entry.path.empty() && entry.path == path) return entry;
  }
  CachedFile& entry = cache[cacheNext++ % (sizeof cache / sizeof cache[0])];
  entry.path = path;
  entry.result = readFile(path, entry.text, kIniLimit);
  return entry;
}

void forget(const std::string& path) {
  for (CachedFile& entry : cache) {
    if (entry.path == path) entry.path.clear();
  }
}

}  // namespace

std::string readProfileString(const std::string& path, const char* section, const char* key) {
  const CachedFile& file = cachedRead(path);
  std::string value;
  if (file.result != FileRead::Read || !findIniValue(file.text, section, key, value)) {
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
  const FileRead read = readFile(path, text, kIniLimit + 1);
  if (read == FileRead::Failed || read == FileRead::NotAFile) return false;
  // Nor one beyond the limit: only its start was read, and writing that back would cut off the
  // rest.
  if (text.size() > kIniLimit) return false;

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
  forget(path);
  return true;
}

}  // namespace os
