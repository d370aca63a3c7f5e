// The command-line splitter: arbitrary lines never make it read past their end, and lines built
// from arguments by the quoting rules split back into exactly those arguments.

#include "fuzz/FuzzInput.h"
#include "os/CommandLine.h"

namespace {

bool noLeadBytes(unsigned char) { return false; }
// A double-byte code page where every byte from 0x81 leads, as in the East Asian ones.
bool highLeadBytes(unsigned char c) { return c >= 0x81 && c != 0xFF; }
bool blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const bool doubleByte = (input.byte() & 1) != 0;
  const CharacterTest lead = doubleByte ? highLeadBytes : noLeadBytes;

  // Whatever the line, every argument is a piece of it.
  const std::string line = input.piece();
  std::size_t total = 0;
  for (const std::string& argument : splitCommandLine(line, lead, blank)) total += argument.size();
  FUZZ_REQUIRE(total <= line.size());

  // Arguments without quotes, each written in quotes after a program path, come back unchanged:
  // spaces, tabs and backslashes inside them are ordinary characters.
  StringArray arguments;
  while (!input.empty() && arguments.size() < 32) {
    std::string argument;
    for (char c : input.piece()) {
      // A lead byte would swallow the closing quote; a real code page has no such trail.
      if (c != '"' && !(doubleByte && lead(static_cast<unsigned char>(c)))) argument += c;
    }
    arguments.push_back(argument);
  }
  std::string built = "\"C:\\Program Files\\app.exe\"";
  for (const std::string& argument : arguments) built += " \"" + argument + "\"";
  const StringArray split = splitCommandLine(built, lead, noLeadBytes);
  FUZZ_REQUIRE(split == arguments);
  return 0;
}
