#include "vm/MainClass.h"

#include "vm/JavaStrings.h"

namespace vm {

namespace {

// obj.method() with the given signature, for methods that return an object; null with nothing
// pending when anything fails.
jobject callObject(JNIEnv* env, jobject target, const char* method, const char* signature,
                   jobject argument = nullptr) {
  if (target == nullptr) return nullptr;
  const LocalRef<jclass> type(env, env->GetObjectClass(target));
  jmethodID id = type ? env->GetMethodID(type.get(), method, signature) : nullptr;
  jobject result = id != nullptr ? env->CallObjectMethod(target, id, argument) : nullptr;
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    return nullptr;
  }
  return result;
}

// What an Optional holds, or null.
jobject present(JNIEnv* env, jobject optional) {
  return callObject(env, optional, "orElse", "(Ljava/lang/Object;)Ljava/lang/Object;");
}

}  // namespace

std::string moduleMainClass(JNIEnv* env, const std::string& module) {
  const LocalRef<jclass> layers(env, env->FindClass("java/lang/ModuleLayer"));
  jmethodID boot =
      layers ? env->GetStaticMethodID(layers.get(), "boot", "()Ljava/lang/ModuleLayer;") : nullptr;
  const LocalRef<jobject> layer(
      env, boot != nullptr ? env->CallStaticObjectMethod(layers.get(), boot) : nullptr);
  if (env->ExceptionCheck()) env->ExceptionClear();
  const LocalRef<jstring> name(env, newPlatformString(env, module));
  if (env->ExceptionCheck()) env->ExceptionClear();
  const LocalRef<jobject> found(
      env, callObject(env, layer.get(), "findModule", "(Ljava/lang/String;)Ljava/util/Optional;",
                      name.get()));
  const LocalRef<jobject> named(env, present(env, found.get()));
  const LocalRef<jobject> descriptor(
      env, callObject(env, named.get(), "getDescriptor", "()Ljava/lang/module/ModuleDescriptor;"));
  const LocalRef<jobject> mainClass(
      env, callObject(env, descriptor.get(), "mainClass", "()Ljava/util/Optional;"));
  const LocalRef<jstring> className(env, static_cast<jstring>(present(env, mainClass.get())));
  const UtfChars chars(env, className.get());
  if (!chars) {
    if (env->ExceptionCheck()) env->ExceptionClear();
    return std::string();
  }
  std::string slashed = chars.get();
  for (char& c : slashed) {
    if (c == '.') c = '/';
  }
  return slashed;
}

jmethodID javaFxLaunch(JNIEnv* env, jclass mainClass, LocalRef<jclass>& application) {
  application = LocalRef<jclass>(env, env->FindClass("javafx/application/Application"));
  if (!application || !env->IsAssignableFrom(mainClass, application.get())) {
    if (env->ExceptionCheck()) env->ExceptionClear();
    application.reset();
    return nullptr;
  }
  jmethodID launch = env->GetStaticMethodID(application.get(), "launch",
                                            "(Ljava/lang/Class;[Ljava/lang/String;)V");
  if (launch == nullptr) {
    env->ExceptionClear();
    application.reset();
  }
  return launch;
}

}  // namespace vm
