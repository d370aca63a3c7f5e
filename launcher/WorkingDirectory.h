#ifndef LAUNCHER_WORKINGDIRECTORY_H
#define LAUNCHER_WORKINGDIRECTORY_H

class Launcher;

// Makes the program's folder the current folder; failures are ignored.
void applyWorkingDirectory(Launcher& launcher);

#endif
