#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "os/Process.h"
#include "os/posix/Handles.h"

namespace os {

namespace {
std::string programArgument;  // argv[0], as the program was named
StringArray processArguments;
StringArray startEnvironment;
std::string startFolder;
}  // namespace

void initializeFirstThread() {}

void rememberStartState() {
  startEnvironment.clear();
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    startEnvironment.emplace_back(*entry);
  }
  startFolder = currentDirectory();
}

bool startProgramAgain(const std::string& programPath, const char* name, const std::string& value) {
  const std::string prefix = std::string(name) + "=";
  StringArray environment;
  for (const std::string& entry : startEnvironment) {
    if (entry.compare(0, prefix.size(), prefix) != 0) environment.push_back(entry);
  }
  environment.push_back(prefix + value);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(&entry[0]);
  envp.push_back(nullptr);
  std::string first = programArgument.empty() ? programPath : programArgument;
  std::vector<char*> argv{&first[0]};
  StringArray arguments = processArguments;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  if (!startFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, startFolder.c_str());
  // The calling thread may be one of the VM's, with signals blocked or handled its own way: the
  // new program starts as a program started from a shell does.
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t child = 0;
  const int result =
      posix_spawn(&child, programPath.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return result == 0;
}

void hardenLibrarySearch() {}

void setProcessArguments(int argc, char** argv) {
  programArgument = argc > 0 && argv[0] != nullptr ? argv[0] : "";
  processArguments.clear();
  for (int i = 1; i < argc; ++i) processArguments.emplace_back(argv[i]);
}

StringArray commandLineArguments() { return processArguments; }

bool modulePath(std::string& path, unsigned long& error) {
  std::string buffer(260, '\0');
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", &buffer[0], buffer.size());
    if (length < 0) {
      error = static_cast<unsigned long>(errno);
      return false;
    }
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(length));
      path = buffer;
      return true;
    }
    buffer.assign(buffer.size() * 2, '\0');
  }
}

bool isLeadByte(unsigned char) { return false; }

bool isSpace(unsigned char c) { return std::isspace(c) != 0; }

bool setCurrentDirectory(const std::string& path) { return chdir(path.c_str()) == 0; }

bool getEnvironment(const char* name, std::string& value) {
  const char* found = std::getenv(name);
  value = found != nullptr ? found : "";
  return found != nullptr;
}

bool setEnvironment(const char* name, const std::string& value) {
  return setenv(name, value.c_str(), 1) == 0;
}

bool expandEnvironment(std::string& text) {
  // The rules of ExpandEnvironmentStrings: %NAME% of a set variable becomes its value; the text of
  // an unknown reference is kept, and its closing % may open the next reference.
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] != '%') {
      std::size_t next = text.find('%', pos);
      if (next == std::string::npos) next = text.size();
      out.append(text, pos, next - pos);
      pos = next;
      continue;
    }
    const std::size_t nameStart = pos + 1;
    const std::size_t close = text.find('%', nameStart);
    if (close == std::string::npos) {
      out.append(text, pos, std::string::npos);
      break;
    }
    const std::string name = text.substr(nameStart, close - nameStart);
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value != nullptr) {
      out += value;
      pos = close + 1;
    } else {
      out.append(text, pos, close - pos);
      pos = close;
    }
  }
  text = out;
  return true;
}

bool fileExists(const std::string& path) {
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

bool createDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

FileRead readFile(const std::string& path, std::string& text, std::size_t maxBytes) {
  text.clear();
  // Without O_NONBLOCK the open of a pipe waits for a writer.
  const UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return errno == ENOENT ? FileRead::Absent : FileRead::Failed;
  struct stat info;
  if (fstat(fd.get(), &info) != 0) return FileRead::Failed;
  if (!S_ISREG(info.st_mode)) return FileRead::NotAFile;
  char buffer[4096];
  while (text.size() < maxBytes) {
    const std::size_t wanted = maxBytes - text.size() < sizeof buffer ? maxBytes - text.size()
                                                                      : sizeof buffer;
    const ssize_t n = read(fd.get(), buffer, wanted);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FileRead::Failed;
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return FileRead::Read;
}

std::string userSettingsFolder() {
  std::string folder;
  if (getEnvironment("XDG_CONFIG_HOME", folder) && !folder.empty()) return folder;
  std::string home;
  getEnvironment("HOME", home);
  return home + "/.config";
}

std::string userCacheFolder() {
  std::string folder;
  // The XDG rules: a relative XDG_CACHE_HOME is to be ignored.
  if (getEnvironment("XDG_CACHE_HOME", folder) && !folder.empty() && folder[0] == '/') return folder;
  std::string home;
  if (!getEnvironment("HOME", home) || home.empty()) return std::string();
  return home + "/.cache";
}

std::string currentDirectory() {
  std::string buffer(256, '\0');
  while (getcwd(&buffer[0], buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() >= (1u << 20)) return std::string();
    buffer.assign(buffer.size() * 2, '\0');
  }
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

bool isWindowsNT() { return true; }

MemoryStatus memoryStatus() {
  MemoryStatus result = {0, 0};
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0) {
    result.totalPhysical = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
  }
  // What the process may still map: its address-space limit (the user half of a 47-bit address
  // space when unlimited) less what it has mapped already.
  std::uint64_t limit = std::uint64_t(1) << 47;
  struct rlimit rl;
  if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) limit = rl.rlim_cur;
  std::uint64_t used = 0;
  const UniqueStdioFile statm(std::fopen("/proc/self/statm", "r"));
  unsigned long long size = 0;
  if (statm && std::fscanf(statm.get(), "%llu", &size) == 1 && pageSize > 0) {
    used = size * static_cast<std::uint64_t>(pageSize);
  }
  result.availableVirtual = limit > used ? limit - used : 0;
  return result;
}

}  // namespace os
