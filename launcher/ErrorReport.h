#ifndef LAUNCHER_ERRORREPORT_H
#define LAUNCHER_ERRORREPORT_H

// Error messages for the user: texts from the string table, filled in and shown in an error box
// (standard error on POSIX).

#include <string>

#include "launcher/Texts.h"
#include "os/Platform.h"

#if defined(__GNUC__)
#define LAUNCHER_FORMAT(formatIndex, firstArgument) \
  __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define LAUNCHER_FORMAT(formatIndex, firstArgument)
#endif

std::string loadText(unsigned id);

// Loads text `id` and fills it with the arguments (%s: const char*, %d: int). checkedFormat is the
// compiled-in copy of that text, there for the compiler's check: pass TEXT_FORMAT(id).
std::string formatText(unsigned id, const char* checkedFormat, ...) LAUNCHER_FORMAT(2, 3);

void showError(WindowHandle owner, const std::string& text);

// Formats text formatId as formatText does, then shows it.
void showErrorFormat(WindowHandle owner, unsigned formatId, const char* checkedFormat, ...)
    LAUNCHER_FORMAT(3, 4);

#endif
