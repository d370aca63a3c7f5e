#ifndef VM_STACKTRACE_H
#define VM_STACKTRACE_H

// The stack trace of a throwable as its printStackTrace writes it, taken from the VM as UTF-16 so
// that every character arrives as the application wrote it.

#include <jni.h>

#include "os/SpareArray.h"

namespace vm {

// The trace's UTF-16 units. It is as long as the application made it, so it is held where a
// shortage of memory skips it instead of ending the process.
using TraceText = os::SpareArray<char16_t>;

// On the VM thread. Empty when any step fails (a class, method or string missing) or when the
// text's memory cannot be had; exceptions raised while printing or converting are printed on
// System.err and otherwise ignored.
TraceText stackTraceText(JNIEnv* env, jthrowable throwable);

// UTF-8 for narrow outputs such as the trace file; an unpaired surrogate becomes U+FFFD. Empty
// when its memory cannot be had.
os::SpareArray<char> utf8FromUtf16(const TraceText& text);

}  // namespace vm

#endif
