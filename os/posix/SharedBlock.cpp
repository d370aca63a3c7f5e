#include "os/SharedBlock.h"

#include <cerrno>

namespace os {

// Placeholder until single-instance coordination exists on POSIX: no block can be created.
SharedMapping::~SharedMapping() { close(); }

bool SharedMapping::createOrOpen(const std::string&, std::size_t, bool&) {
  errno = ENOSYS;
  return false;
}

unsigned char* SharedMapping::map() { return nullptr; }

void SharedMapping::close() {}

bool SharedMapping::isOpen() const { return false; }

}  // namespace os
