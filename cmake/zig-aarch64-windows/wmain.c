/* The start-up that -municode selects with GNU's tools: Zig's mingw start-up object calls main,
   so a wide-character program gets its main here, with the arguments the C library split. */
#include <wchar.h>

int wmain(int argc, wchar_t **argv);
int __wgetmainargs(int *argc, wchar_t ***argv, wchar_t ***environment, int expand, int *startup);

int main(void) {
  int argc = 0, startup = 0;
  wchar_t **argv = 0, **environment = 0;
  if (__wgetmainargs(&argc, &argv, &environment, 0, &startup) < 0) return 255;
  return wmain(argc, argv);
}
