#include "os/Registry.h"

namespace os {

// No registry here: nothing opens, so every reader finds nothing.

struct RegistryKey::Impl {};

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;

void RegistryKey::close() { impl_.reset(); }

bool RegistryKey::open(RegistryRoot, const std::string&) {
  close();
  return false;
}

StringArray RegistryKey::subkeyNames() const { return StringArray(); }

bool RegistryKey::readText(const char*, std::string&) const { return false; }

}  // namespace os
