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

std::string formatPrintfV(const char* format, va_list args) {
  char small[512];
  va_list again;
  va_copy(again, args);
  const int needed = std::vsnprintf(small, sizeof small, format, args);
  std::string text;
  if (needed >= static_cast<int>(sizeof small)) {
    text.resize(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(&text[0], text.size(), format, again);
    text.resize(static_cast<std::size_t>(needed));
  } else if (needed > 0) {
    text.assign(small, static_cast<std::size_t>(needed));
  }
  va_end(again);
  return text;
}

// Without a window system the text a message box would show goes to standard error, whole.
int messageBox(WindowHandle, const char* text, unsigned) {
  std::string line = text != nullptr ? text : "";
  if (line.empty() || line.back() != '\n') line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return 1;  // IDOK
}

}  // namespace os
