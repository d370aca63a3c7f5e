#include "launcher/ErrorReport.h"

#include <cstdarg>

#include "launcher/Trace.h"
#include "os/Ui.h"

std::string loadText(unsigned id) { return os::loadString(id); }

std::string formatText(unsigned id, ...) {
  const std::string format = loadText(id);
  va_list args;
  va_start(args, id);
  std::string text = os::formatV(format.c_str(), args);
  va_end(args);
  return text;
}

void showError(WindowHandle owner, const std::string& text) {
  trace("error shown: %s", text.c_str());
  os::messageBox(owner, text.c_str(), nullptr, os::kErrorBoxStyle);
}

void showErrorFormat(WindowHandle owner, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = os::formatV(format, args);
  va_end(args);
  showError(owner, text);
}
