#include "launcher/ModulePath.h"

#include "launcher/ErrorReport.h"
#include "launcher/Launcher.h"
#include "os/Process.h"

bool getModulePath(const Launcher& launcher, std::string& path) {
  unsigned long error = 0;
  if (os::modulePath(path, error)) return true;
  showErrorFormat(launcher.messageParent, TEXT_FORMAT(IDS_WINDOWS_EXCEPTION),
                  loadText(IDS_MODULE_PATH_FAILED).c_str(), static_cast<int>(error));
  return false;
}
