#ifndef SPLASH_SPLASH_H
#define SPLASH_SPLASH_H

class Launcher;

// Shows the splash image, if the INI file names one. False only when the INI path cannot be formed.
bool showSplash(Launcher& launcher);

// Closes the launcher's own splash window and ends its thread.
void closeSplashWindow(Launcher& launcher);

// Calls the runtime's native splash close, if one was recorded, and forgets it.
void closeNativeSplash(Launcher& launcher);

#endif
