#include "vm/VmHost.h"

#include <vector>

#include "launcher/ErrorReport.h"
#include "launcher/Launcher.h"
#include "launcher/SingleInstance.h"
#include "launcher/Trace.h"
#include "os/Library.h"
#include "os/Thread.h"
#include "splash/Splash.h"
#include "vm/ExceptionDialog.h"

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
  if (env->ExceptionOccurred() != nullptr) env->ExceptionDescribe();
}

bool redirectStream(Launcher& launcher, const std::string& fileName, const char* setterName) {
  JNIEnv* env = launcher.jniEnv;
  jstring name = newPlatformString(env, fileName);
  if (name == nullptr) return false;
  jclass fileStreamClass = env->FindClass("java/io/FileOutputStream");
  if (fileStreamClass == nullptr) return false;
  jmethodID fileStreamInit = env->GetMethodID(fileStreamClass, "<init>", "(Ljava/lang/String;)V");
  if (fileStreamInit == nullptr) return false;
  jobject fileStream = env->NewObject(fileStreamClass, fileStreamInit, name);
  if (fileStream == nullptr) return false;
  jclass printStreamClass = env->FindClass("java/io/PrintStream");
  if (printStreamClass == nullptr) return false;
  jmethodID printStreamInit =
      env->GetMethodID(printStreamClass, "<init>", "(Ljava/io/OutputStream;)V");
  if (printStreamInit == nullptr) return false;
  jobject printStream = env->NewObject(printStreamClass, printStreamInit, fileStream);
  if (printStream == nullptr) return false;
  jclass systemClass = env->FindClass("java/lang/System");
  if (systemClass == nullptr) return false;
  jmethodID setter = env->GetStaticMethodID(systemClass, setterName, "(Ljava/io/PrintStream;)V");
  if (setter == nullptr) return false;
  env->CallStaticVoidMethod(systemClass, setter, printStream);
  if (env->ExceptionOccurred() != nullptr) {
    env->ExceptionDescribe();
    return false;
  }
  env->DeleteLocalRef(name);
  env->DeleteLocalRef(fileStreamClass);
  env->DeleteLocalRef(fileStream);
  env->DeleteLocalRef(printStreamClass);
  env->DeleteLocalRef(printStream);
  env->DeleteLocalRef(systemClass);
  return true;
}

void redirectTraced(Launcher& launcher, const std::string& fileName, const char* setterName) {
  if (fileName.empty()) return;
  const bool redirected = redirectStream(launcher, fileName, setterName);
  trace("System.%s to %s: %s", setterName, fileName.c_str(), redirected ? "done" : "failed");
  if (!redirected) describePendingException(launcher.jniEnv);
}

bool createVm(Launcher& launcher) {
  std::vector<JavaVMOption> options(launcher.vmOptions.size());
  for (std::size_t i = 0; i < options.size(); ++i) {
    options[i].optionString = const_cast<char*>(launcher.vmOptions[i].c_str());
    options[i].extraInfo = nullptr;
  }
  JavaVMInitArgs args;
  args.version = JNI_VERSION_1_2;
  args.nOptions = static_cast<jint>(options.size());
  args.options = options.empty() ? nullptr : options.data();
  args.ignoreUnrecognized = JNI_FALSE;

  void* env = nullptr;
  const jint result = launcher.createJavaVM(&launcher.javaVM, &env, &args);
  trace("JNI_CreateJavaVM: %d", static_cast<int>(result));
  if (result != JNI_OK) {
    launcher.javaVM = nullptr;
    const unsigned reason = reasonTextId(result);
    showErrorFormat(launcher.messageParent, loadText(IDS_JNI_EXCEPTION_REASON).c_str(),
                    loadText(IDS_CREATE_VM_FAILED).c_str(),
                    reason != 0 ? loadText(reason).c_str() : "");
    return false;
  }
  launcher.jniEnv = static_cast<JNIEnv*>(env);

  redirectTraced(launcher, launcher.config.outputFile, "setOut");
  redirectTraced(launcher, launcher.config.errorFile, "setErr");
  return true;
}

// Runs main; false when it could not be called or the thread did not leave the VM cleanly.
bool runMainClass(Launcher& launcher) {
  JNIEnv* env = launcher.jniEnv;
  const std::string& mainClass = launcher.config.mainClass;
  bool mainCalled = false;

  jstring name = newPlatformString(env, mainClass);
  if (name == nullptr) {
    showErrorFormat(launcher.messageParent, loadText(IDS_MAIN_CLASS_LOAD_FAILED).c_str(),
                    mainClass.c_str());
  } else if (const char* className = env->GetStringUTFChars(name, nullptr)) {
    jclass mainType = env->FindClass(className);
    if (mainType == nullptr) {
      describePendingException(env);
      showErrorFormat(launcher.messageParent, loadText(IDS_MAIN_CLASS_NOT_FOUND).c_str(), className);
      env->ReleaseStringUTFChars(name, className);
    } else {
      env->ReleaseStringUTFChars(name, className);
      jmethodID main = env->GetStaticMethodID(mainType, "main", "([Ljava/lang/String;)V");
      if (main == nullptr) {
        // VMs leave NoSuchMethodError pending here; printed alone it would reach no one when
        // System.err goes nowhere, so the message follows it as after a missing class.
        describePendingException(env);
        showError(launcher.messageParent, loadText(IDS_NO_MAIN_METHOD));
      } else if (jobjectArray array = newPlatformStringArray(env, launcher.arguments)) {
        singleInstanceMainStarting(launcher);
        trace("calling %s.main with %u arguments", mainClass.c_str(),
              static_cast<unsigned>(launcher.arguments.size()));
        env->CallStaticVoidMethod(mainType, main, array);
        mainCalled = true;
        if (jthrowable thrown = env->ExceptionOccurred()) {
          trace("main ended with an exception");
          env->ExceptionDescribe();
          closeSplashWindow(launcher);
          if (launcher.config.failureCheck && showExceptionDialog(launcher, thrown)) {
            systemExit(launcher, -1);
          }
          env->DeleteLocalRef(thrown);
        } else {
          trace("main returned");
        }
        env->DeleteLocalRef(array);
      } else {
        describePendingException(env);
      }
    }
  } else {
    describePendingException(env);
  }

  // The VM thread never ends attached to the VM.
  const jint detached = launcher.javaVM->DetachCurrentThread();
  trace("VM thread detached: %d", static_cast<int>(detached));
  return mainCalled && detached == JNI_OK;
}

unsigned long vmThreadMain(void* parameter) {
  if (parameter == nullptr) return 1;
  Launcher& launcher = *static_cast<Launcher*>(parameter);
  if (!createVm(launcher)) return 1;
  return runMainClass(launcher) ? 0 : 1;
}

}  // namespace

bool loadJvmLibrary(Launcher& launcher) {
  unsigned long error = 0;
  void* library = os::loadLibrary(launcher.jvmDllPath, error);
  if (library == nullptr) {
    trace("VM library %s not loaded: %lu", launcher.jvmDllPath.c_str(), error);
    showErrorFormat(launcher.messageParent, loadText(IDS_JVM_LOAD_FAILED).c_str(),
                    launcher.jvmDllPath.c_str(), static_cast<int>(error));
    return false;
  }
  void* create = os::findSymbol(library, kCreateJavaVM, error);
  void* defaults = create != nullptr ? os::findSymbol(library, kGetDefaultJavaVMInitArgs, error)
                                     : nullptr;
  if (create == nullptr || defaults == nullptr) {
    trace("VM library %s lacks an entry point: %lu", launcher.jvmDllPath.c_str(), error);
    showErrorFormat(launcher.messageParent, loadText(IDS_WINDOWS_EXCEPTION).c_str(),
                    loadText(IDS_NO_CREATE_JAVA_VM).c_str(), static_cast<int>(error));
    return false;
  }
  launcher.createJavaVM = reinterpret_cast<CreateJavaVMFunction>(create);
  launcher.getDefaultJavaVMInitArgs = reinterpret_cast<GetDefaultJavaVMInitArgsFunction>(defaults);
  trace("VM library loaded: %s", launcher.jvmDllPath.c_str());
  return true;
}

std::uint32_t defaultThreadStackSize(Launcher& launcher) {
  Jdk11InitArgs args = {};
  args.version = JNI_VERSION_1_1;
  launcher.getDefaultJavaVMInitArgs(&args);
  return args.javaStackSize > 0 ? static_cast<std::uint32_t>(args.javaStackSize) : 0;
}

std::uint32_t runVmThread(Launcher& launcher) {
  if (launcher.mainThreadStackSize == 0) launcher.mainThreadStackSize = defaultThreadStackSize(launcher);
  trace("VM thread stack size: %u", static_cast<unsigned>(launcher.mainThreadStackSize));
  os::Thread thread;
  if (!thread.start(launcher.mainThreadStackSize, vmThreadMain, &launcher)) {
    trace("VM thread not started; running on the first thread");
    return static_cast<std::uint32_t>(vmThreadMain(&launcher));
  }
  return static_cast<std::uint32_t>(thread.wait());
}

void systemExit(Launcher& launcher, int code) {
  JNIEnv* env = launcher.jniEnv;
  jclass systemClass = env->FindClass("java/lang/System");
  if (systemClass == nullptr) return;
  jmethodID exitMethod = env->GetStaticMethodID(systemClass, "exit", "(I)V");
  if (exitMethod == nullptr) return;
  env->CallStaticVoidMethod(systemClass, exitMethod, static_cast<jint>(code));
  describePendingException(env);
}

void destroyVm(Launcher& launcher) {
  if (launcher.javaVM == nullptr) return;
  trace("destroying the VM");
  launcher.javaVM->DestroyJavaVM();
  launcher.javaVM = nullptr;
  trace("VM destroyed");
}

jstring newPlatformString(JNIEnv* env, const std::string& text) {
  jclass stringClass = env->FindClass("java/lang/String");
  if (stringClass == nullptr) return nullptr;
  jmethodID init = env->GetMethodID(stringClass, "<init>", "([B)V");
  if (init == nullptr) return nullptr;
  const jsize length = static_cast<jsize>(text.size());
  jbyteArray bytes = env->NewByteArray(length);
  if (bytes == nullptr) return nullptr;
  env->SetByteArrayRegion(bytes, 0, length, reinterpret_cast<const jbyte*>(text.data()));
  jstring result = nullptr;
  if (env->ExceptionOccurred() == nullptr) {
    result = static_cast<jstring>(env->NewObject(stringClass, init, bytes));
  }
  env->DeleteLocalRef(bytes);
  env->DeleteLocalRef(stringClass);
  return result;
}

jobjectArray newPlatformStringArray(JNIEnv* env, const StringArray& texts) {
  jclass stringClass = env->FindClass("java/lang/String");
  if (stringClass == nullptr) return nullptr;
  jobjectArray array = env->NewObjectArray(static_cast<jsize>(texts.size()), stringClass, nullptr);
  env->DeleteLocalRef(stringClass);
  if (array == nullptr) return nullptr;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    jstring element = newPlatformString(env, texts[i]);
    if (element == nullptr) return nullptr;
    env->SetObjectArrayElement(array, static_cast<jsize>(i), element);
    env->DeleteLocalRef(element);
  }
  return array;
}
