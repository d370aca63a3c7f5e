#include "launcher/WorkingDirectory.h"

#include <string>

#include "launcher/ModulePath.h"
#include "launcher/Trace.h"
#include "os/Path.h"
#include "os/Process.h"

void applyWorkingDirectory(Launcher& launcher) {
  std::string path;
  if (!getModulePath(launcher, path)) return;
  const std::size_t separator = os::lastSeparator(path);
  if (separator == std::string::npos || separator < 1) return;
  const std::string folder = path.substr(0, separator);
  const bool changed = os::setCurrentDirectory(folder);
  trace("working directory: %s%s", folder.c_str(), changed ? "" : " (could not be set)");
}
