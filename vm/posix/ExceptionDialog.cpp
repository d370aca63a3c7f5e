#include "vm/ExceptionDialog.h"

#include <string>

#include "base/Trace.h"
#include "vm/StackTrace.h"

namespace vm {

// Without a window system the trace the VM printed on System.err is all, and the launch goes on
// as after "Ignore". The text the dialog would show is written to the decision trace.
bool showExceptionDialog(JNIEnv* env, jthrowable throwable) {
  if (!base::traceEnabled()) return false;
  const std::string text = utf8FromUtf16(stackTraceText(env, throwable));
  trace("exception dialog: none without a window system; its text has %u bytes",
        static_cast<unsigned>(text.size()));
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    trace("exception text: %s", line.c_str());
    start = end + 1;
  }
  return false;
}

}  // namespace vm
