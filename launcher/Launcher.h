#ifndef LAUNCHER_LAUNCHER_H
#define LAUNCHER_LAUNCHER_H

// The one object that holds the launcher's state for the life of the process; every subsystem
// reads and writes its fields by name. Outside it the process keeps only what is process-wide by
// nature: the decision trace's file, and on POSIX the program's arguments and the exit-time record
// of the single-instance block. The start-up, run and destruction sequence is in
// LaunchSequence.cpp.

#include <jni.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "config/LauncherConfig.h"
#include "launcher/SingleInstanceState.h"
#include "os/Platform.h"
#include "os/SharedBlock.h"
#include "os/Thread.h"
#include "vm/ClassDataState.h"

class SplashWindow;

using CreateJavaVMFunction = jint(JNICALL*)(JavaVM**, void**, void*);
using GetDefaultJavaVMInitArgsFunction = jint(JNICALL*)(void*);
using NativeSplashCloseFunction = void (*)();

class Launcher {
 public:
  Launcher();
  // Destruction, always: the splash window, the VM, single instance, the native splash.
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
  // Written once by the VM thread when the VM exists; read by the request threads of single
  // instance, which accept null.
  std::atomic<JavaVM*> javaVM{nullptr};
  JNIEnv* jniEnv = nullptr;  // valid on the VM thread only
  StringArray arguments;     // handed to main, without the program path
  std::unique_ptr<SplashWindow> splashWindow;
  // Owner of error boxes: written by the splash thread when its window exists, and cleared by it
  // before it destroys the window; null before and after.
  std::atomic<WindowHandle> messageParent{nullptr};
  StringArray vmOptions;

  // Single-instance coordination.
  unsigned char* sharedBlock = nullptr;  // view of sharedMapping
  os::SharedMapping sharedMapping;
  os::Thread listenerThread;
  bool isFirstInstance = false;
  bool singleInstance = false;
  SingleInstanceState singleInstanceState;

  // The class-data archive options and recording of this start (ClassDataSharing).
  ClassDataSharingState classDataSharing;

  std::uint32_t mainThreadStackSize = 0;
  NativeSplashCloseFunction nativeSplashClose = nullptr;
  CreateJavaVMFunction createJavaVM = nullptr;
  GetDefaultJavaVMInitArgsFunction getDefaultJavaVMInitArgs = nullptr;
};

#endif
