#ifndef OS_WIN32_REGISTRY_H
#define OS_WIN32_REGISTRY_H

// Read-only access to the Windows registry, where runtime installers record their installations.
// Only the Windows search of installed runtimes reads it: POSIX has no registry.

#include <memory>
#include <string>

#include "os/Platform.h"

namespace os {

enum class RegistryRoot { LocalMachine, CurrentUser };

// One open key, closed with the object. Keys are opened for reading only and without a view flag,
// so each build sees the registry view of its own word size.
class RegistryKey {
 public:
  RegistryKey();
  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Closes a key held before. False when the key cannot be opened.
  bool open(RegistryRoot root, const std::string& path);
  bool isOpen() const { return impl_ != nullptr; }
  void close();

  // Names of the direct subkeys in the registry's enumeration order, read by index until the
  // first index that does not succeed (a name of 260 characters or more ends the list too).
  StringArray subkeyNames() const;

  // The data of a value of any type, as text up to its first NUL, literally (no expansion).
  // False when the value is missing, unreadable or empty.
  bool readText(const char* valueName, std::string& text) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace os

#endif
