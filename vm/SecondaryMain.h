#ifndef VM_SECONDARYMAIN_H
#define VM_SECONDARYMAIN_H

// The Java side of a single-instance hand-over: the main class's static secondaryMain, called
// with a second start's arguments on a thread of the first instance.

#include <jni.h>

#include <cstdint>
#include <string>

#include "os/Platform.h"

namespace vm {

// Called once with the value that answers the second start: 0 at once for the void form, which the
// second start need not wait for; secondaryMain's result for the int form.
using SecondaryReply = void (*)(void* context, std::int32_t value);

// Attaches the calling thread to the VM, calls secondaryMain(String[]) of mainClass (slash form) in
// its void or int form, describes what it left pending and detaches. No reply when the thread
// cannot attach, or the class or the method is missing. requester names the second start's thread
// in the trace.
void callSecondaryMain(JavaVM* vm, const std::string& mainClass, const StringArray& arguments,
                       std::uint32_t requester, SecondaryReply reply, void* context);

}  // namespace vm

#endif
