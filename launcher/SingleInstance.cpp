#include "launcher/SingleInstance.h"

#include "config/Settings.h"
#include "launcher/ErrorReport.h"
#include "launcher/Launcher.h"

// Placeholder until single-instance coordination exists: an application that asks for it is
// refused rather than started twice.
bool setupSingleInstance(Launcher& launcher) {
  std::string iniPath;
  if (!getIniPath(launcher, iniPath)) return false;
  if (readSetting(iniPath, ini::ApplicationType) == "service") return true;
  if (readSetting(iniPath, ini::SingleInstance) != "yes") return true;
  showError(launcher.messageParent, "Single-instance applications are not supported by this build.");
  return false;
}

std::int32_t waitForFirstInstance(Launcher&) { return -1; }

void singleInstanceMainStarting(Launcher&) {}

void stopSingleInstance(Launcher& launcher) { launcher.sharedMapping.close(); }
