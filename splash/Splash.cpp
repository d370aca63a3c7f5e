#include "splash/Splash.h"

#include "config/Settings.h"
#include "launcher/Launcher.h"
#include "launcher/Trace.h"
#include "os/ThreadMessage.h"
#include "splash/NativeSplash.h"
#include "splash/SplashPlatform.h"
#include "splash/SplashWindow.h"

namespace {

// How long closeSplashWindow waits for the splash thread before it posts the quit message again:
// a post fails while the thread has no message queue yet.
constexpr int kQuitRetryMs = 10;

}  // namespace

// Splash failures are never reported to the user: the launch goes on without a splash, and the
// trace says why.
bool showSplash(Launcher& launcher) {
  std::string iniPath;
  if (!getIniPath(launcher, iniPath)) return false;
  // Only the program INI: the per-user file holds nothing of the splash.
  launcher.config.splashImage = readSetting(iniPath, ini::SplashScreen);
  launcher.config.splashShadow = readSetting(iniPath, ini::SplashScreenShadow);
  const std::string preference = readSetting(iniPath, ini::PreferNativeSplash);
  const std::string& image = launcher.config.splashImage;
  if (image.empty()) {
    trace("splash: none configured");
    return true;
  }
  trace("splash: [%s], shadow [%s], native preferred [%s]", image.c_str(),
        launcher.config.splashShadow.c_str(), preference.c_str());

  const std::string library = findNativeSplashLibrary(launcher);
  const bool ownWindow = ownSplashWindowAvailable();
  // In this order, so the library is loaded only when it is to show the splash.
  if ((isYes(preference) || !ownWindow) && !library.empty() &&
      startNativeSplash(library, image, launcher)) {
    return true;
  }
  if (!ownWindow) {
    trace("splash: not shown: no splash library and no splash window of our own here");
    return true;
  }
  if (!startSplashWindow(launcher)) trace("splash: the splash window could not be started");
  return true;
}

void closeSplashWindow(Launcher& launcher) {
  if (!launcher.splashWindow) return;
  // The thread ends on the quit message. Between posts the launcher waits on the thread itself, so
  // a splash thread still decoding a large picture is not raced by a spinning loop for a core the
  // VM's start-up could use.
  const os::ThreadMessage quit{os::kQuitMessage, 0, 0};
  do {
    os::postThreadMessage(std::string(), launcher.splashThreadId, quit);
  } while (!launcher.splashThread.waitFor(kQuitRetryMs));
  launcher.splashThread.wait();
  launcher.splashWindow.reset();
  trace("splash: window closed");
}

void closeNativeSplash(Launcher& launcher) {
  if (launcher.nativeSplashClose == nullptr) return;
  // Cleared first: each recorded close is called once.
  const NativeSplashCloseFunction close = launcher.nativeSplashClose;
  launcher.nativeSplashClose = nullptr;
  close();
  trace("splash library: closed");
}
