#ifndef SPLASH_SPLASHSTATE_H
#define SPLASH_SPLASHSTATE_H

// What the splash keeps for the life of the launch (a state header only; the steps are in Splash):
// the picture named by the INI file, the launcher's own window with its thread, and the runtime's
// splash library's close entry until one of the two closing points calls it.

#include <memory>
#include <string>

#include "os/Thread.h"
#include "splash/SplashWindow.h"

namespace splash {

using NativeSplashCloseFunction = void (*)();

struct SplashState {
  // "Splash Screen" and "Splash Screen Shadow", read when the splash starts.
  std::string image;
  std::string shadow;
  // The own window: made before its thread starts, deleted once the thread has ended.
  std::unique_ptr<SplashWindow> window;
  os::Thread thread;
  NativeSplashCloseFunction nativeClose = nullptr;
};

}  // namespace splash

#endif
