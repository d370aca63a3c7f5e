// The argument area of the single-instance block: any 1040 bytes read back without reading past
// the area, and arguments written read back as written, but for the empty ones at the end.

#include <cstring>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "instance/ArgumentArea.h"

using namespace instance;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size heap copy, so that a read past the area is caught.
  std::vector<unsigned char> raw(kArgumentAreaSize, 0);
  std::memcpy(raw.data(), data, size < kArgumentAreaSize ? size : kArgumentAreaSize);
  std::size_t total = 0;
  for (const std::string& argument : readArgumentArea(raw.data())) total += argument.size() + 1;
  FUZZ_REQUIRE(total <= kArgumentAreaSize);

  FuzzInput input(data, size);
  StringArray arguments;
  while (!input.empty()) {
    std::string argument;
    for (char c : input.piece()) {
      if (c != '\0') argument += c;
    }
    arguments.push_back(argument);
  }
  std::vector<unsigned char> area(kArgumentAreaSize, 0xAB);
  const bool fits = argumentAreaBytes(arguments) <= kArgumentAreaSize;
  FUZZ_REQUIRE(writeArgumentArea(area.data(), arguments) == fits);
  if (!fits) {
    for (unsigned char c : area) FUZZ_REQUIRE(c == 0xAB);  // untouched
    return 0;
  }
  StringArray expected = arguments;
  while (!expected.empty() && expected.back().empty()) expected.pop_back();
  if (expected.empty()) expected.push_back(std::string());  // no arguments read as one empty one
  FUZZ_REQUIRE(readArgumentArea(area.data()) == expected);
  return 0;
}
