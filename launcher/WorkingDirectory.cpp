#include "launcher/WorkingDirectory.h"

#include "base/Trace.h"
#include "os/Path.h"
#include "os/Process.h"

namespace launcher {

void applyWorkingDirectory(const std::string& programPath) {
  const std::size_t separator = os::lastSeparator(programPath);
  if (separator == std::string::npos || separator < 1) return;
  const std::string folder = programPath.substr(0, separator);
  const bool changed = os::setCurrentDirectory(folder);
  trace("working directory: %s%s", folder.c_str(), changed ? "" : " (could not be set)");
}

}  // namespace launcher
