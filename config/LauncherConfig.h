#ifndef CONFIG_LAUNCHERCONFIG_H
#define CONFIG_LAUNCHERCONFIG_H

// The settings of the program INI file, as the launcher keeps them after reading, and where they
// come from.

#include <cstdint>
#include <string>

#include "config/JavaVersion.h"
#include "os/Platform.h"

namespace config {

enum class JvmType { Default = 0, Server = 1, FavorServer = 2 };

struct LauncherConfig {
  // The running executable and its INI file, worked out once at the start (locateProgram).
  std::string programPath;
  std::string iniPath;

  JvmType jvmType = JvmType::Default;
  std::string mainClass;   // slash form: com/example/App; empty when the main module names it
  std::string mainModule;  // the named module the main class comes from; empty: the class path
  JavaVersion minVersion;
  JavaVersion maxVersion;
  bool isService = false;
  bool sourceJdk = false;
  bool sourceJre = false;
  bool sourceFavor = true;
  bool jrockitAllowed = false;
  bool sunAllowed = true;
  bool jrockitFavored = false;
  bool sunFavored = true;
  std::string productName;
  std::string productCode;
  // The per-user INI file's path where one applies (Windows NT, not a service; Linux's per-user
  // folder); empty where none does. The file need not exist.
  std::string userIniPath;
  StringArray preferredVersions;
  std::string jrePath;
  std::string libraryPath;
  std::string systemPath;
  bool failureCheck = false;
  bool overrideWorkingDir = false;
  // "Restart Exit Code": the application's exit code that has the launcher start it again.
  bool restartOnExitCode = false;
  std::int32_t restartExitCode = 0;
};

}  // namespace config

#endif
