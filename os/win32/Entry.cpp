#include <windows.h>

#include "os/Process.h"

int launcherMain();

// The parameters are not used: the command line is read again from the system.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  os::hardenLibrarySearch();
  return launcherMain();
}
