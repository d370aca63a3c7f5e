#include "os/Process.h"

int launcherMain();

int main(int argc, char** argv) {
  os::setProcessArguments(argc, argv);
  return launcherMain();
}
