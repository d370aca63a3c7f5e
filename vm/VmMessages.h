#ifndef VM_VMMESSAGES_H
#define VM_VMMESSAGES_H

// The VM's own words while it is being created ("Unrecognized option: ...", "Error occurred during
// initialization of boot layer"): the "vfprintf" hook among the VM's options passes every message
// on to the stream the VM meant, and keeps the last ones while creation runs, so that the message
// that says creation failed can show them. On Windows the VM's streams lead nowhere.

#include <jni.h>

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>

namespace vm {

// The hook, handed to the VM as the "vfprintf" option.
jint JNICALL vmMessageHook(FILE* stream, const char* format, va_list args);

// From now on the VM's messages are kept (the earlier ones forgotten), until stopped.
void startKeepingVmMessages();
void stopKeepingVmMessages();

// The last lines kept, at most maxLines of them, each ending with a line feed; empty lines left
// out.
std::string keptVmMessages(std::size_t maxLines);

// The last lines of text, as keptVmMessages gives them.
std::string lastLines(const std::string& text, std::size_t maxLines);

}  // namespace vm

#endif
