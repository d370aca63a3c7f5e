#include <windows.h>

#include <cstring>
#include <vector>

#include "os/win32/Registry.h"
#include "os/win32/Handles.h"

namespace os {

struct RegistryKey::Impl {
  UniqueRegistryKey key;
};

namespace {

HKEY rootHandle(RegistryRoot root) {
  return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

}  // namespace

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;

void RegistryKey::close() { impl_.reset(); }

bool RegistryKey::open(RegistryRoot root, const std::string& path) {
  close();
  UniqueRegistryKey key;
  if (RegOpenKeyExA(rootHandle(root), path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return false;
  }
  impl_.reset(new Impl{std::move(key)});
  return true;
}

StringArray RegistryKey::subkeyNames() const {
  StringArray names;
  if (!isOpen()) return names;
  for (DWORD index = 0;; ++index) {
    char name[MAX_PATH];
    DWORD length = MAX_PATH;
    if (RegEnumKeyExA(impl_->key.get(), index, name, &length, nullptr, nullptr, nullptr,
                      nullptr) != ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  return names;
}

bool RegistryKey::readText(const char* valueName, std::string& text) const {
  if (!isOpen()) return false;
  HKEY key = impl_->key.get();
  DWORD size = 0;
  if (RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS ||
      size == 0) {
    return false;
  }
  // The value may grow between the two calls; a few rounds settle it.
  for (int round = 0; round < 4; ++round) {
    std::vector<char> data(size + 1, '\0');
    DWORD read = size;
    const LONG status = RegQueryValueExA(key, valueName, nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(data.data()), &read);
    if (status == ERROR_MORE_DATA) {
      size = read;
      continue;
    }
    if (status != ERROR_SUCCESS) return false;
    text.assign(data.data(), strnlen(data.data(), read));
    return true;
  }
  return false;
}

}  // namespace os
