#include "base/ModulePath.h"

#include "base/ErrorReport.h"
#include "os/Process.h"

namespace base {

bool getModulePath(std::string& path) {
  unsigned long error = 0;
  if (os::modulePath(path, error)) return true;
  showErrorFormat(TEXT_FORMAT(IDS_WINDOWS_EXCEPTION), loadText(IDS_MODULE_PATH_FAILED).c_str(),
                  static_cast<int>(error));
  return false;
}

}  // namespace base
