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
// Programs carry an extension ("app.exe"), so a program path without a dot has no INI name.
constexpr bool kProgramNamesHaveExtension = true;
// A character that never follows a separator in a program's full path: "|" is in no Windows path.
constexpr char kNeverAfterSeparator = '|';
#else
constexpr char kPathSeparator = '/';
constexpr char kListSeparator = ':';
constexpr const char* kPathVariable = "PATH";
// Programs usually have none: "run" reads "run.ini".
constexpr bool kProgramNamesHaveExtension = false;
// A character that never follows a separator in a program's full path: the path is canonical, so
// it has no "//".
constexpr char kNeverAfterSeparator = '/';
#endif

// The 32-bit Windows launcher reads the system's memory figures as 32-bit values and works out
// relative memory sizes with them; every other build uses 64 bits.
#if defined(_WIN32) && !defined(_WIN64)
constexpr bool kNarrowMemoryFigures = true;
#else
constexpr bool kNarrowMemoryFigures = false;
#endif

}  // namespace os

#endif
