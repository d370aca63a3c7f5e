#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/unit/Test.h"

namespace test {

namespace {

struct TestEntry {
  const char* name;
  TestFunction function;
};

std::vector<TestEntry>& registry() {
  static std::vector<TestEntry> tests;
  return tests;
}

int failuresInTest = 0;
std::string context;
const char* skippedBecause = nullptr;

}  // namespace

Registration::Registration(const char* name, TestFunction function) {
  registry().push_back({name, function});
}

void setContext(const std::string& text) { context = text; }

void skip(const char* reason) { skippedBecause = reason; }

void fail(const char* file, int line, const std::string& message) {
  ++failuresInTest;
  std::printf("    %s:%d: %s%s%s\n", file, line, message.c_str(), context.empty() ? "" : "\n      row: ",
              context.c_str());
}

std::string show(long long v) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld", v);
  return text;
}

std::string show(unsigned long long v) {
  char text[32];
  std::snprintf(text, sizeof text, "%llu", v);
  return text;
}

}  // namespace test

int main(int argc, char** argv) {
  const char* filter = argc > 1 ? argv[1] : nullptr;
  int passed = 0;
  int failed = 0;
  int skipped = 0;
  for (const test::TestEntry& entry : test::registry()) {
    if (filter != nullptr && std::strstr(entry.name, filter) == nullptr) continue;
    test::failuresInTest = 0;
    test::context.clear();
    test::skippedBecause = nullptr;
    entry.function();
    if (test::failuresInTest != 0) {
      ++failed;
      std::printf("FAILED %s\n", entry.name);
    } else if (test::skippedBecause != nullptr) {
      ++skipped;
      std::printf("SKIPPED %s: %s\n", entry.name, test::skippedBecause);
    } else {
      ++passed;
    }
  }
  std::printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
  std::fflush(stdout);
  return failed == 0 && passed > 0 ? 0 : 1;
}
