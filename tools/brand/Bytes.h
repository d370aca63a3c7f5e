#ifndef TOOLS_BRAND_BYTES_H
#define TOOLS_BRAND_BYTES_H

// Byte buffers in the little-endian order of the PE format, and the failure report that every
// step of the tool fills instead of printing, so the steps stay free of I/O.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brand {

using Bytes = std::vector<std::uint8_t>;

// The first failure a step met, in words for the vendor.
struct Report {
  std::string message;
  bool fail(const std::string& text) {
    message = text;
    return false;
  }
};

// True when size bytes from offset lie inside data (no overflow on huge values).
inline bool fits(const Bytes& data, std::uint64_t offset, std::uint64_t size) {
  return offset <= data.size() && size <= data.size() - offset;
}

// Reads of fields that the caller has checked with fits().
inline std::uint16_t u16At(const Bytes& data, std::size_t offset) {
  return static_cast<std::uint16_t>(data[offset] | data[offset + 1] << 8);
}
inline std::uint32_t u32At(const Bytes& data, std::size_t offset) {
  return static_cast<std::uint32_t>(u16At(data, offset)) |
         static_cast<std::uint32_t>(u16At(data, offset + 2)) << 16;
}

inline void putU16(Bytes& data, std::size_t offset, std::uint32_t value) {
  data[offset] = static_cast<std::uint8_t>(value);
  data[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}
inline void putU32(Bytes& data, std::size_t offset, std::uint32_t value) {
  putU16(data, offset, value & 0xFFFF);
  putU16(data, offset + 2, value >> 16);
}

inline void appendU16(Bytes& data, std::uint32_t value) {
  data.resize(data.size() + 2);
  putU16(data, data.size() - 2, value);
}
inline void appendU32(Bytes& data, std::uint32_t value) {
  data.resize(data.size() + 4);
  putU32(data, data.size() - 4, value);
}

// Zero bytes up to the next multiple of alignment (a power of two).
inline void padTo(Bytes& data, std::size_t alignment) {
  data.resize((data.size() + alignment - 1) & ~(alignment - 1), 0);
}

inline std::uint64_t alignUp(std::uint64_t value, std::uint64_t alignment) {
  return (value + alignment - 1) & ~(alignment - 1);
}

}  // namespace brand

#endif
