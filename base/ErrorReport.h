#ifndef BASE_ERRORREPORT_H
#define BASE_ERRORREPORT_H

// Error messages for the user: texts from the string table, filled in and shown in an error box
// (standard error on POSIX). The reporter keeps the owner of its boxes itself, as one reporter
// serves every subsystem and thread.

#include <string>

#include "base/Texts.h"
#include "os/Platform.h"

#if defined(__GNUC__)
#define BASE_FORMAT(formatIndex, firstArgument) \
  __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define BASE_FORMAT(formatIndex, firstArgument)
#endif

namespace base {

std::string loadText(unsigned id);

// Loads text `id` and fills it with the arguments (%s: const char*, %d: int). checkedFormat is the
// compiled-in copy of that text, there for the compiler's check: pass TEXT_FORMAT(id).
std::string formatText(unsigned id, const char* checkedFormat, ...) BASE_FORMAT(2, 3);

// The owner of the boxes shown from now on: the splash window while it is on the screen, so that
// a box appears above it; null otherwise. Written by the splash thread only: when its window exists,
// and cleared before it destroys the window, since a box owned by a destroyed window would not
// show at all.
void setErrorOwner(WindowHandle owner);
WindowHandle errorOwner();

void showError(const std::string& text);

// Formats text formatId as formatText does, then shows it.
void showErrorFormat(unsigned formatId, const char* checkedFormat, ...) BASE_FORMAT(2, 3);

}  // namespace base

#endif
