#ifndef SPLASH_SPLASHPLATFORM_H
#define SPLASH_SPLASHPLATFORM_H

// What the splash asks of the system it runs on; each OS folder (win32/, posix/) answers in its
// SplashPlatform.cpp. Windows decodes pictures itself and has the launcher's own splash window;
// Linux has only the runtime's splash library.

#include "splash/SplashState.h"

namespace splash {

// Whether the launcher can show a splash window of its own here. Where it cannot, the runtime's
// splash library is used whatever the INI file prefers.
bool ownSplashWindowAvailable();

// The file name of the runtime's splash library.
const char* nativeSplashLibraryName();

// The jar name handed to the splash library with the picture's file name: the picture comes from
// no jar. Windows' library reads an empty name as none; Linux's keeps it, and the application's
// SplashScreen.getImageURL() then names a jar "" in the current folder, so there it is null.
const char* nativeSplashJarName();

// Creates the splash window object and starts the splash thread, which makes, shows and paints the
// window (win32/SplashWindow.cpp). False, with nothing left behind, when either cannot be had.
bool startSplashWindow(SplashState& state);

}  // namespace splash

#endif
