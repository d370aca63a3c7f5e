#include "config/Settings.h"

#include <cstring>

#include "base/ErrorReport.h"
#include "base/ModulePath.h"
#include "base/Trace.h"
#include "os/Path.h"
#include "os/Process.h"
#include "os/Profile.h"
#include "os/Text.h"

namespace config {

namespace {

std::string readTraced(const std::string& iniPath, const IniKey& key) {
  std::string value = readSetting(iniPath, key);
  trace("setting %s: [%s]", key.key, value.c_str());
  return value;
}

}  // namespace

bool iniPathFor(const std::string& program, std::string& path) {
  const std::size_t dot = program.rfind('.');
  if (os::kProgramNamesHaveExtension) {
    if (dot == std::string::npos) return false;
    path = program.substr(0, dot + 1) + "ini";
    return true;
  }
  // A dot in a folder name does not count: only the file name's extension is replaced.
  if (dot == std::string::npos || dot < os::fileNameStart(program)) {
    path = program + ".ini";
  } else {
    path = program.substr(0, dot + 1) + "ini";
  }
  return true;
}

bool locateProgram(LauncherConfig& config) {
  return base::getModulePath(config.programPath) && iniPathFor(config.programPath, config.iniPath);
}

std::string folderSafeName(const std::string& name) {
  std::string safe;
  for (char c : name) {
    if (std::strchr("\\?\"|><:/*", c) == nullptr || c == '\0') safe += c;
  }
  return safe;
}

namespace {

// The path text with every name that is nothing but dots and blanks left out; separators stay.
std::string withoutDotNames(const std::string& name) {
  std::string kept;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != os::kPathSeparator && name[i] != '/') {
      if (os::isLeadByte(static_cast<unsigned char>(name[i])) && i + 1 < name.size()) ++i;
      continue;
    }
    const std::string piece = name.substr(start, i - start);
    // Windows drops trailing dots and blanks from a name, so ". ." or ".. " are read as "." or "..".
    if (piece.empty() || piece.find_first_not_of(". ") != std::string::npos) kept += piece;
    if (i < name.size()) kept += name[i];
    start = i + 1;
  }
  return kept;
}

}  // namespace

UserIniLocation userIniPathFor(const std::string& program, const std::string& settingsFolder,
                               const std::string& productName, const std::string& productCode) {
  std::string baseName = program.substr(os::fileNameStart(program));
  const std::size_t dot = baseName.rfind('.');
  if (dot != std::string::npos) baseName.resize(dot);

  UserIniLocation location;
  location.productFolder =
      settingsFolder + os::kPathSeparator + withoutDotNames(folderSafeName(productName));
  location.codeFolder = location.productFolder + os::kPathSeparator + withoutDotNames(productCode);
  location.path = location.codeFolder + os::kPathSeparator + baseName + ".ini";
  return location;
}

std::string getUserIniPath(const LauncherConfig& config, bool create) {
  const std::string settingsFolder = os::userSettingsFolder();
  const UserIniLocation location = userIniPathFor(config.programPath, settingsFolder,
                                                  config.productName, config.productCode);
  if (create) {
    // APPDATA is always there; a new Linux account may not have ~/.config yet.
    if (!settingsFolder.empty()) os::createDirectory(settingsFolder);
    os::createDirectory(location.productFolder);
    os::createDirectory(location.codeFolder);
  }
  return location.path;
}

std::string readSetting(const std::string& iniPath, const IniKey& key) {
  return os::readProfileString(iniPath, key.section, key.key);
}

JvmType parseJvmType(const std::string& value) {
  if (value == "server") return JvmType::Server;
  if (value == "favor_server") return JvmType::FavorServer;
  return JvmType::Default;
}

void applyJvmSource(const std::string& value, LauncherConfig& config) {
  config.sourceJdk = true;
  config.sourceJre = true;
  if (value.empty()) return;  // sourceFavor keeps its initial value
  config.sourceJdk = value == "only_JDK" || value == "favor_JDK";
  config.sourceJre = value == "only_JRE" || value == "favor_JRE";
  config.sourceFavor = value == "favor_JRE" || value == "favor_JDK";
}

void applyVmProvider(const std::string& value, LauncherConfig& config) {
  struct Provider {
    const char* value;
    bool jrockitAllowed, sunAllowed, jrockitFavored, sunFavored;
  };
  static const Provider kProviders[] = {
      {"jrockit", true, false, true, false},
      {"favor_sun", true, true, false, true},
      {"favor_jrockit", true, true, true, false},
      {"any", true, true, false, false},
  };
  if (value.empty()) return;
  for (const Provider& provider : kProviders) {
    if (!os::equalsIgnoringCase(value, provider.value)) continue;
    config.jrockitAllowed = provider.jrockitAllowed;
    config.sunAllowed = provider.sunAllowed;
    config.jrockitFavored = provider.jrockitFavored;
    config.sunFavored = provider.sunFavored;
    return;
  }
}

bool isYes(const std::string& value) { return os::equalsIgnoringCase(value, "yes"); }

bool parseExitCode(const std::string& value, std::int32_t& code) {
  std::size_t at = value.find_first_not_of(" \t");
  if (at == std::string::npos) return false;
  const bool negative = value[at] == '-';
  if (value[at] == '-' || value[at] == '+') ++at;
  const std::size_t end = value.find_last_not_of(" \t") + 1;
  if (at >= end) return false;
  std::int64_t number = 0;
  for (; at < end; ++at) {
    if (value[at] < '0' || value[at] > '9') return false;
    number = number * 10 + (value[at] - '0');
    if (number > 2147483648ll) return false;
  }
  if (negative) number = -number;
  if (number > 2147483647ll) return false;
  code = static_cast<std::int32_t>(number);
  return true;
}

bool readSettings(LauncherConfig& config) {
  const std::string& iniPath = config.iniPath;
  trace("INI file: %s", iniPath.c_str());

  const std::string minimum = readTraced(iniPath, ini::kMinimumVersion);
  config.minVersion = minimum == "any" ? JavaVersion{{0, 0, 0, 0}, 4} : parseVersion(minimum, 0);
  const std::string maximum = readTraced(iniPath, ini::kMaximumVersion);
  config.maxVersion =
      maximum == "any"
          ? JavaVersion{{kAnyComponent, kAnyComponent, kAnyComponent, kAnyComponent}, 4}
          : parseVersion(maximum, kAnyComponent);

  config.isService = readTraced(iniPath, ini::kApplicationType) == "service";
  config.preferredVersions = splitPreferredVersions(readTraced(iniPath, ini::kPreferredVersions));
  config.productCode = readTraced(iniPath, ini::kProductCode);
  config.productName = readTraced(iniPath, ini::kProductName);

  // A per-user INI that exists decides "JRE Path" alone, even when it lacks the key.
  std::string jrePathSource = iniPath;
  config.userIniPath.clear();
  if (os::isWindowsNT() && !config.isService) {
    config.userIniPath = getUserIniPath(config, false);
    if (!config.userIniPath.empty() && os::fileExists(config.userIniPath)) {
      jrePathSource = config.userIniPath;
    }
  }
  trace("JRE Path read from: %s", jrePathSource.c_str());
  config.jrePath = readTraced(jrePathSource, ini::kJrePath);

  config.jvmType = parseJvmType(readTraced(iniPath, ini::kJvmType));
  applyJvmSource(readTraced(iniPath, ini::kJvmSource), config);
  applyVmProvider(readTraced(iniPath, ini::kVmProvider), config);

  config.mainClass = readTraced(iniPath, ini::kMainClass);
  config.mainModule = readTraced(iniPath, ini::kMainModule);
  // A main module may name its main class itself, in its descriptor.
  if (config.mainClass.empty() && config.mainModule.empty()) {
    base::showError(base::loadText(IDS_NO_MAIN_CLASS));
    return false;
  }
  for (char& c : config.mainClass) {
    if (c == '.') c = '/';
  }

  config.failureCheck = isYes(readTraced(iniPath, ini::kFailureCheck));
  const std::string restart = readTraced(iniPath, ini::kRestartExitCode);
  config.restartOnExitCode = parseExitCode(restart, config.restartExitCode);
  if (!restart.empty() && !config.restartOnExitCode) {
    trace("Restart Exit Code [%s] is not a number: no restart", restart.c_str());
  }
  config.overrideWorkingDir = isYes(readTraced(iniPath, ini::kOverrideWorkingDir));
  config.systemPath = readTraced(iniPath, ini::kSystemPath);
  config.libraryPath = readTraced(iniPath, ini::kLibraryPath);
  return true;
}

void storeJrePath(const LauncherConfig& config, const std::string& folder) {
  std::string target = config.iniPath;
  if (os::isWindowsNT() && !config.isService) target = getUserIniPath(config, true);
  const bool written = os::writeProfileString(target, ini::kJrePath.section, ini::kJrePath.key, folder);
  trace("JRE Path [%s] %s %s", folder.c_str(), written ? "written to" : "could not be written to",
        target.c_str());
}

}  // namespace config
