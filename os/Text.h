#ifndef OS_TEXT_H
#define OS_TEXT_H

// Small text helpers that every layer uses, from the OS seam up.

#include <cstdint>
#include <cstring>
#include <string>

namespace os {

inline char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Equal but for the case of ASCII letters, the way INI names and fixed words are compared.
inline bool equalsIgnoringCase(const char* a, std::size_t aLength, const char* b,
                               std::size_t bLength) {
  if (aLength != bLength) return false;
  for (std::size_t i = 0; i < aLength; ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

inline bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  return equalsIgnoringCase(a.data(), a.size(), b.data(), b.size());
}

inline bool equalsIgnoringCase(const std::string& a, const char* b) {
  return equalsIgnoringCase(a.data(), a.size(), b, std::strlen(b));
}

// Decimal text of a number, without the C library's formatting (which on Windows would bring a
// whole printf engine for this).
inline std::string unsignedDecimal(std::uint64_t value) {
  char digits[24];
  std::size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::string text;
  while (n > 0) text += digits[--n];
  return text;
}

inline std::string signedDecimal(std::int64_t value) {
  if (value >= 0) return unsignedDecimal(static_cast<std::uint64_t>(value));
  return "-" + unsignedDecimal(0 - static_cast<std::uint64_t>(value));
}

// FNV-1a, 64 bits: names derived from program paths are cut to fit and kept apart by it.
inline std::uint64_t fnv1a64(const std::string& text) {
  std::uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

}  // namespace os

#endif
