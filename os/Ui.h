#ifndef OS_UI_H
#define OS_UI_H

// The string table and message boxes.

#include <cstdarg>
#include <cstdint>
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

// textOrId and captionOrId are either text or a string id below 0x10000 (as MAKEINTRESOURCE
// makes them). Returns the box's result, or 0 when nothing could be shown. On POSIX the text goes
// to standard error.
int messageBox(WindowHandle owner, const char* textOrId, const char* captionOrId, unsigned style);

// An id in the form messageBox accepts.
inline const char* textId(unsigned id) {
  return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(id));
}

}  // namespace os

#endif
