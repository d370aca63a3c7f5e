#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

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

bool hasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// The full path of a program on the search path; empty when it is on none.
std::string findProgram(const char* name) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "";
  std::size_t start = 0;
  while (start <= folders.size()) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = folders.substr(start, end - start);
    if (!folder.empty()) {
      const std::string candidate = folder + "/" + name;
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    start = end + 1;
  }
  return std::string();
}

// A launcher started from a desktop entry has nobody reading its standard error: there the text
// is also shown in a desktop dialog, by the first of these tools that is installed, and the
// launcher waits for it as for a message box. Without one, standard error is all.
void showOnDesktop(const std::string& text) {
  if (isatty(STDERR_FILENO) != 0 || !hasDisplay()) return;
  struct Tool {
    const char* name;
    std::vector<std::string> arguments;
  };
  const Tool tools[] = {
      {"zenity", {"--error", "--no-markup", "--title=Error", "--text=" + text}},
      {"kdialog", {"--title", "Error", "--error", text}},
      {"xmessage", {"-center", "-title", "Error", "-buttons", "OK:0", "-default", "OK", text}},
  };
  for (const Tool& tool : tools) {
    const std::string program = findProgram(tool.name);
    if (program.empty()) continue;
    std::vector<char*> argv{const_cast<char*>(tool.name)};
    for (const std::string& argument : tool.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return;
  }
}

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
  line.pop_back();
  showOnDesktop(line);
  return 1;  // IDOK
}

}  // namespace os
