// Linux has no picture services of its own to decode a splash image with: the runtime's splash
// library shows it, and the launcher makes no window of its own.

#include "splash/Splash.h"
#include "splash/SplashPlatform.h"
#include "splash/SplashWindow.h"

namespace splash {

struct SplashWindow::Native {};

SplashWindow::~SplashWindow() = default;

std::unique_ptr<SplashWindow> SplashWindow::create() { return nullptr; }

bool ownSplashWindowAvailable() { return false; }

bool splashFollowsVmLibrary() { return true; }

const char* nativeSplashLibraryName() { return "libsplashscreen.so"; }

const char* nativeSplashJarName() { return nullptr; }

bool startSplashWindow(SplashState&) { return false; }

}  // namespace splash
