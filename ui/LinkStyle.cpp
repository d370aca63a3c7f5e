#include "ui/LinkStyle.h"

#include "os/Process.h"

namespace ui {

namespace {

// The first comma at or after text, stepping over double-byte characters; null when none.
const char* nextComma(const char* text) {
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == ',') return c;
    if (os::isLeadByte(static_cast<unsigned char>(*c)) && c[1] != '\0') ++c;
  }
  return nullptr;
}

// The decimal number at the start of [begin, end): spaces, a sign, digits. Wraps like the 32-bit
// arithmetic of the system's own reader instead of overflowing.
std::int32_t readPart(const char* begin, const char* end) {
  const char* c = begin;
  while (c < end && *c == ' ') ++c;
  bool negative = false;
  if (c < end && (*c == '-' || *c == '+')) {
    negative = *c == '-';
    ++c;
  }
  std::uint32_t value = 0;
  for (; c < end && *c >= '0' && *c <= '9'; ++c) value = value * 10u + static_cast<std::uint32_t>(*c - '0');
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

const char* endOf(const char* text) {
  while (*text != '\0') ++text;
  return text;
}

}  // namespace

bool parseLinkColor(const char* text, std::uint32_t& color) {
  if (text == nullptr) return false;
  const char* firstComma = nextComma(text);
  if (firstComma == nullptr) return false;
  const char* secondComma = nextComma(firstComma + 1);
  if (secondComma == nullptr) return false;
  const char* blue = secondComma + 1;
  const char* end = endOf(blue);
  if (blue == end) return false;
  const std::int32_t r = readPart(text, firstComma);
  const std::int32_t g = readPart(firstComma + 1, secondComma);
  const std::int32_t b = readPart(blue, end);
  if (r == -1 || g == -1) return false;
  color = ((static_cast<std::uint32_t>(b) & 255u) << 16) | ((static_cast<std::uint32_t>(g) & 255u) << 8) |
          (static_cast<std::uint32_t>(r) & 255u);
  return true;
}

bool linkColorFromValue(bool isText, const char* data, std::size_t size, std::uint32_t& color) {
  if (!isText || data == nullptr || size == 0 || size > kColorValueBytes || data[size - 1] != '\0') {
    return false;
  }
  return parseLinkColor(data, color);
}

TextAlign staticTextAlign(std::uint32_t style) {
  if (style & 0x1u) return TextAlign::Center;
  if (style & 0x2u) return TextAlign::Right;
  return TextAlign::Left;
}

Rect alignedLinkRect(const Rect& measured, std::int32_t clientRight, TextAlign align) {
  std::int32_t shift = 0;
  if (align == TextAlign::Center) shift = (clientRight - measured.right) / 2;
  if (align == TextAlign::Right) shift = clientRight - measured.right;
  Rect moved = measured;
  moved.left += shift;
  moved.right += shift;
  return moved;
}

}  // namespace ui
