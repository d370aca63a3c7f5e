#ifndef FUZZ_FUZZINPUT_H
#define FUZZ_FUZZINPUT_H

// Splits one fuzzer input into the pieces a target needs. Each target checks properties of what
// the launcher computes, not only that nothing crashes; a broken property aborts, which the fuzzer
// reports as a crash with the input that broke it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_REQUIRE(condition)                                                      \
  do {                                                                               \
    if (!(condition)) {                                                              \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool empty() const { return position_ >= size_; }

  std::uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }

  // Up to the next 0xFF byte (or the end); the separator is not part of the piece.
  std::string piece() {
    std::string text;
    while (position_ < size_ && data_[position_] != 0xFF) text += static_cast<char>(data_[position_++]);
    if (position_ < size_) ++position_;
    return text;
  }

  std::string rest() {
    std::string text(reinterpret_cast<const char*>(data_ + position_), size_ - position_);
    position_ = size_;
    return text;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

#endif
