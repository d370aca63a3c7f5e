#include "vm/VmHost.h"

#include <atomic>
#include <vector>

#include "base/ErrorReport.h"
#include "base/Trace.h"
#include "os/Library.h"
#include "os/Thread.h"
#include "vm/ClassDataSharing.h"
#include "vm/ExceptionDialog.h"
#include "vm/JavaStrings.h"
#include "vm/JniRef.h"
#include "vm/MainClass.h"
#include "vm/VmMessages.h"

namespace vm {

namespace {

// The JNI 1.1 start-up record; current jni.h no longer declares it, but VMs still fill in
// javaStackSize when asked with version 1.1. The layout is the natural one of each word size.
struct Jdk11InitArgs {
  jint version;
  char** properties;
  jint checkSource;
  jint nativeStackSize;
  jint javaStackSize;
  jint minHeapSize;
  jint maxHeapSize;
  jint verifyMode;
  char* classpath;
  void* vfprintfHook;
  void* exitHook;
  void* abortHook;
  jint enableClassGC;
  jint enableVerboseGC;
  jint disableAsyncGC;
  jint verbose;
  jboolean debugging;
  jint debugPort;
};
static_assert(sizeof(void*) != 4 || sizeof(Jdk11InitArgs) == 72, "JDK1_1InitArgs is 72 bytes");

constexpr const char* kCreateJavaVM = "JNI_CreateJavaVM";
// The VM's last words that a failure to create it shows: enough for its error and the line that
// explains it, few enough for a message box.
constexpr std::size_t kVmMessageLines = 8;
constexpr std::uint32_t kVmThreadStackFloor = 128 * 1024;
constexpr const char* kGetDefaultJavaVMInitArgs = "JNI_GetDefaultJavaVMInitArgs";

unsigned reasonTextId(jint result) {
  switch (result) {
    case JNI_ERR: return IDS_REASON_UNKNOWN;
    case JNI_EDETACHED: return IDS_REASON_DETACHED;
    case JNI_EVERSION: return IDS_REASON_VERSION;
    case JNI_ENOMEM: return IDS_REASON_NOMEM;
    case JNI_EEXIST: return IDS_REASON_EXISTS;
    case JNI_EINVAL: return IDS_REASON_INVALID;
    default: return 0;
  }
}

void describePendingException(JNIEnv* env) {
  if (env->ExceptionCheck()) env->ExceptionDescribe();
}

bool redirectStream(JNIEnv* env, const std::string& fileName, const char* setterName) {
  const LocalRef<jstring> name(env, newPlatformString(env, fileName));
  if (!name) return false;
  const LocalRef<jclass> fileStreamClass(env, env->FindClass("java/io/FileOutputStream"));
  if (!fileStreamClass) return false;
  jmethodID fileStreamInit =
      env->GetMethodID(fileStreamClass.get(), "<init>", "(Ljava/lang/String;)V");
  if (fileStreamInit == nullptr) return false;
  const LocalRef<jobject> fileStream(
      env, env->NewObject(fileStreamClass.get(), fileStreamInit, name.get()));
  if (!fileStream) return false;
  const LocalRef<jclass> printStreamClass(env, env->FindClass("java/io/PrintStream"));
  if (!printStreamClass) return false;
  jmethodID printStreamInit =
      env->GetMethodID(printStreamClass.get(), "<init>", "(Ljava/io/OutputStream;)V");
  if (printStreamInit == nullptr) return false;
  const LocalRef<jobject> printStream(
      env, env->NewObject(printStreamClass.get(), printStreamInit, fileStream.get()));
  if (!printStream) return false;
  const LocalRef<jclass> systemClass(env, env->FindClass("java/lang/System"));
  if (!systemClass) return false;
  jmethodID setter =
      env->GetStaticMethodID(systemClass.get(), setterName, "(Ljava/io/PrintStream;)V");
  if (setter == nullptr) return false;
  env->CallStaticVoidMethod(systemClass.get(), setter, printStream.get());
  if (env->ExceptionCheck()) {
    env->ExceptionDescribe();
    return false;
  }
  return true;
}

void redirectTraced(JNIEnv* env, const std::string& fileName, const char* setterName) {
  if (fileName.empty()) return;
  const bool redirected = redirectStream(env, fileName, setterName);
  trace("System.%s to %s: %s", setterName, fileName.c_str(), redirected ? "done" : "failed");
  if (!redirected) describePendingException(env);
}

// The message that says the VM could not be created, with the VM's last words below it.
void reportCreationFailure(jint result) {
  const unsigned reason = reasonTextId(result);
  const std::string said = keptVmMessages(kVmMessageLines);
  trace("the VM said before it failed: %u bytes", static_cast<unsigned>(said.size()));
  base::showError(base::formatText(TEXT_FORMAT(IDS_JNI_EXCEPTION_REASON),
                                   base::loadText(IDS_CREATE_VM_FAILED).c_str(),
                                   reason != 0 ? base::loadText(reason).c_str() : "") +
                  (said.empty() ? "" : "\n" + said));
}

// The VM state whose hooks the VM calls; they carry no context of their own.
std::atomic<VmState*> exitingVm{nullptr};

// The recording is finished first (should it have failed, that ends the process with the
// application's own code, and no restart follows); then the launcher's step.
void JNICALL onVmExit(jint code) {
  VmState* state = exitingVm.load();
  if (state == nullptr) return;
  if (state->classDataSharing.exitHook != nullptr) state->classDataSharing.exitHook(code);
  state->applicationExiting(static_cast<std::int32_t>(code));
}

// Some failures of the VM's initialisation (a main module that is not there, for one) end the
// process from inside JNI_CreateJavaVM, without a result and past the "exit" hook; the VM calls
// its "abort" hook on that way out, which then says why. Set while JNI_CreateJavaVM runs.
std::atomic<bool> creatingVm{false};

// The "abort" hook: during creation it says why the VM could not be created; at any time the
// class-data archive's own may end the process with the application's code after a recording
// that could not be written.
void JNICALL onVmAbort() {
  if (creatingVm.exchange(false)) {
    stopKeepingVmMessages();
    trace("the VM ends the process while it is being created");
    reportCreationFailure(JNI_ERR);
  }
  VmState* state = exitingVm.load();
  if (state != nullptr && state->classDataSharing.abortHook != nullptr) {
    state->classDataSharing.abortHook();
  }
}

// One JNI_CreateJavaVM call with the option list as it stands.
jint callCreateJavaVM(VmState& state, JavaVM** vm, void** env) {
  std::vector<JavaVMOption> options(state.options.size());
  for (std::size_t i = 0; i < options.size(); ++i) {
    options[i].optionString = const_cast<char*>(state.options[i].c_str());
    options[i].extraInfo = nullptr;
  }
  // The VM's own messages, so that a failure to create it can show them, also when the VM ends the
  // process on its own. First, since the VM reads its options in order and speaks of a bad one at
  // once.
  exitingVm.store(&state);
  JavaVMOption hooks[2];
  hooks[0].optionString = const_cast<char*>("vfprintf");
  hooks[0].extraInfo = reinterpret_cast<void*>(vmMessageHook);
  hooks[1].optionString = const_cast<char*>("abort");
  hooks[1].extraInfo = reinterpret_cast<void*>(onVmAbort);
  options.insert(options.begin(), hooks, hooks + 2);
  // Tells a start that records a class-data archive, and the launcher, when System.exit or the VM
  // itself ends the process.
  if (state.classDataSharing.exitHook != nullptr || state.applicationExiting.function != nullptr) {
    JavaVMOption hook;
    hook.optionString = const_cast<char*>("exit");
    hook.extraInfo = reinterpret_cast<void*>(onVmExit);
    options.push_back(hook);
    trace("VM option: exit (hook%s%s)",
          state.classDataSharing.exitHook != nullptr ? " that finishes the class-data archive" : "",
          state.applicationExiting.function != nullptr ? ", and the launcher's" : "");
  }
  JavaVMInitArgs args;
  args.version = JNI_VERSION_1_2;
  args.nOptions = static_cast<jint>(options.size());
  args.options = options.empty() ? nullptr : options.data();
  args.ignoreUnrecognized = JNI_FALSE;
  const jint result = state.createJavaVM(vm, env, &args);
  trace("JNI_CreateJavaVM: %d", static_cast<int>(result));
  return result;
}

bool createVm(VmState& state) {
  JavaVM* vm = nullptr;
  void* env = nullptr;
  startKeepingVmMessages();
  creatingVm.store(true);
  jint result = callCreateJavaVM(state, &vm, &env);
  // A class-data archive never stops a start: a VM that refuses options gets a second chance
  // without the launcher's archive options (HotSpot may be created again after a refusal of its
  // options, not after a later failure).
  if (result == JNI_EINVAL && withdrawClassDataSharingOptions(state)) {
    startKeepingVmMessages();
    result = callCreateJavaVM(state, &vm, &env);
  }
  creatingVm.store(false);
  stopKeepingVmMessages();
  if (result != JNI_OK) {
    reportCreationFailure(result);
    return false;
  }
  state.jniEnv = static_cast<JNIEnv*>(env);
  state.javaVM.store(vm);

  redirectTraced(state.jniEnv, state.outputFile, "setOut");
  redirectTraced(state.jniEnv, state.errorFile, "setErr");
  return true;
}

// What the VM thread works with: the settings, main's arguments and the VM state.
struct VmThreadContext {
  const config::LauncherConfig& config;
  const StringArray& arguments;
  VmState& vm;
};

// After main has thrown: the exception is printed, the splash goes, and the user may be asked.
// The process then ends with 1, as java's does, unless the user chose to ignore the exception: a
// script or a build job must not take the failure for success.
void handleUncaughtException(const VmThreadContext& context, jthrowable thrown) {
  trace("main ended with an exception");
  JNIEnv* env = context.vm.jniEnv;
  env->ExceptionDescribe();
  context.vm.mainThrew();
  const ExceptionChoice choice =
      context.config.failureCheck ? showExceptionDialog(env, thrown) : ExceptionChoice::NotShown;
  if (choice == ExceptionChoice::Stop) systemExit(env, -1);
  context.vm.uncaughtException = choice != ExceptionChoice::Ignore;
}

// "Main Class", or with "Main Module" alone the class its descriptor names; empty after the
// message that none was given.
std::string mainClassName(const VmThreadContext& context) {
  if (!context.config.mainClass.empty()) return context.config.mainClass;
  const std::string named = moduleMainClass(context.vm.jniEnv, context.config.mainModule);
  trace("main module %s names main class [%s]", context.config.mainModule.c_str(), named.c_str());
  if (named.empty()) base::showError(base::loadText(IDS_NO_MAIN_CLASS));
  return named;
}

// Finds the main class and calls main; true when main was called.
bool callMain(const VmThreadContext& context) {
  JNIEnv* env = context.vm.jniEnv;
  const std::string mainClass = mainClassName(context);
  if (mainClass.empty()) return false;
  context.vm.mainClass = mainClass;

  const LocalRef<jstring> name(env, newPlatformString(env, mainClass));
  if (!name) {
    base::showErrorFormat(TEXT_FORMAT(IDS_MAIN_CLASS_LOAD_FAILED), mainClass.c_str());
    return false;
  }
  LocalRef<jclass> mainType;
  {
    const UtfChars className(env, name.get());
    if (!className) {
      describePendingException(env);
      return false;
    }
    mainType = LocalRef<jclass>(env, env->FindClass(className.get()));
    if (!mainType) {
      describePendingException(env);
      base::showErrorFormat(TEXT_FORMAT(IDS_MAIN_CLASS_NOT_FOUND), className.get());
      return false;
    }
  }
  jmethodID main = env->GetStaticMethodID(mainType.get(), "main", "([Ljava/lang/String;)V");
  LocalRef<jclass> javaFx;
  jmethodID launch = nullptr;
  if (main == nullptr) {
    // A JavaFX application need not have a main of its own.
    const LocalRef<jthrowable> missing(env, env->ExceptionOccurred());
    env->ExceptionClear();
    launch = javaFxLaunch(env, mainType.get(), javaFx);
    if (launch == nullptr) {
      // VMs leave NoSuchMethodError pending here; printed alone it would reach no one when
      // System.err goes nowhere, so the message follows it as after a missing class.
      if (missing) env->Throw(missing.get());
      describePendingException(env);
      base::showError(base::loadText(IDS_NO_MAIN_METHOD));
      return false;
    }
  }
  const LocalRef<jobjectArray> array(env, newPlatformStringArray(env, context.arguments));
  if (!array) {
    describePendingException(env);
    return false;
  }

  context.vm.mainStarting();
  context.vm.mainCalled = true;
  if (launch != nullptr) {
    trace("calling javafx.application.Application.launch for %s with %u arguments",
          mainClass.c_str(), static_cast<unsigned>(context.arguments.size()));
    env->CallStaticVoidMethod(javaFx.get(), launch, mainType.get(), array.get());
  } else {
    trace("calling %s.main with %u arguments", mainClass.c_str(),
          static_cast<unsigned>(context.arguments.size()));
    env->CallStaticVoidMethod(mainType.get(), main, array.get());
  }
  const LocalRef<jthrowable> thrown(env, env->ExceptionOccurred());
  if (thrown) {
    handleUncaughtException(context, thrown.get());
  } else {
    trace("main returned");
  }
  return true;
}

// Runs main; false when it could not be called or the thread did not leave the VM cleanly.
bool runMainClass(const VmThreadContext& context) {
  const bool mainCalled = callMain(context);
  classDataMainReturned(context.vm);
  // The VM thread never ends attached to the VM.
  const jint detached = context.vm.javaVM.load()->DetachCurrentThread();
  trace("VM thread detached: %d", static_cast<int>(detached));
  return mainCalled && detached == JNI_OK;
}

unsigned long vmThreadMain(void* parameter) {
  if (parameter == nullptr) return 1;
  const VmThreadContext& context = *static_cast<const VmThreadContext*>(parameter);
  if (!createVm(context.vm)) return 1;
  watchClassDataRecording(context.vm.jniEnv, context.vm);
  return runMainClass(context) ? 0 : 1;
}

}  // namespace

bool loadJvmLibrary(VmState& vm) {
  os::LibraryError loadError;
  void* library = os::loadLibrary(vm.jvmDllPath, loadError);
  if (library == nullptr) {
    trace("VM library %s not loaded: %lu%s%s", vm.jvmDllPath.c_str(), loadError.code,
          loadError.reason.empty() ? "" : ", ", loadError.reason.c_str());
    base::showErrorFormat(TEXT_FORMAT(IDS_JVM_LOAD_FAILED), vm.jvmDllPath.c_str(),
                          static_cast<int>(loadError.code));
    return false;
  }
  unsigned long error = 0;
  void* create = os::findSymbol(library, kCreateJavaVM, error);
  void* defaults = create != nullptr ? os::findSymbol(library, kGetDefaultJavaVMInitArgs, error)
                                     : nullptr;
  if (create == nullptr || defaults == nullptr) {
    trace("VM library %s lacks an entry point: %lu", vm.jvmDllPath.c_str(), error);
    base::showErrorFormat(TEXT_FORMAT(IDS_WINDOWS_EXCEPTION),
                          base::loadText(IDS_NO_CREATE_JAVA_VM).c_str(), static_cast<int>(error));
    return false;
  }
  vm.createJavaVM = reinterpret_cast<CreateJavaVMFunction>(create);
  vm.getDefaultJavaVMInitArgs = reinterpret_cast<GetDefaultJavaVMInitArgsFunction>(defaults);
  trace("VM library loaded: %s", vm.jvmDllPath.c_str());
  return true;
}

std::uint32_t defaultThreadStackSize(const VmState& vm) {
  Jdk11InitArgs args = {};
  args.version = JNI_VERSION_1_1;
  vm.getDefaultJavaVMInitArgs(&args);
  return args.javaStackSize > 0 ? static_cast<std::uint32_t>(args.javaStackSize) : 0;
}

std::uint32_t runVmThread(const config::LauncherConfig& config, const StringArray& arguments,
                          VmState& vm) {
  if (vm.mainThreadStackSize == 0) vm.mainThreadStackSize = defaultThreadStackSize(vm);
  // JNI_CreateJavaVM runs on this thread before it looks at -Xss: a stack of a few dozen KB
  // overflows inside it without a word. With the floor the VM starts far enough to refuse the
  // option itself, and a size it accepts is given as asked.
  std::uint32_t stackSize = vm.mainThreadStackSize;
  if (stackSize != 0 && stackSize < kVmThreadStackFloor) stackSize = kVmThreadStackFloor;
  trace("VM thread stack size: %u%s", static_cast<unsigned>(stackSize),
        stackSize != vm.mainThreadStackSize ? " (raised to the floor)" : "");
  VmThreadContext context{config, arguments, vm};
  os::Thread thread;
  std::uint32_t result = 0;
  if (thread.start(stackSize, vmThreadMain, &context)) {
    result = static_cast<std::uint32_t>(thread.wait());
  } else {
    trace("VM thread not started; running on the first thread");
    result = static_cast<std::uint32_t>(vmThreadMain(&context));
  }
  classDataRunEnded(vm, result == 0);
  return result;
}

void systemExit(JNIEnv* env, int code) {
  const LocalRef<jclass> systemClass(env, env->FindClass("java/lang/System"));
  if (!systemClass) return;
  jmethodID exitMethod = env->GetStaticMethodID(systemClass.get(), "exit", "(I)V");
  if (exitMethod == nullptr) return;
  env->CallStaticVoidMethod(systemClass.get(), exitMethod, static_cast<jint>(code));
  describePendingException(env);
}

void destroyVm(VmState& vm) {
  JavaVM* javaVM = vm.javaVM.load();
  if (javaVM != nullptr) {
    trace("destroying the VM");
    javaVM->DestroyJavaVM();
    // Request threads that come later find no VM to attach to.
    vm.javaVM.store(nullptr);
    trace("VM destroyed");
  }
  // The VM writes a class-data archive as it ends: complete only now.
  finishClassDataRecording(vm);
}

}  // namespace vm
