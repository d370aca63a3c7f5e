// A stand-in for the Java runtime's splash library (splashscreen.dll), for tests only: it exports
// the four entries the launcher calls, with the C calling convention and undecorated names as the
// runtime's library has them, and appends one line per call to the file VMDOUBLE_LOG names. The
// VM double writes to the same file, so one log shows the order of splash and VM calls.
//
// Log lines: "splash loaded" when the library is loaded, then "SplashInit", "SplashLoadFile
// <file>", "SplashSetFileJarName <file> [<jar>]" (the jar name in brackets, so an empty one
// shows), "SplashClose". Built with SPLASHDOUBLE_NO_JAR_NAME it lacks "SplashSetFileJarName".

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

void logLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

void logLine(const char* format, ...) {
  const char* path = std::getenv("VMDOUBLE_LOG");
  if (path == nullptr || *path == '\0') return;
  FILE* file = std::fopen(path, "ab");
  if (file == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(file, format, args);
  va_end(args);
  std::fputc('\n', file);
  std::fclose(file);
}

const char* text(const char* value) { return value != nullptr ? value : "(null)"; }

}  // namespace

extern "C" {

__declspec(dllexport) void __cdecl SplashInit() { logLine("SplashInit"); }

__declspec(dllexport) int __cdecl SplashLoadFile(const char* fileName) {
  logLine("SplashLoadFile %s", text(fileName));
  return 1;
}

#ifndef SPLASHDOUBLE_NO_JAR_NAME
__declspec(dllexport) void __cdecl SplashSetFileJarName(const char* fileName, const char* jarName) {
  logLine("SplashSetFileJarName %s [%s]", text(fileName), text(jarName));
}
#endif

__declspec(dllexport) void __cdecl SplashClose() { logLine("SplashClose"); }

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) logLine("splash loaded");
  return TRUE;
}

}  // extern "C"
