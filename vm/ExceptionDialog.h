#ifndef VM_EXCEPTIONDIALOG_H
#define VM_EXCEPTIONDIALOG_H

// With "Failure Check", an exception that escaped main is shown with its stack trace, and the user
// chooses to ignore it (the application's other threads go on) or to stop the application.

#include <jni.h>

namespace vm {

enum class ExceptionChoice {
  Ignore,    // the application's other threads go on
  Stop,      // also when the dialog could not be created
  NotShown,  // no trace text could be built (or no window system): nobody chose
};

// On the VM thread, after the exception was printed and the splash closed.
ExceptionChoice showExceptionDialog(JNIEnv* env, jthrowable throwable);

}  // namespace vm

#endif
