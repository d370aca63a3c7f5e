#ifndef LAUNCHER_LAUNCHER_H
#define LAUNCHER_LAUNCHER_H

// The one object that owns the launcher's state for the life of the process: the settings, the
// arguments, and the state of each subsystem, which the sequence (LaunchSequence.cpp) hands to the
// subsystem's steps. Outside it the process keeps only what is process-wide by nature: the decision
// trace's file and the owner of error boxes (base/), the recording that the VM's exit hook finishes
// (vm/ClassDataSharing), the VM's words kept while it is created and whether it is (vm/VmMessages,
// vm/VmHost), since the VM's hooks carry no context, the environment and folder the process began
// with, for a restart, and on POSIX the program's arguments, the exit-time record of the
// single-instance block and the channels removed at exit (os/).

#include <cstdint>
#include <string>

#include "config/LauncherConfig.h"
#include "instance/SingleInstanceState.h"
#include "os/Platform.h"
#include "splash/SplashState.h"
#include "vm/VmState.h"

namespace launcher {

class Launcher {
 public:
  Launcher();
  // Destruction, always: the splash window, the VM, single instance, the native splash.
  ~Launcher();
  Launcher(const Launcher&) = delete;
  Launcher& operator=(const Launcher&) = delete;

  // True when run is to be called.
  bool init();
  // The process exit code.
  std::int32_t run();

  // Whether the application, having ended with code, asks to be started again ("Restart Exit
  // Code"); a start that failed before the application ran never does.
  bool restartWanted(std::int32_t code) const;
  const std::string& programPath() const { return config_.programPath; }

 private:
  // System.exit: a restart happens there, since the process ends with the VM.
  static void applicationExiting(void* launcher, std::int32_t code);

  config::LauncherConfig config_;
  StringArray arguments_;  // handed to main, without the program path
  instance::SingleInstanceState singleInstance_;
  splash::SplashState splash_;
  vm::VmState vm_;
};

}  // namespace launcher

#endif
