#include <windows.h>

#include <cstdio>

#include "os/Ui.h"

namespace os {

std::string loadString(unsigned id) {
  // Strings live in blocks of sixteen: block id / 16 + 1, entry id mod 16, each entry a length
  // followed by that many UTF-16 units.
  HRSRC block = FindResourceA(nullptr, MAKEINTRESOURCEA(id / 16 + 1), MAKEINTRESOURCEA(6));
  if (block == nullptr) return std::string();
  HGLOBAL loaded = LoadResource(nullptr, block);
  const WCHAR* entry = loaded != nullptr ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
  if (entry == nullptr) return std::string();
  for (unsigned i = 0; i < id % 16; ++i) entry += 1 + *entry;
  const int length = *entry;
  if (length == 0) return std::string();
  const int bytes = WideCharToMultiByte(CP_ACP, 0, entry + 1, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string text(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, entry + 1, length, &text[0], bytes, nullptr, nullptr);
  return text;
}

std::string formatV(const char* format, va_list args) {
  // wvsprintfA writes into at most 1024 bytes; the guard bytes keep the result terminated
  // whatever the system does at the limit.
  char buffer[1024 + 8] = {};
  wvsprintfA(buffer, format, args);
  buffer[1023] = '\0';
  return std::string(buffer);
}

std::string formatPrintfV(const char* format, va_list args) {
  // The system library's own (msvcrt), not the C99 engine a C++ build would otherwise bring.
  va_list counting;
  va_copy(counting, args);
  const int needed = _vscprintf(format, counting);
  va_end(counting);
  if (needed <= 0) return std::string();
  std::string text(static_cast<std::size_t>(needed) + 1, '\0');
  _vsnprintf(&text[0], text.size(), format, args);
  text.resize(static_cast<std::size_t>(needed));
  return text;
}

int messageBox(WindowHandle owner, const char* text, unsigned style) {
  return MessageBoxA(static_cast<HWND>(owner), text, nullptr, style);
}

}  // namespace os
