#ifndef OS_SPAREARRAY_H
#define OS_SPAREARRAY_H

// Memory for what the launcher can do without (the splash picture, the text of an exception),
// asked for so that the process goes on when there is none: every other allocation of the
// launcher ends the process when memory runs out (launcher/RuntimeSupport.cpp), and the strings
// and vectors of the C++ library allocate that way. The feature is then skipped.

#include <cstddef>
#include <memory>
#include <new>

namespace os {

template <typename T>
class SpareArray {
 public:
  // False, and empty, when the memory cannot be had.
  bool allocate(std::size_t count) {
    data_.reset(count != 0 ? new (std::nothrow) T[count] : nullptr);
    size_ = data_ ? count : 0;
    return data_ != nullptr;
  }
  T* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void shrink(std::size_t count) {
    if (count < size_) size_ = count;
  }

 private:
  std::unique_ptr<T[]> data_;
  std::size_t size_ = 0;
};

}  // namespace os

#endif
