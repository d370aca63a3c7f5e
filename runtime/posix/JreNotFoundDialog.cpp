#include "runtime/JreNotFoundDialog.h"

#include <unistd.h>

#include <cstdio>

#include "base/ErrorReport.h"
#include "base/Trace.h"
#include "os/Path.h"
#include "os/Process.h"
#include "runtime/JvmSearch.h"

namespace runtime {

namespace {

// One line from standard input without its line end; false at the end of input.
bool readLine(std::string& line) {
  line.clear();
  char chunk[256];
  while (std::fgets(chunk, sizeof chunk, stdin) != nullptr) {
    line += chunk;
    if (!line.empty() && line.back() == '\n') {
      line.pop_back();
      return true;
    }
  }
  return !line.empty();
}

std::string trimmed(const std::string& text) {
  const char* blanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The folder as "JRE Path" will hold it: absolute, so that the next start finds it from any
// current folder, and with a trailing separator.
std::string runtimeFolder(const std::string& typed) {
  std::string folder = typed;
  if (!os::isAbsolutePath(folder)) {
    const std::string current = os::currentDirectory();
    if (!current.empty()) folder = os::withTrailingSeparator(current) + folder;
  }
  return os::withTrailingSeparator(folder);
}

void writeToTerminal(const std::string& text) {
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

// Without a window system the message and the address go to standard error. Someone at a terminal
// is asked for a runtime folder instead of a folder browser; it is checked as the browser's choice
// is, and an empty line cancels.
int showJreNotFoundDialog(const std::string& message, JvmType type,
                          std::string& jvmDllPath, std::string& folder) {
  jvmDllPath.clear();
  folder.clear();
  base::showError(message + "\n" + kJavaDownloadPage);
  if (isatty(STDIN_FILENO) == 0 || isatty(STDERR_FILENO) == 0) {
    trace("runtime not found: no terminal to ask for a runtime folder");
    return kDialogCancel;
  }
  for (;;) {
    writeToTerminal(base::loadText(IDS_ASK_RUNTIME_FOLDER));
    std::string line;
    const bool read = readLine(line);
    const std::string typed = trimmed(line);
    if (!read || typed.empty()) {
      if (!read) writeToTerminal("\n");
      trace("runtime not found: no folder given");
      return kDialogCancel;
    }
    const std::string candidate = runtimeFolder(typed);
    bool isServer = false;
    const std::string library = chooseJvmLibrary(candidate, type, isServer);
    trace("runtime not found: folder [%s] typed: %s", candidate.c_str(),
          library.empty() ? "no usable VM library" : library.c_str());
    if (!library.empty()) {
      folder = candidate;
      jvmDllPath = library;
      return kDialogOk;
    }
    writeToTerminal(base::formatText(TEXT_FORMAT(IDS_NO_USABLE_RUNTIME), candidate.c_str()));
  }
}

}  // namespace runtime
