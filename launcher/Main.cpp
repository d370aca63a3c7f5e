#include "base/Trace.h"
#include "launcher/Launcher.h"
#include "launcher/Main.h"
#include "os/Process.h"

namespace launcher {

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

}  // namespace launcher
