// The wvsprintf-style formatter: any format with as many arguments as it can take never writes or
// reads beyond its buffers, never gives more than 1023 characters, and copies a format without
// conversions as it stands.

#include <cstdarg>

#include "fuzz/FuzzInput.h"
#include "os/Wsprintf.h"

namespace {

// Valid as a narrow text ("ab") and as a wide one (one unit, then a terminator), so that any
// conversion reading any argument gets something it may read.
alignas(8) const char kText[8] = {'a', 'b', 0, 0, 0, 0, 0, 0};

std::string format(const char* text, ...) {
  va_list args;
  va_start(args, text);
  std::string out = formatLikeWsprintf(text, args);
  va_end(args);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  std::string text;
  int conversions = 0;
  for (char c : input.rest()) {
    if (c == '\0') continue;
    if (c == '%' && ++conversions > 8) continue;  // no more than the arguments below
    text += c;
  }
  const char* p = kText;
  const std::string out = format(text.c_str(), p, p, p, p, p, p, p, p);
  FUZZ_REQUIRE(out.size() <= kFormatLimit);
  if (text.find('%') == std::string::npos) FUZZ_REQUIRE(out == text.substr(0, kFormatLimit));
  return 0;
}
