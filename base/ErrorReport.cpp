#include "base/ErrorReport.h"

#include <atomic>
#include <cstdarg>

#include "base/Trace.h"
#include "os/Ui.h"

namespace base {

namespace {

std::atomic<WindowHandle> boxOwner{nullptr};

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

void setErrorOwner(WindowHandle owner) { boxOwner.store(owner); }

WindowHandle errorOwner() { return boxOwner.load(); }

void showError(const std::string& text) {
  trace("error shown: %s", text.c_str());
  os::messageBox(boxOwner.load(), text.c_str(), os::kErrorBoxStyle);
}

void showErrorFormat(unsigned formatId, const char* checkedFormat, ...) {
  va_list args;
  va_start(args, checkedFormat);
  const std::string text = formatLoaded(formatId, args);
  va_end(args);
  showError(text);
}

}  // namespace base
