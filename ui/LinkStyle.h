#ifndef UI_LINKSTYLE_H
#define UI_LINKSTYLE_H

// The look of a hyperlink that does not need the window system: the browser's colour values and
// where the measured text sits in its control.

#include <cstddef>
#include <cstdint>

#include "ui/Geometry.h"

namespace ui {

// Colours as the system keeps them: 0x00BBGGRR.
constexpr std::uint32_t kDefaultLinkColor = 0x00FF0000;     // blue
constexpr std::uint32_t kDefaultVisitedColor = 0x00800080;  // purple

// Reads "red,green,blue" the way the browser writes its link colours. Each part is a decimal
// number after optional spaces and sign, read up to its first non-digit (none: 0) and cut to its
// low 8 bits. False, with `color` untouched, without two commas, with an empty blue part, or
// with a red or green part of exactly -1.
bool parseLinkColor(const char* text, std::uint32_t& color);

// The browser's registry values are read into a 12-byte buffer; a value is used only when it is
// text (not expanded) whose data ends with its terminating zero within those bytes.
constexpr std::size_t kColorValueBytes = 12;
bool linkColorFromValue(bool isText, const char* data, std::size_t size, std::uint32_t& color);

enum class TextAlign { Left, Center, Right };

// The alignment of a static control's text from its style: SS_CENTER (1), else SS_RIGHT (2), else
// left.
TextAlign staticTextAlign(std::uint32_t style);

// The measured text rectangle moved within a client area whose right edge is clientRight: right
// for right-aligned text, half of the way for centred text (truncated toward zero).
Rect alignedLinkRect(const Rect& measured, std::int32_t clientRight, TextAlign align);

}  // namespace ui

#endif
