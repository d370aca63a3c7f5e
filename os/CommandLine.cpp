#include "os/CommandLine.h"

namespace {

// Position of `wanted` at or after `from`, stepping over double-byte characters whole;
// npos when there is none.
std::size_t findCharacter(const std::string& text, std::size_t from, char wanted,
                          CharacterTest isLeadByte) {
  std::size_t i = from;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (isLeadByte(c) && i + 1 < text.size()) {
      i += 2;
      continue;
    }
    if (text[i] == wanted) return i;
    ++i;
  }
  return std::string::npos;
}

}  // namespace

StringArray splitCommandLine(const std::string& line, CharacterTest isLeadByte,
                             CharacterTest isSpace) {
  StringArray arguments;
  std::size_t begin = 0;
  std::size_t end = line.size();
  while (begin < end && isSpace(static_cast<unsigned char>(line[begin]))) ++begin;
  while (end > begin && isSpace(static_cast<unsigned char>(line[end - 1]))) --end;
  const std::string text = line.substr(begin, end - begin);

  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == '"') {
      const std::size_t close = findCharacter(text, pos + 1, '"', isLeadByte);
      if (close == std::string::npos) {
        arguments.push_back(text.substr(pos + 1));
        break;
      }
      arguments.push_back(text.substr(pos + 1, close - pos - 1));
      pos = close + 1;
    } else {
      const std::size_t space = findCharacter(text, pos, ' ', isLeadByte);
      if (space == std::string::npos) {
        arguments.push_back(text.substr(pos));
        break;
      }
      arguments.push_back(text.substr(pos, space - pos));
      pos = space;
    }
    while (pos < text.size() && text[pos] == ' ') ++pos;
  }
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return arguments;
}
