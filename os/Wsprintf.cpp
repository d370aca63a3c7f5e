#include "os/Wsprintf.h"

#include <cstdint>
#include <cstring>

namespace {

struct Spec {
  bool left = false;
  bool alternate = false;
  bool zero = false;
  unsigned width = 0;
  int precision = -1;
};

void pad(std::string& out, std::size_t count, char c) { out.append(count, c); }

void emitNumber(std::string& out, const Spec& spec, bool negative, std::uint32_t magnitude,
                unsigned base, bool upper, const char* prefix) {
  char digits[16];
  int n = 0;
  const char* table = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  do {
    digits[n++] = table[magnitude % base];
    magnitude /= base;
  } while (magnitude != 0);
  std::string body;
  const int precision = spec.precision < 0 ? 0 : spec.precision;
  if (precision > n) body.append(static_cast<std::size_t>(precision - n), '0');
  while (n > 0) body += digits[--n];
  std::string sign = negative ? "-" : "";
  if (prefix != nullptr) sign += prefix;
  const std::size_t length = sign.size() + body.size();
  if (spec.left) {
    out += sign;
    out += body;
    if (spec.width > length) pad(out, spec.width - length, ' ');
  } else if (spec.zero) {
    out += sign;
    if (spec.width > length) pad(out, spec.width - length, '0');
    out += body;
  } else {
    if (spec.width > length) pad(out, spec.width - length, ' ');
    out += sign;
    out += body;
  }
}

void emitText(std::string& out, const Spec& spec, const char* text, std::size_t length) {
  if (spec.precision >= 0 && static_cast<std::size_t>(spec.precision) < length) {
    length = static_cast<std::size_t>(spec.precision);
  }
  if (!spec.left && spec.width > length) pad(out, spec.width - length, spec.zero ? '0' : ' ');
  out.append(text, length);
  if (spec.left && spec.width > length) pad(out, spec.width - length, ' ');
}

}  // namespace

std::string formatLikeWsprintf(const char* format, va_list args) {
  std::string out;
  if (format == nullptr) return out;
  const char* p = format;
  while (*p != '\0' && out.size() < kFormatLimit) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    ++p;
    Spec spec;
    if (*p == '-') {
      spec.left = true;
      ++p;
    }
    if (*p == '#') {
      spec.alternate = true;
      ++p;
    }
    if (*p == '0') {
      spec.zero = true;
      ++p;
    }
    while (*p >= '0' && *p <= '9') spec.width = spec.width * 10 + static_cast<unsigned>(*p++ - '0');
    if (*p == '.') {
      ++p;
      spec.precision = 0;
      while (*p >= '0' && *p <= '9') spec.precision = spec.precision * 10 + (*p++ - '0');
    }
    // Size prefixes: everything is 32 bits wide here, and texts are narrow.
    if (*p == 'l' || *p == 'h' || *p == 'w') ++p;
    switch (*p) {
      case 'c':
      case 'C': {
        const char c = static_cast<char>(va_arg(args, int));
        emitText(out, spec, &c, 1);
        break;
      }
      case 'd':
      case 'i': {
        const std::int32_t value = va_arg(args, std::int32_t);
        const bool negative = value < 0;
        const std::uint32_t magnitude =
            negative ? static_cast<std::uint32_t>(0) - static_cast<std::uint32_t>(value)
                     : static_cast<std::uint32_t>(value);
        emitNumber(out, spec, negative, magnitude, 10, false, nullptr);
        break;
      }
      case 'u':
        emitNumber(out, spec, false, va_arg(args, std::uint32_t), 10, false, nullptr);
        break;
      case 'x':
      case 'X': {
        const bool upper = *p == 'X';
        emitNumber(out, spec, false, va_arg(args, std::uint32_t), 16, upper,
                   spec.alternate ? (upper ? "0X" : "0x") : nullptr);
        break;
      }
      case 's':
      case 'S': {
        const char* text = va_arg(args, const char*);
        if (text == nullptr) text = "(null)";
        emitText(out, spec, text, std::strlen(text));
        break;
      }
      case '\0':
        --p;  // a lone % at the end stands for nothing
        break;
      default:
        out += *p;  // %% and unknown conversions give the character itself
        break;
    }
    ++p;
  }
  if (out.size() > kFormatLimit) out.resize(kFormatLimit);
  return out;
}
