#include "vm/ExceptionDialog.h"

#include <algorithm>
#include <cstring>

#include "base/Trace.h"
#include "vm/StackTrace.h"

namespace vm {

namespace {

// A trace line holds this much of a longer line of the text, so that no line of the trace needs
// more memory than that, however long the application made its message.
constexpr std::size_t kPieceBytes = 4096;

}  // namespace

// Without a window system the trace the VM printed on System.err is all, and nobody chooses. The
// text the dialog would show is written to the decision trace.
ExceptionChoice showExceptionDialog(JNIEnv* env, jthrowable throwable) {
  if (!base::traceEnabled()) return ExceptionChoice::NotShown;
  const TraceText trace16 = stackTraceText(env, throwable);
  const os::SpareArray<char> text = utf8FromUtf16(trace16);
  if (text.empty()) {
    trace("exception dialog: none without a window system; %s",
          trace16.empty() ? "no trace text" : "no memory for its UTF-8 form");
    return ExceptionChoice::NotShown;
  }
  trace("exception dialog: none without a window system; its text has %u bytes",
        static_cast<unsigned>(text.size()));
  const char* const end = text.data() + text.size();
  for (const char* line = text.data(); line < end;) {
    const char* next = static_cast<const char*>(std::memchr(line, '\n', end - line));
    const char* lineEnd = next != nullptr ? next : end;
    if (lineEnd > line && lineEnd[-1] == '\r') --lineEnd;
    for (const char* piece = line; piece < lineEnd || piece == line; piece += kPieceBytes) {
      const std::size_t bytes = std::min<std::size_t>(lineEnd - piece, kPieceBytes);
      trace("exception text: %.*s", static_cast<int>(bytes), piece);
      if (bytes == 0) break;
    }
    line = next != nullptr ? next + 1 : end;
  }
  return ExceptionChoice::NotShown;
}

}  // namespace vm
