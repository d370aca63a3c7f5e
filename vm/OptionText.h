#ifndef VM_OPTIONTEXT_H
#define VM_OPTIONTEXT_H

// The text rules behind the VM's environment and options: path cutting, the runtime's library
// folder, splitting and unquoting the user's VM parameters, and the launcher's relative memory
// sizes. Pure functions of their arguments, so that every rule can be tested on its own.

#include <cstdint>
#include <string>
#include <vector>

#include "os/Platform.h"

namespace vm {

// The path with its last n components cut off, each cut at the last path separator (a trail byte
// of a double-byte character never counts as one). A path without a separator stays as it is.
std::string stripPathComponents(const std::string& path, int n);

// The runtime's library folder for the VM library at jvmLibraryPath: two components up, then the
// folder that holds that one, then "lib". C:\rt\bin\client\jvm.dll gives C:\rt\lib.
std::string runtimeLibraryFolder(const std::string& jvmLibraryPath);

// The user's VM parameters split into tokens at spaces outside quoted stretches; tokens come back
// as written (still quoted).
StringArray splitVmParameters(const std::string& text);

// Removes pairs of double quotes; "" inside a quoted stretch leaves one literal quote.
std::string unquote(const std::string& token);

// -Xms, -Xmx or -Xss followed by anything that ends in P, p, T or t.
bool isRelativeMemoryOption(const std::string& token);

struct NumberList {
  std::size_t firstIndex = 0;        // where the first digit or colon stands
  std::vector<std::uint32_t> numbers;  // colon-separated; 32-bit arithmetic
  bool overflow = false;             // a number did not fit in 32 bits
};

// Colon-separated decimal numbers from the first digit or colon on; the last character of the
// text is the unit letter and is never read.
NumberList parseNumberList(const std::string& text);

// Whether relative sizes are worked out in 64 bits (the 64-bit builds) or with the 32-bit
// figures of the 32-bit launcher.
enum class MemoryArithmetic { Narrow32, Wide64 };

constexpr MemoryArithmetic kMemoryArithmetic =
    os::kNarrowMemoryFigures ? MemoryArithmetic::Narrow32 : MemoryArithmetic::Wide64;

// A relative memory option rewritten to an absolute size in kilobytes: the percentage of the
// physical memory (P) or of the address space still free (T), bounded by the optional maximum and
// then the optional minimum, both in megabytes. -Xmx50:64:512p on 2 GiB gives -Xmx524288K.
// False, with the token as written, when a number does not fit: one of the text's numbers is
// beyond 32 bits, or the size is beyond what the arithmetic holds (the 32-bit launcher prints a
// signed 32-bit number of kilobytes; the 64-bit builds a number of bytes that fits 64 bits; a
// stack size must fit the 32-bit size of the VM's thread). Such a token goes to the VM as written,
// which refuses it with its own words, as it does any other option it cannot read.
bool resolveMemoryOption(const std::string& token, std::uint64_t totalPhysical,
                         std::uint64_t availableVirtual, std::string& resolved,
                         MemoryArithmetic arithmetic = kMemoryArithmetic);

// The thread stack size that the text after "-Xss" asks for, in bytes; false when the text does
// not give exactly one number from its first character on, or the size does not fit in 32 bits
// (the size is then left alone). A value ending in a digit is read whole, in bytes.
bool parseStackSize(const std::string& text, std::uint32_t& stackSize);

// The java launcher's module options whose value is the next token on its command line
// ("--add-opens java.desktop/sun.awt=ALL-UNNAMED"): the VM takes them only joined with "=". Each
// is joined with the token that follows it, and "-p", java's short name, becomes "--module-path".
// Options already joined, and one that is the last token, stay as they are.
StringArray joinModuleOptions(const StringArray& tokens);

// The entries of a path list, split at the list separator; empty entries kept.
StringArray splitPathList(const std::string& list);

// java's class-path wildcard: "*" alone, or after a path separator ("lib/*"). The folder part,
// with its separator ("lib/", or "" for the current folder), when the entry is one.
bool classPathWildcard(const std::string& entry, std::string& folder);

// The names among a folder's entries that java's wildcard takes: those ending in ".jar" in any
// case, in name order.
StringArray wildcardJars(StringArray names);

// The library-path setting with the launcher's folder, ".", the inherited search path and the
// runtime's library folder after it, each joined with the list separator unless the text before
// it already ends with one. inheritedPathReference is the unexpanded reference ("%Path%") or
// empty when the inherited search path is empty; inheritedPathEndsWithSeparator tells how the
// inherited value ends.
std::string composeLibraryPath(const std::string& libraryPath, const std::string& launcherFolder,
                               const std::string& inheritedPathReference,
                               bool inheritedPathEndsWithSeparator,
                               const std::string& runtimeLibraryFolderPath);

// The new search path before expansion: the system path (with a separator after it unless it ends
// with one), the inherited reference ("%Path%" and a separator; left out when empty), and the
// runtime's binaries folder.
std::string composeSearchPath(const std::string& systemPath,
                              const std::string& inheritedPathReference,
                              const std::string& runtimeBinariesFolder);

}  // namespace vm

#endif
