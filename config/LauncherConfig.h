#ifndef CONFIG_LAUNCHERCONFIG_H
#define CONFIG_LAUNCHERCONFIG_H

// The settings of the program INI file, as the launcher keeps them after reading, and where they
// come from.

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
  StringArray preferredVersions;
  std::string jrePath;
  std::string libraryPath;
  std::string systemPath;
  bool failureCheck = false;
  bool overrideWorkingDir = false;
};

}  // namespace config

#endif
