#ifndef VM_MAINCLASS_H
#define VM_MAINCLASS_H

// How an application's main class is found and started beyond a class with main(String[]): the
// main class a named module's descriptor names, and JavaFX applications whose class has no main
// of its own, which the java launcher starts through Application.launch.

#include <jni.h>

#include <string>

#include "vm/JniRef.h"

namespace vm {

// The main class (slash form) that the descriptor of the named module in the boot layer gives;
// empty when the module is not there or names none. Exceptions are cleared.
std::string moduleMainClass(JNIEnv* env, const std::string& module);

// When mainClass is a javafx.application.Application: its static launch(Class, String[]), with
// the Application class in application; null otherwise, with nothing pending.
jmethodID javaFxLaunch(JNIEnv* env, jclass mainClass, LocalRef<jclass>& application);

}  // namespace vm

#endif
