#include "vm/VmOptions.h"

#include "base/ErrorReport.h"
#include "base/Trace.h"
#include "config/Settings.h"
#include "os/FileSystem.h"
#include "os/Path.h"
#include "os/Process.h"
#include "vm/ClassDataSharing.h"
#include "vm/OptionText.h"

namespace vm {

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
std::string processToken(VmState& vm, const std::string& token) {
  std::string text = unquote(token);
  if (isRelativeMemoryOption(text)) {
    const os::MemoryStatus memory = os::memoryStatus();
    std::string resolved;
    if (!resolveMemoryOption(text, memory.totalPhysical, memory.availableVirtual, resolved)) {
      trace("VM parameter %s: a number does not fit; passed as written", text.c_str());
    }
    text = resolved;
  }
  if (text.compare(0, 4, "-Xss") == 0) {
    parseStackSize(text.substr(4), vm.mainThreadStackSize);
  }
  return text;
}

// The class path as the VM gets it: each of java's wildcard entries ("lib/*") replaced by its
// folder's jars; without one, the value exactly as written. Entries that are not there are named
// in the trace at every start, since the VM passes over them without a word.
std::string resolveClassPath(const std::string& classPath) {
  StringArray entries;
  bool wildcards = false;
  for (const std::string& entry : splitPathList(classPath)) {
    std::string folder;
    if (!classPathWildcard(entry, folder)) {
      entries.push_back(entry);
      continue;
    }
    wildcards = true;
    // The folder is looked for by its own name: a search for a name that ends with a separator
    // finds nothing on Windows.
    std::string listed = folder.empty() ? std::string(".") : folder;
    while (listed.size() > 1 && (listed.back() == '/' || os::endsWithSeparator(listed))) {
      listed.pop_back();
    }
    if (!os::fileExists(listed)) {
      trace("class path: %s does not exist", entry.c_str());
      continue;
    }
    const StringArray jars = wildcardJars(os::folderEntries(listed));
    trace("class path: %s gives %u jars", entry.c_str(), static_cast<unsigned>(jars.size()));
    for (const std::string& jar : jars) entries.push_back(folder + jar);
  }
  std::string joined;
  for (const std::string& entry : entries) {
    if (!entry.empty() && !os::fileExists(entry)) {
      trace("class path: %s does not exist", entry.c_str());
    }
    if (wildcards) joined += (joined.empty() ? "" : std::string(1, os::kListSeparator)) + entry;
  }
  return wildcards ? joined : classPath;
}

// The options of one INI file's "Virtual Machine Parameters", in order.
void addVmParameters(VmState& vm, const std::string& parameters, const std::string& iniFile) {
  if (parameters.empty()) return;
  StringArray tokens;
  for (const std::string& token : splitVmParameters(parameters)) {
    tokens.push_back(processToken(vm, token));
  }
  const StringArray joined = joinModuleOptions(tokens);
  if (joined.size() != tokens.size()) {
    trace("VM parameters: %u module options joined with their values",
          static_cast<unsigned>(tokens.size() - joined.size()));
  }
  trace("VM parameters of %s: %u options", iniFile.c_str(), static_cast<unsigned>(joined.size()));
  for (const std::string& option : joined) {
    vm.options.push_back(expanded(option));
    trace("  %s", vm.options.back().c_str());
  }
}

}  // namespace

void prepareEnvironment(const config::LauncherConfig& config, VmState& vm) {
  const std::string& jvmPath = vm.jvmDllPath;
  setTraced("QL_JVM_PATH", jvmPath);
  setTraced("QL_JVM_HOME", stripPathComponents(jvmPath, 3));
  // The program's folder, for the settings that name files of the application: the current
  // folder is the user's own unless "Override WorkingDir" moves it.
  setTraced("QL_APP_HOME", stripPathComponents(config.programPath, 1));
  // Where the application may keep the user's own settings, VM options among them.
  if (!config.userIniPath.empty()) setTraced("QL_USER_INI", config.userIniPath);

  bool inheritedEndsWithSeparator = false;
  const std::string inherited = inheritedPathReference(inheritedEndsWithSeparator);

  if (!config.libraryPath.empty()) {
    const std::string libraryPath = expanded(composeLibraryPath(
        config.libraryPath, os::folderOf(config.programPath), inherited,
        inheritedEndsWithSeparator, runtimeLibraryFolder(jvmPath)));
    vm.options.push_back("-Djava.library.path=" + libraryPath);
  }

  setTraced(os::kPathVariable,
            expanded(composeSearchPath(config.systemPath, inherited,
                                       stripPathComponents(jvmPath, 2))));
}

bool buildVmOptions(const config::LauncherConfig& config, VmState& vm) {
  const std::string& iniPath = config.iniPath;
  const std::string classPath = config::readSetting(iniPath, config::ini::kClassPath);
  if (classPath.empty()) {
    base::showError(base::loadText(IDS_NO_CLASS_PATH));
    return false;
  }

  vm.options.push_back("-Djava.class.path=" + resolveClassPath(expanded(classPath)));
  // As the java launcher's -m names it: the boot layer resolves the module, or creation fails.
  if (!config.mainModule.empty()) vm.options.push_back("-Djdk.module.main=" + config.mainModule);

  // The program INI's parameters, then the user's own: an option given twice counts as its last
  // mention, so the user's wins.
  const std::string vmParameters =
      config::readSetting(iniPath, config::ini::kVirtualMachineParameters);
  addVmParameters(vm, vmParameters, iniPath);
  std::string userParameters;
  if (!config.userIniPath.empty() && os::fileExists(config.userIniPath)) {
    userParameters =
        config::readSetting(config.userIniPath, config::ini::kVirtualMachineParameters);
    addVmParameters(vm, userParameters, config.userIniPath);
  }
  addClassDataSharingOptions(config, vm,
                             userParameters.empty() ? vmParameters
                                                    : vmParameters + "\n" + userParameters);

  if (base::traceEnabled()) {
    for (const std::string& option : vm.options) trace("VM option: %s", option.c_str());
  }

  vm.outputFile = config::readSetting(iniPath, config::ini::kOutputFile);
  if (!vm.outputFile.empty()) vm.outputFile = expanded(vm.outputFile);
  vm.errorFile = config::readSetting(iniPath, config::ini::kErrorFile);
  if (!vm.errorFile.empty()) vm.errorFile = expanded(vm.errorFile);
  trace("output file: [%s], error file: [%s]", vm.outputFile.c_str(), vm.errorFile.c_str());
  return true;
}

}  // namespace vm
