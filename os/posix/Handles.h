#ifndef OS_POSIX_HANDLES_H
#define OS_POSIX_HANDLES_H

// Owners of the POSIX resources the launcher takes.

#include <dirent.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>

#include "os/UniqueResource.h"

namespace os {

namespace traits {

struct FileDescriptor {
  using Handle = int;
  static Handle invalid() noexcept { return -1; }
  static void close(Handle handle) noexcept { ::close(handle); }
};

struct Directory {
  using Handle = DIR*;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { closedir(handle); }
};

struct StdioFile {
  using Handle = std::FILE*;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { std::fclose(handle); }
};

}  // namespace traits

using UniqueFd = UniqueResource<traits::FileDescriptor>;
using UniqueDirectory = UniqueResource<traits::Directory>;
using UniqueStdioFile = UniqueResource<traits::StdioFile>;

// A mapped region: munmap needs the length as well as the address.
class MappedRegion {
 public:
  MappedRegion() noexcept = default;
  ~MappedRegion() { reset(); }
  MappedRegion(const MappedRegion&) = delete;
  MappedRegion& operator=(const MappedRegion&) = delete;

  // False when the mapping fails; what was held before is unmapped either way.
  bool map(int fd, std::size_t size, int protection) noexcept {
    reset();
    void* address = mmap(nullptr, size, protection, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED) return false;
    address_ = address;
    size_ = size;
    return true;
  }
  void reset() noexcept {
    if (address_ != nullptr) munmap(address_, size_);
    address_ = nullptr;
    size_ = 0;
  }
  void* get() const noexcept { return address_; }

 private:
  void* address_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace os

#endif
