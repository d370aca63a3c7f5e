#include "os/Path.h"

#include "os/Platform.h"
#include "os/Process.h"

namespace os {

std::size_t lastSeparator(const std::string& path) {
  std::size_t found = std::string::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (c == static_cast<unsigned char>(kPathSeparator)) {
      found = i;
    } else if (isLeadByte(c) && i + 1 < path.size()) {
      ++i;
    }
  }
  return found;
}

bool endsWithSeparator(const std::string& path) {
  return !path.empty() && lastSeparator(path) == path.size() - 1;
}

std::string withTrailingSeparator(const std::string& folder) {
  return endsWithSeparator(folder) ? folder : folder + kPathSeparator;
}

std::string folderOf(const std::string& path) {
  const std::size_t at = lastSeparator(path);
  return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::size_t fileNameStart(const std::string& path) {
  const std::size_t at = lastSeparator(path);
  return at == std::string::npos ? 0 : at + 1;
}

bool isAbsolutePath(const std::string& path) {
  if (kPathSeparator == '/') return !path.empty() && path[0] == '/';
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  const bool letter = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') ||
                                           (path[0] >= 'a' && path[0] <= 'z'));
  if (letter && path[1] == ':' && separator(path[2])) return true;
  return path.size() >= 2 && separator(path[0]) && separator(path[1]);
}

}  // namespace os
