#ifndef LAUNCHER_MAIN_H
#define LAUNCHER_MAIN_H

namespace launcher {

// The whole launch, called by the system's entry point of each OS (win32/ and posix/Entry.cpp):
// one Launcher for the life of the process. Returns the exit code.
int launcherMain();

}  // namespace launcher

#endif
