#include "vm/SecondaryMain.h"

#include "base/Trace.h"
#include "vm/JavaStrings.h"
#include "vm/JniRef.h"

namespace vm {

namespace {

void serve(JNIEnv* env, const std::string& mainClassName, const StringArray& arguments,
           std::uint32_t requester, SecondaryReply reply, void* context) {
  const LocalRef<jclass> mainClass(env, env->FindClass(mainClassName.c_str()));
  if (!mainClass) {
    trace("single instance: main class %s not found; no reply", mainClassName.c_str());
    return;
  }
  bool intForm = false;
  jmethodID method =
      env->GetStaticMethodID(mainClass.get(), "secondaryMain", "([Ljava/lang/String;)V");
  if (env->ExceptionCheck()) env->ExceptionClear();
  if (method == nullptr) {
    method = env->GetStaticMethodID(mainClass.get(), "secondaryMain", "([Ljava/lang/String;)I");
    intForm = true;
  }
  if (method == nullptr) {
    trace("single instance: %s has no secondaryMain; no reply", mainClassName.c_str());
    return;
  }
  const LocalRef<jobjectArray> array(env, newPlatformStringArray(env, arguments));
  if (!array) return;
  trace("single instance: serving thread %u with the %s form, %u arguments",
        static_cast<unsigned>(requester), intForm ? "int" : "void",
        static_cast<unsigned>(arguments.size()));
  if (intForm) {
    const jint result = env->CallStaticIntMethod(mainClass.get(), method, array.get());
    reply(context, static_cast<std::int32_t>(result));
  } else {
    reply(context, 0);
    env->CallStaticVoidMethod(mainClass.get(), method, array.get());
  }
}

}  // namespace

void callSecondaryMain(JavaVM* vm, const std::string& mainClass, const StringArray& arguments,
                       std::uint32_t requester, SecondaryReply reply, void* context) {
  JNIEnv* env = nullptr;
  if (vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) {
    trace("single instance: request of thread %u: cannot attach to the VM",
          static_cast<unsigned>(requester));
    return;
  }
  serve(env, mainClass, arguments, requester, reply, context);
  if (env->ExceptionCheck()) env->ExceptionDescribe();
  vm->DetachCurrentThread();
}

}  // namespace vm
