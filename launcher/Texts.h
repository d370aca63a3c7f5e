#ifndef LAUNCHER_TEXTS_H
#define LAUNCHER_TEXTS_H

// Ids of the string table, named once in resources/strings.def.

enum TextId : unsigned {
#define STRING_ENTRY(id, name, text) name = id,
#define TERMINAL_STRING_ENTRY STRING_ENTRY
#include "resources/strings.def"
#undef TERMINAL_STRING_ENTRY
#undef STRING_ENTRY
};

#endif
