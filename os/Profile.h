#ifndef OS_PROFILE_H
#define OS_PROFILE_H

// INI files as the Windows profile functions see them.

#include <string>

namespace os {

// The value of key in section, whole however long; empty when the file, section or key is absent.
std::string readProfileString(const std::string& path, const char* section, const char* key);

// Writes one key, creating the file and the section when needed, changing nothing else.
bool writeProfileString(const std::string& path, const char* section, const char* key,
                        const std::string& value);

}  // namespace os

#endif
