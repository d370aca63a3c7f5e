#ifndef OS_WSPRINTF_H
#define OS_WSPRINTF_H

// A formatter with the rules of the Windows wvsprintfA function, for systems that lack it: the
// same conversions (%c %d %i %u %x %X %s %%, with flags, width, precision and the h/l size
// prefixes), "(null)" for a null text, and output cut to 1023 characters.

#include <cstdarg>
#include <string>

constexpr std::size_t kFormatLimit = 1023;

std::string formatLikeWsprintf(const char* format, va_list args);

#endif
