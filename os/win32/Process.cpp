#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "os/CommandLine.h"
#include "os/Process.h"
#include "os/win32/Handles.h"

namespace os {

namespace {

// The environment block (each "NAME=value" closed by a zero, a zero after the last) and the current
// folder the process began with.
std::wstring startEnvironment;
std::wstring startFolder;

std::wstring wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring result(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &result[0], length);
  result.resize(static_cast<std::size_t>(length) - 1);
  return result;
}

std::wstring widePath(HMODULE module) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

void initializeFirstThread() {
  SetThreadLocale(GetSystemDefaultLCID());
  // Gives this thread a message queue, so that thread messages posted to it are kept.
  DefWindowProcA(nullptr, 0, 0, 0);
}

void rememberStartState() {
  startEnvironment.clear();
  if (wchar_t* block = GetEnvironmentStringsW()) {
    const wchar_t* end = block;
    while (*end != L'\0') end += wcslen(end) + 1;
    startEnvironment.assign(block, static_cast<std::size_t>(end - block));
    FreeEnvironmentStringsW(block);
  }
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  startFolder.assign(needed, L'\0');
  startFolder.resize(needed != 0 ? GetCurrentDirectoryW(needed, &startFolder[0]) : 0);
}

bool startProgramAgain(const std::string&, const char* name, const std::string& value) {
  const std::wstring program = widePath(nullptr);
  const std::wstring variable = wide(name);
  // The block without the variable (names ignore case), then the variable, then the closing zero.
  std::wstring environment;
  for (std::size_t at = 0; at < startEnvironment.size();) {
    const std::size_t end = startEnvironment.find(L'\0', at);
    const std::wstring entry = startEnvironment.substr(at, end - at);
    const bool same = entry.size() > variable.size() && entry[variable.size()] == L'=' &&
                      CompareStringOrdinal(entry.c_str(), static_cast<int>(variable.size()),
                                           variable.c_str(), static_cast<int>(variable.size()),
                                           TRUE) == CSTR_EQUAL;
    if (!same) environment += entry + L'\0';
    at = end + 1;
  }
  environment += variable + L'=' + wide(value) + L'\0';
  environment += L'\0';
  std::wstring commandLine = GetCommandLineW();
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (program.empty() ||
      !CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, &environment[0],
                      startFolder.empty() ? nullptr : startFolder.c_str(), &startup, &started)) {
    return false;
  }
  const UniqueHandle process(started.hProcess);
  const UniqueHandle thread(started.hThread);
  return true;
}

void hardenLibrarySearch() { SetDllDirectoryA(""); }

void setProcessArguments(int, char**) {}

StringArray commandLineArguments() {
  const char* line = GetCommandLineA();
  return splitCommandLine(line != nullptr ? line : "", isLeadByte, isSpace);
}

bool modulePath(std::string& path, unsigned long& error) {
  // The classic 260-character buffer first; grow while the system says the path was cut.
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    SetLastError(0);
    const DWORD length = GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      error = GetLastError();
      return false;
    }
    if (length < buffer.size() && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      buffer.resize(length);
      path = buffer;
      return true;
    }
    if (buffer.size() >= 32768 * 2) {
      error = ERROR_INSUFFICIENT_BUFFER;
      return false;
    }
    buffer.assign(buffer.size() * 2, '\0');
  }
}

bool isLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

bool isSpace(unsigned char c) {
  WORD type = 0;
  const char text = static_cast<char>(c);
  if (!GetStringTypeExA(GetThreadLocale(), CT_CTYPE1, &text, 1, &type)) return false;
  return (type & C1_SPACE) != 0;
}

bool setCurrentDirectory(const std::string& path) {
  return SetCurrentDirectoryA(path.c_str()) != FALSE;
}

bool getEnvironment(const char* name, std::string& value) {
  const DWORD needed = GetEnvironmentVariableA(name, nullptr, 0);
  if (needed == 0) {
    value.clear();
    return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  }
  std::string buffer(needed, '\0');
  const DWORD length = GetEnvironmentVariableA(name, &buffer[0], needed);
  buffer.resize(length < needed ? length : 0);
  value = buffer;
  return true;
}

bool setEnvironment(const char* name, const std::string& value) {
  return SetEnvironmentVariableA(name, value.c_str()) != FALSE;
}

bool expandEnvironment(std::string& text) {
  const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
  if (needed == 0) return false;
  // Some systems count characters, not bytes, in a multi-byte code page (UTF-8): the buffer has
  // room for three bytes a character, and the text ends at its terminating zero, not at the count.
  std::string buffer(static_cast<std::size_t>(needed) * 3 + 1, '\0');
  const DWORD written =
      ExpandEnvironmentStringsA(text.c_str(), &buffer[0], static_cast<DWORD>(buffer.size()));
  if (written == 0 || written > buffer.size()) return false;
  buffer.resize(std::strlen(buffer.c_str()));
  text = buffer;
  return true;
}

bool fileExists(const std::string& path) {
  WIN32_FIND_DATAA data;
  const UniqueFindHandle find(FindFirstFileA(path.c_str(), &data));
  return find.valid();
}

bool createDirectory(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

FileRead readFile(const std::string& path, std::string& text, std::size_t maxBytes) {
  text.clear();
  const UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::Absent
                                                                          : FileRead::Failed;
  }
  if (GetFileType(file.get()) != FILE_TYPE_DISK) return FileRead::NotAFile;
  char buffer[4096];
  while (text.size() < maxBytes) {
    const std::size_t wanted = maxBytes - text.size() < sizeof buffer ? maxBytes - text.size()
                                                                      : sizeof buffer;
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer, static_cast<DWORD>(wanted), &read, nullptr)) {
      return FileRead::Failed;
    }
    if (read == 0) break;
    text.append(buffer, read);
  }
  return FileRead::Read;
}

std::string userSettingsFolder() {
  std::string folder;
  getEnvironment("APPDATA", folder);
  return folder;
}

std::string userCacheFolder() {
  std::string folder;
  getEnvironment("LOCALAPPDATA", folder);
  return folder;
}

std::string currentDirectory() {
  const DWORD needed = GetCurrentDirectoryA(0, nullptr);
  if (needed == 0) return std::string();
  std::string buffer(needed, '\0');
  const DWORD length = GetCurrentDirectoryA(needed, &buffer[0]);
  if (length == 0 || length >= needed) return std::string();
  buffer.resize(length);
  return buffer;
}

bool isWindowsNT() {
  OSVERSIONINFOEXA extended = {};
  extended.dwOSVersionInfoSize = sizeof extended;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) {
    return extended.dwPlatformId == VER_PLATFORM_WIN32_NT;
  }
  OSVERSIONINFOA basic = {};
  basic.dwOSVersionInfoSize = sizeof basic;
  if (GetVersionExA(&basic)) return basic.dwPlatformId == VER_PLATFORM_WIN32_NT;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
  return false;
}

MemoryStatus memoryStatus() {
  MemoryStatus result = {0, 0};
#ifdef _WIN64
  MEMORYSTATUSEX status = {};
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status)) {
    result.totalPhysical = status.ullTotalPhys;
    result.availableVirtual = status.ullAvailVirtual;
  }
#else
  // The 32-bit launcher asks as it always has; the figures are 32-bit values here.
  MEMORYSTATUS status = {};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  result.totalPhysical = status.dwTotalPhys;
  result.availableVirtual = status.dwAvailVirtual;
#endif
  return result;
}

}  // namespace os
