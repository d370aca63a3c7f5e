#include <cctype>
#include <string>
#include <vector>

#include "os/CommandLine.h"
#include "os/Process.h"
#include "tests/unit/Test.h"

namespace {

bool noLeadBytes(unsigned char) { return false; }
bool cSpace(unsigned char c) { return std::isspace(c) != 0; }

// Stands in for a double-byte code page: 0x81 starts a two-byte character whose second byte
// may be anything, a space or a quote included.
bool fakeLeadByte(unsigned char c) { return c == 0x81; }

std::string joined(const StringArray& items) {
  std::string text = std::to_string(items.size()) + ":";
  for (const std::string& item : items) text += "[" + item + "]";
  return text;
}

struct SplitRow {
  const char* label;
  const char* line;  // the whole command line, program path first
  std::vector<std::string> expected;
};

}  // namespace

TEST_CASE(splitCommandLine_rules) {
  const SplitRow rows[] = {
      {"quoted argument holds the space", "prog \"a b\" c", {"a b", "c"}},
      {"quote inside an argument is ordinary", "prog a\"b c\"", {"a\"b", "c\""}},
      {"unclosed quote takes the rest", "prog \"a b", {"a b"}},
      {"unclosed quote keeps inner spaces", "prog x \"a  b  ", {"x", "a  b"}},
      {"empty quotes give an empty argument", "prog \"\" x", {"", "x"}},
      {"several spaces separate once", "prog x   y", {"x", "y"}},
      {"tab does not separate", "prog a\tb c", {"a\tb", "c"}},
      {"program path only", "prog", {}},
      {"quoted program path with spaces", "\"C:\\Program Files\\app.exe\" one", {"one"}},
      {"quoted program path only", "\"C:\\Program Files\\app.exe\"", {}},
      {"empty line", "", {}},
      {"only white space", " \t\r\n ", {}},
      {"white space trimmed at both ends", "\t  prog a b \t\r\n", {"a", "b"}},
      {"inner tab and line end kept", "prog a\tb\nc", {"a\tb\nc"}},
      {"backslashes are ordinary", "prog C:\\dir\\ \"x\\\" y", {"C:\\dir\\", "x\\", "y"}},
      {"no escape for quotes", "prog \\\"a b\\\"", {"\\\"a", "b\\\""}},
      {"argument right after a closing quote", "prog \"a\"b c", {"a", "b", "c"}},
      {"quote after closing quote opens a new argument", "prog \"a\"\"b c\"", {"a", "b c"}},
      {"nosplash reaches the list", "prog -nosplash /nosplash", {"-nosplash", "/nosplash"}},
      {"program path glued to a quote", "prog\"x y\" z", {"y\"", "z"}},
  };
  for (const SplitRow& row : rows) {
    test::setContext(row.label);
    CHECK_EQ(joined(splitCommandLine(row.line, noLeadBytes, cSpace)), joined(row.expected));
  }
}

TEST_CASE(splitCommandLine_doubleByteCharacters) {
  // "\x81 " is one character whose second byte is a space; "\x81\"" one whose second byte is a
  // quote. Neither may end an argument.
  const SplitRow rows[] = {
      {"trail byte space stays inside", "prog a\x81 b c", {"a\x81 b", "c"}},
      {"trail byte quote does not close", "prog \"a\x81\" b\" c", {"a\x81\" b", "c"}},
      {"lead byte at the very end", "prog a b\x81", {"a", "b\x81"}},
      {"lead byte before the closing quote", "prog \"\x81\x81\" x", {"\x81\x81", "x"}},
      {"program path with a trail byte space", "pr\x81 og a", {"a"}},
  };
  for (const SplitRow& row : rows) {
    test::setContext(row.label);
    CHECK_EQ(joined(splitCommandLine(row.line, fakeLeadByte, cSpace)), joined(row.expected));
  }
  // Without the double-byte rule the same lines split at those bytes: the rows above are
  // therefore really exercising it.
  test::setContext("single-byte reading of the first row");
  CHECK_EQ(joined(splitCommandLine("prog a\x81 b c", noLeadBytes, cSpace)),
           joined({"a\x81", "b", "c"}));
}

TEST_CASE(splitCommandLine_trimsWhatTheLocaleCallsSpace) {
  // Trimming follows the given classification: here only '*' counts as white space.
  const auto starIsSpace = [](unsigned char c) { return c == '*'; };
  test::setContext("custom white space");
  CHECK_EQ(joined(splitCommandLine("**prog a b**", noLeadBytes, starIsSpace)), joined({"a", "b"}));
  CHECK_EQ(joined(splitCommandLine("prog a\t", noLeadBytes, starIsSpace)), joined({"a\t"}));
}

TEST_CASE(splitCommandLine_withTheSystemsCharacterClasses) {
  // The classifications the launcher really passes: the thread locale's white space, and no
  // lead bytes in a single-byte code page.
  test::setContext("system classes");
  CHECK(os::isSpace(' '));
  CHECK(os::isSpace('\t'));
  CHECK(os::isSpace('\n'));
  CHECK(!os::isSpace('a'));
  CHECK(!os::isLeadByte('a'));
  CHECK(!os::isLeadByte(' '));
  CHECK_EQ(joined(splitCommandLine("\t prog \"a b\" c\r\n", os::isLeadByte, os::isSpace)),
           joined({"a b", "c"}));
}
