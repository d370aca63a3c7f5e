#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "os/RuntimeLayout.h"
#include "os/posix/Handles.h"

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

std::string canonical(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return std::string();
  return resolved;
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

const char* installedRuntimesFolder() { return "/usr/lib/jvm"; }

StringArray listRuntimeFolders(const std::string& root) {
  StringArray names;
  if (const UniqueDirectory dir{opendir(root.c_str())}) {
    while (const dirent* entry = readdir(dir.get())) {
      const std::string name = entry->d_name;
      if (name.empty() || name[0] == '.') continue;  // ".", ".." and the hidden .jinfo files
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());

  const std::string base = root.empty() || root.back() == '/' ? root : root + "/";
  StringArray folders;
  std::set<std::string> seen;
  // Real folders first, so that a link such as java-1.17.0-openjdk-amd64 yields to the folder
  // java-17-openjdk-amd64 it points at.
  for (int pass = 0; pass < 2; ++pass) {
    for (const std::string& name : names) {
      const std::string path = base + name;
      struct stat link;
      struct stat target;
      if (lstat(path.c_str(), &link) != 0 || stat(path.c_str(), &target) != 0) continue;
      if (!S_ISDIR(target.st_mode)) continue;
      if (S_ISLNK(link.st_mode) != (pass == 1)) continue;
      const std::string real = canonical(path);
      if (real.empty() || !seen.insert(real).second) continue;
      folders.push_back(path + "/");
    }
  }
  return folders;
}

}  // namespace os
