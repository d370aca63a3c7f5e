#ifndef VM_LOCALREF_H
#define VM_LOCALREF_H

// Owners of JNI local references and of the characters of a Java string, so that each is given
// back to the VM exactly once on every path.

#include <jni.h>

template <typename T>
class LocalRef {
 public:
  LocalRef(JNIEnv* env, T ref) noexcept : env_(env), ref_(ref) {}
  ~LocalRef() {
    if (ref_ != nullptr) env_->DeleteLocalRef(ref_);
  }
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;

  T get() const noexcept { return ref_; }
  explicit operator bool() const noexcept { return ref_ != nullptr; }

 private:
  JNIEnv* env_;
  T ref_;
};

// GetStringChars to ReleaseStringChars.
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
