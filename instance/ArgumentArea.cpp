#include "instance/ArgumentArea.h"

#include <cstring>

namespace instance {

std::size_t argumentAreaBytes(const StringArray& arguments) {
  std::size_t total = 1;
  for (const std::string& argument : arguments) total += argument.size() + 1;
  return total;
}

bool writeArgumentArea(unsigned char* area, const StringArray& arguments) {
  if (argumentAreaBytes(arguments) > kArgumentAreaSize) return false;
  std::memset(area, 0, kArgumentAreaSize);
  std::size_t position = 0;
  for (const std::string& argument : arguments) {
    std::memcpy(area + position, argument.data(), argument.size());
    position += argument.size() + 1;
  }
  return true;
}

StringArray readArgumentArea(const unsigned char* area) {
  // The list ends at the zero byte after which the area holds nothing but zeros. A pair of zero
  // bytes alone does not end it: that is also what an empty argument between others looks like.
  std::size_t used = kArgumentAreaSize;
  while (used > 0 && area[used - 1] == 0) --used;
  StringArray list;
  std::string current;
  // The last byte is only ever looked at as the follower of the one before it.
  for (std::size_t i = 0; i + 1 < kArgumentAreaSize; ++i) {
    if (area[i] != 0) {
      current.push_back(static_cast<char>(area[i]));
      continue;
    }
    list.push_back(current);
    if (i + 1 >= used) return list;
    current.clear();
  }
  return list;
}

}  // namespace instance
