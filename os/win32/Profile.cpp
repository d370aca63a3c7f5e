#include <windows.h>

#include "os/Profile.h"

namespace os {

std::string readProfileString(const std::string& path, const char* section, const char* key) {
  std::string buffer(256, '\0');
  for (;;) {
    const DWORD length = GetPrivateProfileStringA(section, key, "", &buffer[0],
                                                  static_cast<DWORD>(buffer.size()), path.c_str());
    // A length of the buffer size minus one means the value may have been cut.
    if (length + 1 < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.assign(buffer.size() * 2, '\0');
  }
}

bool writeProfileString(const std::string& path, const char* section, const char* key,
                        const std::string& value) {
  return WritePrivateProfileStringA(section, key, value.c_str(), path.c_str()) != FALSE;
}

}  // namespace os
