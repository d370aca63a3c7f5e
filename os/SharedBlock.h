#ifndef OS_SHAREDBLOCK_H
#define OS_SHAREDBLOCK_H

// What the launcher processes of one program path share: a named block of memory, and a named lock
// that serialises the second starts' use of it.
//
// Windows: a file mapping on the paging file; the system removes it when its last user closes it.
// POSIX: a file in a folder only the user can reach, paired with a companion file whose record
// locks count the users, so the last user removes both, and a block left behind by a crashed
// process is recognised as stale (no live user holds it) and made anew.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace os {

class SharedMapping {
 public:
  SharedMapping();
  ~SharedMapping();
  SharedMapping(const SharedMapping&) = delete;
  SharedMapping& operator=(const SharedMapping&) = delete;

  // Creates the zero-filled block, or opens it when another process has created it already
  // (createdNew then false). False when neither works; failure() then says why.
  bool createOrOpen(const std::string& name, std::size_t size, bool& createdNew);
  const std::string& failure() const { return failure_; }

  // Maps the whole block for reading and writing; null on failure.
  unsigned char* map();

  // Unmaps the view and closes the block; the block goes when its last user closes it.
  void close();

  bool isOpen() const;

  // POSIX cannot read another process's exit status, so the first process leaves its own beside
  // the block when it exits (exit() and a return from main, not a crash). Nothing to do on Windows.
  void recordExitCodeAtExit(std::uint32_t processId);
  // The code that recordExitCodeAtExit left for processId; false when there is none.
  bool recordedExitCode(std::uint32_t processId, std::int32_t& code) const;

  // POSIX, at process exit: gives up this process's use of the block, removing it when no other
  // process uses it, but leaves the view mapped for threads that still run.
  void leaveAtExit();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string failure_;
};

// A lock named across processes (Windows: a named mutex; POSIX: a record lock on the companion file
// of the block of the same name). A holder that dies releases it.
class NamedLock {
 public:
  NamedLock();
  ~NamedLock();
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

  // Blocks until the lock is held; on Windows also ends when the process of watchedProcessId has
  // ended (0: watch none). POSIX holders give the lock up themselves when that process ends. False
  // when the lock was not taken. The block of that name must be open in this process.
  bool acquire(const std::string& name, std::uint32_t watchedProcessId);
  void release();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace os

#endif
