#ifndef TOOLS_BRAND_MANIFEST_H
#define TOOLS_BRAND_MANIFEST_H

// The application manifest of a branded executable. It always binds version 6 of the common
// controls and names the Windows versions the launcher supports, as the launcher's own does; the
// switches add the run-time settings a vendor may choose.

#include <string>

namespace brand {

enum class DpiAwareness { None, System, PerMonitorV2 };
enum class ExecutionLevel { AsInvoker, HighestAvailable, RequireAdministrator };

struct ManifestSettings {
  DpiAwareness dpiAwareness = DpiAwareness::None;
  bool longPathAware = false;
  ExecutionLevel executionLevel = ExecutionLevel::AsInvoker;
  bool utf8CodePage = false;
};

std::string buildManifest(const ManifestSettings& settings);

}  // namespace brand

#endif
