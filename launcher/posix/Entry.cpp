#include "launcher/Main.h"
#include "os/Process.h"

int main(int argc, char** argv) {
  os::setProcessArguments(argc, argv);
  return launcher::launcherMain();
}
