#include "os/Wsprintf.h"

#include <cstdint>

namespace {

enum class Kind { Char, WideChar, Text, WideText, Signed, Unsigned, Hex, Unknown };

struct Field {
  bool left = false;
  bool prefix = false;  // '#': 0x before hexadecimal numbers
  bool zero = false;
  bool upper = false;
  std::size_t width = 0;
  std::size_t precision = 0;  // 0 also when none is given: texts are then read whole
  Kind kind = Kind::Unknown;
};

// Reads flags, width, precision, size prefix and conversion after a '%'. `p` is left on the
// character after the conversion, or on an unknown conversion character, which the caller then
// copies as ordinary text.
Field parseField(const char*& p) {
  Field field;
  // The flags are recognised in this order only, each at most once.
  if (*p == '-') {
    field.left = true;
    ++p;
  }
  if (*p == '#') {
    field.prefix = true;
    ++p;
  }
  if (*p == '0') {
    field.zero = true;
    ++p;
  }
  while (*p >= '0' && *p <= '9') field.width = field.width * 10 + static_cast<std::size_t>(*p++ - '0');
  if (*p == '.') {
    ++p;
    while (*p >= '0' && *p <= '9') {
      field.precision = field.precision * 10 + static_cast<std::size_t>(*p++ - '0');
    }
  }
  bool shortSize = false;
  bool wideSize = false;
  // Numbers are 32 bits wide whatever the prefix; for characters and texts "l" and "w" mean
  // 16-bit units, "h" narrow ones.
  if (*p == 'l' || *p == 'w') {
    wideSize = true;
    ++p;
  } else if (*p == 'h') {
    shortSize = true;
    ++p;
  }
  switch (*p) {
    case 'c': field.kind = wideSize ? Kind::WideChar : Kind::Char; break;
    case 'C': field.kind = shortSize ? Kind::Char : Kind::WideChar; break;
    case 's': field.kind = wideSize && !shortSize ? Kind::WideText : Kind::Text; break;
    case 'S': field.kind = shortSize && !wideSize ? Kind::Text : Kind::WideText; break;
    case 'd':
    case 'i': field.kind = Kind::Signed; break;
    case 'u': field.kind = Kind::Unsigned; break;
    case 'X': field.upper = true; field.kind = Kind::Hex; break;
    case 'x': field.kind = Kind::Hex; break;
    default: return field;  // unknown: p stays on it
  }
  ++p;
  return field;
}

// A 16-bit text unit as a narrow character: only the ASCII range has a meaning here.
char narrowed(std::uint32_t unit) { return unit < 0x80 ? static_cast<char>(unit) : '?'; }

}  // namespace

std::string formatLikeWsprintf(const char* format, va_list args) {
  std::string out;
  if (format == nullptr) return out;
  // Room left in the 1024-byte buffer, the terminator included.
  std::size_t room = kFormatLimit + 1;
  const char* p = format;
  while (*p != '\0' && room > 1) {
    if (*p != '%') {
      out += *p++;
      --room;
      continue;
    }
    ++p;
    if (*p == '%') {
      out += *p++;
      --room;
      continue;
    }
    Field field = parseField(p);
    const std::size_t limit = room - 1;
    if (field.left) field.zero = false;
    if (field.width > limit) field.width = limit;

    // The text of the value: `body`, its length `length`, and in `field.precision` the number of
    // characters the value takes before padding.
    std::string body;
    std::size_t length = 0;
    bool negative = false;
    switch (field.kind) {
      case Kind::Char:
        body.assign(1, static_cast<char>(va_arg(args, int)));
        length = field.precision = 1;
        break;
      case Kind::WideChar:
        body.assign(1, narrowed(static_cast<std::uint16_t>(va_arg(args, int))));
        length = field.precision = 1;
        break;
      case Kind::Text: {
        const char* text = va_arg(args, const char*);
        if (text == nullptr) text = "(null)";
        // A precision bounds what is read: the text need not be terminated within it.
        while ((field.precision == 0 || length < field.precision) && text[length] != '\0') ++length;
        if (length > limit) length = limit;
        body.assign(text, length);
        field.precision = length;
        break;
      }
      case Kind::WideText: {
        const std::uint16_t* text = va_arg(args, const std::uint16_t*);
        static const std::uint16_t kNull[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
        if (text == nullptr) text = kNull;
        while ((field.precision == 0 || length < field.precision) && text[length] != 0) {
          body += narrowed(text[length++]);
        }
        if (length > limit) length = limit;
        body.resize(length);
        field.precision = length;
        break;
      }
      case Kind::Signed:
      case Kind::Unsigned:
      case Kind::Hex: {
        std::uint32_t magnitude = 0;
        if (field.kind == Kind::Signed) {
          const std::int32_t value = va_arg(args, std::int32_t);
          negative = value < 0;
          magnitude = negative ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
        } else {
          magnitude = va_arg(args, std::uint32_t);
        }
        const unsigned base = field.kind == Kind::Hex ? 16 : 10;
        const char* digits = field.upper ? "0123456789ABCDEF" : "0123456789abcdef";
        char reversed[16];
        std::size_t n = 0;
        do {
          reversed[n++] = digits[magnitude % base];
          magnitude /= base;
        } while (magnitude != 0);
        if (negative) body += '-';
        while (n > 0) body += reversed[--n];
        // The sign counts as one of the digits that a precision asks for.
        length = body.size() > limit ? limit : body.size();
        body.resize(length);
        if (field.precision < length) field.precision = length;
        if (field.precision > limit) field.precision = limit;
        if (field.zero && field.width > field.precision) field.precision = field.width;
        break;
      }
      case Kind::Unknown:
        break;
    }

    const std::size_t padding = field.width > field.precision ? field.width - field.precision : 0;
    if (!field.left) {
      out.append(padding, ' ');
      room -= padding;
    }
    if (field.kind == Kind::Unknown) continue;  // the character after the padding is copied as text

    if (field.kind == Kind::Hex && field.prefix && room > 3) {
      out += field.upper ? "0X" : "0x";
      room -= 2;
    }
    if (field.kind == Kind::Signed || field.kind == Kind::Unsigned || field.kind == Kind::Hex) {
      std::size_t sign = 0;
      if (negative && length > 0) {
        out += '-';
        sign = 1;
      }
      if (field.precision > length) {
        out.append(field.precision - length, '0');
        room -= field.precision - length;
      }
      out.append(body, sign, std::string::npos);
    } else {
      out += body;
    }
    if (field.left) {
      out.append(padding, ' ');
      room -= padding;
    }
    room = room > length ? room - length : 1;
  }
  // The bookkeeping above keeps within the buffer; this only guards the contract.
  if (out.size() > kFormatLimit) out.resize(kFormatLimit);
  return out;
}
