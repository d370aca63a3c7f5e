#ifndef OS_PLATFORM_H
#define OS_PLATFORM_H

// What the portable core needs to know about the OS it runs on, without including any system header.

#include <string>
#include <vector>

using StringArray = std::vector<std::string>;
using WindowHandle = void*;

namespace os {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
constexpr char kListSeparator = ';';
constexpr const char* kPathVariable = "Path";
#else
constexpr char kPathSeparator = '/';
constexpr char kListSeparator = ':';
constexpr const char* kPathVariable = "PATH";
#endif

}  // namespace os

#endif
