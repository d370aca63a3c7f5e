// The launcher's sequence: start-up (init), run, and the destruction that always follows.

#include "config/Settings.h"
#include "launcher/ErrorReport.h"
#include "launcher/Launcher.h"
#include "launcher/SingleInstance.h"
#include "launcher/Trace.h"
#include "launcher/WorkingDirectory.h"
#include "os/Process.h"
#include "runtime/JreNotFoundDialog.h"
#include "runtime/JvmSearch.h"
#include "splash/Splash.h"
#include "splash/SplashWindow.h"
#include "vm/VmHost.h"
#include "vm/VmOptions.h"

namespace {

void traceStart(const StringArray& arguments) {
  if (!traceEnabled()) return;
  std::string program;
  unsigned long error = 0;
  trace("executable: %s", os::modulePath(program, error) ? program.c_str() : "(unavailable)");
  trace("arguments: %u", static_cast<unsigned>(arguments.size()));
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    trace("  argument %u: [%s]", static_cast<unsigned>(i), arguments[i].c_str());
  }
}

bool splashWanted(const StringArray& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "-nosplash" || argument == "/nosplash") return false;
  }
  return true;
}

}  // namespace

Launcher::Launcher() = default;

Launcher::~Launcher() {
  closeSplashWindow(*this);
  destroyVm(*this);
  if (singleInstance) stopSingleInstance(*this);
  closeNativeSplash(*this);
  // Strings and arrays go with the object.
}

bool Launcher::init() {
  arguments = os::commandLineArguments();
  traceStart(arguments);

  if (!setupSingleInstance(*this)) return false;
  if (singleInstance && !isFirstInstance) return true;

  if (!readSettings(*this)) return false;

  if (config.overrideWorkingDir) applyWorkingDirectory(*this);

  if (findJvm(*this)) return true;

  const std::string required = requirementText(config.minVersion, config.maxVersion);
  const std::string message =
      config.jvmType == JvmType::Server
          ? formatText(TEXT_FORMAT(IDS_JRE_NOT_FOUND_SERVER), required.c_str())
          : formatText(TEXT_FORMAT(IDS_JRE_NOT_FOUND), required.c_str());
  trace("no runtime found: %s", message.c_str());
  std::string chosenLibrary;
  std::string chosenFolder;
  if (showJreNotFoundDialog(*this, message, config.jvmType, chosenLibrary, chosenFolder) !=
      kDialogOk) {
    return false;
  }
  jvmDllPath = chosenLibrary;
  trace("runtime chosen by the user: %s", jvmDllPath.c_str());
  storeJrePath(*this, chosenFolder);
  return true;
}

std::int32_t Launcher::run() {
  if (singleInstance && !isFirstInstance) return waitForFirstInstance(*this);

  prepareEnvironment(*this);

  const bool splash = splashWanted(arguments);
  if (!splash) trace("splash: suppressed by the command line");
  if (splash && !splashFollowsVmLibrary() && !showSplash(*this)) return 0;
  if (!loadJvmLibrary(*this)) return -1;
  if (splash && splashFollowsVmLibrary() && !showSplash(*this)) return 0;
  if (!buildVmOptions(*this)) return -1;

  const std::uint32_t vmResult = runVmThread(*this);
  trace("VM thread ended with %u", static_cast<unsigned>(vmResult));
  if (vmResult == 0) return 0;
  closeNativeSplash(*this);
  return -1;
}
