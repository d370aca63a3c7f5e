#ifndef VM_STACKTRACE_H
#define VM_STACKTRACE_H

// The stack trace of a throwable as its printStackTrace writes it, taken from the VM as UTF-16 so
// that every character arrives as the application wrote it.

#include <jni.h>

#include <string>

namespace vm {

// On the VM thread. Empty when any step fails (a class, method or string missing); exceptions
// raised while printing or converting are printed on System.err and otherwise ignored.
std::u16string stackTraceText(JNIEnv* env, jthrowable throwable);

// UTF-8 for narrow outputs such as the trace file; an unpaired surrogate becomes U+FFFD.
std::string utf8FromUtf16(const std::u16string& text);

}  // namespace vm

#endif
