#include "base/Trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "os/Ui.h"

namespace base {

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
  va_list args;
  va_start(args, format);
  std::string line = os::formatPrintfV(format, args);
  va_end(args);
  line += '\n';
  // One write per line, so lines of different threads do not interleave.
  std::fwrite(line.data(), 1, line.size(), file);
  std::fflush(file);
}

}  // namespace base
