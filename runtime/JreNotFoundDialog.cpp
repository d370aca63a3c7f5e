#include "runtime/JreNotFoundDialog.h"

#include "launcher/ErrorReport.h"
#include "launcher/Launcher.h"
#include "launcher/Trace.h"

// The dialog with its folder browser is not built yet: the user is told which runtime is needed and
// where to get it, and start-up ends as if the dialog had been cancelled.
int showJreNotFoundDialog(Launcher& launcher, const std::string& message, JvmType,
                          std::string& jvmDllPath, std::string& folder) {
  jvmDllPath.clear();
  folder.clear();
  trace("runtime-not-found dialog: not available in this build; start-up ends");
  showError(launcher.messageParent, message + "\n" + kJavaDownloadPage);
  return 0;
}
