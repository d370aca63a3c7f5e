#include "vm/JavaStrings.h"

#include "vm/JniRef.h"

namespace vm {

jstring newPlatformString(JNIEnv* env, const std::string& text) {
  const LocalRef<jclass> stringClass(env, env->FindClass("java/lang/String"));
  if (!stringClass) return nullptr;
  jmethodID init = env->GetMethodID(stringClass.get(), "<init>", "([B)V");
  if (init == nullptr) return nullptr;
  const jsize length = static_cast<jsize>(text.size());
  const LocalRef<jbyteArray> bytes(env, env->NewByteArray(length));
  if (!bytes) return nullptr;
  env->SetByteArrayRegion(bytes.get(), 0, length, reinterpret_cast<const jbyte*>(text.data()));
  if (env->ExceptionCheck()) return nullptr;  // left pending for the caller
  return static_cast<jstring>(env->NewObject(stringClass.get(), init, bytes.get()));
}

jobjectArray newPlatformStringArray(JNIEnv* env, const StringArray& texts) {
  const LocalRef<jclass> stringClass(env, env->FindClass("java/lang/String"));
  if (!stringClass) return nullptr;
  LocalRef<jobjectArray> array(
      env, env->NewObjectArray(static_cast<jsize>(texts.size()), stringClass.get(), nullptr));
  if (!array) return nullptr;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const LocalRef<jstring> element(env, newPlatformString(env, texts[i]));
    if (!element) return nullptr;
    env->SetObjectArrayElement(array.get(), static_cast<jsize>(i), element.get());
  }
  return array.release();
}

}  // namespace vm
