#include "vm/OptionText.h"

#include <algorithm>
#include <utility>

#include "os/Path.h"
#include "os/Text.h"

namespace vm {

namespace {

using os::lastSeparator;

// Text before the last separator, or empty when there is none.
std::string beforeLastSeparator(const std::string& path) {
  const std::size_t at = lastSeparator(path);
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

bool endsWith(const std::string& text, char c) { return !text.empty() && text.back() == c; }

// Where the token starting at pos ends: the first space outside a quoted stretch, or the end.
std::size_t findSeparator(const std::string& text, std::size_t pos) {
  std::size_t space = text.find(' ', pos);
  std::size_t quote = text.find('"', pos);
  while (quote != std::string::npos) {
    if (space == std::string::npos) return text.size();
    if (space < quote) return space;
    std::size_t close = text.find('"', quote + 1);
    if (close == std::string::npos) return space;
    if (close + 1 < text.size() && text[close + 1] == '"') ++close;
    quote = text.find('"', close + 1);
    space = text.find(' ', close + 1);
  }
  return space == std::string::npos ? text.size() : space;
}

bool isUnitDigitOrColon(char c) { return (c >= '0' && c <= '9') || c == ':'; }

// The numbers of text[first, end).
NumberList parseNumbersUpTo(const std::string& text, std::size_t end) {
  NumberList list;
  list.firstIndex = text.size();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isUnitDigitOrColon(text[i])) {
      list.firstIndex = i;
      break;
    }
  }
  if (list.firstIndex == text.size()) return list;
  list.numbers.push_back(0);
  for (std::size_t i = list.firstIndex; i < end; ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      const std::uint32_t digit = static_cast<std::uint32_t>(c - '0');
      std::uint32_t& number = list.numbers.back();
      if (number > (UINT32_MAX - digit) / 10u) list.overflow = true;
      number = number * 10u + digit;
    } else if (c == ':') {
      list.numbers.push_back(0);
    }
  }
  return list;
}

// Kilobytes as a double, truncated toward zero into 64 bits without overflowing.
std::uint64_t truncateToU64(double value) {
  if (!(value > 0)) return 0;
  if (value >= 18446744073709551615.0) return UINT64_MAX;
  return static_cast<std::uint64_t>(value);
}

}  // namespace

std::string stripPathComponents(const std::string& path, int n) {
  std::string result = path;
  for (int i = 0; i < n; ++i) {
    const std::size_t at = lastSeparator(result);
    if (at == std::string::npos) break;
    result.resize(at);
  }
  return result;
}

std::string runtimeLibraryFolder(const std::string& jvmLibraryPath) {
  const std::string vmFolder = beforeLastSeparator(jvmLibraryPath);
  const std::string binaries = beforeLastSeparator(vmFolder);
  const std::size_t at = lastSeparator(binaries);
  const std::string home = at == std::string::npos ? std::string() : binaries.substr(0, at + 1);
  return home + "lib";
}

StringArray splitVmParameters(const std::string& text) {
  StringArray tokens;
  // Leading spaces would make an empty first token, which no VM accepts.
  std::size_t start = text.find_first_not_of(' ');
  while (start != std::string::npos) {
    const std::size_t separator = findSeparator(text, start);
    tokens.push_back(text.substr(start, separator - start));
    start = text.find_first_not_of(' ', separator);
    if (start == std::string::npos) break;
  }
  return tokens;
}

std::string unquote(const std::string& token) {
  // One pass: each pair is dropped as it is met, and the search for the next opening quote goes on
  // in the token from just after the closing one, which is where the text between the quotes ends
  // once they are gone.
  std::string text;
  text.reserve(token.size());
  std::size_t from = 0;
  for (;;) {
    const std::size_t open = token.find('"', from);
    if (open == std::string::npos) break;
    std::size_t close = token.find('"', open + 1);
    if (close == std::string::npos) break;  // an unmatched quote stays
    // "" ends the stretch on its second quote: the first stays as a literal.
    if (close + 1 < token.size() && token[close + 1] == '"') ++close;
    text.append(token, from, open - from);
    text.append(token, open + 1, close - open - 1);
    from = close + 1;
  }
  text.append(token, from, std::string::npos);
  return text;
}

bool isRelativeMemoryOption(const std::string& token) {
  if (token.size() < 4) return false;
  const std::string name = token.substr(0, 4);
  if (name != "-Xms" && name != "-Xmx" && name != "-Xss") return false;
  const char unit = token.back();
  return unit == 'P' || unit == 'p' || unit == 'T' || unit == 't';
}

NumberList parseNumberList(const std::string& text) {
  return parseNumbersUpTo(text, text.empty() ? 0 : text.size() - 1);
}

bool resolveMemoryOption(const std::string& token, std::uint64_t totalPhysical,
                         std::uint64_t availableVirtual, std::string& resolved,
                         MemoryArithmetic arithmetic) {
  resolved = token;
  const NumberList list = parseNumberList(token);
  if (list.overflow) return false;
  const std::uint32_t percentage = list.numbers.size() > 0 ? list.numbers[0] : 0;
  const std::uint64_t minimumKb =
      static_cast<std::uint64_t>(list.numbers.size() > 1 ? list.numbers[1] : 0) * 1024u;
  const std::uint64_t maximumKb =
      static_cast<std::uint64_t>(list.numbers.size() > 2 ? list.numbers[2] : 0) * 1024u;
  const char unit = token.empty() ? '\0' : token.back();
  const bool ofFreeAddressSpace = unit == 'T' || unit == 't';
  std::uint64_t figure = ofFreeAddressSpace ? availableVirtual : totalPhysical;
  const bool narrow = arithmetic == MemoryArithmetic::Narrow32;
  // The 32-bit launcher's figures are 32-bit values.
  if (narrow) figure = static_cast<std::uint32_t>(figure);
  const double fraction = static_cast<double>(percentage) * 0.01;
  const double product = static_cast<double>(figure >> 10) * fraction;

  // Sizes in kilobytes: the largest the 32-bit launcher prints as a signed number, or whose bytes
  // the 64-bit builds can count; a thread stack's bytes are a 32-bit figure in both.
  std::uint64_t limitKb = narrow ? static_cast<std::uint64_t>(INT32_MAX) : (1ull << 54);
  if (token.compare(0, 4, "-Xss") == 0) limitKb = UINT32_MAX / 1024u;
  if (product >= static_cast<double>(limitKb) + 1.0 || minimumKb > limitKb || maximumKb > limitKb) {
    return false;
  }
  std::uint64_t value = truncateToU64(product);
  if (maximumKb != 0 && value > maximumKb) value = maximumKb;
  if (minimumKb > value) value = minimumKb;
  resolved = token.substr(0, list.firstIndex) + os::unsignedDecimal(value) + "K";
  return true;
}

bool parseStackSize(const std::string& text, std::uint32_t& stackSize) {
  if (text.empty()) return false;
  const char unit = text.back();
  std::uint64_t multiplier = 1;
  if (unit == 'G' || unit == 'g') multiplier = 1073741824u;
  if (unit == 'K' || unit == 'k') multiplier = 1024u;
  if (unit == 'M' || unit == 'm') multiplier = 1048576u;
  // A value without a unit letter is a count of bytes and is read to its last digit.
  const bool unitless = unit >= '0' && unit <= '9';
  const NumberList list = parseNumbersUpTo(text, unitless ? text.size() : text.size() - 1);
  if (list.firstIndex != 0 || list.numbers.size() != 1 || list.overflow) return false;
  const std::uint64_t bytes = multiplier * list.numbers[0];
  if (bytes > UINT32_MAX) return false;
  stackSize = static_cast<std::uint32_t>(bytes);
  return true;
}

StringArray joinModuleOptions(const StringArray& tokens) {
  static const char* const kSeparateValue[] = {
      "--add-opens",   "--add-exports",        "--add-reads",    "--add-modules",
      "--module-path", "-p",                   "--upgrade-module-path",
      "--patch-module", "--limit-modules",     "--enable-native-access",
  };
  StringArray joined;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    bool takesNext = false;
    for (const char* option : kSeparateValue) takesNext = takesNext || tokens[i] == option;
    if (!takesNext || i + 1 == tokens.size()) {
      joined.push_back(tokens[i]);
      continue;
    }
    joined.push_back((tokens[i] == "-p" ? std::string("--module-path") : tokens[i]) + "=" +
                     tokens[i + 1]);
    ++i;
  }
  return joined;
}

StringArray splitPathList(const std::string& list) {
  StringArray entries;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = list.find(os::kListSeparator, start);
    entries.push_back(end == std::string::npos ? list.substr(start) : list.substr(start, end - start));
    if (end == std::string::npos) return entries;
    start = end + 1;
  }
}

bool classPathWildcard(const std::string& entry, std::string& folder) {
  if (entry.empty() || entry.back() != '*') return false;
  folder = entry.substr(0, entry.size() - 1);
  // A backslash may be the trail byte of a double-byte character; a slash never is.
  return folder.empty() || folder.back() == '/' || os::endsWithSeparator(folder);
}

StringArray wildcardJars(StringArray names) {
  StringArray jars;
  for (std::string& name : names) {
    if (name.size() > 4 && os::equalsIgnoringCase(name.substr(name.size() - 4), ".jar")) {
      jars.push_back(std::move(name));
    }
  }
  std::sort(jars.begin(), jars.end());
  return jars;
}

std::string composeLibraryPath(const std::string& libraryPath, const std::string& launcherFolder,
                               const std::string& inheritedPathReference,
                               bool inheritedPathEndsWithSeparator,
                               const std::string& runtimeLibraryFolderPath) {
  std::string path = libraryPath;
  if (!launcherFolder.empty()) {
    if (!endsWith(path, os::kListSeparator)) path += os::kListSeparator;
    path += launcherFolder;
  }
  path += os::kListSeparator;
  path += '.';
  if (!inheritedPathReference.empty()) {
    path += os::kListSeparator;
    path += inheritedPathReference;
    if (!inheritedPathEndsWithSeparator) path += os::kListSeparator;
  } else {
    path += os::kListSeparator;
  }
  path += runtimeLibraryFolderPath;
  return path;
}

std::string composeSearchPath(const std::string& systemPath,
                              const std::string& inheritedPathReference,
                              const std::string& runtimeBinariesFolder) {
  std::string path = systemPath;
  if (!path.empty() && !endsWith(path, os::kListSeparator)) path += os::kListSeparator;
  if (!inheritedPathReference.empty()) {
    path += inheritedPathReference;
    path += os::kListSeparator;
  }
  path += runtimeBinariesFolder;
  return path;
}

}  // namespace vm
