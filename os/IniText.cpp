#include "os/IniText.h"

#include <algorithm>
#include <cstring>

#include "os/Text.h"

namespace {

struct Line {
  std::size_t begin;  // first byte of the line
  std::size_t end;    // end of its content, before the line break
  std::size_t next;   // first byte of the following line
};

// Blanks around names and values; Ctrl+Z is the old end-of-file mark that editors left behind.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string trim(const std::string& text, std::size_t begin, std::size_t end) {
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// A name as the caller gives it; the system ignores blanks around it too.
std::string requestedName(const char* name) {
  const std::string text = name;
  return trim(text, 0, text.size());
}

// Lines end at LF, CR LF or a lone CR. A UTF-8 byte-order mark before the first line is not
// part of it.
bool nextLine(const std::string& text, std::size_t from, Line& line) {
  if (from >= text.size()) return false;
  line.begin = from;
  if (from == 0 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) line.begin = 3;
  const std::size_t end = text.find_first_of("\r\n", line.begin);
  if (end == std::string::npos) {
    line.end = text.size();
    line.next = text.size();
  } else {
    line.end = end;
    line.next = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? end + 2 : end + 1;
  }
  // The profile functions read a line as a C string: a zero byte ends what the line says.
  const void* zero = std::memchr(text.data() + line.begin, '\0', line.end - line.begin);
  if (zero != nullptr) line.end = static_cast<std::size_t>(static_cast<const char*>(zero) - text.data());
  return true;
}

// The section name when the line is a section header: a "[" first and a "]" after it.
bool sectionName(const std::string& text, const Line& line, std::string& name) {
  const std::string content = trim(text, line.begin, line.end);
  if (content.empty() || content[0] != '[') return false;
  const std::size_t close = content.rfind(']');
  if (close == std::string::npos) return false;  // no header: an ordinary line
  name = trim(content, 1, close);
  return true;
}

struct Entry {
  std::string key;
  bool hasValue;           // the line has a "="
  std::size_t valueBegin;  // just after the "="
};

// A key line of a section. A line without "=" names a key without a value, as the system reads
// it; lines starting with ";" are comments.
bool entry(const std::string& text, const Line& line, Entry& found) {
  const std::string content = trim(text, line.begin, line.end);
  if (content.empty() || content[0] == ';') return false;
  const auto first = text.begin() + static_cast<std::ptrdiff_t>(line.begin);
  const auto last = text.begin() + static_cast<std::ptrdiff_t>(line.end);
  const auto equals = std::find(first, last, '=');
  if (equals == last) {
    found.key = content;
    found.hasValue = false;
    found.valueBegin = line.end;
    return true;
  }
  const std::size_t at = static_cast<std::size_t>(equals - text.begin());
  found.key = trim(text, line.begin, at);
  found.hasValue = true;
  found.valueBegin = at + 1;
  return !found.key.empty();
}

std::string lineBreakOf(const std::string& text) {
  const std::size_t lf = text.find('\n');
  return lf != std::string::npos && lf > 0 && text[lf - 1] == '\r' ? "\r\n" : "\n";
}

bool endsWithLineBreak(const std::string& text) {
  return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

}  // namespace

bool findIniValue(const std::string& text, const char* section, const char* key, std::string& value) {
  const std::string wantedSection = requestedName(section);
  const std::string wantedKey = requestedName(key);
  Line line;
  bool inSection = false;
  bool sectionSeen = false;
  for (std::size_t pos = 0; nextLine(text, pos, line); pos = line.next) {
    std::string name;
    if (sectionName(text, line, name)) {
      // Only the first section of a name counts.
      if (inSection) return false;
      inSection = !sectionSeen && os::equalsIgnoringCase(name, wantedSection);
      sectionSeen = sectionSeen || inSection;
      continue;
    }
    Entry found;
    if (inSection && entry(text, line, found) && os::equalsIgnoringCase(found.key, wantedKey)) {
      value = found.hasValue ? trim(text, found.valueBegin, line.end) : std::string();
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
  const std::string wantedSection = requestedName(section);
  const std::string wantedKey = requestedName(key);
  const std::string lineBreak = lineBreakOf(text);
  const std::string newEntry = wantedKey + "=" + value;
  Line line;
  bool inSection = false;
  bool sectionSeen = false;
  std::size_t insertAt = std::string::npos;  // after the last entry of the section
  for (std::size_t pos = 0; nextLine(text, pos, line); pos = line.next) {
    std::string name;
    if (sectionName(text, line, name)) {
      if (inSection) break;
      inSection = !sectionSeen && os::equalsIgnoringCase(name, wantedSection);
      sectionSeen = sectionSeen || inSection;
      if (inSection) insertAt = line.next;
      continue;
    }
    if (!inSection) continue;
    Entry found;
    if (entry(text, line, found)) {
      if (os::equalsIgnoringCase(found.key, wantedKey)) {
        if (!found.hasValue) {
          std::size_t keyEnd = line.end;
          while (keyEnd > line.begin && isBlank(text[keyEnd - 1])) --keyEnd;
          return text.substr(0, keyEnd) + "=" + value + text.substr(line.end);
        }
        std::size_t valueStart = found.valueBegin;
        while (valueStart < line.end && isBlank(text[valueStart])) ++valueStart;
        return text.substr(0, valueStart) + value + text.substr(line.end);
      }
      insertAt = line.next;
    }
  }
  if (sectionSeen) {
    std::string before = text.substr(0, insertAt);
    if (!before.empty() && !endsWithLineBreak(before)) before += lineBreak;
    return before + newEntry + lineBreak + text.substr(insertAt);
  }
  std::string result = text;
  if (!result.empty() && !endsWithLineBreak(result)) result += lineBreak;
  result += "[" + wantedSection + "]" + lineBreak + newEntry + lineBreak;
  return result;
}
