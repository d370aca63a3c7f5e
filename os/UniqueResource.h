#ifndef OS_UNIQUERESOURCE_H
#define OS_UNIQUERESOURCE_H

// The one owner type behind every handle, descriptor and system allocation of the launcher. The
// traits name the handle type, the value that means "none" and how a held handle is given back,
// so a kernel handle (null means none) and a file handle (INVALID_HANDLE_VALUE means none) are
// different types and cannot be mixed up. Move-only; nothing here knows an OS.
//
//   struct Traits {
//     using Handle = ...;
//     static Handle invalid() noexcept;
//     static void close(Handle handle) noexcept;
//   };

template <typename Traits>
class UniqueResource {
 public:
  using Handle = typename Traits::Handle;

  UniqueResource() noexcept : handle_(Traits::invalid()) {}
  explicit UniqueResource(Handle handle) noexcept : handle_(handle) {}
  ~UniqueResource() { reset(); }

  UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Handle get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != Traits::invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  // Gives the handle up without closing it.
  Handle release() noexcept {
    Handle handle = handle_;
    handle_ = Traits::invalid();
    return handle;
  }

  // Closes what is held (unless it is the handle given) and holds the new one.
  void reset(Handle handle = Traits::invalid()) noexcept {
    Handle old = handle_;
    handle_ = handle;
    if (old != Traits::invalid() && old != handle) Traits::close(old);
  }

  // For calls that hand a new handle back through a pointer: closes what is held first.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }

 private:
  Handle handle_;
};

#endif
