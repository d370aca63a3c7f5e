#include "launcher/Restart.h"

#include <cstdlib>

#include "base/Trace.h"
#include "os/FileSystem.h"
#include "os/Process.h"
#include "os/Text.h"

namespace launcher {

RestartHistory parseRestartHistory(const std::string& text) {
  RestartHistory history;
  char* end = nullptr;
  const long count = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != ' ' || count < 1 || count > kMaxRestarts) return history;
  const char* since = end + 1;
  const long long seconds = std::strtoll(since, &end, 10);
  if (end == since || *end != '\0' || seconds < 0) return history;
  history.count = static_cast<int>(count);
  history.since = seconds;
  return history;
}

std::string restartHistoryText(const RestartHistory& history) {
  return os::signedDecimal(history.count) + " " + os::signedDecimal(history.since);
}

bool admitRestart(const RestartHistory& previous, std::int64_t now, RestartHistory& next) {
  // A window that has passed, or a clock set back, starts a new one.
  if (previous.count == 0 || now < previous.since ||
      now - previous.since >= kRestartWindowSeconds) {
    next = RestartHistory{1, now};
    return true;
  }
  if (previous.count >= kMaxRestarts) return false;
  next = RestartHistory{previous.count + 1, previous.since};
  return true;
}

bool restartProgram(const std::string& programPath, std::int32_t code) {
  std::string text;
  os::getEnvironment(kRestartVariable, text);
  const std::int64_t now = os::currentTime() / 1000000000;
  RestartHistory next;
  if (!admitRestart(parseRestartHistory(text), now, next)) {
    trace("restart: %d restarts within %d s already; exit code %d returned as it is",
          kMaxRestarts, static_cast<int>(kRestartWindowSeconds), static_cast<int>(code));
    return false;
  }
  const bool started = os::startProgramAgain(programPath, kRestartVariable,
                                             restartHistoryText(next));
  trace("restart: exit code %d asks for it; %s (restart %d in the last minute)",
        static_cast<int>(code),
        started ? "the program is started again" : "the program could not be started again",
        next.count);
  return started;
}

}  // namespace launcher
