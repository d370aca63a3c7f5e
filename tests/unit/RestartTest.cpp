#include <string>

#include "config/Settings.h"
#include "launcher/Restart.h"
#include "tests/unit/Test.h"

using namespace launcher;

TEST_CASE(restart_exitCodeAndTheLoopGuard) {
  struct CodeRow {
    const char* text;
    bool parsed;
    int code;
  } codes[] = {
      {"3", true, 3},         {" -1 ", true, -1},           {"+7", true, 7},
      {"2147483647", true, 2147483647}, {"-2147483648", true, -2147483647 - 1},
      {"2147483648", false, 0}, {"3x", false, 0},           {"", false, 0},
      {"-", false, 0},        {"1 2", false, 0},
  };
  for (const CodeRow& row : codes) {
    test::setContext(std::string("[") + row.text + "]");
    std::int32_t code = 0;
    CHECK_EQ(config::parseExitCode(row.text, code), row.parsed);
    if (row.parsed) CHECK_EQ(code, row.code);
  }

  struct LoopRow {
    const char* variable;  // the history as the previous process handed it over
    std::int64_t now;
    bool admitted;
    const char* next;
  } loops[] = {
      {"", 1000, true, "1 1000"},
      {"1 1000", 1010, true, "2 1000"},
      {"2 1000", 1059, true, "3 1000"},
      {"3 1000", 1059, false, ""},        // the fourth within a minute: the code stays
      {"3 1000", 1060, true, "1 1060"},   // a new minute
      {"2 1000", 900, true, "1 900"},     // a clock set back starts afresh
      {"9 1000", 1010, true, "1 1010"},   // not the launcher's text: as none
      {"2 x", 1010, true, "1 1010"},
  };
  for (const LoopRow& row : loops) {
    test::setContext(std::string("[") + row.variable + "] at " + std::to_string(row.now));
    RestartHistory next;
    CHECK_EQ(admitRestart(parseRestartHistory(row.variable), row.now, next), row.admitted);
    if (row.admitted) CHECK_EQ(restartHistoryText(next), std::string(row.next));
  }
}
