#include "os/RuntimeLayout.h"

namespace os {

namespace {

// Java 8 and older put their libraries one folder deeper, in a folder named after the
// architecture.
const char* architectureFolder() {
#if defined(__x86_64__)
  return "amd64";
#elif defined(__i386__)
  return "i386";
#elif defined(__aarch64__)
  return "aarch64";
#elif defined(__arm__)
  return "arm";
#elif defined(__powerpc64__) && defined(__LITTLE_ENDIAN__)
  return "ppc64le";
#else
  return "";
#endif
}

}  // namespace

StringArray vmLibraryPaths(const std::string& vmKind) {
  StringArray paths{"lib/" + vmKind + "/libjvm.so"};
  const std::string arch = architectureFolder();
  if (!arch.empty()) paths.push_back("lib/" + arch + "/" + vmKind + "/libjvm.so");
  return paths;
}

StringArray runtimeMarkers() {
  StringArray markers{"lib/libjava.so"};
  const std::string arch = architectureFolder();
  if (!arch.empty()) markers.push_back("lib/" + arch + "/libjava.so");
  return markers;
}

const char* compilerPath() { return "bin/javac"; }

}  // namespace os
