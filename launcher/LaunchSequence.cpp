// The launcher's sequence: start-up (init), run, and the destruction that always follows.

#include <cstdlib>

#include "base/ErrorReport.h"
#include "base/Trace.h"
#include "config/Settings.h"
#include "instance/SingleInstance.h"
#include "launcher/Launcher.h"
#include "launcher/Restart.h"
#include "launcher/WorkingDirectory.h"
#include "os/Process.h"
#include "runtime/JreNotFoundDialog.h"
#include "runtime/JvmSearch.h"
#include "splash/Splash.h"
#include "vm/VmHost.h"
#include "vm/VmOptions.h"

namespace launcher {

namespace {

void traceStart(const config::LauncherConfig& config, const StringArray& arguments) {
  if (!base::traceEnabled()) return;
  trace("executable: %s",
        config.programPath.empty() ? "(unavailable)" : config.programPath.c_str());
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

// The VM thread's two moments that belong to other subsystems.
void mainStarting(void* singleInstance) {
  auto& state = *static_cast<instance::SingleInstanceState*>(singleInstance);
  instance::singleInstanceMainStarting(state);
}

void mainThrew(void* splash) {
  splash::closeSplashWindow(*static_cast<splash::SplashState*>(splash));
}

}  // namespace

Launcher::Launcher() {
  vm_.mainStarting = vm::Hook{mainStarting, &singleInstance_};
  vm_.mainThrew = vm::Hook{mainThrew, &splash_};
}

Launcher::~Launcher() {
  splash::closeSplashWindow(splash_);
  vm::destroyVm(vm_);
  if (singleInstance_.enabled) instance::stopSingleInstance(singleInstance_);
  splash::closeNativeSplash(splash_);
  // Strings and arrays go with the object.
}

bool Launcher::init() {
  arguments_ = os::commandLineArguments();
  const bool located = config::locateProgram(config_);
  traceStart(config_, arguments_);
  if (!located) return false;

  if (!instance::setupSingleInstance(config_, arguments_, vm_, singleInstance_)) return false;
  if (singleInstance_.enabled && !singleInstance_.isFirstInstance) return true;

  if (!config::readSettings(config_)) return false;
  // Before the working folder or the environment changes: a restart starts the program as it began.
  if (config_.restartOnExitCode) os::rememberStartState();

  if (config_.overrideWorkingDir) applyWorkingDirectory(config_.programPath);

  if (runtime::findJvm(config_, vm_.jvmDllPath)) return true;

  const std::string required = config::requirementText(config_.minVersion, config_.maxVersion);
  const std::string message =
      config_.jvmType == config::JvmType::Server
          ? base::formatText(TEXT_FORMAT(IDS_JRE_NOT_FOUND_SERVER), required.c_str())
          : base::formatText(TEXT_FORMAT(IDS_JRE_NOT_FOUND), required.c_str());
  trace("no runtime found: %s", message.c_str());
  std::string chosenLibrary;
  std::string chosenFolder;
  if (runtime::showJreNotFoundDialog(message, config_.jvmType, chosenLibrary, chosenFolder) !=
      runtime::kDialogOk) {
    return false;
  }
  vm_.jvmDllPath = chosenLibrary;
  trace("runtime chosen by the user: %s", vm_.jvmDllPath.c_str());
  config::storeJrePath(config_, chosenFolder);
  return true;
}

std::int32_t Launcher::run() {
  if (singleInstance_.enabled && !singleInstance_.isFirstInstance) {
    return instance::waitForFirstInstance(singleInstance_);
  }

  vm::prepareEnvironment(config_, vm_);

  const bool splash = splashWanted(arguments_);
  if (!splash) trace("splash: suppressed by the command line");
  const bool splashFirst = !splash::splashFollowsVmLibrary();
  if (splash && splashFirst) splash::showSplash(config_, vm_.jvmDllPath, splash_);
  if (!vm::loadJvmLibrary(vm_)) return -1;
  if (splash && !splashFirst) splash::showSplash(config_, vm_.jvmDllPath, splash_);
  if (!vm::buildVmOptions(config_, vm_)) return -1;

  if (config_.restartOnExitCode) vm_.applicationExiting = vm::ExitHook{applicationExiting, this};
  const std::uint32_t vmResult = vm::runVmThread(config_, arguments_, vm_);
  trace("VM thread ended with %u", static_cast<unsigned>(vmResult));
  if (vmResult == 0 && vm_.uncaughtException) {
    trace("main ended with an uncaught exception that nobody chose to ignore: exit code 1");
    return 1;
  }
  if (vmResult == 0) return 0;
  splash::closeNativeSplash(splash_);
  return -1;
}

bool Launcher::restartWanted(std::int32_t code) const {
  return config_.restartOnExitCode && vm_.mainCalled && code == config_.restartExitCode;
}

void Launcher::applicationExiting(void* context, std::int32_t code) {
  Launcher& launcher = *static_cast<Launcher*>(context);
  if (!launcher.restartWanted(code)) return;
  // What the destruction would release and still can while the VM goes: single instance first of
  // all, so that the new process becomes the first instance.
  splash::closeSplashWindow(launcher.splash_);
  if (launcher.singleInstance_.enabled) instance::stopSingleInstance(launcher.singleInstance_);
  splash::closeNativeSplash(launcher.splash_);
  if (!restartProgram(launcher.config_.programPath, code)) return;
  trace("exit code: 0");
  std::exit(0);
}

}  // namespace launcher
