#include "os/Registry.h"

namespace os {

// No registry here: nothing opens, so every reader finds nothing.

RegistryKey::~RegistryKey() { close(); }

void RegistryKey::close() { handle_ = nullptr; }

bool RegistryKey::open(RegistryRoot, const std::string&) {
  close();
  return false;
}

StringArray RegistryKey::subkeyNames() const { return StringArray(); }

bool RegistryKey::readText(const char*, std::string&) const { return false; }

}  // namespace os
