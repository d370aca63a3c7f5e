#include <string>

#include "os/IniText.h"
#include "tests/unit/Test.h"

namespace {

// What findIniValue answers, in one comparable text: the value in brackets, or "absent".
std::string lookup(const std::string& text, const char* section, const char* key) {
  std::string value = "garbage";
  if (!findIniValue(text, section, key, value)) return "absent";
  return "[" + value + "]";
}

struct ReadRow {
  const char* label;
  std::string text;
  const char* section;
  const char* key;
  std::string expected;  // as lookup() writes it
};

}  // namespace

TEST_CASE(iniText_reading) {
  const std::string longValue(300, 'v');
  const std::string hugeValue = std::string(70 * 1024, 'x') + "end";
  const ReadRow rows[] = {
      {"plain", "[S]\nK=v\n", "S", "K", "[v]"},
      {"section name ignores case", "[application]\nK=v\n", "APPLICATION", "K", "[v]"},
      {"key name ignores case", "[S]\nmain class=v\n", "S", "Main Class", "[v]"},
      {"blanks around key and value", "[S]\n  Main Class \t=  com.x.App \t\n", "S", "Main Class",
       "[com.x.App]"},
      {"blanks inside the value stay", "[S]\nK= a  b \n", "S", "K", "[a  b]"},
      {"blanks before the section header", "  [S]  \nK=v\n", "S", "K", "[v]"},
      {"empty value", "[S]\nK=\n", "S", "K", "[]"},
      {"equals inside the value", "[S]\nK=a=b\n", "S", "K", "[a=b]"},
      {"first key wins", "[S]\nK=first\nK=second\n", "S", "K", "[first]"},
      {"first section wins", "[S]\nA=1\n[T]\nK=t\n[S]\nK=late\n", "S", "K", "absent"},
      {"first section value", "[S]\nK=early\n[s]\nK=late\n", "S", "K", "[early]"},
      {"key of another section", "[T]\nK=t\n[S]\nA=1\n", "S", "K", "absent"},
      {"key before every section", "K=v\n[S]\nA=1\n", "S", "K", "absent"},
      {"missing section", "[T]\nK=v\n", "S", "K", "absent"},
      {"empty text", "", "S", "K", "absent"},
      {"double quotes removed", "[S]\nK=\"a b\"\n", "S", "K", "[a b]"},
      {"single quotes removed", "[S]\nK='a b'\n", "S", "K", "[a b]"},
      {"quotes inside blanks removed", "[S]\nK=  \"a\"  \n", "S", "K", "[a]"},
      {"only one pair removed", "[S]\nK=\"\"a\"\"\n", "S", "K", "[\"a\"]"},
      {"empty quotes", "[S]\nK=\"\"\n", "S", "K", "[]"},
      {"unpaired quote stays", "[S]\nK=\"a\n", "S", "K", "[\"a]"},
      {"lone quote stays", "[S]\nK=\"\n", "S", "K", "[\"]"},
      {"mixed quotes stay", "[S]\nK=\"a'\n", "S", "K", "[\"a']"},
      {"inner quotes stay", "[S]\nK=a \"b\" c\n", "S", "K", "[a \"b\" c]"},
      {"comment line passed over", "[S]\n;K=commented\nK=v\n", "S", "K", "[v]"},
      {"indented comment passed over", "[S]\n  ; K=commented\nK=v\n", "S", "K", "[v]"},
      {"junk lines passed over", "junk\n[S]\nthis is junk\n\n=nokey\nK=v\n", "S", "K", "[v]"},
      {"junk line does not end the section", "[S]\njunk line\nK=v\n", "S", "K", "[v]"},
      {"CRLF lines", "[S]\r\nA=1\r\nK=v\r\n[T]\r\n", "S", "K", "[v]"},
      {"CRLF empty value", "[S]\r\nK=\r\n", "S", "K", "[]"},
      // A zero byte ends what its line says, as the profile functions read it.
      {"zero byte cuts the value", std::string("[S]\nK=com.ex\0ample\n", 19), "S", "K", "[com.ex]"},
      {"zero byte cuts the key", std::string("[S]\nK\0 Z=x\nK Z=y\n", 17), "S", "K Z", "[y]"},
      {"zero byte cuts the header", std::string("[S\0]\nK=x\n[S]\nK=y\n", 17), "S", "K", "[y]"},
      {"last line without line break", "[S]\nK=v", "S", "K", "[v]"},
      {"header without line break", "[S]", "S", "K", "absent"},
      {"value over 255 characters", "[S]\nK=" + longValue + "\n", "S", "K", "[" + longValue + "]"},
      {"value over 64 KiB", "[S]\nK=" + hugeValue + "\r\n", "S", "K", "[" + hugeValue + "]"},
      {"section name with inner blank", "[Java Runtime Environment]\nJRE Path=C:\\jre\\\n",
       "Java Runtime Environment", "JRE Path", "[C:\\jre\\]"},
      {"prefix of a section name", "[Sx]\nK=v\n", "S", "K", "absent"},
      {"prefix of a key name", "[S]\nKey=v\n", "S", "K", "absent"},
      {"key longer than asked", "[S]\nK=v\n", "S", "Key", "absent"},
      {"comment after the header", "[S] ; settings\nK=v\n", "S", "K", "[v]"},
      {"blanks inside the brackets", "[ S ]\nK=v\n", "S", "K", "[v]"},
      {"requested names trimmed", "[S]\nK=v\n", " S ", " K\t", "[v]"},
      {"unclosed bracket is an ordinary line", "[S]\n[broken\nK=v\n", "S", "K", "[v]"},
      {"header without closing bracket opens nothing", "[S\nK=v\n", "S", "K", "absent"},
      {"last bracket closes the name", "[a]b]\nK=v\n", "a]b", "K", "[v]"},
      {"last bracket closes the name, not the first", "[a]b]\nK=v\n", "a", "K", "absent"},
      {"line without equals is a key without value", "[S]\nK\nK=v\n", "S", "K", "[]"},
      {"line without equals under another name", "[S]\nKey\nK=v\n", "S", "K", "[v]"},
      {"Ctrl+Z after the value", "[S]\nK=v\x1a\n", "S", "K", "[v]"},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF[S]\nK=v\n", "S", "K", "[v]"},
      {"lone CR ends a line", "[S]\rA=1\rK=v\r", "S", "K", "[v]"},
      {"no line continuation", "[S]\nK=a\\\nb\n", "S", "K", "[a\\]"},
      {"no comment after a value", "[S]\nK=v ; c\n", "S", "K", "[v ; c]"},
  };
  for (const ReadRow& row : rows) {
    test::setContext(row.label);
    CHECK_EQ(lookup(row.text, row.section, row.key), row.expected);
  }
}

TEST_CASE(iniText_writing) {
  struct Row {
    const char* label;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
  } rows[] = {
      {"existing key: only its value changes", "; head\n[S]\nA = 1\nK = old  \n; tail\n", "S", "K",
       "new", "; head\n[S]\nA = 1\nK = new\n; tail\n"},
      {"existing key keeps its spelling", "[application]\nsingle instance=no\n", "Application",
       "Single Instance", "yes", "[application]\nsingle instance=yes\n"},
      {"existing key in CRLF file", "[S]\r\nK=old\r\nB=2\r\n", "S", "K", "new",
       "[S]\r\nK=new\r\nB=2\r\n"},
      {"existing key on the last line without break", "[S]\nK=old", "S", "K", "new", "[S]\nK=new"},
      {"existing empty value", "[S]\nK=\n", "S", "K", "v", "[S]\nK=v\n"},
      {"new key after the last entry of its section", "[S]\nA=1\n\n[T]\nB=2\n", "S", "K", "v",
       "[S]\nA=1\nK=v\n\n[T]\nB=2\n"},
      {"new key in an empty section", "[S]\n[T]\nB=2\n", "S", "K", "v", "[S]\nK=v\n[T]\nB=2\n"},
      {"new key in the last section without break", "[S]\nA=1", "S", "K", "v", "[S]\nA=1\nK=v\n"},
      {"new key in CRLF file", "[S]\r\nA=1\r\n", "S", "K", "v", "[S]\r\nA=1\r\nK=v\r\n"},
      {"new key goes to the first of two sections", "[S]\nA=1\n[T]\n[S]\nB=2\n", "S", "K", "v",
       "[S]\nA=1\nK=v\n[T]\n[S]\nB=2\n"},
      {"key of another section is not touched", "[T]\nK=t\n", "S", "K", "v",
       "[T]\nK=t\n[S]\nK=v\n"},
      {"new section at the end", "[T]\nB=2\n", "S", "K", "v", "[T]\nB=2\n[S]\nK=v\n"},
      {"new section after a last line without break", "[T]\nB=2", "S", "K", "v",
       "[T]\nB=2\n[S]\nK=v\n"},
      {"new section in CRLF file", "[T]\r\nB=2\r\n", "S", "K", "v", "[T]\r\nB=2\r\n[S]\r\nK=v\r\n"},
      {"empty file", "", "Java Runtime Environment", "JRE Path", "C:\\jre\\",
       "[Java Runtime Environment]\nJRE Path=C:\\jre\\\n"},
      {"key without value gets one", "[S]\nK  \nB=2\n", "S", "K", "new", "[S]\nK=new\nB=2\n"},
      {"byte-order mark kept", "\xEF\xBB\xBF[S]\nK=old\n", "S", "K", "new",
       "\xEF\xBB\xBF[S]\nK=new\n"},
      {"lone CR lines", "[S]\rK=old\rB=2\r", "S", "K", "new", "[S]\rK=new\rB=2\r"},
      {"unclosed bracket stays in the section", "[S]\n[x\nK=old\n", "S", "K", "new",
       "[S]\n[x\nK=new\n"},
      {"requested names trimmed when written", "", " S ", " K ", "v", "[S]\nK=v\n"},
      {"commented key is not the key", "[S]\n;K=old\n", "S", "K", "v", "[S]\nK=v\n;K=old\n"},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    const std::string after = setIniValue(row.before, row.section, row.key, row.value);
    CHECK_EQ(after, std::string(row.after));
    // Whatever was written reads back.
    CHECK_EQ(lookup(after, row.section, row.key), "[" + std::string(row.value) + "]");
  }
}

TEST_CASE(iniText_writeKeepsOtherValues) {
  const std::string before =
      "[Application]\nSingle Instance=yes\n[Java Runtime Environment]\nMain Class=a.B\n"
      "JRE Path=old\nMaximum Version=1.6\n";
  const std::string longValue(5000, 'p');
  const std::string after = setIniValue(before, "Java Runtime Environment", "JRE Path", longValue);
  const char* const keys[][2] = {{"Application", "Single Instance"},
                                 {"Java Runtime Environment", "Main Class"},
                                 {"Java Runtime Environment", "Maximum Version"}};
  for (const auto& key : keys) {
    test::setContext(key[1]);
    CHECK_EQ(lookup(after, key[0], key[1]), lookup(before, key[0], key[1]));
  }
  test::setContext("long value written whole");
  CHECK_EQ(lookup(after, "Java Runtime Environment", "JRE Path"), "[" + longValue + "]");
}
