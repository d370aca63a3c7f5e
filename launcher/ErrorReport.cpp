#include "launcher/ErrorReport.h"

#include <cstdarg>

#include "launcher/Trace.h"
#include "os/Ui.h"

namespace {

std::string formatLoaded(unsigned id, va_list args) {
  const std::string format = loadText(id);
  return os::formatV(format.c_str(), args);
}

}  // namespace

std::string loadText(unsigned id) { return os::loadString(id); }

std::string formatText(unsigned id, const char* checkedFormat, ...) {
  va_list args;
  va_start(args, checkedFormat);
  std::string text = formatLoaded(id, args);
  va_end(args);
  return text;
}

void showError(WindowHandle owner, const std::string& text) {
  trace("error shown: %s", text.c_str());
  os::messageBox(owner, text.c_str(), os::kErrorBoxStyle);
}

void showErrorFormat(WindowHandle owner, unsigned formatId, const char* checkedFormat, ...) {
  va_list args;
  va_start(args, checkedFormat);
  const std::string text = formatLoaded(formatId, args);
  va_end(args);
  showError(owner, text);
}
