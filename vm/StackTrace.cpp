#include "vm/StackTrace.h"

#include <cstdint>

#include "vm/JniRef.h"

namespace vm {

namespace {

// Prints and clears what a failed or throwing call left pending.
void describePending(JNIEnv* env) {
  if (env->ExceptionCheck()) env->ExceptionDescribe();
}

std::u16string failed(JNIEnv* env) {
  describePending(env);
  return std::u16string();
}

}  // namespace

std::u16string stackTraceText(JNIEnv* env, jthrowable throwable) {
  if (env == nullptr || throwable == nullptr) return std::u16string();

  LocalRef<jclass> bytesClass(env, env->FindClass("java/io/ByteArrayOutputStream"));
  if (!bytesClass) return failed(env);
  jmethodID bytesInit = env->GetMethodID(bytesClass.get(), "<init>", "()V");
  if (bytesInit == nullptr) return failed(env);
  LocalRef<jobject> bytes(env, env->NewObject(bytesClass.get(), bytesInit));
  if (!bytes) return failed(env);

  LocalRef<jclass> printClass(env, env->FindClass("java/io/PrintStream"));
  if (!printClass) return failed(env);
  jmethodID printInit = env->GetMethodID(printClass.get(), "<init>", "(Ljava/io/OutputStream;)V");
  if (printInit == nullptr) return failed(env);
  LocalRef<jobject> print(env, env->NewObject(printClass.get(), printInit, bytes.get()));
  if (!print) return failed(env);

  LocalRef<jclass> throwableClass(env, env->GetObjectClass(throwable));
  if (!throwableClass) return failed(env);
  jmethodID printStackTrace =
      env->GetMethodID(throwableClass.get(), "printStackTrace", "(Ljava/io/PrintStream;)V");
  if (printStackTrace == nullptr) return failed(env);
  env->CallVoidMethod(throwable, printStackTrace, print.get());
  describePending(env);

  LocalRef<jclass> bytesType(env, env->GetObjectClass(bytes.get()));
  if (!bytesType) return failed(env);
  jmethodID toString = env->GetMethodID(bytesType.get(), "toString", "()Ljava/lang/String;");
  if (toString == nullptr) return failed(env);
  LocalRef<jstring> text(env, static_cast<jstring>(env->CallObjectMethod(bytes.get(), toString)));
  describePending(env);
  if (!text) return std::u16string();

  const jsize length = env->GetStringLength(text.get());
  StringChars chars(env, text.get());
  if (chars.get() == nullptr || length <= 0) return failed(env);
  static_assert(sizeof(jchar) == sizeof(char16_t), "Java characters are UTF-16 units");
  return std::u16string(reinterpret_cast<const char16_t*>(chars.get()), static_cast<std::size_t>(length));
}

std::string utf8FromUtf16(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(text[++i]) - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace vm
