#include <windows.h>

#include <cstring>
#include <vector>

#include "os/Registry.h"

namespace os {

namespace {

HKEY rootHandle(RegistryRoot root) {
  return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

}  // namespace

RegistryKey::~RegistryKey() { close(); }

void RegistryKey::close() {
  if (handle_ != nullptr) RegCloseKey(static_cast<HKEY>(handle_));
  handle_ = nullptr;
}

bool RegistryKey::open(RegistryRoot root, const std::string& path) {
  close();
  HKEY key = nullptr;
  if (RegOpenKeyExA(rootHandle(root), path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  handle_ = key;
  return true;
}

StringArray RegistryKey::subkeyNames() const {
  StringArray names;
  if (handle_ == nullptr) return names;
  for (DWORD index = 0;; ++index) {
    char name[MAX_PATH];
    DWORD length = MAX_PATH;
    if (RegEnumKeyExA(static_cast<HKEY>(handle_), index, name, &length, nullptr, nullptr, nullptr,
                      nullptr) != ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  return names;
}

bool RegistryKey::readText(const char* valueName, std::string& text) const {
  if (handle_ == nullptr) return false;
  HKEY key = static_cast<HKEY>(handle_);
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
