// The INI reader of the POSIX build: any text reads without a fault, and a value written into any
// text reads back as written while every other key keeps its value.

#include "fuzz/FuzzInput.h"
#include "os/IniText.h"

namespace {

// Names and values the profile functions keep as they are: no line breaks, no "=" or "]" in a
// name, nothing the reader trims away, no quotes around a value.
std::string plain(const std::string& text, bool name) {
  std::string out;
  for (char c : text) {
    if (c == '\r' || c == '\n' || c == '\0' || c == '\x1a') continue;
    if (name && (c == '=' || c == '[' || c == ']' || c == ';')) continue;
    out += c;
  }
  while (!out.empty() && (out.front() == ' ' || out.front() == '\t' || out.front() == '\v' ||
                          out.front() == '\f' || out.front() == '"' || out.front() == '\'')) {
    out.erase(0, 1);
  }
  while (!out.empty() && (out.back() == ' ' || out.back() == '\t' || out.back() == '\v' ||
                          out.back() == '\f' || out.back() == '"' || out.back() == '\'')) {
    out.pop_back();
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string section = plain(input.piece(), true);
  const std::string key = plain(input.piece(), true);
  const std::string value = plain(input.piece(), false);
  const std::string other = plain(input.piece(), true);
  const std::string text = input.rest();

  std::string found;
  findIniValue(text, section.c_str(), key.c_str(), found);
  if (section.empty() || key.empty()) return 0;

  std::string otherBefore;
  const bool otherThere = !other.empty() && findIniValue(text, section.c_str(), other.c_str(), otherBefore);
  const std::string written = setIniValue(text, section.c_str(), key.c_str(), value);
  std::string back;
  FUZZ_REQUIRE(findIniValue(written, section.c_str(), key.c_str(), back));
  FUZZ_REQUIRE(back == value);
  if (otherThere && other.size() != key.size()) {
    std::string otherAfter;
    FUZZ_REQUIRE(findIniValue(written, section.c_str(), other.c_str(), otherAfter));
    FUZZ_REQUIRE(otherAfter == otherBefore);
  }
  return 0;
}
