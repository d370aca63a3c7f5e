// The argument area that carries a second start's arguments to the first one: its byte layout, its
// size limit and the way the first instance reads it back.

#include <cstring>
#include <vector>

#include "instance/ArgumentArea.h"
#include "tests/unit/Test.h"

using namespace instance;

namespace {

std::string joined(const StringArray& list) {
  std::string out = "[";
  for (std::size_t i = 0; i < list.size(); ++i) out += (i ? "|" : "") + list[i];
  return out + "]#" + std::to_string(list.size());
}

// An area filled with a marker byte, so that bytes the writer should have cleared show up.
std::vector<unsigned char> dirtyArea() { return std::vector<unsigned char>(kArgumentAreaSize, 0xAB); }

}  // namespace

TEST_CASE(argument_area_layout_is_each_argument_and_a_zero_then_one_more_zero) {
  std::vector<unsigned char> area = dirtyArea();
  CHECK(writeArgumentArea(area.data(), {"ab", "", "c d"}));
  const unsigned char expected[] = {'a', 'b', 0, 0, 'c', ' ', 'd', 0, 0};
  CHECK(std::memcmp(area.data(), expected, sizeof expected) == 0);
  for (std::size_t i = sizeof expected; i < kArgumentAreaSize; ++i) {
    if (area[i] != 0) {
      test::setContext("byte " + std::to_string(i));
      CHECK_EQ(static_cast<int>(area[i]), 0);
      break;
    }
  }
}

TEST_CASE(argument_area_round_trips) {
  struct Row {
    const char* label;
    StringArray written;
    StringArray read;
  };
  const std::string high = "caf\xE9 \xC3\xA9t\xC3\xA9";  // bytes above 127 pass unchanged
  const Row rows[] = {
      {"one", {"doc.txt"}, {"doc.txt"}},
      {"several", {"-open", "a b", "c"}, {"-open", "a b", "c"}},
      {"no arguments read as one empty one", {}, {""}},
      {"one empty argument", {""}, {""}},
      {"empty in the middle survives", {"a", "", "b"}, {"a", "", "b"}},
      {"empty first survives", {"", "b"}, {"", "b"}},
      {"several empty in the middle survive", {"a", "", "", "b", "", "c"}, {"a", "", "", "b", "", "c"}},
      {"empty first and last", {"", "x", ""}, {"", "x"}},
      {"empty at the end is lost", {"a", "b", ""}, {"a", "b"}},
      {"two empty at the end are lost", {"a", "", ""}, {"a"}},
      {"bytes above 127", {high}, {high}},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    std::vector<unsigned char> area = dirtyArea();
    CHECK(writeArgumentArea(area.data(), row.written));
    CHECK_EQ(joined(readArgumentArea(area.data())), joined(row.read));
  }
}

TEST_CASE(argument_area_limit_is_1040_bytes_with_terminators) {
  struct Row {
    const char* label;
    StringArray arguments;
    bool fits;
  };
  // One argument of n bytes needs n + 2.
  const Row rows[] = {
      {"one argument, exactly 1040", {std::string(1038, 'x')}, true},
      {"one argument, 1041", {std::string(1039, 'x')}, false},
      {"two arguments, exactly 1040", {std::string(500, 'a'), std::string(537, 'b')}, true},
      {"two arguments, 1041", {std::string(500, 'a'), std::string(538, 'b')}, false},
      {"many empty arguments, exactly 1040", StringArray(1039, std::string()), true},
      {"many empty arguments, 1041", StringArray(1040, std::string()), false},
      {"empty arguments between, exactly 1040",
       [] {
         StringArray list(1036, std::string());
         list.front() = "a";
         list.back() = "b";
         return list;
       }(),
       true},
      {"far too long", {std::string(5000, 'z')}, false},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    std::vector<unsigned char> area = dirtyArea();
    CHECK_EQ(argumentAreaBytes(row.arguments) <= kArgumentAreaSize, row.fits);
    CHECK_EQ(writeArgumentArea(area.data(), row.arguments), row.fits);
    if (!row.fits) {
      // A refused list leaves the area as it was.
      CHECK(area == dirtyArea());
      continue;
    }
    // Empty arguments at the end are lost; nothing at all reads as one empty argument.
    StringArray expected = row.arguments;
    while (!expected.empty() && expected.back().empty()) expected.pop_back();
    if (expected.empty()) expected.push_back("");
    CHECK_EQ(joined(readArgumentArea(area.data())), joined(expected));
  }
}

TEST_CASE(argument_area_full_to_the_last_byte_reads_back_whole) {
  // The last argument's zero at 1038 and the closing zero at 1039: the very last pair.
  std::vector<unsigned char> area = dirtyArea();
  const StringArray arguments = {std::string(1000, 'p'), std::string(37, 'q')};
  CHECK_EQ(argumentAreaBytes(arguments), kArgumentAreaSize);
  CHECK(writeArgumentArea(area.data(), arguments));
  CHECK_EQ(static_cast<int>(area[1038]), 0);
  CHECK_EQ(static_cast<int>(area[1037]), static_cast<int>('q'));
  CHECK_EQ(joined(readArgumentArea(area.data())), joined(arguments));
}

TEST_CASE(argument_area_without_closing_zeros_keeps_only_finished_arguments) {
  struct Row {
    const char* label;
    std::vector<unsigned char> area;
    StringArray read;
  };
  std::vector<unsigned char> noZeros(kArgumentAreaSize, 'k');
  std::vector<unsigned char> oneFinished(kArgumentAreaSize, 'k');
  oneFinished[3] = 0;  // "kkk", then text up to the end
  std::vector<unsigned char> zeroAtLast(kArgumentAreaSize, 'k');
  zeroAtLast[5] = 0;
  zeroAtLast[kArgumentAreaSize - 1] = 0;  // the last byte alone never ends an argument
  std::vector<unsigned char> pairAtEnd(kArgumentAreaSize, 'k');
  pairAtEnd[kArgumentAreaSize - 2] = 0;
  pairAtEnd[kArgumentAreaSize - 1] = 0;
  const Row rows[] = {
      {"no zero at all", noZeros, {}},
      {"one finished argument", oneFinished, {"kkk"}},
      {"zero only in the last byte", zeroAtLast, {"kkkkk"}},
      {"closing pair in the last two bytes", pairAtEnd, {std::string(kArgumentAreaSize - 2, 'k')}},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    CHECK_EQ(joined(readArgumentArea(row.area.data())), joined(row.read));
  }
}
