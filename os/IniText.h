#ifndef OS_INITEXT_H
#define OS_INITEXT_H

// INI text with the observable rules of the Windows profile functions, for systems without them:
// sections in brackets, key=value lines, section and key names compared without regard to case,
// blanks around names and values dropped, one pair of quotes around a value dropped, the first
// matching section and key winning, comment lines (";") passed over, a zero byte ending what its
// line says. A line without "=" names a
// key without a value, so it is passed over unless that very key is asked for.

#include <string>

// The value of key in section, or false when there is none.
bool findIniValue(const std::string& text, const char* section, const char* key, std::string& value);

// The text with key in section set to value: an existing key's line is rewritten in place, a new
// key goes after the last entry of its section, a new section at the end. Every other byte stays.
std::string setIniValue(const std::string& text, const char* section, const char* key,
                        const std::string& value);

#endif
