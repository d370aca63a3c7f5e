// The program entry: one Launcher for the life of the process. The OS-specific entry point
// (os/*/Entry.cpp) calls launcherMain.

#include "launcher/Launcher.h"
#include "launcher/Trace.h"
#include "os/Process.h"

int launcherMain() {
  std::int32_t result;
  {
    Launcher launcher;
    os::initializeFirstThread();
    result = launcher.init() ? launcher.run() : -1;
    trace("exit code: %d", static_cast<int>(result));
  }
  return result;
}
