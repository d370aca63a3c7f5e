#include <windows.h>

#include "os/SharedBlock.h"
#include "os/win32/Handles.h"

namespace os {

struct SharedMapping::Impl {
  UniqueHandle mapping;
  UniqueMappedView view;
  std::size_t size = 0;
};

SharedMapping::SharedMapping() = default;
SharedMapping::~SharedMapping() { close(); }

bool SharedMapping::createOrOpen(const std::string& name, std::size_t size, bool& createdNew) {
  close();
  SetLastError(0);
  UniqueHandle mapping(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          static_cast<DWORD>(size), name.c_str()));
  if (!mapping) return false;
  createdNew = GetLastError() == 0;
  impl_.reset(new Impl{std::move(mapping), UniqueMappedView(), size});
  return true;
}

unsigned char* SharedMapping::map() {
  if (!isOpen()) return nullptr;
  if (!impl_->view) {
    impl_->view.reset(MapViewOfFile(impl_->mapping.get(), FILE_MAP_WRITE, 0, 0, impl_->size));
  }
  return static_cast<unsigned char*>(impl_->view.get());
}

// The view goes before the mapping, as the system wants it.
void SharedMapping::close() {
  if (impl_ != nullptr) impl_->view.reset();
  impl_.reset();
}

bool SharedMapping::isOpen() const { return impl_ != nullptr; }

// The system keeps every process's exit code; nothing to leave behind.
void SharedMapping::recordExitCodeAtExit(std::uint32_t) {}

bool SharedMapping::recordedExitCode(std::uint32_t, std::int32_t&) const { return false; }

// The system closes the handles of an ending process and removes the mapping with the last one.
void SharedMapping::leaveAtExit() {}

struct NamedLock::Impl {
  UniqueHandle mutex;  // held by this thread
};

NamedLock::NamedLock() = default;
NamedLock::~NamedLock() { release(); }

bool NamedLock::acquire(const std::string& name, std::uint32_t watchedProcessId) {
  release();
  // Kernel objects share one namespace: the mutex must not take the block's own name.
  const std::string mutexName = name + ".handover";
  UniqueHandle mutex(CreateMutexA(nullptr, FALSE, mutexName.c_str()));
  if (!mutex) return false;
  UniqueHandle process;
  if (watchedProcessId != 0) process.reset(OpenProcess(SYNCHRONIZE, FALSE, watchedProcessId));
  const HANDLE handles[2] = {mutex.get(), process.get()};
  const DWORD result = WaitForMultipleObjects(process ? 2 : 1, handles, FALSE, INFINITE);
  // An abandoned mutex (its holder died) is ours all the same.
  if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED_0) return false;
  impl_.reset(new Impl{std::move(mutex)});
  return true;
}

void NamedLock::release() {
  if (impl_ == nullptr) return;
  ReleaseMutex(impl_->mutex.get());
  impl_.reset();
}

}  // namespace os
