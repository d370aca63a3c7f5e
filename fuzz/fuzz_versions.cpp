// Version values: parsing any text gives a well-formed value, the order is a total order, a
// version matches itself as a preferred one, the shown text reads back as the same version, and
// the requirement text fits its message.

#include "fuzz/FuzzInput.h"
#include "config/JavaVersion.h"

using namespace config;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string first = input.piece();
  const std::string second = input.piece();
  const std::int32_t fill = (input.byte() & 1) != 0 ? kAnyComponent : 0;

  const JavaVersion a = parseVersion(first, fill);
  const JavaVersion b = parseVersion(second, 0);
  for (const JavaVersion& v : {a, b}) {
    FUZZ_REQUIRE(v.count >= 0 && v.count <= 4);
    for (std::int32_t c : v.components) FUZZ_REQUIRE(c >= 0);
    if (v.count == 0) {
      for (std::int32_t c : v.components) FUZZ_REQUIRE(c == 0);
    }
  }
  FUZZ_REQUIRE(compareVersions(a, a) == 0);
  FUZZ_REQUIRE(compareVersions(a, b) == -compareVersions(b, a));
  FUZZ_REQUIRE((compareVersions(a, b) == 0) == sameComponents(a, b));
  FUZZ_REQUIRE(matchesPreferred(b, b));
  FUZZ_REQUIRE(inVersionRange(b, b, b) || effectiveMaximum(b).count != b.count);

  // The shown text keeps every component up to the last one that is neither 0 nor "any".
  const std::string shown = versionDisplayText(a);
  const JavaVersion again = parseVersion(shown, 0);
  FUZZ_REQUIRE(again.count >= 2);
  int significant = 0;
  for (int i = 0; i < 4; ++i) {
    if (a.components[i] != 0 && a.components[i] != kAnyComponent) significant = i + 1;
  }
  FUZZ_REQUIRE(again.count >= significant);
  for (int i = 0; i < significant; ++i) FUZZ_REQUIRE(again.components[i] == a.components[i]);

  const std::string required = requirementText(a, b);
  FUZZ_REQUIRE(!required.empty() && required.size() <= 1023);

  for (const std::string& entry : splitPreferredVersions(first)) {
    FUZZ_REQUIRE(entry.find(';') == std::string::npos);
  }
  return 0;
}
