#ifndef TESTS_UNIT_TEST_H
#define TESTS_UNIT_TEST_H

// A small test runner that builds with the launcher's own flags (no exceptions, no iostreams), so
// the same test sources run natively, under the sanitizers, and as a Windows program under Wine.

#include <cstdio>
#include <string>

namespace test {

using TestFunction = void (*)();

struct Registration {
  Registration(const char* name, TestFunction function);
};

void fail(const char* file, int line, const std::string& message);

inline std::string show(const std::string& s) { return "\"" + s + "\""; }
inline std::string show(const char* s) { return s == nullptr ? "null" : show(std::string(s)); }
inline std::string show(bool b) { return b ? "true" : "false"; }
std::string show(long long v);
std::string show(unsigned long long v);
inline std::string show(int v) { return show(static_cast<long long>(v)); }
inline std::string show(long v) { return show(static_cast<long long>(v)); }
inline std::string show(unsigned v) { return show(static_cast<unsigned long long>(v)); }
inline std::string show(unsigned long v) { return show(static_cast<unsigned long long>(v)); }
template <typename T>
std::string show(const T&) {
  return "<value>";
}

// Label of the current row of a table-driven test, shown with a failure.
void setContext(const std::string& context);

// Marks the running test as skipped, with the reason; the caller returns at once (use SKIP).
void skip(const char* reason);

}  // namespace test

#define TEST_CONCAT2(a, b) a##b
#define TEST_CONCAT(a, b) TEST_CONCAT2(a, b)
#define TEST_CASE(name)                                                          \
  static void TEST_CONCAT(test_, name)();                                        \
  static ::test::Registration TEST_CONCAT(registration_, name)(#name,            \
                                                               TEST_CONCAT(test_, name)); \
  static void TEST_CONCAT(test_, name)()

// Ends the test as skipped: it could not run here, and says why instead of passing silently.
#define SKIP(reason)        \
  do {                      \
    ::test::skip(reason);   \
    return;                 \
  } while (0)

#define CHECK(condition)                                            \
  do {                                                              \
    if (!(condition)) ::test::fail(__FILE__, __LINE__, #condition); \
  } while (0)

#define CHECK_EQ(actual, expected)                                                         \
  do {                                                                                     \
    const auto& check_actual_ = (actual);                                                  \
    const auto& check_expected_ = (expected);                                              \
    if (!(check_actual_ == check_expected_)) {                                             \
      ::test::fail(__FILE__, __LINE__,                                                     \
                   std::string(#actual " == " #expected "\n      actual:   ") +            \
                       ::test::show(check_actual_) + "\n      expected: " +                \
                       ::test::show(check_expected_));                                     \
    }                                                                                      \
  } while (0)

#endif
