#include "runtime/posix/InstalledRuntimes.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "base/Trace.h"
#include "os/posix/Handles.h"
#include "runtime/InstalledRuntimes.h"
#include "runtime/JvmSearch.h"

namespace runtime {

namespace {

std::string canonical(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return std::string();
  return resolved;
}

}  // namespace

StringArray listRuntimeFolders(const std::string& root) {
  StringArray names;
  if (const os::UniqueDirectory dir{opendir(root.c_str())}) {
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

void collectInstalledRuntimes(const std::string& root, const LauncherConfig& config,
                              CandidateList& list) {
  const StringArray folders = listRuntimeFolders(root);
  trace("installed runtimes below %s: %u folders", root.c_str(),
        static_cast<unsigned>(folders.size()));
  for (RuntimeKind kind : {RuntimeKind::Jdk, RuntimeKind::Jre}) {
    for (const std::string& folder : folders) {
      if ((isJdkHome(folder) ? RuntimeKind::Jdk : RuntimeKind::Jre) != kind) continue;
      considerRuntimeFolder(folder, kind, config, list, folder);
    }
  }
}

bool searchInstalledRuntimes(const LauncherConfig& config, std::string& home) {
  CandidateList list;
  collectInstalledRuntimes(kInstalledRuntimesFolder, config, list);
  if (list.empty()) {
    trace("no installed runtime passed; trying JAVA_HOME");
    collectJavaHome(config, list);
  }
  return pickCandidate(list, config, home);
}

}  // namespace runtime
