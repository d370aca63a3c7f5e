#ifndef LAUNCHER_TEXTS_H
#define LAUNCHER_TEXTS_H

// Ids of the string table, named once in resources/strings.def.

enum TextId : unsigned {
#define STRING_ENTRY(id, name, text) name = id,
#include "resources/strings.def"
#undef STRING_ENTRY
};

#endif
