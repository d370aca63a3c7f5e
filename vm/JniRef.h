#ifndef VM_JNIREF_H
#define VM_JNIREF_H

// Owners of what a JNI environment hands out: local references and the characters of a string.
// A thread that runs long (the VM thread, a request thread) would otherwise keep every object it
// touched alive until it detached, and a failure path would have to free by hand.

#include <jni.h>

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

// The modified UTF-8 characters of a Java string, released when the owner goes.
class UtfChars {
 public:
  UtfChars(JNIEnv* env, jstring text) noexcept
      : env_(env), text_(text), chars_(text != nullptr ? env->GetStringUTFChars(text, nullptr) : nullptr) {}
  ~UtfChars() {
    if (chars_ != nullptr) env_->ReleaseStringUTFChars(text_, chars_);
  }
  UtfChars(const UtfChars&) = delete;
  UtfChars& operator=(const UtfChars&) = delete;

  const char* get() const noexcept { return chars_; }
  explicit operator bool() const noexcept { return chars_ != nullptr; }

 private:
  JNIEnv* env_;
  jstring text_;
  const char* chars_;
};

// GetStringChars to ReleaseStringChars: the UTF-16 characters of a Java string.
class StringChars {
 public:
  StringChars(JNIEnv* env, jstring string) noexcept
      : env_(env), string_(string), chars_(env->GetStringChars(string, nullptr)) {}
  ~StringChars() {
    if (chars_ != nullptr) env_->ReleaseStringChars(string_, chars_);
  }
  StringChars(const StringChars&) = delete;
  StringChars& operator=(const StringChars&) = delete;

  const jchar* get() const noexcept { return chars_; }

 private:
  JNIEnv* env_;
  jstring string_;
  const jchar* chars_;
};

#endif
