#include <cstdio>

#include "config/IniText.h"
#include "os/Profile.h"

namespace os {

namespace {

bool readWhole(const std::string& path, std::string& text) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return true;
}

}  // namespace

std::string readProfileString(const std::string& path, const char* section, const char* key) {
  std::string text;
  std::string value;
  if (!readWhole(path, text) || !findIniValue(text, section, key, value)) return std::string();
  return value;
}

bool writeProfileString(const std::string& path, const char* section, const char* key,
                        const std::string& value) {
  std::string text;
  readWhole(path, text);
  const std::string updated = setIniValue(text, section, key, value);
  // Written beside the file and renamed over it, so a failed write leaves the old file whole.
  const std::string temporary = path + ".tmp";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(updated.data(), 1, updated.size(), file) == updated.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace os
