#ifndef LAUNCHER_ERRORREPORT_H
#define LAUNCHER_ERRORREPORT_H

// Error messages for the user: texts from the string table, filled in and shown in an error box
// (standard error on POSIX).

#include <string>

#include "launcher/Texts.h"
#include "os/Platform.h"

std::string loadText(unsigned id);

// Loads text `id` and fills it with the arguments (%s: const char*, %d: int).
std::string formatText(unsigned id, ...);

void showError(WindowHandle owner, const std::string& text);
void showErrorFormat(WindowHandle owner, const char* format, ...);

#endif
