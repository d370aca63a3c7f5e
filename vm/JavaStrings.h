#ifndef VM_JAVASTRINGS_H
#define VM_JAVASTRINGS_H

// Java strings from the launcher's narrow text, decoded by the VM's platform charset, so that the
// command line and INI values reach Java as the platform reads them.

#include <jni.h>

#include <string>

#include "os/Platform.h"

namespace vm {

// Null on failure (an exception may be pending).
jstring newPlatformString(JNIEnv* env, const std::string& text);

// A String[] from narrow texts; null on failure.
jobjectArray newPlatformStringArray(JNIEnv* env, const StringArray& texts);

}  // namespace vm

#endif
