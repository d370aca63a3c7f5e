#include "vm/StackTrace.h"

#include <cstdint>
#include <cstring>

#include "base/Trace.h"
#include "vm/JniRef.h"

namespace vm {

namespace {

// Prints and clears what a failed or throwing call left pending.
void describePending(JNIEnv* env) {
  if (env->ExceptionCheck()) env->ExceptionDescribe();
}

TraceText failed(JNIEnv* env) {
  describePending(env);
  return TraceText();
}

}  // namespace

TraceText stackTraceText(JNIEnv* env, jthrowable throwable) {
  if (env == nullptr || throwable == nullptr) return TraceText();

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
  if (!text) return TraceText();

  const jsize length = env->GetStringLength(text.get());
  StringChars chars(env, text.get());
  if (chars.get() == nullptr || length <= 0) return failed(env);
  static_assert(sizeof(jchar) == sizeof(char16_t), "Java characters are UTF-16 units");
  TraceText result;
  if (result.allocate(static_cast<std::size_t>(length))) {
    std::memcpy(result.data(), chars.get(), result.size() * sizeof(char16_t));
  } else {
    trace("stack trace: no memory for its %u characters", static_cast<unsigned>(length));
  }
  return result;
}

os::SpareArray<char> utf8FromUtf16(const TraceText& text) {
  os::SpareArray<char> out;
  // At most three bytes for each unit: a pair of surrogates gives four for two.
  if (!out.allocate(text.size() * 3)) return out;
  std::size_t length = 0;
  const auto put = [&](std::uint32_t byte) { out.data()[length++] = static_cast<char>(byte); };
  const char16_t* units = text.data();
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(units[++i]) - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      put(c);
    } else if (c < 0x800) {
      put(0xC0 | (c >> 6));
      put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      put(0xE0 | (c >> 12));
      put(0x80 | ((c >> 6) & 0x3F));
      put(0x80 | (c & 0x3F));
    } else {
      put(0xF0 | (c >> 18));
      put(0x80 | ((c >> 12) & 0x3F));
      put(0x80 | ((c >> 6) & 0x3F));
      put(0x80 | (c & 0x3F));
    }
  }
  out.shrink(length);
  return out;
}

}  // namespace vm
