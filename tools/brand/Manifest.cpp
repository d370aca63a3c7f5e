#include "tools/brand/Manifest.h"

namespace brand {

namespace {

const char* executionLevelName(ExecutionLevel level) {
  switch (level) {
    case ExecutionLevel::HighestAvailable: return "highestAvailable";
    case ExecutionLevel::RequireAdministrator: return "requireAdministrator";
    case ExecutionLevel::AsInvoker: break;
  }
  return "asInvoker";
}

std::string setting(const char* name, const char* schemaYear, const char* value) {
  return std::string("      <") + name + " xmlns=\"http://schemas.microsoft.com/SMI/" + schemaYear +
         "/WindowsSettings\">" + value + "</" + name + ">\n";
}

}  // namespace

std::string buildManifest(const ManifestSettings& settings) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
      "  <dependency>\n"
      "    <dependentAssembly>\n"
      "      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" "
      "version=\"6.0.0.0\"\n"
      "                        processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" "
      "language=\"*\"/>\n"
      "    </dependentAssembly>\n"
      "  </dependency>\n"
      "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
      "    <security>\n"
      "      <requestedPrivileges>\n"
      "        <requestedExecutionLevel level=\"";
  text += executionLevelName(settings.executionLevel);
  text +=
      "\" uiAccess=\"false\"/>\n"
      "      </requestedPrivileges>\n"
      "    </security>\n"
      "  </trustInfo>\n"
      "  <compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">\n"
      "    <application>\n"
      "      <supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>\n"
      "      <supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>\n"
      "      <supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>\n"
      "      <supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>\n"
      "    </application>\n"
      "  </compatibility>\n";
  std::string windowsSettings;
  if (settings.dpiAwareness == DpiAwareness::System) {
    windowsSettings += setting("dpiAware", "2005", "true");
  } else if (settings.dpiAwareness == DpiAwareness::PerMonitorV2) {
    // Windows 10 1703 and later read dpiAwareness; older systems fall back to dpiAware, where
    // "true/pm" asks for per-monitor awareness (8.1) or system awareness (7).
    windowsSettings += setting("dpiAware", "2005", "true/pm");
    windowsSettings += setting("dpiAwareness", "2016", "PerMonitorV2, PerMonitor");
  }
  if (settings.longPathAware) windowsSettings += setting("longPathAware", "2016", "true");
  if (settings.utf8CodePage) windowsSettings += setting("activeCodePage", "2019", "UTF-8");
  if (!windowsSettings.empty()) {
    text += "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
            "    <windowsSettings>\n" +
            windowsSettings +
            "    </windowsSettings>\n"
            "  </application>\n";
  }
  return text + "</assembly>\n";
}

}  // namespace brand
