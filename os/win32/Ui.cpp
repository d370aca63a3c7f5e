#include <windows.h>

#include <vector>

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

namespace {

// Loads a string resource into a buffer that doubles until the text fits; false when memory ran out.
bool loadIntoBuffer(UINT id, std::vector<char>& buffer) {
  std::size_t size = 256;
  for (;;) {
    buffer.assign(size, '\0');
    if (buffer.size() != size) return false;
    const int copied = LoadStringA(GetModuleHandleA(nullptr), id, buffer.data(), static_cast<int>(size));
    if (copied < static_cast<int>(size) - 1) return true;
    size *= 2;
  }
}

bool isId(const char* textOrId) {
  return reinterpret_cast<std::uintptr_t>(textOrId) <= 0xFFFF;
}

}  // namespace

int messageBox(WindowHandle owner, const char* textOrId, const char* captionOrId, unsigned style) {
  std::vector<char> textBuffer;
  std::vector<char> captionBuffer;
  const char* text = textOrId;
  const char* caption = captionOrId;
  if (isId(textOrId)) {
    if (!loadIntoBuffer(static_cast<UINT>(reinterpret_cast<std::uintptr_t>(textOrId)), textBuffer)) {
      return 0;
    }
    text = textBuffer.data();
  }
  if (captionOrId != nullptr && isId(captionOrId)) {
    if (!loadIntoBuffer(static_cast<UINT>(reinterpret_cast<std::uintptr_t>(captionOrId)),
                        captionBuffer)) {
      return 0;
    }
    caption = captionBuffer.data();
  }
  return MessageBoxA(static_cast<HWND>(owner), text, caption, style);
}

}  // namespace os
