#ifndef SPLASH_SPLASHWINDOW_H
#define SPLASH_SPLASHWINDOW_H

// The launcher's own splash window. Not built yet: no object of it is ever created.
class SplashWindow {};

#endif
