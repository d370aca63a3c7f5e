#ifndef TOOLS_BRAND_TEXT_H
#define TOOLS_BRAND_TEXT_H

// UTF-8, the tool's own text, and UTF-16, the text of resources and of the Windows command line.

#include <string>

namespace brand {

// False for bytes that are not well-formed UTF-8 (overlong forms, surrogates, beyond U+10FFFF).
bool utf8ToUtf16(const std::string& text, std::u16string& result);

// Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(const std::u16string& text);

}  // namespace brand

#endif
