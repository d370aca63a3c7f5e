#ifndef LAUNCHER_SINGLEINSTANCE_H
#define LAUNCHER_SINGLEINSTANCE_H

// A second start of a single-instance application hands its arguments to the first one.

#include <cstdint>

class Launcher;

// Set-up of a first instance, or hand-over of a second one. False makes start-up fail.
bool setupSingleInstance(Launcher& launcher);

// A second instance's wait for the first one's reply; returns the exit code.
std::int32_t waitForFirstInstance(Launcher& launcher);

// Called on the VM thread just before main is called: from here on, hand-overs can be served
// (those that arrived earlier were kept until now).
void singleInstanceMainStarting(Launcher& launcher);

// Ends the listener of a first instance and releases the shared block.
void stopSingleInstance(Launcher& launcher);

#endif
