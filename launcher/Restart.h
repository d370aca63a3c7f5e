#ifndef LAUNCHER_RESTART_H
#define LAUNCHER_RESTART_H

// The restart an application asks for by ending with its "Restart Exit Code" (after it changed a
// setting or installed an update): the launcher starts the program again as the user started it.
// A restart loop cannot run away: the restarts in a row are counted in a variable of the new
// process's environment, and after too many within a short time the code is returned as it is.

#include <cstdint>
#include <string>

namespace launcher {

constexpr const char* kRestartVariable = "QL_LAUNCHER_RESTARTS";
// At most this many restarts within this many seconds; a slower application restarts for ever.
constexpr int kMaxRestarts = 3;
constexpr std::int64_t kRestartWindowSeconds = 60;

// The restarts of the current window and when it began (seconds since 1970), as the variable
// holds them: "<count> <since>".
struct RestartHistory {
  int count = 0;
  std::int64_t since = 0;
};

// Anything but the launcher's own text reads as no restart yet.
RestartHistory parseRestartHistory(const std::string& text);
std::string restartHistoryText(const RestartHistory& history);

// The history after one more restart at now; false when that one would be one too many.
bool admitRestart(const RestartHistory& previous, std::int64_t now, RestartHistory& next);

// Starts the program at programPath again, unless its restarts have run away; the trace says
// which. True when the new process was started.
bool restartProgram(const std::string& programPath, std::int32_t code);

}  // namespace launcher

#endif
