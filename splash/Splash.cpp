#include "splash/Splash.h"

#include "config/Settings.h"
#include "launcher/Launcher.h"
#include "launcher/Trace.h"
#include "os/Process.h"
#include "splash/SplashWindow.h"

// Splash failures are never reported to the user: without splash support the launch goes on
// without one, and the trace says so.
bool showSplash(Launcher& launcher) {
  std::string iniPath;
  if (!getIniPath(launcher, iniPath)) return false;
  const std::string image = readSetting(iniPath, ini::SplashScreen);
  if (image.empty()) {
    trace("splash: none configured");
  } else {
    trace("splash: [%s] not shown: this build has no splash support", image.c_str());
  }
  return true;
}

void closeSplashWindow(Launcher& launcher) { launcher.splashWindow.reset(); }

void closeNativeSplash(Launcher& launcher) {
  if (launcher.nativeSplashClose == nullptr) return;
  // Cleared first: each recorded close is called once.
  const NativeSplashCloseFunction close = launcher.nativeSplashClose;
  launcher.nativeSplashClose = nullptr;
  close();
}
