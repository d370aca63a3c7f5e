#ifndef OS_COMMANDLINE_H
#define OS_COMMANDLINE_H

#include <string>

#include "os/Platform.h"

using CharacterTest = bool (*)(unsigned char);

// Splits a command line by the launcher's rules (no escape character; a quote only opens an
// argument at its start; only the space character separates) and drops the first element, the
// program path. isLeadByte keeps a double-byte character whole; isSpace says what is trimmed
// from both ends.
StringArray splitCommandLine(const std::string& line, CharacterTest isLeadByte,
                             CharacterTest isSpace);

#endif
