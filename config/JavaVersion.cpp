#include "config/JavaVersion.h"

#include "base/ErrorReport.h"
#include "os/Text.h"

namespace config {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allComponents(const JavaVersion& v, std::int32_t value) {
  for (std::int32_t c : v.components) {
    if (c != value) return false;
  }
  return true;
}

}  // namespace

JavaVersion parseVersion(const std::string& text, std::int32_t fill) {
  JavaVersion version;
  const JavaVersion invalid;
  std::size_t pos = 0;
  int count = 0;
  while (count < 4) {
    while (pos < text.size() && !isDigit(text[pos])) ++pos;
    if (pos == text.size()) break;
    std::int64_t value = 0;
    while (pos < text.size() && isDigit(text[pos])) {
      // A component must fit in 31 bits; 2147483648 and 2147483649 would pass the classic test
      // (more than 214748364 before the digit) but not fit, so they are refused as well.
      value = value * 10 + (text[pos] - '0');
      if (value > 2147483647) return invalid;
      ++pos;
    }
    version.components[count++] = static_cast<std::int32_t>(value);
  }
  if (count == 0) return invalid;
  version.count = count;
  for (int i = count; i < 4; ++i) version.components[i] = fill;
  return version;
}

int compareVersions(const JavaVersion& a, const JavaVersion& b) {
  for (int i = 0; i < 4; ++i) {
    if (a.components[i] < b.components[i]) return -1;
    if (a.components[i] > b.components[i]) return 1;
  }
  return 0;
}

bool sameComponents(const JavaVersion& a, const JavaVersion& b) { return compareVersions(a, b) == 0; }

JavaVersion effectiveMaximum(const JavaVersion& maxVersion) {
  // An absent, empty or digit-less maximum reads as 0.0.0.0 with count 0; the requirement text
  // calls that "no maximum", and so does the range test.
  if (maxVersion.count == 0 && allComponents(maxVersion, 0)) {
    return JavaVersion{{kAnyComponent, kAnyComponent, kAnyComponent, kAnyComponent}, 4};
  }
  return maxVersion;
}

bool inVersionRange(const JavaVersion& v, const JavaVersion& minVersion,
                    const JavaVersion& maxVersion) {
  return compareVersions(v, effectiveMaximum(maxVersion)) <= 0 && compareVersions(v, minVersion) >= 0;
}

bool matchesPreferred(const JavaVersion& candidate, const JavaVersion& preferred) {
  if (sameComponents(candidate, preferred)) return true;
  if (preferred.count == 0 || candidate.count < preferred.count) return false;
  for (int i = 0; i < preferred.count; ++i) {
    if (candidate.components[i] != preferred.components[i]) return false;
  }
  return true;
}

bool isUnbounded(const JavaVersion& v) { return allComponents(v, 0) || allComponents(v, kAnyComponent); }

std::string joinComponents(const JavaVersion& v, int count) {
  std::string text;
  for (int i = 0; i < count && i < 4; ++i) {
    if (i > 0) text += '.';
    text += os::signedDecimal(v.components[i]);
  }
  return text;
}

std::string versionDisplayText(const JavaVersion& v) {
  int last = 3;
  while (last >= 0 && (v.components[last] == 0 || v.components[last] == kAnyComponent)) --last;
  if (last < 0) return "0.0.0.0";
  if (last == 0) last = 1;
  return joinComponents(v, last + 1);
}

std::string requirementText(const JavaVersion& minVersion, const JavaVersion& maxVersion) {
  const bool minOpen = isUnbounded(minVersion);
  const bool maxOpen = isUnbounded(maxVersion);
  // "latest version" has no placeholder: the text itself is the phrase.
  if (minOpen && maxOpen) return base::loadText(IDS_LATEST_VERSION);
  if (minOpen) {
    return base::formatText(TEXT_FORMAT(IDS_MAXIMUM_VERSION), versionDisplayText(maxVersion).c_str());
  }
  if (maxOpen) {
    return base::formatText(TEXT_FORMAT(IDS_MINIMUM_VERSION), versionDisplayText(minVersion).c_str());
  }
  if (sameComponents(minVersion, maxVersion)) {
    return base::formatText(TEXT_FORMAT(IDS_EXACT_VERSION), versionDisplayText(minVersion).c_str());
  }
  return base::formatText(TEXT_FORMAT(IDS_VERSION_RANGE), versionDisplayText(minVersion).c_str(),
                    versionDisplayText(maxVersion).c_str());
}

StringArray splitPreferredVersions(const std::string& text) {
  StringArray entries;
  std::size_t start = 0;
  for (;;) {
    const std::size_t semicolon = text.find(';', start);
    if (semicolon == std::string::npos) {
      entries.push_back(text.substr(start));
      return entries;
    }
    entries.push_back(text.substr(start, semicolon - start));
    start = semicolon + 1;
  }
}

}  // namespace config
