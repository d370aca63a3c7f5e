#include "vm/VmOptions.h"

#include "config/Settings.h"
#include "launcher/ErrorReport.h"
#include "launcher/Launcher.h"
#include "launcher/ModulePath.h"
#include "launcher/Trace.h"
#include "os/Path.h"
#include "os/Process.h"
#include "vm/ClassDataSharing.h"
#include "vm/OptionText.h"

namespace {

std::string expanded(std::string text) {
  os::expandEnvironment(text);
  return text;
}

void setTraced(const char* name, const std::string& value) {
  os::setEnvironment(name, value);
  trace("environment %s=%s", name, value.c_str());
}

// "%Path%" when the inherited search path holds something, else empty: an empty entry would put
// the current folder into the search.
std::string inheritedPathReference(bool& endsWithSeparator) {
  std::string inherited;
  os::getEnvironment(os::kPathVariable, inherited);
  endsWithSeparator = !inherited.empty() && inherited.back() == os::kListSeparator;
  if (inherited.empty()) return std::string();
  return std::string("%") + os::kPathVariable + "%";
}

// One token of the user's VM parameters made ready for the VM.
std::string processToken(Launcher& launcher, const std::string& token) {
  std::string text = unquote(token);
  if (isRelativeMemoryOption(text)) {
    const os::MemoryStatus memory = os::memoryStatus();
    text = resolveMemoryOption(text, memory.totalPhysical, memory.availableVirtual);
  }
  if (text.compare(0, 4, "-Xss") == 0) {
    parseStackSize(text.substr(4), launcher.mainThreadStackSize);
  }
  return text;
}

}  // namespace

void prepareEnvironment(Launcher& launcher) {
  const std::string& jvmPath = launcher.jvmDllPath;
  setTraced("QL_JVM_PATH", jvmPath);
  setTraced("QL_JVM_HOME", stripPathComponents(jvmPath, 3));

  bool inheritedEndsWithSeparator = false;
  const std::string inherited = inheritedPathReference(inheritedEndsWithSeparator);

  std::string& libraryPath = launcher.config.libraryPath;
  if (!libraryPath.empty()) {
    std::string program;
    const std::string launcherFolder =
        getModulePath(launcher, program) ? os::folderOf(program) : std::string();
    libraryPath = expanded(composeLibraryPath(libraryPath, launcherFolder, inherited,
                                              inheritedEndsWithSeparator,
                                              runtimeLibraryFolder(jvmPath)));
    launcher.vmOptions.push_back("-Djava.library.path=" + libraryPath);
  }

  setTraced(os::kPathVariable,
            expanded(composeSearchPath(launcher.config.systemPath, inherited,
                                       stripPathComponents(jvmPath, 2))));
}

bool buildVmOptions(Launcher& launcher) {
  std::string iniPath;
  if (!getIniPath(launcher, iniPath)) return false;

  const std::string classPath = readSetting(iniPath, ini::ClassPath);
  if (classPath.empty()) {
    showError(launcher.messageParent, loadText(IDS_NO_CLASS_PATH));
    return false;
  }

  StringArray pending;
  pending.push_back("-Djava.class.path=" + classPath);
  const std::string vmParameters = readSetting(iniPath, ini::VirtualMachineParameters);
  for (const std::string& token : splitVmParameters(vmParameters)) {
    pending.push_back(processToken(launcher, token));
  }
  for (const std::string& option : pending) launcher.vmOptions.push_back(expanded(option));
  addClassDataSharingOptions(launcher, iniPath, vmParameters);

  if (traceEnabled()) {
    for (const std::string& option : launcher.vmOptions) trace("VM option: %s", option.c_str());
  }

  LauncherConfig& config = launcher.config;
  config.outputFile = readSetting(iniPath, ini::OutputFile);
  if (!config.outputFile.empty()) config.outputFile = expanded(config.outputFile);
  config.errorFile = readSetting(iniPath, ini::ErrorFile);
  if (!config.errorFile.empty()) config.errorFile = expanded(config.errorFile);
  trace("output file: [%s], error file: [%s]", config.outputFile.c_str(), config.errorFile.c_str());
  return true;
}
