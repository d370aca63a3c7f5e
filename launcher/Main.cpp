#include "base/Trace.h"
#include "launcher/Launcher.h"
#include "launcher/Main.h"
#include "launcher/Restart.h"
#include "os/Process.h"

namespace launcher {

int launcherMain() {
  std::int32_t result;
  bool restart = false;
  std::string program;
  {
    Launcher launcher;
    os::initializeFirstThread();
    result = launcher.init() ? launcher.run() : -1;
    restart = launcher.restartWanted(result);
    program = launcher.programPath();
    if (!restart) trace("exit code: %d", static_cast<int>(result));
  }
  // After the whole destruction: the new process finds no trace of this one's single instance.
  if (restart && restartProgram(program, result)) result = 0;
  if (restart) trace("exit code: %d", static_cast<int>(result));
  return result;
}

}  // namespace launcher
