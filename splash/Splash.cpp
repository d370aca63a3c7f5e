#include "splash/Splash.h"

#include "base/Trace.h"
#include "config/Settings.h"
#include "os/ThreadMessage.h"
#include "splash/NativeSplash.h"
#include "splash/SplashPlatform.h"

namespace splash {

void showSplash(const config::LauncherConfig& config, const std::string& jvmDllPath,
                SplashState& state) {
  // Only the program INI: the per-user file holds nothing of the splash.
  state.image = config::readSetting(config.iniPath, config::ini::kSplashScreen);
  state.shadow = config::readSetting(config.iniPath, config::ini::kSplashScreenShadow);
  const std::string preference =
      config::readSetting(config.iniPath, config::ini::kPreferNativeSplash);
  if (state.image.empty()) {
    trace("splash: none configured");
    return;
  }
  trace("splash: [%s], shadow [%s], native preferred [%s]", state.image.c_str(),
        state.shadow.c_str(), preference.c_str());

  const std::string library = findNativeSplashLibrary(jvmDllPath);
  const bool ownWindow = ownSplashWindowAvailable();
  // In this order, so the library is loaded only when it is to show the splash.
  if ((config::isYes(preference) || !ownWindow) && !library.empty() &&
      startNativeSplash(library, state.image, state)) {
    return;
  }
  if (!ownWindow) {
    trace("splash: not shown: no splash library and no splash window of our own here");
    return;
  }
  if (!startSplashWindow(state)) trace("splash: the splash window could not be started");
}

void closeSplashWindow(SplashState& state) {
  if (!state.window) return;
  os::endMessageThread(state.thread, std::string());
  state.window.reset();
  trace("splash: window closed");
}

void closeNativeSplash(SplashState& state) {
  if (state.nativeClose == nullptr) return;
  // Cleared first: each recorded close is called once.
  const NativeSplashCloseFunction close = state.nativeClose;
  state.nativeClose = nullptr;
  close();
  trace("splash library: closed");
}

}  // namespace splash
