#ifndef OS_SHAREDBLOCK_H
#define OS_SHAREDBLOCK_H

// A named block of memory shared by the launcher processes of one program path.

#include <cstddef>
#include <string>

namespace os {

class SharedMapping {
 public:
  SharedMapping() = default;
  ~SharedMapping();
  SharedMapping(const SharedMapping&) = delete;
  SharedMapping& operator=(const SharedMapping&) = delete;

  // Creates the zero-filled block, or opens it when another process has created it already
  // (createdNew then false). False when neither works.
  bool createOrOpen(const std::string& name, std::size_t size, bool& createdNew);

  // Maps the whole block for reading and writing; null on failure.
  unsigned char* map();

  // Unmaps the view and closes the block; the system removes it when its last user closes it.
  void close();

  bool isOpen() const;

 private:
  void* handle_ = nullptr;
  void* view_ = nullptr;
  std::size_t size_ = 0;
  std::string name_;
  bool owner_ = false;
};

}  // namespace os

#endif
