#include <windows.h>

#include "os/SharedBlock.h"

namespace os {

SharedMapping::~SharedMapping() { close(); }

bool SharedMapping::createOrOpen(const std::string& name, std::size_t size, bool& createdNew) {
  close();
  SetLastError(0);
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

// The system keeps every process's exit code; nothing to leave behind.
void SharedMapping::recordExitCodeAtExit(std::uint32_t) {}

bool SharedMapping::recordedExitCode(std::uint32_t, std::int32_t&) const { return false; }

// The system closes the handles of an ending process and removes the mapping with the last one.
void SharedMapping::leaveAtExit() {}

NamedLock::~NamedLock() { release(); }

bool NamedLock::acquire(const std::string& name, std::uint32_t watchedProcessId) {
  release();
  // Kernel objects share one namespace: the mutex must not take the block's own name.
  const std::string mutexName = name + ".handover";
  HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName.c_str());
  if (mutex == nullptr) return false;
  HANDLE handles[2] = {mutex, nullptr};
  DWORD count = 1;
  if (watchedProcessId != 0) {
    handles[1] = OpenProcess(SYNCHRONIZE, FALSE, watchedProcessId);
    if (handles[1] != nullptr) count = 2;
  }
  const DWORD result = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
  if (count == 2) CloseHandle(handles[1]);
  // An abandoned mutex (its holder died) is ours all the same.
  if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0) {
    handle_ = mutex;
    held_ = true;
    return true;
  }
  CloseHandle(mutex);
  return false;
}

void NamedLock::release() {
  if (handle_ == nullptr) return;
  if (held_) ReleaseMutex(handle_);
  CloseHandle(handle_);
  handle_ = nullptr;
  held_ = false;
}

}  // namespace os
