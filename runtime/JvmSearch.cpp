#include "runtime/JvmSearch.h"

#include <cstring>

#include "base/Trace.h"
#include "os/Path.h"
#include "os/Process.h"
#include "os/RuntimeLayout.h"
#include "runtime/InstalledRuntimes.h"

namespace runtime {

namespace {

// Name of the last folder of a home that ends with a separator.
std::string folderName(const std::string& home) {
  std::string path = home;
  while (os::endsWithSeparator(path)) path.pop_back();
  return path.substr(os::fileNameStart(path));
}

// A release file is a few hundred bytes; the version is near its top.
constexpr std::size_t kReleaseFileLimit = 65536;

}  // namespace

const char* typeName(JvmType type) {
  switch (type) {
    case JvmType::Server:
      return "server";
    case JvmType::FavorServer:
      return "favor_server";
    case JvmType::Default:
      break;
  }
  return "default";
}

bool isJdkHome(const std::string& folder) { return os::fileExists(folder + os::compilerPath()); }

bool resolveHome(const std::string& folder, HomeRule rule, JvmType type, std::string& home,
                 bool& isServer) {
  const std::string jre = folder + "jre" + os::kPathSeparator;
  switch (rule) {
    case HomeRule::AsRecorded:
      home = folder;
      break;
    case HomeRule::JdkJre:
      home = jre;
      break;
    case HomeRule::JdkJreThenHome:
      // A JDK of Java 8 and older carries its runtime in "jre"; from Java 9 on the JDK home is
      // the runtime itself.
      if (!chooseJvmLibrary(jre, type, isServer).empty()) {
        home = jre;
        return true;
      }
      home = folder;
      break;
  }
  return !chooseJvmLibrary(home, type, isServer).empty();
}

JvmType probeType(JvmType configured, bool clientFirst) {
  return clientFirst && configured == JvmType::FavorServer ? JvmType::Default : configured;
}

void considerRuntimeFolder(const std::string& folder, RuntimeKind kind, const LauncherConfig& config,
                           CandidateList& list, const std::string& origin) {
  if (!kindSearched(kind, RuntimeVendor::Sun, config)) {
    trace("  %s: passed over, a %s is not searched for these settings", origin.c_str(),
          kindName(kind));
    return;
  }
  const JavaVersion version = runtimeHomeVersion(folder);
  if (!inRange(version, config, origin)) return;
  const bool jdk = kind == RuntimeKind::Jdk;
  const JvmType type = probeType(config.jvmType, !jdk);
  std::string home;
  bool isServer = false;
  if (!resolveHome(folder, jdk ? HomeRule::JdkJreThenHome : HomeRule::AsRecorded, type, home,
                   isServer)) {
    trace("  %s: passed over, no usable VM library for type %s", origin.c_str(), typeName(type));
    return;
  }
  appendCandidate(list, version, home, isServer, kindFavored(kind, RuntimeVendor::Sun, config),
                  origin);
}

std::string chooseJvmLibrary(const std::string& home, JvmType type, bool& isServer) {
  const auto tryKind = [&](const char* vmKind, bool server) -> std::string {
    for (const std::string& relative : os::vmLibraryPaths(vmKind)) {
      const std::string path = home + relative;
      if (os::fileExists(path)) {
        isServer = server;
        return path;
      }
    }
    return std::string();
  };
  if (type != JvmType::Default) {
    std::string path = tryKind("server", true);
    if (!path.empty() || type == JvmType::Server) return path;
  }
  static const char* const kDefaultOrder[] = {"client", "classic", "hotspot", "server", "jrockit"};
  for (const char* vmKind : kDefaultOrder) {
    std::string path = tryKind(vmKind, std::strcmp(vmKind, "server") == 0);
    if (!path.empty()) return path;
  }
  return std::string();
}

std::string findPrivateRuntime(const std::string& programPath) {
  const std::string folder = os::folderOf(programPath);
  const std::string candidates[] = {folder, folder + "jre" + os::kPathSeparator};
  for (const std::string& candidate : candidates) {
    for (const std::string& marker : os::runtimeMarkers()) {
      if (os::fileExists(candidate + marker)) {
        trace("runtime beside the executable: %s (has %s)", candidate.c_str(), marker.c_str());
        return candidate;
      }
    }
  }
  trace("runtime beside the executable: none in %s", folder.c_str());
  return std::string();
}

std::string readReleaseFile(const std::string& home) {
  std::string text;
  if (os::readFile(home + "release", text, kReleaseFileLimit) != os::FileRead::Read) text.clear();
  return text;
}

std::string releaseValue(const std::string& releaseText, const char* key) {
  const std::string prefix = std::string(key) + "=";
  std::size_t start = 0;
  while (start < releaseText.size()) {
    std::size_t end = releaseText.find('\n', start);
    if (end == std::string::npos) end = releaseText.size();
    if (releaseText.compare(start, prefix.size(), prefix) == 0) {
      std::string value = releaseText.substr(start + prefix.size(), end - start - prefix.size());
      while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
      }
      return value;
    }
    start = end + 1;
  }
  return std::string();
}

JavaVersion runtimeVersion(const std::string& home, const std::string& releaseText) {
  const JavaVersion version = config::parseVersion(releaseValue(releaseText, "JAVA_VERSION"), 0);
  if (version.count > 0) return version;
  return config::parseVersion(folderName(home), 0);
}

JavaVersion runtimeHomeVersion(const std::string& home) {
  return runtimeVersion(home, readReleaseFile(home));
}

void collectJavaHome(const LauncherConfig& config, CandidateList& list) {
  std::string value;
  if (!os::getEnvironment("JAVA_HOME", value) || value.empty()) {
    trace("JAVA_HOME: not set");
    return;
  }
  // The existence test is made on the folder's own name: a search for a path that ends with a
  // separator finds nothing on Windows, where a forward slash is a separator too.
  std::string name = value;
  while (name.size() > 1 && (name.back() == os::kPathSeparator || name.back() == '/')) {
    name.pop_back();
  }
  const std::string folder = os::withTrailingSeparator(name);
  if (!os::fileExists(name)) {
    trace("JAVA_HOME %s: passed over, no such folder", folder.c_str());
    return;
  }
  const RuntimeKind kind = isJdkHome(folder) ? RuntimeKind::Jdk : RuntimeKind::Jre;
  considerRuntimeFolder(folder, kind, config, list, "JAVA_HOME " + folder);
}

bool findJvm(const LauncherConfig& config, std::string& path) {
  path.clear();
  trace("runtime search: JVM Type %s, range %s to %s", typeName(config.jvmType),
        versionTraceText(config.minVersion).c_str(),
        versionTraceText(effectiveMaximum(config.maxVersion)).c_str());
  bool isServer = false;

  if (!config.jrePath.empty()) {
    // No version test: the folder was named on purpose.
    const std::string home = os::withTrailingSeparator(config.jrePath);
    path = chooseJvmLibrary(home, config.jvmType, isServer);
    if (path.empty()) {
      trace("JRE Path %s: passed over, no usable VM library for type %s", home.c_str(),
            typeName(config.jvmType));
    } else {
      trace("JRE Path %s: taken", home.c_str());
    }
  } else {
    trace("JRE Path: not set");
  }

  if (path.empty()) {
    const std::string home = findPrivateRuntime(config.programPath);
    if (!home.empty()) {
      path = chooseJvmLibrary(home, config.jvmType, isServer);
      if (path.empty()) {
        trace("runtime beside the executable: passed over, no usable VM library for type %s",
              typeName(config.jvmType));
      }
    }
  }

  if (path.empty()) {
    std::string home;
    if (searchInstalledRuntimes(config, home)) {
      // The final choice uses the type as configured, even where collecting tested another.
      path = chooseJvmLibrary(home, config.jvmType, isServer);
    }
  }

  trace("VM library: %s", path.empty() ? "none" : path.c_str());
  return !path.empty();
}

}  // namespace runtime
