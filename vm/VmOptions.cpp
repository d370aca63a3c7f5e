#include "vm/VmOptions.h"

#include "launcher/ErrorReport.h"
#include "launcher/Launcher.h"

// Placeholders until the VM host exists.
void prepareEnvironment(Launcher&) {}

bool buildVmOptions(Launcher& launcher) {
  showError(launcher.messageParent, "Building the VM options is not available in this build.");
  return false;
}
