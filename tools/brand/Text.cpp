#include "tools/brand/Text.h"

#include <cstdint>

namespace brand {

bool utf8ToUtf16(const std::string& text, std::u16string& result) {
  result.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    const std::uint8_t lead = static_cast<std::uint8_t>(text[i]);
    std::uint32_t point = 0;
    std::size_t length = 0;
    std::uint32_t least = 0;
    if (lead < 0x80) {
      point = lead, length = 1;
    } else if (lead >= 0xC2 && lead < 0xE0) {
      point = lead & 0x1F, length = 2, least = 0x80;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      point = lead & 0x0F, length = 3, least = 0x800;
    } else if (lead >= 0xF0 && lead < 0xF5) {
      point = lead & 0x07, length = 4, least = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const std::uint8_t next = static_cast<std::uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      point = point << 6 | (next & 0x3F);
    }
    if (point < least || point > 0x10FFFF || (point >= 0xD800 && point < 0xE000)) return false;
    if (point >= 0x10000) {
      point -= 0x10000;
      result += static_cast<char16_t>(0xD800 + (point >> 10));
      result += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
    } else {
      result += static_cast<char16_t>(point);
    }
    i += length;
  }
  return true;
}

std::string utf16ToUtf8(const std::u16string& text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t point = text[i];
    if (point >= 0xD800 && point < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      point = 0x10000 + ((point - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (point >= 0xD800 && point < 0xE000) {
      point = 0xFFFD;
    }
    if (point < 0x80) {
      result += static_cast<char>(point);
    } else if (point < 0x800) {
      result += static_cast<char>(0xC0 | point >> 6);
      result += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
      result += static_cast<char>(0xE0 | point >> 12);
      result += static_cast<char>(0x80 | (point >> 6 & 0x3F));
      result += static_cast<char>(0x80 | (point & 0x3F));
    } else {
      result += static_cast<char>(0xF0 | point >> 18);
      result += static_cast<char>(0x80 | (point >> 12 & 0x3F));
      result += static_cast<char>(0x80 | (point >> 6 & 0x3F));
      result += static_cast<char>(0x80 | (point & 0x3F));
    }
  }
  return result;
}

}  // namespace brand
