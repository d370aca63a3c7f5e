#include <string>
#include <vector>

#include "config/JavaVersion.h"
#include "tests/unit/Test.h"

using namespace config;

namespace {

std::string describe(const JavaVersion& v) {
  std::string text;
  for (int i = 0; i < 4; ++i) text += std::to_string(v.components[i]) + (i < 3 ? "," : "");
  return text + " #" + std::to_string(v.count);
}

JavaVersion make(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t count) {
  return JavaVersion{{a, b, c, d}, count};
}

const JavaVersion kAnyMinimum = make(0, 0, 0, 0, 4);
const JavaVersion kAnyMaximum = make(65535, 65535, 65535, 65535, 4);

struct ParseRow {
  const char* text;
  std::int32_t fill;
  const char* expected;  // as describe() writes it
};

}  // namespace

TEST_CASE(parseVersion_table) {
  const ParseRow rows[] = {
      {"1.6.0_10", 0, "1,6,0,10 #4"},
      {"1.6.0_10", 65535, "1,6,0,10 #4"},
      {"1.6", 0, "1,6,0,0 #2"},
      {"1.6", 65535, "1,6,65535,65535 #2"},
      {"1", 65535, "1,65535,65535,65535 #1"},
      {"R27.3.1_1.5.0_11", 0, "27,3,1,1 #4"},
      {"1..6", 0, "1,6,0,0 #2"},
      {"1 - 6", 0, "1,6,0,0 #2"},
      {"  1.6  ", 65535, "1,6,65535,65535 #2"},
      {"jre", 0, "0,0,0,0 #0"},
      {"jre", 65535, "0,0,0,0 #0"},
      {"Any", 65535, "0,0,0,0 #0"},
      {"any", 65535, "0,0,0,0 #0"},
      {"", 0, "0,0,0,0 #0"},
      {"", 65535, "0,0,0,0 #0"},
      {"007.08", 0, "7,8,0,0 #2"},
      {"0", 65535, "0,65535,65535,65535 #1"},
      {"1.2.3.4.5.6", 0, "1,2,3,4 #4"},
      // Overflow: every run must fit in a signed 32-bit component.
      {"2147483647", 0, "2147483647,0,0,0 #1"},
      {"1.2147483647", 65535, "1,2147483647,65535,65535 #2"},
      {"21474836470", 0, "0,0,0,0 #0"},
      {"21474836470", 65535, "0,0,0,0 #0"},
      {"2147483648", 0, "0,0,0,0 #0"},
      {"2147483649", 65535, "0,0,0,0 #0"},
      {"1.6.2147483648", 65535, "0,0,0,0 #0"},
      {"99999999999999999999999", 0, "0,0,0,0 #0"},
      {"00000000000000000001", 0, "1,0,0,0 #1"},
      {"2147483646", 0, "2147483646,0,0,0 #1"},
      // A run beyond the fourth is ignored, even when it is too large.
      {"1.2.3.4.99999999999", 0, "1,2,3,4 #4"},
  };
  for (const ParseRow& row : rows) {
    test::setContext(std::string("\"") + row.text + "\" fill " + std::to_string(row.fill));
    CHECK_EQ(describe(parseVersion(row.text, row.fill)), std::string(row.expected));
  }
}

TEST_CASE(compareVersions_ordersComponentsAsNumbers) {
  struct Row {
    const char* a;
    const char* b;
    int expected;
  } rows[] = {
      {"1.10", "1.9", 1},        {"1.9", "1.10", -1},          {"1.6.0.10", "1.6.0.9", 1},
      {"1.6", "1.6.0", 0},       {"1.6.0_10", "1.6.0.10", 0},  {"1.5.0_22", "1.6", -1},
      {"2", "1.9.9.9", 1},       {"", "0.0.0.0", 0},           {"1.6.0_05", "1.6.0_5", 0},
  };
  for (const Row& row : rows) {
    test::setContext(std::string(row.a) + " vs " + row.b);
    CHECK_EQ(compareVersions(parseVersion(row.a, 0), parseVersion(row.b, 0)), row.expected);
  }
  // Components compare as signed numbers.
  test::setContext("signed components");
  CHECK_EQ(compareVersions(make(-1, 0, 0, 0, 4), make(0, 0, 0, 0, 4)), -1);
  CHECK_EQ(compareVersions(make(1, 2, 3, 5, 1), make(1, 2, 3, 4, 4)), 1);
}

TEST_CASE(sameComponents_ignoresTheCount) {
  test::setContext("count differs");
  CHECK(sameComponents(make(1, 6, 0, 0, 2), make(1, 6, 0, 0, 4)));
  CHECK(!sameComponents(make(1, 6, 0, 0, 2), make(1, 6, 0, 1, 2)));
}

TEST_CASE(inVersionRange_table) {
  struct Row {
    const char* minimum;  // INI text; "any" as the launcher reads it
    const char* maximum;
    const char* version;
    bool expected;
  } rows[] = {
      {"1.5", "1.6", "1.5", true},
      {"1.5", "1.6", "1.5.0_22", true},
      {"1.5", "1.6", "1.6.0_10", true},
      {"1.5", "1.6", "1.6.99.99", true},
      {"1.5", "1.6", "1.4.2_19", false},
      {"1.5", "1.6", "1.7", false},
      {"1.5", "1.6.0", "1.6.0_10", true},
      {"1.5", "1.6.0_05", "1.6.0_10", false},
      {"1.6.0_10", "1.6.0_10", "1.6.0_10", true},
      {"1.6.0_10", "1.6.0_10", "1.6.0_11", false},
      {"any", "any", "17.0.2", true},
      {"any", "any", "1.1", true},
      {"1.8", "any", "1.7", false},
      {"1.8", "any", "11", true},
      // An absent, empty or digit-less maximum means no maximum.
      {"", "", "1.6", true},
      {"1.5", "", "17", true},
      {"1.5", "", "1.4", false},
      {"1.5", "none", "1.6", true},
      {"1.5", "Any", "1.6", true},
      {"", "1.6", "1.7", false},
      {"", "1.6", "1.0", true},
  };
  for (const Row& row : rows) {
    test::setContext(std::string("min \"") + row.minimum + "\" max \"" + row.maximum + "\" v " +
                     row.version);
    const JavaVersion minimum =
        std::string(row.minimum) == "any" ? kAnyMinimum : parseVersion(row.minimum, 0);
    const JavaVersion maximum =
        std::string(row.maximum) == "any" ? kAnyMaximum : parseVersion(row.maximum, kAnyComponent);
    CHECK_EQ(inVersionRange(parseVersion(row.version, 0), minimum, maximum), row.expected);
  }
}

TEST_CASE(matchesPreferred_table) {
  struct Row {
    const char* candidate;
    const char* preferred;
    bool expected;
  } rows[] = {
      {"1.6", "1.6", true},          {"1.6.0", "1.6", true},       {"1.6.0_10", "1.6", true},
      {"1.6", "1.6.0", true},        {"1.6.0_05", "1.6.0", true},  {"1.6.1", "1.6.0", false},
      {"1.7", "1.6", false},         {"1.60", "1.6", false},       {"1.6.0_10", "1.6.0_1", false},
      {"1", "1.6", false},           {"0.0.0.0", "", true},        {"0", "", true},
      {"1.6", "", false},            {"1.6", "jre", false},        {"1.6.0_10", " 1.6 ", true},
  };
  for (const Row& row : rows) {
    test::setContext(std::string(row.candidate) + " against \"" + row.preferred + "\"");
    CHECK_EQ(matchesPreferred(parseVersion(row.candidate, 0), parseVersion(row.preferred, 0)),
             row.expected);
  }
}

TEST_CASE(isUnbounded_table) {
  struct Row {
    JavaVersion v;
    bool expected;
  } rows[] = {
      {make(0, 0, 0, 0, 0), true},           {make(0, 0, 0, 0, 4), true},
      {make(65535, 65535, 65535, 65535, 0), true},
      {make(65535, 65535, 65535, 65535, 4), true},
      {make(0, 0, 0, 65535, 4), false},      {make(1, 65535, 65535, 65535, 1), false},
      {make(0, 0, 0, 1, 4), false},
  };
  for (const Row& row : rows) {
    test::setContext(describe(row.v));
    CHECK_EQ(isUnbounded(row.v), row.expected);
  }
}

TEST_CASE(versionDisplayText_examples) {
  struct Row {
    JavaVersion v;
    const char* expected;
  } rows[] = {
      {make(1, 6, 0, 0, 2), "1.6"},
      {make(1, 6, 0, 10, 4), "1.6.0.10"},
      {make(1, 6, 65535, 65535, 2), "1.6"},
      {make(2, 0, 0, 0, 1), "2.0"},
      {make(2, 65535, 65535, 65535, 1), "2.65535"},
      {make(1, 0, 0, 5, 4), "1.0.0.5"},
      {make(0, 0, 0, 0, 0), "0.0.0.0"},
      {make(65535, 65535, 65535, 65535, 4), "0.0.0.0"},
      {make(0, 7, 0, 0, 2), "0.7"},
      {make(1, 65535, 3, 0, 3), "1.65535.3"},
      {make(2147483647, 0, 0, 0, 1), "2147483647.0"},
  };
  for (const Row& row : rows) {
    test::setContext(describe(row.v));
    CHECK_EQ(versionDisplayText(row.v), std::string(row.expected));
  }
}

TEST_CASE(requirementText_rows) {
  struct Row {
    const char* minimum;
    const char* maximum;
    const char* expected;
  } rows[] = {
      {"any", "any", "latest version"},
      {"", "", "latest version"},
      {"1.5", "any", "minimum version 1.5"},
      {"1.5", "", "minimum version 1.5"},
      {"any", "1.6.0", "maximum version 1.6"},
      {"", "1.6.0_10", "maximum version 1.6.0.10"},
      {"1.6", "1.6", "version between 1.6 and 1.6"},
      {"1.6.0_10", "1.6.0_10", "version 1.6.0.10 is required"},
      {"1.6.0", "1.6.0.0", "version 1.6 is required"},
      {"1.5", "1.6", "version between 1.5 and 1.6"},
      {"1.4.2_19", "1.6.0_10", "version between 1.4.2.19 and 1.6.0.10"},
  };
  for (const Row& row : rows) {
    test::setContext(std::string("min \"") + row.minimum + "\" max \"" + row.maximum + "\"");
    const JavaVersion minimum =
        std::string(row.minimum) == "any" ? kAnyMinimum : parseVersion(row.minimum, 0);
    const JavaVersion maximum =
        std::string(row.maximum) == "any" ? kAnyMaximum : parseVersion(row.maximum, kAnyComponent);
    CHECK_EQ(requirementText(minimum, maximum), std::string(row.expected));
  }
}

TEST_CASE(splitPreferredVersions_table) {
  struct Row {
    const char* text;
    std::vector<std::string> expected;
  } rows[] = {
      {"1.6;1.5", {"1.6", "1.5"}},
      {"1.6;", {"1.6", ""}},
      {";1.6", {"", "1.6"}},
      {"1.6;1.5;", {"1.6", "1.5", ""}},
      {"", {""}},
      {";", {"", ""}},
      {";;", {"", "", ""}},
      {"1.6", {"1.6"}},
      {" 1.6 ; 1.5 ", {" 1.6 ", " 1.5 "}},
  };
  for (const Row& row : rows) {
    test::setContext(std::string("\"") + row.text + "\"");
    CHECK(splitPreferredVersions(row.text) == row.expected);
    CHECK_EQ(splitPreferredVersions(row.text).size(), row.expected.size());
  }
}
