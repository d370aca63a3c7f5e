#include "runtime/JvmSearch.h"

#include "launcher/ErrorReport.h"
#include "launcher/Launcher.h"

// Placeholder until the runtime search exists: it finds nothing, and says so.
bool findJvm(Launcher& launcher) {
  showError(launcher.messageParent, "The runtime search is not available in this build.");
  launcher.jvmDllPath.clear();
  return false;
}

std::string chooseJvmLibrary(const std::string&, JvmType, bool&) { return std::string(); }
