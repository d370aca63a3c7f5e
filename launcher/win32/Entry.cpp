#include <windows.h>

#include "launcher/Main.h"
#include "os/Process.h"

// The parameters are not used: the command line is read again from the system.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  os::hardenLibrarySearch();
  return launcher::launcherMain();
}
