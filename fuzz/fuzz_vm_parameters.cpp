// The user's VM parameters: splitting gives tokens without separators at their ends, unquoting in
// one pass gives what the pair-by-pair rewriting always gave, and relative memory sizes and stack
// sizes become sizes the VM can read, or stay as written when a number does not fit.

#include <cstdlib>

#include "fuzz/FuzzInput.h"
#include "vm/OptionText.h"

using namespace vm;

namespace {

// The rule as first written: each pair rewrites the whole text. Quadratic, and the reference.
std::string unquoteByRewriting(const std::string& token) {
  std::string text = token;
  std::size_t open = text.find('"');
  while (open != std::string::npos) {
    std::size_t close = text.find('"', open + 1);
    if (close == std::string::npos) break;
    if (close + 1 < text.size() && text[close + 1] == '"') ++close;
    const std::string inner = text.substr(open + 1, close - open - 1);
    text = text.substr(0, open) + inner + text.substr(close + 1);
    open = text.find('"', open + inner.size());
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::uint8_t flags = input.byte();
  const std::string parameters = input.rest().substr(0, 4096);

  for (const std::string& token : splitVmParameters(parameters)) {
    FUZZ_REQUIRE(!token.empty());
    FUZZ_REQUIRE(token.front() != ' ');
    const std::string unquoted = unquote(token);
    FUZZ_REQUIRE(unquoted == unquoteByRewriting(token));
    FUZZ_REQUIRE(unquoted.size() <= token.size());

    const MemoryArithmetic arithmetic =
        (flags & 1) != 0 ? MemoryArithmetic::Narrow32 : MemoryArithmetic::Wide64;
    if (isRelativeMemoryOption(unquoted)) {
      const std::uint64_t physical = (flags & 2) != 0 ? 0xFFFFFFFFull : (8ull << 30);
      const std::uint64_t virtualFree = (flags & 4) != 0 ? (1ull << 47) : 0x7FFE0000ull;
      std::string resolved;
      if (resolveMemoryOption(unquoted, physical, virtualFree, resolved, arithmetic)) {
        // A size the VM can read: the prefix as written, a number within what the build can
        // express (and a stack's bytes within 32 bits), and the unit.
        FUZZ_REQUIRE(!parseNumberList(unquoted).overflow);
        const std::size_t first = parseNumberList(unquoted).firstIndex;
        FUZZ_REQUIRE(resolved.compare(0, first, unquoted, 0, first) == 0);
        FUZZ_REQUIRE(resolved.size() > first + 1 && resolved.back() == 'K');
        const std::string digits = resolved.substr(first, resolved.size() - first - 1);
        FUZZ_REQUIRE(digits.size() <= 20);
        FUZZ_REQUIRE(digits.find_first_not_of("0123456789") == std::string::npos);
        const unsigned long long kilobytes = std::strtoull(digits.c_str(), nullptr, 10);
        const bool stack = unquoted.compare(0, 4, "-Xss") == 0;
        const bool narrow = arithmetic == MemoryArithmetic::Narrow32;
        const unsigned long long limit =
            stack ? 0xFFFFFFFFull / 1024 : narrow ? 0x7FFFFFFFull : 1ull << 54;
        FUZZ_REQUIRE(kilobytes <= limit);
      } else {
        FUZZ_REQUIRE(resolved == unquoted);
      }
    }
    if (unquoted.compare(0, 4, "-Xss") == 0) {
      std::uint32_t stack = 12345;
      if (!parseStackSize(unquoted.substr(4), stack)) FUZZ_REQUIRE(stack == 12345);
    }
  }
  return 0;
}
