#ifndef OS_FILESYSTEM_H
#define OS_FILESYSTEM_H

// What a cache of files kept by the launcher needs beyond Process.h: what an entry is and when it
// was written, a folder of the user's own that nobody else can enter or swap, the contents of a
// folder, files made exclusively, removal, a rename that replaces in one step, the room left on a
// disk, and marks that say a process is busy until it lets go or ends.

#include <cstdint>
#include <memory>
#include <string>

#include "os/Platform.h"

namespace os {

enum class EntryKind { Absent, File, Folder, Other };

struct FileStamp {
  EntryKind kind = EntryKind::Absent;
  std::uint64_t size = 0;     // bytes; 0 for anything but a file
  std::int64_t modified = 0;  // last write, nanoseconds since 1970-01-01 UTC
  // What nobody can set back: which file it is on its disk (POSIX: device and inode; Windows:
  // volume serial and file index), and when anything about it last changed (POSIX: the status
  // change time; Windows: the change time), which every write, rename or time-setting moves on.
  std::uint64_t volume = 0;
  std::uint64_t id = 0;
  std::int64_t changed = 0;
};

// The entry the path names, following symbolic links; Absent when there is none or it cannot be
// asked.
FileStamp fileStamp(const std::string& path);

// Now, on the clock of FileStamp::modified.
std::int64_t currentTime();

// The folders `names`, one inside the other below base, made when missing with rights for this
// user alone, and each checked: a real folder (a link or reparse point is never followed), this
// user's own, open to nobody else. base itself must be this user's and writable by nobody else
// (POSIX: nor any folder above it, unless sticky). On Windows the folders stay open for the rest
// of the process, so that nobody can rename or remove them meanwhile. folder receives the last
// one, with a trailing separator; false with the reason in why.
bool userOwnFolder(const std::string& base, const StringArray& names, std::string& folder,
                   std::string& why);

// The names of the entries directly in the folder, "." and ".." left out, in no order; empty when
// the folder cannot be read.
StringArray folderEntries(const std::string& folder);

// Creates an empty file that only this user may use. False when anything already has the name (a
// link included, which is never followed) or the file cannot be made.
bool createNewFile(const std::string& path);

// Removes one file, a read-only one too (Windows refuses those unless the attribute goes first).
// A link is removed itself, never what it names.
bool removeFile(const std::string& path);

// Gives the file at from the name to, replacing a file of that name. Others see the old file or the
// new one at that name, never a mixture, because nothing is copied.
bool replaceFile(const std::string& from, const std::string& to);

// Bytes that this user may still write on the disk that holds the folder; false when unknown.
bool freeDiskSpace(const std::string& folder, std::uint64_t& bytes);

// A file that tells other processes that this one is busy with something. It is held from create
// until release, or until the process ends in whatever way; a process that dies holding it leaves
// it behind, abandoned, for claimMark to find.
class HeldMark {
 public:
  HeldMark();
  ~HeldMark();  // releases
  HeldMark(const HeldMark&) = delete;
  HeldMark& operator=(const HeldMark&) = delete;

  // Makes the mark and holds it; false when the name is taken or the file cannot be made.
  bool create(const std::string& path);
  // Removes the mark while still holding it, so that nobody ever takes it for abandoned.
  void release();
  bool held() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

enum class MarkState {
  Held,       // its maker still holds it (or is still making it)
  Abandoned,  // its maker ended without releasing it; removed now
  Gone,       // there is none (any more)
};
MarkState claimMark(const std::string& path);

}  // namespace os

#endif
