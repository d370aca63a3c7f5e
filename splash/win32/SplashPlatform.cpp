// Windows decodes splash pictures itself (OLE picture services), so the launcher has a splash
// window of its own; the splash shows before the VM library loads, to cover that wait too.

#include "splash/Splash.h"
#include "splash/SplashPlatform.h"

namespace splash {

bool ownSplashWindowAvailable() { return true; }

bool splashFollowsVmLibrary() { return false; }

const char* nativeSplashLibraryName() { return "splashscreen.dll"; }

const char* nativeSplashJarName() { return ""; }

}  // namespace splash
