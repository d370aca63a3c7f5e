/* Preloaded into the 32-bit programs that run under qemu-i386 (see run beside this file).

   Wine's 32-bit loader reserves the address space at start-up with mmap(MAP_FIXED_NOREPLACE)
   over halves of each range, down to 64 KiB. The kernel fails such a mapping where the range is
   in use; qemu 7.2 takes the flag for a hint and maps somewhere else. Wine keeps what it gets above
   2 GiB, so its first pass (the low gigabyte, where qemu has put the libraries) fills the upper
   half, and the second pass, over the upper half, then fails on every 64 KiB: about 65,000
   mappings and as many unmappings, each a search of qemu's page table, some 50 s a start.
   Here a mapping that asked for its exact place and did not get it is undone and fails with
   EEXIST, as the kernel does; the two passes then take a few hundred calls.

   Built without the C library's headers (no 32-bit development files are installed): each
   declaration is the i386 one, and the calls resolve against the program's C library. */

typedef unsigned int size_t;
typedef long long off64_t;

#define MAP_FAILED ((void *)-1)
#define MAP_FIXED_NOREPLACE 0x100000
#define EEXIST 17
#define RTLD_NEXT ((void *)-1)

extern void *dlsym(void *handle, const char *name);
extern int munmap(void *address, size_t length);
extern int *__errno_location(void);

static void *placed(void *wanted, void *got, size_t length, int flags) {
  if (!(flags & MAP_FIXED_NOREPLACE) || got == MAP_FAILED || got == wanted) return got;
  munmap(got, length);
  *__errno_location() = EEXIST;
  return MAP_FAILED;
}

void *mmap64(void *address, size_t length, int protection, int flags, int fd, off64_t offset) {
  static void *(*next)(void *, size_t, int, int, int, off64_t);
  if (!next) next = (void *(*)(void *, size_t, int, int, int, off64_t))dlsym(RTLD_NEXT, "mmap64");
  return placed(address, next(address, length, protection, flags, fd, offset), length, flags);
}

void *mmap(void *address, size_t length, int protection, int flags, int fd, long offset) {
  static void *(*next)(void *, size_t, int, int, int, long);
  if (!next) next = (void *(*)(void *, size_t, int, int, int, long))dlsym(RTLD_NEXT, "mmap");
  return placed(address, next(address, length, protection, flags, fd, offset), length, flags);
}
