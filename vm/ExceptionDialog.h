#ifndef VM_EXCEPTIONDIALOG_H
#define VM_EXCEPTIONDIALOG_H

// With "Failure Check", an exception that escaped main is shown with its stack trace, and the user
// chooses to ignore it (the application's other threads go on) or to stop the application.

#include <jni.h>

namespace vm {

// On the VM thread, after the exception was printed and the splash closed. True when the user
// chose to stop, and when the dialog could not be created, which counts as Stop; false after
// "Ignore" and when no dialog was shown because the trace text could not be built.
bool showExceptionDialog(JNIEnv* env, jthrowable throwable);

}  // namespace vm

#endif
