#include <windows.h>

#include "os/SharedBlock.h"

namespace os {

SharedMapping::~SharedMapping() { close(); }

bool SharedMapping::createOrOpen(const std::string& name, std::size_t size, bool& createdNew) {
  close();
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(size), name.c_str());
  if (mapping == nullptr) return false;
  createdNew = GetLastError() == 0;
  handle_ = mapping;
  size_ = size;
  name_ = name;
  return true;
}

unsigned char* SharedMapping::map() {
  if (handle_ == nullptr) return nullptr;
  if (view_ == nullptr) view_ = MapViewOfFile(handle_, FILE_MAP_WRITE, 0, 0, size_);
  return static_cast<unsigned char*>(view_);
}

void SharedMapping::close() {
  if (view_ != nullptr) UnmapViewOfFile(view_);
  view_ = nullptr;
  if (handle_ != nullptr) CloseHandle(handle_);
  handle_ = nullptr;
}

bool SharedMapping::isOpen() const { return handle_ != nullptr; }

}  // namespace os
