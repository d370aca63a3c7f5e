#include <cstdint>
#include <string>

#include "tests/unit/Test.h"
#include "ui/Centering.h"
#include "ui/LayoutRules.h"
#include "ui/LinkStyle.h"

namespace test {
std::string show(const ui::Rect& r) {
  return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom) + "}";
}
std::string show(const ui::Point& p) { return "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")"; }
}  // namespace test

namespace {

ui::Rect rect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
  return ui::Rect{left, top, right, bottom};
}

ui::Point point(std::int32_t x, std::int32_t y) { return ui::Point{x, y}; }

}  // namespace

TEST_CASE(centering_on_a_reference_within_the_work_area) {
  const ui::Rect work = rect(0, 0, 1024, 738);  // a task bar of 30 pixels below
  struct Row {
    const char* label;
    ui::Rect window;
    ui::Rect reference;
    ui::Rect bounds;
    ui::Point expected;
  };
  const Row rows[] = {
      {"on the work area", rect(0, 0, 300, 200), work, work, point(362, 269)},
      {"odd sizes truncate each half", rect(5, 5, 306, 206), rect(0, 0, 1023, 737), work,
       point(361, 268)},
      {"on an owner", rect(0, 0, 100, 50), rect(100, 100, 301, 201), work, point(150, 125)},
      {"work area not at the origin", rect(0, 0, 200, 100), rect(100, 40, 1124, 808),
       rect(100, 40, 1124, 808), point(512, 374)},
      {"owner near the right edge: pulled in", rect(0, 0, 300, 200), rect(900, 600, 1100, 760),
       work, point(724, 538)},
      {"owner off the left and top: pushed in", rect(0, 0, 300, 200), rect(-400, -300, -100, -100),
       work, point(0, 0)},
      {"negative centre truncates toward zero", rect(0, 0, 11, 11), rect(-11, -11, 0, 0),
       rect(-100, -100, 100, 100), point(-10, -10)},
      {"larger than the work area: left and top edges", rect(0, 0, 1300, 900), work, work, point(0, 0)},
      {"larger, centred on an owner at the right: still left and top", rect(0, 0, 1300, 900),
       rect(800, 500, 1000, 700), work, point(0, 0)},
      {"exactly the work area", rect(0, 0, 1024, 738), work, work, point(0, 0)},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    CHECK_EQ(ui::centeredPosition(row.window, row.reference, row.bounds), row.expected);
  }
  test::setContext("");
}

TEST_CASE(layout_positions_follow_the_initial_rectangles) {
  // The dialog opened with a client area of 400 by 300.
  const std::int32_t w0 = 400;
  const std::int32_t h0 = 300;
  const ui::Rect r0 = rect(10, 20, 110, 60);
  const ui::Rect moved = rect(15, 25, 115, 65);  // where an earlier layout or the user left it
  struct Row {
    const char* label;
    std::uint32_t flags;
    std::int32_t cx;
    std::int32_t cy;
    ui::Rect current;
    ui::Rect expected;
  };
  const Row rows[] = {
      {"no flags: stays", 0, 500, 400, moved, moved},
      {"SizeX widens", ui::SizeX, 500, 400, r0, rect(10, 20, 210, 60)},
      {"SizeY heightens", ui::SizeY, 500, 400, r0, rect(10, 20, 110, 160)},
      {"MoveX keeps the width", ui::MoveX, 500, 300, r0, rect(110, 20, 210, 60)},
      {"MoveY keeps the height", ui::MoveY, 400, 350, r0, rect(10, 70, 110, 110)},
      {"MoveX|MoveY: the corner", ui::MoveX | ui::MoveY, 500, 400, r0, rect(110, 120, 210, 160)},
      {"SizeX|MoveY", ui::SizeX | ui::MoveY, 500, 400, r0, rect(10, 120, 210, 160)},
      {"from the initial rectangle, not the current one", ui::SizeX | ui::SizeY, 500, 400, moved,
       rect(15, 25, 210, 160)},
      {"shrinking below the opening size", ui::MoveX | ui::SizeY, 350, 280, r0, rect(-40, 20, 60, 40)},
      {"back to the opening size", ui::SizeX | ui::SizeY | ui::MoveX | ui::MoveY, w0, h0, moved, r0},
      {"Repaint alone moves nothing", ui::Repaint, 500, 400, moved, moved},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    ui::LayoutEntry entry;
    entry.controlId = 7;
    entry.flags = row.flags;
    entry.initial = r0;
    CHECK_EQ(ui::laidOutRect(entry, row.current, w0, h0, row.cx, row.cy), row.expected);
  }
  test::setContext("");
}

TEST_CASE(link_colour_text) {
  const std::uint32_t untouched = 0x12345678;
  struct Row {
    const char* text;
    bool valid;
    std::uint32_t expected;
  };
  const Row rows[] = {
      {"0,0,128", true, 0x00800000},
      {"255,0,0", true, 0x000000FF},
      {" 12, 34 ,56", true, 0x0038220C},  // spaces before numbers skipped, reading stops after 34
      {"0,0", false, 0},                   // no second comma
      {"0,0,", false, 0},                  // empty blue part
      {"-1,0,0", false, 0},
      {"0,-1,0", false, 0},
      {"0,0,-1", true, 0x00FF0000},  // blue -1 is allowed: its low 8 bits are 255
      {"256,0,0", true, 0x00000000},
      {"-2,0,0", true, 0x000000FE},
      {"+7,+8,+9", true, 0x00090807},
      {",,5", true, 0x00050000},          // empty red and green parts read as 0
      {"a,b,c", true, 0x00000000},        // no digits: 0
      {"1,2,3,4", true, 0x00030201},      // blue is read up to its first non-digit
      {"\t1,2,3", true, 0x00030200},      // only spaces are skipped: a tab ends the number
      {"-01,0,0", false, 0},              // still exactly -1
      {"0,0, ", true, 0x00000000},        // a blank blue part is not empty
      {"", false, 0},
  };
  for (const Row& row : rows) {
    test::setContext(row.text);
    std::uint32_t color = untouched;
    CHECK_EQ(ui::parseLinkColor(row.text, color), row.valid);
    CHECK_EQ(color, row.valid ? row.expected : untouched);
  }
  test::setContext("");
}

TEST_CASE(link_colour_registry_values) {
  struct Row {
    const char* label;
    bool isText;
    const char* data;
    std::size_t size;  // bytes the registry reported, terminating zero included
    bool valid;
  };
  const Row rows[] = {
      {"eleven characters fit", true, "255,255,255", 12, true},
      {"not text", false, "0,0,128", 8, false},
      {"no terminating zero", true, "0,0,128", 7, false},
      {"twelve characters do not fit", true, "255,255,2555", 13, false},
      {"empty data", true, "", 0, false},
      {"a zero inside ends the text", true, "1,2\0,3", 7, false},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    std::uint32_t color = 0;
    CHECK_EQ(ui::linkColorFromValue(row.isText, row.data, row.size, color), row.valid);
  }
  test::setContext("");
}

TEST_CASE(link_rectangle_alignment) {
  const ui::Rect measured = rect(0, 0, 61, 13);
  struct Row {
    std::uint32_t style;
    ui::TextAlign align;
    std::int32_t clientRight;
    ui::Rect expected;
  };
  const Row rows[] = {
      {0x50020000, ui::TextAlign::Left, 100, measured},
      {0x50020001, ui::TextAlign::Center, 100, rect(19, 0, 80, 13)},  // (100 - 61) / 2 = 19
      {0x50020002, ui::TextAlign::Right, 100, rect(39, 0, 100, 13)},
      {0x50020001, ui::TextAlign::Center, 58, rect(-1, 0, 60, 13)},   // -3 / 2 truncates to -1
  };
  for (const Row& row : rows) {
    test::setContext(std::to_string(row.style) + " in " + std::to_string(row.clientRight));
    CHECK(ui::staticTextAlign(row.style) == row.align);
    CHECK_EQ(ui::alignedLinkRect(measured, row.clientRight, row.align), row.expected);
  }
  test::setContext("");
}
