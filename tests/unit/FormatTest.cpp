#include <climits>
#include <cstdarg>
#include <string>

#include "base/ErrorReport.h"
#include "os/Ui.h"
#include "os/Wsprintf.h"
#include "tests/unit/Test.h"

using namespace base;

namespace {

std::string viaSystem(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = os::formatV(format, args);
  va_end(args);
  return text;
}

std::string viaOwn(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = formatLikeWsprintf(format, args);
  va_end(args);
  return text;
}

enum class Args { None, Int, Text, TextInt, IntText, IntInt };

struct FormatRow {
  const char* format;
  Args args;
  int number;
  const char* text;
  std::string expected;
};

using Formatter = std::string (*)(const char*, ...);

std::string apply(Formatter f, const FormatRow& row) {
  switch (row.args) {
    case Args::None: return f(row.format);
    case Args::Int: return f(row.format, row.number);
    case Args::Text: return f(row.format, row.text);
    case Args::TextInt: return f(row.format, row.text, row.number);
    case Args::IntText: return f(row.format, row.number, row.text);
    case Args::IntInt: return f(row.format, row.number, row.number);
  }
  return std::string();
}

std::string spaces(std::size_t n) { return std::string(n, ' '); }

}  // namespace

// One table for both formatters: os::formatV is wvsprintfA itself on Windows and our own
// formatter elsewhere; on Windows the own formatter is also held against the system's.
TEST_CASE(format_wsprintfRules) {
  const std::string longPath = "C:\\" + std::string(2000, 'p') + "\\jvm.dll";
  const std::string longText(1500, 't');
  const std::string longPrefix(1020, 'a');
  const std::string prefixedNumber = longPrefix + "%10d";
  const std::string prefixedText = longPrefix + "%s";
  const FormatRow rows[] = {
      {"plain text", Args::None, 0, nullptr, "plain text"},
      {"", Args::None, 0, nullptr, ""},
      {"%d", Args::Int, -5, nullptr, "-5"},
      {"%d", Args::Int, 0, nullptr, "0"},
      {"%d", Args::Int, INT_MIN, nullptr, "-2147483648"},
      {"%d", Args::Int, INT_MAX, nullptr, "2147483647"},
      {"%i", Args::Int, 42, nullptr, "42"},
      {"%ld", Args::Int, 7, nullptr, "7"},
      {"%u", Args::Int, 126, nullptr, "126"},
      {"%u", Args::Int, -1, nullptr, "4294967295"},
      {"%lu", Args::Int, -2, nullptr, "4294967294"},
      {"%x", Args::Int, 255, nullptr, "ff"},
      {"%X", Args::Int, 0xBEEF, nullptr, "BEEF"},
      {"%x", Args::Int, -1, nullptr, "ffffffff"},
      {"%#x", Args::Int, 255, nullptr, "0xff"},
      {"%#X", Args::Int, 255, nullptr, "0XFF"},
      {"%5d", Args::Int, 42, nullptr, "   42"},
      {"%-5d|", Args::Int, 42, nullptr, "42   |"},
      {"%05d", Args::Int, 42, nullptr, "00042"},
      {"%05d", Args::Int, -42, nullptr, "-0042"},
      {"%010ld", Args::Int, -1, nullptr, "-000000001"},
      {"%-05d|", Args::Int, 42, nullptr, "42   |"},
      {"%.3d", Args::Int, 5, nullptr, "005"},
      {"%6.3d", Args::Int, 5, nullptr, "   005"},
      {"%2d", Args::Int, 12345, nullptr, "12345"},
      {"%08X", Args::Int, 0x1F, nullptr, "0000001F"},
      {"%s", Args::Text, 0, "abc", "abc"},
      {"%s", Args::Text, 0, nullptr, "(null)"},
      {"[%s]", Args::Text, 0, "", "[]"},
      {"%5s", Args::Text, 0, "abc", "  abc"},
      {"%-5s|", Args::Text, 0, "abc", "abc  |"},
      {"%.2s", Args::Text, 0, "abc", "ab"},
      {"%5.2s", Args::Text, 0, "abc", "   ab"},
      {"%2s", Args::Text, 0, "abcdef", "abcdef"},
      {"%.0s", Args::Text, 0, "abc", "abc"},
      {"%05s", Args::Text, 0, "abc", "  abc"},
      {"%c", Args::Int, 'A', nullptr, "A"},
      {"%3c", Args::Int, 'A', nullptr, "  A"},
      {"%-3c|", Args::Int, 'A', nullptr, "A  |"},
      {"%%", Args::None, 0, nullptr, "%"},
      {"100%% sure", Args::None, 0, nullptr, "100% sure"},
      {"%5%", Args::None, 0, nullptr, "     "},
      {"%3k", Args::None, 0, nullptr, "   k"},
      {"%-3k|", Args::None, 0, nullptr, "k|"},
      {"%.3d", Args::Int, -5, nullptr, "-05"},
      {"%6.3d|", Args::Int, -5, nullptr, "   -05|"},
      {"%03c", Args::Int, 'A', nullptr, "  A"},
      {"%hs|", Args::Text, 0, "n", "n|"},
      {"%#6x", Args::Int, 255, nullptr, "    0xff"},
      {"a%kb", Args::None, 0, nullptr, "akb"},
      {"trailing %", Args::None, 0, nullptr, "trailing "},
      {"%s (errno = %d).", Args::TextInt, 126, "x", "x (errno = 126)."},
      {"%d %s", Args::IntText, -3, "y", "-3 y"},
      {"%d|%u", Args::IntInt, -7, nullptr, "-7|4294967289"},
      // The 1024-byte buffer: 1023 characters and the terminator.
      {"Failed to load Java VM library: %s (errno = %d).\n", Args::TextInt, 126, longPath.c_str(),
       ("Failed to load Java VM library: " + longPath).substr(0, 1023)},
      {longText.c_str(), Args::None, 0, nullptr, longText.substr(0, 1023)},
      {"%s", Args::Text, 0, longText.c_str(), longText.substr(0, 1023)},
      // A cut padding still ends with the value it pads.
      {"%2000d", Args::Int, 5, nullptr, spaces(1022) + "5"},
      {"%-2000d|", Args::Int, 5, nullptr, "5" + spaces(1022)},
      {prefixedNumber.c_str(), Args::Int, 5, nullptr, longPrefix + "  5"},
      {prefixedText.c_str(), Args::Text, 0, "xyz1234", longPrefix + "xyz"},
  };
  for (const FormatRow& row : rows) {
    const std::string label = std::string("format \"") + std::string(row.format).substr(0, 60) + "\"";
    test::setContext(label + " via formatV");
    const std::string system = apply(viaSystem, row);
    CHECK_EQ(system.size(), row.expected.size());
    CHECK_EQ(system, row.expected);
#ifdef _WIN32
    test::setContext(label + " own formatter against wvsprintfA");
    CHECK_EQ(apply(viaOwn, row), system);
#else
    test::setContext(label + " own formatter");
    CHECK_EQ(apply(viaOwn, row), row.expected);
#endif
  }
}

TEST_CASE(format_wideTexts) {
  // 16-bit texts as the system's wide strings are laid out; only ASCII survives the narrowing.
  static const unsigned short kWide[] = {'w', 'i', 'd', 'e', 0};
  static const unsigned short kWord[] = {'J', 'a', 'v', 'a', 0};
  struct Row {
    const char* format;
    const unsigned short* text;
    const char* expected;
  } rows[] = {
      {"%S|", kWide, "wide|"},   {"%ls|", kWide, "wide|"},  {"%ws|", kWide, "wide|"},
      {"%6S|", kWord, "  Java|"}, {"%.2ls|", kWord, "Ja|"},  {"%-5ws|", kWord, "Java |"},
      {"%S|", nullptr, "(null)|"},
  };
  for (const Row& row : rows) {
    test::setContext(row.format);
    CHECK_EQ(viaSystem(row.format, row.text), std::string(row.expected));
    CHECK_EQ(viaOwn(row.format, row.text), std::string(row.expected));
  }
  test::setContext("wide characters");
  CHECK_EQ(viaSystem("%C%lc%wc|%hC", 'a', 'b', 'c', 'd'), std::string("abc|d"));
  CHECK_EQ(viaOwn("%C%lc%wc|%hC", 'a', 'b', 'c', 'd'), std::string("abc|d"));
}

TEST_CASE(format_precisionBoundsTheTextRead) {
  // A precision lets the caller pass text without a terminator; nothing past it may be read.
  const char unterminated[3] = {'a', 'b', 'c'};
  test::setContext("unterminated text with precision");
  CHECK_EQ(viaOwn("%.3s|", unterminated), std::string("abc|"));
  CHECK_EQ(viaSystem("%.2s|", unterminated), std::string("ab|"));
}

TEST_CASE(loadText_table) {
  struct Entry {
    unsigned id;
    const char* text;
  };
  const Entry entries[] = {
#define STRING_ENTRY(id, name, text) {id, text},
#include "resources/strings.def"


#undef STRING_ENTRY
  };
  unsigned expectedId = 202;
  for (const Entry& entry : entries) {
    test::setContext("id " + std::to_string(entry.id));
    CHECK_EQ(entry.id, expectedId++);
    CHECK(!loadText(entry.id).empty());
    CHECK_EQ(loadText(entry.id), std::string(entry.text));
  }
  test::setContext("every id up to 230 listed");
  CHECK_EQ(expectedId, 231u);

  const unsigned missing[] = {0, 1, 200, 201, 231, 232, 239, 999, 65535};
  for (unsigned id : missing) {
    test::setContext("missing id " + std::to_string(id));
    CHECK_EQ(loadText(id), std::string());
  }
}

TEST_CASE(loadText_exactTexts) {
  struct Row {
    unsigned id;
    const char* text;
  } rows[] = {
      {202, "Windows exception: %s (errno = %d).\n"},
      {203, "JNI exception: %s\nReason: %s.\n"},
      {206, "The Java Runtime Environment (JRE) was not found. Please  download and install a JRE "
            "with a server JVM (%s) from:"},
      {207, "The Java Runtime Environment (JRE) was not found. Please  download and install a JRE "
            "(%s) from:"},
      {210, "Main class was not specified in INI file."},
      {209, "Java Class Path was not specified in INI file."},
      {217, "latest version"},
      {221, "version between %s and %s"},
      {222, "Failed to load Java VM library: %s (errno = %d).\n"},
      {230, "invalid arguments"},
  };
  for (const Row& row : rows) {
    test::setContext("id " + std::to_string(row.id));
    CHECK_EQ(loadText(row.id), std::string(row.text));
  }
}

TEST_CASE(formatText_workedExamples) {
  test::setContext("222 with a path and 126");
  CHECK_EQ(formatText(TEXT_FORMAT(IDS_JVM_LOAD_FAILED), "C:\\rt\\bin\\client\\jvm.dll", 126),
           std::string("Failed to load Java VM library: C:\\rt\\bin\\client\\jvm.dll (errno = 126).\n"));
  test::setContext("203 with 213 and 228");
  CHECK_EQ(formatText(TEXT_FORMAT(IDS_JNI_EXCEPTION_REASON), loadText(IDS_CREATE_VM_FAILED).c_str(),
                      loadText(IDS_REASON_NOMEM).c_str()),
           std::string("JNI exception: failed to create the Java VM\nReason: not enough memory.\n"));
  test::setContext("203 with an empty reason");
  CHECK_EQ(formatText(TEXT_FORMAT(IDS_JNI_EXCEPTION_REASON), loadText(IDS_CREATE_VM_FAILED).c_str(), ""),
           std::string("JNI exception: failed to create the Java VM\nReason: .\n"));
  test::setContext("202 with 212 and 127");
  CHECK_EQ(formatText(TEXT_FORMAT(IDS_WINDOWS_EXCEPTION), loadText(IDS_NO_CREATE_JAVA_VM).c_str(), 127),
           std::string("Windows exception: cannot find CreateJavaVM JNI (errno = 127).\n"));
  test::setContext("202 with 208 and 5");
  CHECK_EQ(formatText(TEXT_FORMAT(IDS_WINDOWS_EXCEPTION), loadText(IDS_MODULE_PATH_FAILED).c_str(), 5),
           std::string("Windows exception: failed to get the module path (errno = 5).\n"));
  test::setContext("215 with a class name");
  CHECK_EQ(formatText(TEXT_FORMAT(IDS_MAIN_CLASS_NOT_FOUND), "com/example/App"),
           std::string("Could not find the main class com/example/App.\n"));
  test::setContext("211 with a class name");
  CHECK_EQ(formatText(TEXT_FORMAT(IDS_MAIN_CLASS_LOAD_FAILED), "com/example/App"),
           std::string("Failed to load Main Class: com/example/App.\n"));
  test::setContext("207 keeps the double space");
  CHECK_EQ(formatText(TEXT_FORMAT(IDS_JRE_NOT_FOUND), "minimum version 1.5"),
           std::string("The Java Runtime Environment (JRE) was not found. Please  download and "
                       "install a JRE (minimum version 1.5) from:"));
  test::setContext("206 keeps the double space");
  CHECK_EQ(formatText(TEXT_FORMAT(IDS_JRE_NOT_FOUND_SERVER), "latest version"),
           std::string("The Java Runtime Environment (JRE) was not found. Please  download and "
                       "install a JRE with a server JVM (latest version) from:"));
  test::setContext("221 with two versions");
  CHECK_EQ(formatText(TEXT_FORMAT(IDS_VERSION_RANGE), "1.6", "1.6"), std::string("version between 1.6 and 1.6"));
  test::setContext("missing id formats to nothing");
  CHECK_EQ(formatText(999, "%s", "x"), std::string());

  test::setContext("222 with a path too long for the buffer");
  const std::string path = "C:\\" + std::string(1100, 'd') + "\\jvm.dll";
  const std::string cut = formatText(TEXT_FORMAT(IDS_JVM_LOAD_FAILED), path.c_str(), 126);
  CHECK_EQ(cut.size(), static_cast<std::size_t>(1023));
  CHECK_EQ(cut, ("Failed to load Java VM library: " + path).substr(0, 1023));
}
