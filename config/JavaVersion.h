#ifndef CONFIG_JAVAVERSION_H
#define CONFIG_JAVAVERSION_H

// Java version values as the launcher reads them from registry names, INI settings and release
// files: up to four numeric components, most significant first.

#include <cstdint>
#include <string>

#include "os/Platform.h"

namespace config {

struct JavaVersion {
  std::int32_t components[4] = {0, 0, 0, 0};
  std::int32_t count = 0;  // how many components the text gave
};

// The component value that stands for "any" in a maximum.
constexpr std::int32_t kAnyComponent = 65535;

// Reads up to four runs of digits; the components the text does not give get `fill`. A text
// without digits, or with a run too large for a component, reads as 0.0.0.0 with count 0.
JavaVersion parseVersion(const std::string& text, std::int32_t fill);

int compareVersions(const JavaVersion& a, const JavaVersion& b);
bool sameComponents(const JavaVersion& a, const JavaVersion& b);

// The maximum as the range test reads it: a maximum that gave no digits means no maximum.
JavaVersion effectiveMaximum(const JavaVersion& maxVersion);

// Both bounds inclusive.
bool inVersionRange(const JavaVersion& v, const JavaVersion& minVersion,
                    const JavaVersion& maxVersion);

bool matchesPreferred(const JavaVersion& candidate, const JavaVersion& preferred);
bool isUnbounded(const JavaVersion& v);
std::string versionDisplayText(const JavaVersion& v);

// The first count components (at most four) in decimal, joined by dots.
std::string joinComponents(const JavaVersion& v, int count);

// The phrase that names the required range, from the string table.
std::string requirementText(const JavaVersion& minVersion, const JavaVersion& maxVersion);

StringArray splitPreferredVersions(const std::string& text);

}  // namespace config

#endif
