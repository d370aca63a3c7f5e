#include "splash/NativeSplash.h"

#include "base/Trace.h"
#include "os/Library.h"
#include "os/Platform.h"
#include "os/Process.h"
#include "splash/SplashPlatform.h"

namespace splash {

namespace {

// The library's entries take the C calling convention (the caller removes the arguments), the
// default of these pointer types on both word sizes; their results mean nothing to the launcher.
using SplashInitFunction = void (*)();
using SplashLoadFileFunction = int (*)(const char* fileName);
using SplashSetFileJarNameFunction = void (*)(const char* fileName, const char* jarName);

// Keeps the text before the last separator; without one the text stays as it is.
void removeLastComponent(std::string& path, char separator) {
  const std::size_t last = path.rfind(separator);
  if (last != std::string::npos) path.resize(last);
}

void* entry(void* library, const char* name) {
  unsigned long error = 0;
  void* found = os::findSymbol(library, name, error);
  if (found == nullptr) trace("splash library: no entry %s (%lu)", name, error);
  return found;
}

}  // namespace

std::string nativeSplashLibraryPath(const std::string& vmLibrary, char separator,
                                    const char* libraryName) {
  std::string path = vmLibrary;
  removeLastComponent(path, separator);
  removeLastComponent(path, separator);
  if (path.empty()) return std::string();
  if (path.back() != separator && path.back() != '/') path += separator;
  return path + libraryName;
}

std::string findNativeSplashLibrary(const std::string& jvmDllPath) {
  const std::string path =
      nativeSplashLibraryPath(jvmDllPath, os::kPathSeparator, nativeSplashLibraryName());
  if (path.empty() || !os::fileExists(path)) {
    trace("splash library: none at [%s]", path.c_str());
    return std::string();
  }
  trace("splash library: %s", path.c_str());
  return path;
}

bool startNativeSplash(const std::string& libraryPath, const std::string& imagePath,
                       SplashState& state) {
  os::LibraryError error;
  void* library = os::loadLibrary(libraryPath, error);
  if (library == nullptr) {
    trace("splash library: not loaded: %lu%s%s", error.code, error.reason.empty() ? "" : ", ",
          error.reason.c_str());
    return false;
  }
  const auto init = reinterpret_cast<SplashInitFunction>(entry(library, "SplashInit"));
  const auto loadFile = reinterpret_cast<SplashLoadFileFunction>(entry(library, "SplashLoadFile"));
  const auto setFileJarName =
      reinterpret_cast<SplashSetFileJarNameFunction>(entry(library, "SplashSetFileJarName"));
  const auto close = reinterpret_cast<NativeSplashCloseFunction>(entry(library, "SplashClose"));

  // A splash started earlier goes first; its close is forgotten once called.
  if (state.nativeClose != nullptr) state.nativeClose();
  state.nativeClose = close;
  if (init == nullptr || loadFile == nullptr || setFileJarName == nullptr) return false;

  init();
  loadFile(imagePath.c_str());
  setFileJarName(imagePath.c_str(), nativeSplashJarName());
  trace("splash library: started with [%s]", imagePath.c_str());
  return true;
}

}  // namespace splash
