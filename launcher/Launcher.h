#ifndef LAUNCHER_LAUNCHER_H
#define LAUNCHER_LAUNCHER_H

// The one object that owns all of the launcher's state for the life of the process. Every
// subsystem reads and writes its fields by name; nothing else holds state.

#include <jni.h>

#include <cstdint>
#include <memory>
#include <string>

#include "config/LauncherConfig.h"
#include "os/Platform.h"
#include "os/SharedBlock.h"
#include "os/Thread.h"

class SplashWindow;

using CreateJavaVMFunction = jint(JNICALL*)(JavaVM**, void**, void*);
using GetDefaultJavaVMInitArgsFunction = jint(JNICALL*)(void*);
using NativeSplashCloseFunction = void (*)();

class Launcher {
 public:
  Launcher();
  ~Launcher();
  Launcher(const Launcher&) = delete;
  Launcher& operator=(const Launcher&) = delete;

  // True when run is to be called.
  bool init();
  // The process exit code.
  std::int32_t run();

  // Splash (own window on its own thread).
  os::Thread splashThread;
  std::uint32_t splashThreadId = 0;

  // Settings of the program INI file.
  LauncherConfig config;

  std::string jvmDllPath;  // empty: no runtime chosen yet
  JavaVM* javaVM = nullptr;
  JNIEnv* jniEnv = nullptr;  // valid on the VM thread only
  StringArray arguments;     // handed to main, without the program path
  std::unique_ptr<SplashWindow> splashWindow;
  WindowHandle messageParent = nullptr;  // owner of error boxes: the splash window once it exists
  StringArray vmOptions;

  // Single-instance coordination.
  unsigned char* sharedBlock = nullptr;  // view of sharedMapping
  os::SharedMapping sharedMapping;
  os::Thread listenerThread;
  bool isFirstInstance = false;
  bool singleInstance = false;

  std::uint32_t mainThreadStackSize = 0;
  NativeSplashCloseFunction nativeSplashClose = nullptr;
  CreateJavaVMFunction createJavaVM = nullptr;
  GetDefaultJavaVMInitArgsFunction getDefaultJavaVMInitArgs = nullptr;

 private:
  void destroy();
};

// Sets the current folder to the program's folder; failures are ignored.
void applyWorkingDirectory(Launcher& launcher);

// The full path of the running executable. On failure shows "Windows exception: failed to get the
// module path (errno = N)." owned by messageParent and returns false.
bool getModulePath(const Launcher& launcher, std::string& path);

#endif
