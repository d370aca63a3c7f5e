#ifndef OS_FILESYSTEM_H
#define OS_FILESYSTEM_H

// What a cache of files kept by the launcher needs beyond Process.h: what an entry is and when it
// was written, the contents of a folder, removal, a rename that replaces in one step, a small
// write, and the room left on a disk.

#include <cstdint>
#include <string>

#include "os/Platform.h"

namespace os {

enum class EntryKind { Absent, File, Folder, Other };

struct FileStamp {
  EntryKind kind = EntryKind::Absent;
  std::uint64_t size = 0;     // bytes; 0 for anything but a file
  std::int64_t modified = 0;  // last write, nanoseconds since 1970-01-01 UTC
};

// The entry the path names, following symbolic links; Absent when there is none or it cannot be
// asked.
FileStamp fileStamp(const std::string& path);

// Now, on the clock of FileStamp::modified.
std::int64_t currentTime();

// The names of the entries directly in the folder, "." and ".." left out, in no order; empty when
// the folder cannot be read.
StringArray folderEntries(const std::string& folder);

// Removes one file, a read-only one too (Windows refuses those unless the attribute goes first).
bool removeFile(const std::string& path);

// Gives the file at from the name to, replacing a file of that name. Others see the old file or the
// new one at that name, never a mixture, because nothing is copied.
bool replaceFile(const std::string& from, const std::string& to);

// Creates the file, or empties one that exists, and writes the bytes.
bool writeFile(const std::string& path, const std::string& bytes);

// Bytes that this user may still write on the disk that holds the folder; false when unknown.
bool freeDiskSpace(const std::string& folder, std::uint64_t& bytes);

}  // namespace os

#endif
