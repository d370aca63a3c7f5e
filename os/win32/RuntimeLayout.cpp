#include "os/RuntimeLayout.h"

namespace os {

StringArray vmLibraryPaths(const std::string& vmKind) {
  return StringArray{"bin\\" + vmKind + "\\jvm.dll"};
}

StringArray runtimeMarkers() { return StringArray{"bin\\java.dll"}; }

const char* compilerPath() { return "bin\\javac.exe"; }

}  // namespace os
