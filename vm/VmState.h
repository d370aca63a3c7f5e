#ifndef VM_VMSTATE_H
#define VM_VMSTATE_H

// What the VM host keeps for the life of the launch (a state header only; the steps are in
// VmOptions, VmHost and ClassDataSharing): the VM library and its entries, the option list, the VM
// itself, the class-data archives of this start, and the two moments at which the VM thread hands
// over to the launcher.

#include <jni.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "os/Platform.h"
#include "vm/ClassDataState.h"

namespace vm {

using CreateJavaVMFunction = jint(JNICALL*)(JavaVM**, void**, void*);
using GetDefaultJavaVMInitArgsFunction = jint(JNICALL*)(void*);

// A step of another subsystem that the VM thread takes at a given moment; set by the launcher
// before the VM thread starts. Without a function nothing happens.
struct Hook {
  void (*function)(void* context) = nullptr;
  void* context = nullptr;
  void operator()() const {
    if (function != nullptr) function(context);
  }
};

// The same for the moment the application ends the process with System.exit, with its code.
struct ExitHook {
  void (*function)(void* context, std::int32_t code) = nullptr;
  void* context = nullptr;
  void operator()(std::int32_t code) const {
    if (function != nullptr) function(context, code);
  }
};

struct VmState {
  std::string jvmDllPath;  // the chosen runtime's VM library; empty: none chosen yet
  CreateJavaVMFunction createJavaVM = nullptr;
  GetDefaultJavaVMInitArgsFunction getDefaultJavaVMInitArgs = nullptr;

  // Built by the first thread before the VM thread starts; the VM thread may withdraw the
  // class-data options from it (ClassDataSharing) before its second attempt.
  StringArray options;
  std::uint32_t mainThreadStackSize = 0;  // from -Xss, else the VM's default; 0: the system's
  std::string outputFile;                 // System.out goes here when set
  std::string errorFile;                  // System.err goes here when set

  // Written once by the VM thread when the VM exists, cleared by the first thread once it is
  // destroyed; read by the request threads of single instance, which accept null.
  std::atomic<JavaVM*> javaVM{nullptr};
  JNIEnv* jniEnv = nullptr;  // valid on the VM thread only

  ClassDataSharingState classDataSharing;

  Hook mainStarting;  // just before main is called: second starts may be served from now on
  Hook mainThrew;     // main ended with an exception, now printed; before the exception dialog
  // System.exit ends the process: on one of the VM's threads, after the class-data recording is
  // kept, before the process goes. It may end the process itself.
  ExitHook applicationExiting;

  // Written by the VM thread, read by the first thread once it has ended (mainClass also by the
  // request threads of single instance, which start only after mainStarting).
  std::string mainClass;           // the class whose main was called, slash form
  bool mainCalled = false;         // the application ran, however it ended
  bool uncaughtException = false;  // main ended with one and nobody chose "Ignore"
};

}  // namespace vm

#endif
