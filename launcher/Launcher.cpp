#include "launcher/Launcher.h"

#include "config/Settings.h"
#include "launcher/ErrorReport.h"
#include "launcher/SingleInstance.h"
#include "launcher/Trace.h"
#include "os/Process.h"
#include "runtime/JreNotFoundDialog.h"
#include "runtime/JvmSearch.h"
#include "splash/Splash.h"
#include "splash/SplashWindow.h"
#include "vm/VmHost.h"
#include "vm/VmOptions.h"

Launcher::Launcher() = default;

Launcher::~Launcher() { destroy(); }

bool getModulePath(const Launcher& launcher, std::string& path) {
  unsigned long error = 0;
  if (os::modulePath(path, error)) return true;
  showErrorFormat(launcher.messageParent, loadText(IDS_WINDOWS_EXCEPTION).c_str(),
                  loadText(IDS_MODULE_PATH_FAILED).c_str(), static_cast<int>(error));
  return false;
}

void applyWorkingDirectory(Launcher& launcher) {
  std::string path;
  if (!getModulePath(launcher, path)) return;
  const std::size_t slash = path.rfind(os::kPathSeparator);
  if (slash == std::string::npos || slash < 1) return;
  const std::string folder = path.substr(0, slash);
  const bool changed = os::setCurrentDirectory(folder);
  trace("working directory: %s%s", folder.c_str(), changed ? "" : " (could not be set)");
}

bool Launcher::init() {
  arguments = os::commandLineArguments();
  if (traceEnabled()) {
    std::string program;
    unsigned long error = 0;
    trace("executable: %s", os::modulePath(program, error) ? program.c_str() : "(unavailable)");
    trace("arguments: %u", static_cast<unsigned>(arguments.size()));
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      trace("  argument %u: [%s]", static_cast<unsigned>(i), arguments[i].c_str());
    }
  }

  if (!setupSingleInstance(*this)) return false;
  if (singleInstance && !isFirstInstance) return true;

  if (!readSettings(*this)) return false;

  if (config.overrideWorkingDir) applyWorkingDirectory(*this);

  if (findJvm(*this)) return true;

  const std::string required = requirementText(config.minVersion, config.maxVersion);
  const std::string message =
      formatText(config.jvmType == JvmType::Server ? IDS_JRE_NOT_FOUND_SERVER : IDS_JRE_NOT_FOUND,
                 required.c_str());
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

namespace {

bool splashWanted(const StringArray& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "-nosplash" || argument == "/nosplash") return false;
  }
  return true;
}

}  // namespace

std::int32_t Launcher::run() {
  if (singleInstance && !isFirstInstance) return waitForFirstInstance(*this);

  prepareEnvironment(*this);

  if (splashWanted(arguments)) {
    if (!showSplash(*this)) return 0;
  } else {
    trace("splash: suppressed by the command line");
  }

  if (!loadJvmLibrary(*this)) return -1;
  if (!buildVmOptions(*this)) return -1;

  const std::uint32_t vmResult = runVmThread(*this);
  trace("VM thread ended with %u", static_cast<unsigned>(vmResult));
  if (vmResult == 0) return 0;
  if (nativeSplashClose != nullptr) {
    NativeSplashCloseFunction close = nativeSplashClose;
    nativeSplashClose = nullptr;
    close();
  }
  return -1;
}

void Launcher::destroy() {
  closeSplashWindow(*this);
  destroyVm(*this);
  if (singleInstance) stopSingleInstance(*this);
  if (nativeSplashClose != nullptr) {
    NativeSplashCloseFunction close = nativeSplashClose;
    nativeSplashClose = nullptr;
    close();
  }
  // Strings and arrays go with the object.
}
