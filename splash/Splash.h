#ifndef SPLASH_SPLASH_H
#define SPLASH_SPLASH_H

#include <string>

#include "config/LauncherConfig.h"
#include "splash/SplashState.h"

namespace splash {

// Shows the splash image, if the INI file names one; the runtime's splash library lies beside the
// VM library at jvmDllPath. Splash failures are never reported: the launch goes on without it.
void showSplash(const config::LauncherConfig& config, const std::string& jvmDllPath,
                SplashState& state);

// Whether the splash starts after the VM library has been loaded rather than before it. Linux's
// splash library depends on the runtime's libjava.so, which depends on libjvm.so, and that lies on
// no library search path: only a VM library already in the process satisfies it. On Windows the
// splash comes first and covers the load. Answered in each OS's SplashPlatform.cpp.
bool splashFollowsVmLibrary();

// Closes the launcher's own splash window and ends its thread.
void closeSplashWindow(SplashState& state);

// Calls the runtime's native splash close, if one was recorded, and forgets it.
void closeNativeSplash(SplashState& state);

}  // namespace splash

#endif
