#include <string>

#include "config/Settings.h"
#include "launcher/Restart.h"
#include "tests/unit/Test.h"

using namespace launcher;

TEST_CASE(restart_exitCodeAndTheLoopGuard) {
  std::int32_t code = 0;
  CHECK(config::parseExitCode(" -75 ", code) && code == -75);
  CHECK(config::parseExitCode("-2147483648", code) && code == -2147483647 - 1);
  for (const char* bad : {"2147483648", "3x", "", "-", "1 2"}) {
    test::setContext(bad);
    CHECK(!config::parseExitCode(bad, code));
  }
  struct Row {
    const char* variable;  // the history as the previous process handed it over
    std::int64_t now;
    const char* next;      // empty: no restart
  } rows[] = {
      {"", 1000, "1 1000"},       {"1 1000", 1010, "2 1000"}, {"2 1000", 1059, "3 1000"},
      {"3 1000", 1059, ""},       // the fourth within a minute: the code stays
      {"3 1000", 1060, "1 1060"},  // a new minute
      {"2 1000", 900, "1 900"},    // a clock set back starts afresh
      {"9 1000", 1010, "1 1010"},  // not the launcher's text: as none
  };
  for (const Row& row : rows) {
    test::setContext(std::string("[") + row.variable + "] at " + std::to_string(row.now));
    RestartHistory next;
    const bool admitted = admitRestart(parseRestartHistory(row.variable), row.now, next);
    CHECK_EQ(admitted ? restartHistoryText(next) : std::string(), std::string(row.next));
  }
}
