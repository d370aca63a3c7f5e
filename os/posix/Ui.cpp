#include <cstdio>

#include "os/Ui.h"
#include "os/Wsprintf.h"

namespace os {

namespace {

struct Entry {
  unsigned id;
  const char* text;
};

constexpr Entry kStrings[] = {
#define STRING_ENTRY(id, name, text) {id, text},
#define TERMINAL_STRING_ENTRY STRING_ENTRY
#include "resources/strings.def"
#undef TERMINAL_STRING_ENTRY
#undef STRING_ENTRY
};

}  // namespace

std::string loadString(unsigned id) {
  for (const Entry& entry : kStrings) {
    if (entry.id == id) return entry.text;
  }
  return std::string();
}

std::string formatV(const char* format, va_list args) { return formatLikeWsprintf(format, args); }

// Without a window system the text a message box would show goes to standard error, whole.
int messageBox(WindowHandle, const char* text, unsigned) {
  std::string line = text != nullptr ? text : "";
  if (line.empty() || line.back() != '\n') line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return 1;  // IDOK
}

}  // namespace os
