#ifndef BASE_TEXTS_H
#define BASE_TEXTS_H

// Ids of the string table, named once in resources/strings.def. They stay global, as the ids of a
// resource header do: the resource script and every subsystem name them alike.

enum TextId : unsigned {
#define STRING_ENTRY(id, name, text) name = id,
#define TERMINAL_STRING_ENTRY STRING_ENTRY
#include "resources/strings.def"
#undef TERMINAL_STRING_ENTRY
#undef STRING_ENTRY
};

namespace base {

// The same texts as this build compiles them in, so that the compiler checks the arguments of
// every formatted message against its text. What is shown still comes from the string table.
namespace textformat {
#define STRING_ENTRY(id, name, text) constexpr char name[] = text;
#define TERMINAL_STRING_ENTRY STRING_ENTRY
#include "resources/strings.def"
#undef TERMINAL_STRING_ENTRY
#undef STRING_ENTRY
}  // namespace textformat

}  // namespace base

// A text's id followed by its checkable format: formatText(TEXT_FORMAT(IDS_MINIMUM_VERSION), v).
#define TEXT_FORMAT(name) name, ::base::textformat::name

#endif
