#ifndef SPLASH_NATIVESPLASH_H
#define SPLASH_NATIVESPLASH_H

// The Java runtime's own splash library ("splashscreen.dll" on Windows, "libsplashscreen.so" on
// Linux) shows the splash image instead of the launcher's window. It lies two folders above the
// runtime's VM library, is loaded by its full path, driven through four entries and never
// unloaded; its close entry is kept in the splash state until one of the two closing points calls it.

#include <string>

#include "splash/SplashState.h"

namespace splash {

// The splash library's path for the VM library at vmLibrary: the last two path components
// (each up to the last separator) removed, a separator appended unless the rest ends in one or in
// "/", then libraryName. Empty when nothing is left of the path. D:\jvm.dll gives
// D:\splashscreen.dll: the second removal finds no separator and keeps "D:".
std::string nativeSplashLibraryPath(const std::string& vmLibrary, char separator,
                                    const char* libraryName);

// The splash library of the runtime whose VM library is jvmDllPath, when a file of that name
// exists; otherwise empty.
std::string findNativeSplashLibrary(const std::string& jvmDllPath);

// Loads the library and starts its splash with imagePath. An earlier recorded close is called
// first; the library's "SplashClose" is recorded (null when it has none) as soon as the library is
// loaded, even when the start then fails. False when the library does not load or lacks one of
// "SplashInit", "SplashLoadFile" and "SplashSetFileJarName": the caller falls back to its own
// window. The entries are called in that order, with imagePath as the file name and no jar.
bool startNativeSplash(const std::string& libraryPath, const std::string& imagePath,
                       SplashState& state);

}  // namespace splash

#endif
