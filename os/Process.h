#ifndef OS_PROCESS_H
#define OS_PROCESS_H

// Process-wide services: the program's own path and arguments, the current folder, environment
// variables, files and folders, and the system's memory figures.

#include <cstddef>
#include <cstdint>
#include <string>

#include "os/Platform.h"

namespace os {

// Thread locale and the one window-system call after which the first thread can receive thread
// messages. Nothing to do on POSIX.
void initializeFirstThread();

// Remembers the environment and the current folder the process began with, for startProgramAgain;
// called before the launcher changes either, and only by a program that may be restarted.
void rememberStartState();

// The program started anew as the user started it: this executable with the arguments, the
// environment and the current folder remembered at start, and the variable name set to value.
// The new process runs on after this one has ended. False when it could not be started.
bool startProgramAgain(const std::string& programPath, const char* name, const std::string& value);

// Windows hardening: the current folder leaves the DLL search order.
void hardenLibrarySearch();

// Remembers argv for commandLineArguments on POSIX; ignored on Windows, which reads the command
// line from the system.
void setProcessArguments(int argc, char** argv);

// The arguments handed to Java, without the program path: on Windows split from the system's
// command line by the launcher's own rules, on POSIX taken from argv.
StringArray commandLineArguments();

// Full path of the running executable, of any length. On failure returns false and sets error to
// the system error code.
bool modulePath(std::string& path, unsigned long& error);

// Whether c is the lead byte of a double-byte character in the ANSI code page.
bool isLeadByte(unsigned char c);

// Whether the thread locale classes c as white space.
bool isSpace(unsigned char c);

bool setCurrentDirectory(const std::string& path);

// False when the variable is not set.
bool getEnvironment(const char* name, std::string& value);
bool setEnvironment(const char* name, const std::string& value);

// %NAME% references replaced by the variables' values with the rules of ExpandEnvironmentStrings:
// a reference to an unknown variable stays as written. Returns false (text untouched) when the
// expansion reports a size of zero.
bool expandEnvironment(std::string& text);

// Whether a search for the exact path finds an entry (a folder counts).
bool fileExists(const std::string& path);

// Creates one folder; failures (for instance because it exists) are the caller's to ignore.
bool createDirectory(const std::string& path);

enum class FileRead { Read, Absent, NotAFile, Failed };
// The file's bytes, at most maxBytes of them. Absent when there is no such file; NotAFile when the
// path names something other than a regular file (a folder, a pipe, a device), which is never
// opened for reading: a pipe would block, a device may never end.
FileRead readFile(const std::string& path, std::string& text, std::size_t maxBytes);

// The folder that holds per-user settings: APPDATA on Windows; XDG_CONFIG_HOME, else ~/.config, on
// POSIX. Empty when it cannot be told.
std::string userSettingsFolder();

// The folder for per-user data that can be made again, such as class-data archives: LOCALAPPDATA on
// Windows (never the roaming APPDATA: it follows the user between machines); XDG_CACHE_HOME when it
// is an absolute path, else ~/.cache, on POSIX. Empty when it cannot be told.
std::string userCacheFolder();

// The process's current folder; empty when it cannot be read.
std::string currentDirectory();

// The system reports the Windows NT platform; always true on POSIX, whose per-user settings folder
// plays the part of APPDATA.
bool isWindowsNT();

struct MemoryStatus {
  std::uint64_t totalPhysical;     // the machine's physical memory in bytes
  std::uint64_t availableVirtual;  // address space this process may still use, in bytes
};
MemoryStatus memoryStatus();

}  // namespace os

#endif
