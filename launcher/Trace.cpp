#include "launcher/Trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Opened at the first trace call and closed at process exit.
struct TraceFile {
  FILE* file = nullptr;
  TraceFile() {
    const char* path = std::getenv("QL_LAUNCHER_TRACE");
    if (path != nullptr && *path != '\0') file = std::fopen(path, "ab");
  }
  ~TraceFile() {
    if (file != nullptr) std::fclose(file);
  }
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;
};

TraceFile& traceFile() {
  static TraceFile instance;
  return instance;
}

}  // namespace

bool traceEnabled() { return traceFile().file != nullptr; }

void traceLine(const char* format, ...) {
  FILE* file = traceFile().file;
  if (file == nullptr) return;
  char small[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int needed = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string line;
  if (needed >= static_cast<int>(sizeof small)) {
    line.resize(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(&line[0], line.size(), format, again);
    line.resize(static_cast<std::size_t>(needed));
  } else if (needed > 0) {
    line.assign(small, static_cast<std::size_t>(needed));
  }
  va_end(again);
  line += '\n';
  // One write per line, so lines of different threads do not interleave.
  std::fwrite(line.data(), 1, line.size(), file);
  std::fflush(file);
}
