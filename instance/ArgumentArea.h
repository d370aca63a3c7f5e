#ifndef INSTANCE_ARGUMENTAREA_H
#define INSTANCE_ARGUMENTAREA_H

// The argument area of the single-instance block: how a second start's arguments travel to the
// first one. Each argument is stored as its bytes and one zero byte; one more zero byte ends the
// list; the rest of the area is zero.

#include <cstddef>

#include "os/Platform.h"

namespace instance {

constexpr std::size_t kArgumentAreaSize = 1040;

// The bytes the arguments need in the area, terminators included.
std::size_t argumentAreaBytes(const StringArray& arguments);

// Clears the area and stores the arguments. False, with the area untouched, when they need more
// than kArgumentAreaSize bytes.
bool writeArgumentArea(unsigned char* area, const StringArray& arguments);

// The arguments stored in the area. An area with no arguments reads as one empty argument, and
// empty arguments at the end cannot be told from the zeros after the list, so they are lost; an
// empty argument between others survives. An area that is not closed by a zero byte followed by
// nothing but zeros yields the arguments completed before its last byte.
StringArray readArgumentArea(const unsigned char* area);

}  // namespace instance

#endif
