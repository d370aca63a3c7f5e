#ifndef VM_JNIREF_H
#define VM_JNIREF_H

// Owners of what a JNI environment hands out: local references and the characters of a string.
// A thread that runs long (the VM thread, a request thread) would otherwise keep every object it
// touched alive until it detached, and a failure path would have to free by hand.

#include <jni.h>

namespace vm {

template <typename T>
class LocalRef {
 public:
  LocalRef() noexcept = default;
  LocalRef(JNIEnv* env, T ref) noexcept : env_(env), ref_(ref) {}
  ~LocalRef() { reset(); }
  LocalRef(LocalRef&& other) noexcept : env_(other.env_), ref_(other.release()) {}
  LocalRef& operator=(LocalRef&& other) noexcept {
    if (this != &other) {
      reset();
      env_ = other.env_;
      ref_ = other.release();
    }
    return *this;
  }
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;

  T get() const noexcept { return ref_; }
  explicit operator bool() const noexcept { return ref_ != nullptr; }
  T release() noexcept {
    T ref = ref_;
    ref_ = nullptr;
    return ref;
  }
  void reset() noexcept {
    if (ref_ != nullptr) env_->DeleteLocalRef(ref_);
    ref_ = nullptr;
  }

 private:
  JNIEnv* env_ = nullptr;
  T ref_ = nullptr;
};

// How the characters of a Java string are had and given back: modified UTF-8 or UTF-16.
template <typename Char>
struct JniCharsAccess;

template <>
struct JniCharsAccess<char> {
  static const char* get(JNIEnv* env, jstring text) {
    return env->GetStringUTFChars(text, nullptr);
  }
  static void release(JNIEnv* env, jstring text, const char* chars) {
    env->ReleaseStringUTFChars(text, chars);
  }
};

template <>
struct JniCharsAccess<jchar> {
  static const jchar* get(JNIEnv* env, jstring text) {
    return env->GetStringChars(text, nullptr);
  }
  static void release(JNIEnv* env, jstring text, const jchar* chars) {
    env->ReleaseStringChars(text, chars);
  }
};

// The characters of a Java string, released when the owner goes. A null string, or one whose
// characters the VM cannot give, holds none.
template <typename Char>
class JniChars {
 public:
  JniChars(JNIEnv* env, jstring text) noexcept
      : env_(env),
        text_(text),
        chars_(text != nullptr ? JniCharsAccess<Char>::get(env, text) : nullptr) {}
  ~JniChars() {
    if (chars_ != nullptr) JniCharsAccess<Char>::release(env_, text_, chars_);
  }
  JniChars(const JniChars&) = delete;
  JniChars& operator=(const JniChars&) = delete;

  const Char* get() const noexcept { return chars_; }
  explicit operator bool() const noexcept { return chars_ != nullptr; }

 private:
  JNIEnv* env_;
  jstring text_;
  const Char* chars_;
};

using UtfChars = JniChars<char>;      // GetStringUTFChars
using StringChars = JniChars<jchar>;  // GetStringChars

}  // namespace vm

#endif
