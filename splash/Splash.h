#ifndef SPLASH_SPLASH_H
#define SPLASH_SPLASH_H

class Launcher;

// Shows the splash image, if the INI file names one. False only when the INI path cannot be formed.
bool showSplash(Launcher& launcher);

// Whether the splash starts after the VM library has been loaded rather than before it. Linux's
// splash library depends on the runtime's libjava.so, which depends on libjvm.so, and that lies on
// no library search path: only a VM library already in the process satisfies it. On Windows the
// splash comes first and covers the load. Answered in each OS's SplashPlatform.cpp.
bool splashFollowsVmLibrary();

// Closes the launcher's own splash window and ends its thread.
void closeSplashWindow(Launcher& launcher);

// Calls the runtime's native splash close, if one was recorded, and forgets it.
void closeNativeSplash(Launcher& launcher);

#endif
