#include "config/IniText.h"

#include <cctype>

namespace {

struct Line {
  std::size_t begin;  // first byte of the line
  std::size_t end;    // end of its content, before the line break
  std::size_t next;   // first byte of the following line
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string trim(const std::string& text, std::size_t begin, std::size_t end) {
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool sameName(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return i == a.size() && b[i] == '\0';
}

bool nextLine(const std::string& text, std::size_t from, Line& line) {
  if (from >= text.size()) return false;
  line.begin = from;
  std::size_t end = text.find('\n', from);
  if (end == std::string::npos) {
    line.end = text.size();
    line.next = text.size();
  } else {
    line.next = end + 1;
    line.end = end > from && text[end - 1] == '\r' ? end - 1 : end;
  }
  return true;
}

// The section name when the line is a section header.
bool sectionName(const std::string& text, const Line& line, std::string& name) {
  const std::string content = trim(text, line.begin, line.end);
  if (content.empty() || content[0] != '[') return false;
  const std::size_t close = content.rfind(']');
  name = close == std::string::npos || close == 0 ? trim(content, 1, content.size())
                                                   : trim(content, 1, close);
  return true;
}

// The key and where its value starts, when the line is a key=value entry.
bool entry(const std::string& text, const Line& line, std::string& key, std::size_t& valueBegin) {
  const std::string content = trim(text, line.begin, line.end);
  if (content.empty() || content[0] == ';') return false;
  const std::size_t equals = text.find('=', line.begin);
  if (equals == std::string::npos || equals >= line.end) return false;
  key = trim(text, line.begin, equals);
  valueBegin = equals + 1;
  return !key.empty();
}

std::string lineBreakOf(const std::string& text) {
  const std::size_t lf = text.find('\n');
  return lf != std::string::npos && lf > 0 && text[lf - 1] == '\r' ? "\r\n" : "\n";
}

}  // namespace

bool findIniValue(const std::string& text, const char* section, const char* key, std::string& value) {
  Line line;
  bool inSection = false;
  bool sectionSeen = false;
  for (std::size_t pos = 0; nextLine(text, pos, line); pos = line.next) {
    std::string name;
    if (sectionName(text, line, name)) {
      // Only the first section of a name counts.
      if (inSection) return false;
      inSection = !sectionSeen && sameName(name, section);
      sectionSeen = sectionSeen || inSection;
      continue;
    }
    std::size_t valueBegin = 0;
    if (inSection && entry(text, line, name, valueBegin) && sameName(name, key)) {
      value = trim(text, valueBegin, line.end);
      if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        value = value.substr(1, value.size() - 2);
      }
      return true;
    }
  }
  return false;
}

std::string setIniValue(const std::string& text, const char* section, const char* key,
                        const std::string& value) {
  const std::string lineBreak = lineBreakOf(text);
  const std::string newEntry = std::string(key) + "=" + value;
  Line line;
  bool inSection = false;
  bool sectionSeen = false;
  std::size_t insertAt = std::string::npos;  // after the last entry of the section
  for (std::size_t pos = 0; nextLine(text, pos, line); pos = line.next) {
    std::string name;
    if (sectionName(text, line, name)) {
      if (inSection) break;
      inSection = !sectionSeen && sameName(name, section);
      sectionSeen = sectionSeen || inSection;
      if (inSection) insertAt = line.next;
      continue;
    }
    if (!inSection) continue;
    std::size_t valueBegin = 0;
    if (entry(text, line, name, valueBegin)) {
      if (sameName(name, key)) {
        std::size_t valueStart = valueBegin;
        while (valueStart < line.end && isBlank(text[valueStart])) ++valueStart;
        return text.substr(0, valueStart) + value + text.substr(line.end);
      }
      insertAt = line.next;
    }
  }
  if (sectionSeen) {
    std::string before = text.substr(0, insertAt);
    if (!before.empty() && before.back() != '\n') before += lineBreak;
    return before + newEntry + lineBreak + text.substr(insertAt);
  }
  std::string result = text;
  if (!result.empty() && result.back() != '\n') result += lineBreak;
  result += "[" + std::string(section) + "]" + lineBreak + newEntry + lineBreak;
  return result;
}
