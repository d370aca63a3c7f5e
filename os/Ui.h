#ifndef OS_UI_H
#define OS_UI_H

// The string table and message boxes.

#include <cstdarg>
#include <string>

#include "os/Platform.h"

namespace os {

// Style of every error box: MB_ICONERROR | MB_OK.
constexpr unsigned kErrorBoxStyle = 16;

// Text `id` of the launcher's own string table, in the ANSI code page; empty when it has none.
std::string loadString(unsigned id);

// Formats with the rules of wvsprintfA (%s narrow text, %d signed 32-bit, ...), cut to the 1023
// characters its 1024-byte buffer holds.
std::string formatV(const char* format, va_list args);

// Formats with the system C library's printf rules, whole however long (for the trace).
std::string formatPrintfV(const char* format, va_list args);

// A message box with the system's default caption; its result. On POSIX the text goes to
// standard error.
int messageBox(WindowHandle owner, const char* text, unsigned style);

}  // namespace os

#endif
