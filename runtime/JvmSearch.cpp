#include "runtime/JvmSearch.h"

#include <cstring>

#include "launcher/Launcher.h"
#include "launcher/ModulePath.h"
#include "launcher/Trace.h"
#include "os/Path.h"
#include "os/Process.h"
#include "os/RuntimeLayout.h"

namespace {

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

const char* yesNo(bool value) { return value ? "yes" : "no"; }

const char* kindName(RuntimeKind kind) { return kind == RuntimeKind::Jdk ? "JDK" : "JRE"; }

const char* hiveName(os::RegistryRoot root) {
  return root == os::RegistryRoot::CurrentUser ? "HKCU\\" : "HKLM\\";
}

// Name of the last folder of a home that ends with a separator.
std::string folderName(const std::string& home) {
  std::string path = home;
  while (os::endsWithSeparator(path)) path.pop_back();
  return path.substr(os::fileNameStart(path));
}

bool isJdkHome(const std::string& folder) { return os::fileExists(folder + os::compilerPath()); }

// The home to use for a recorded folder (which ends with a separator), when it has a usable VM
// library for the type.
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

// The type a collector tests with: the classic JRE key was always probed client first.
JvmType probeType(JvmType configured, bool clientFirst) {
  return clientFirst && configured == JvmType::FavorServer ? JvmType::Default : configured;
}

void appendCandidate(CandidateList& list, const JavaVersion& version, const std::string& home,
                     bool isServer, bool favored, const std::string& origin) {
  JvmCandidate candidate;
  candidate.version = version;
  candidate.home = home;
  candidate.isServer = isServer;
  candidate.favored = favored;
  candidate.origin = origin;
  list.push_back(candidate);
  trace("  %s: taken, version %s, home %s, server %s, favored %s", origin.c_str(),
        versionTraceText(version).c_str(), home.c_str(), yesNo(isServer), yesNo(favored));
}

bool inRange(const JavaVersion& version, const LauncherConfig& config, const std::string& origin) {
  if (inVersionRange(version, config.minVersion, config.maxVersion)) return true;
  trace("  %s: passed over, version %s out of range", origin.c_str(),
        versionTraceText(version).c_str());
  return false;
}

// The classic base keys, below HKEY_LOCAL_MACHINE.
const RegistrySource kClassicKeys[] = {
    {os::RegistryRoot::LocalMachine, "Software\\JavaSoft\\Java Development Kit\\", "", "JavaHome",
     RuntimeVendor::Sun, false, RuntimeKind::Jdk, HomeRule::JdkJre, false},
    {os::RegistryRoot::LocalMachine, "Software\\JavaSoft\\Java Runtime Environment\\", "",
     "JavaHome", RuntimeVendor::Sun, false, RuntimeKind::Jre, HomeRule::AsRecorded, true},
    {os::RegistryRoot::LocalMachine, "Software\\JRockit\\Java Runtime Environment\\", "",
     "JavaHome", RuntimeVendor::JRockit, false, RuntimeKind::Jre, HomeRule::AsRecorded, false},
    {os::RegistryRoot::LocalMachine, "Software\\JRockit\\Java Development Kit\\", "", "JavaHome",
     RuntimeVendor::JRockit, false, RuntimeKind::Jdk, HomeRule::JdkJre, false},
};

// The keys of today's installers, searched in each hive after the classic ones.
const RegistrySource kCurrentKeys[] = {
    // Java 9 and later record the runtime's own folder: no "jre" folder is looked for below it.
    {os::RegistryRoot::LocalMachine, "Software\\JavaSoft\\JDK\\", "", "JavaHome",
     RuntimeVendor::Sun, false, RuntimeKind::Jdk, HomeRule::AsRecorded, false},
    {os::RegistryRoot::LocalMachine, "Software\\JavaSoft\\JRE\\", "", "JavaHome",
     RuntimeVendor::Sun, false, RuntimeKind::Jre, HomeRule::AsRecorded, false},
    {os::RegistryRoot::LocalMachine, "Software\\Eclipse Adoptium\\JDK\\", "hotspot\\MSI", "Path",
     RuntimeVendor::Sun, false, RuntimeKind::Jdk, HomeRule::JdkJreThenHome, false},
    {os::RegistryRoot::LocalMachine, "Software\\Eclipse Adoptium\\JRE\\", "hotspot\\MSI", "Path",
     RuntimeVendor::Sun, false, RuntimeKind::Jre, HomeRule::AsRecorded, false},
    {os::RegistryRoot::LocalMachine, "Software\\Microsoft\\JDK\\", "hotspot\\MSI", "Path",
     RuntimeVendor::Sun, false, RuntimeKind::Jdk, HomeRule::JdkJreThenHome, false},
    {os::RegistryRoot::LocalMachine, "Software\\Azul Systems\\Zulu\\", "", "InstallationPath",
     RuntimeVendor::Sun, true, RuntimeKind::Jdk, HomeRule::JdkJreThenHome, false},
    {os::RegistryRoot::LocalMachine, "Software\\BellSoft\\Liberica\\", "", "InstallationPath",
     RuntimeVendor::Sun, true, RuntimeKind::Jdk, HomeRule::JdkJreThenHome, false},
};

RegistrySource inHive(RegistrySource source, os::RegistryRoot root) {
  source.root = root;
  // Outside the classic search, a JDK whose "jre" has no usable VM library is used through its
  // own home, as every JDK from Java 9 on must be.
  if (source.homeRule == HomeRule::JdkJre) source.homeRule = HomeRule::JdkJreThenHome;
  return source;
}

// Sorts, traces and selects; the selected home.
bool pickCandidate(CandidateList& list, const LauncherConfig& config, std::string& home) {
  sortCandidates(list, config);
  trace("sorted candidates: %u", static_cast<unsigned>(list.size()));
  for (std::size_t i = 0; i < list.size(); ++i) {
    trace("  %u. version %s, server %s, favored %s, home %s (%s)", static_cast<unsigned>(i + 1),
          versionTraceText(list[i].version).c_str(), yesNo(list[i].isServer),
          yesNo(list[i].favored), list[i].home.c_str(), list[i].origin.c_str());
  }
  const std::size_t chosen = selectCandidate(list, config.preferredVersions);
  home = list[chosen].home;
  trace("selected candidate: version %s, home %s", versionTraceText(list[chosen].version).c_str(),
        home.c_str());
  return true;
}

std::string readReleaseFile(const std::string& path) {
  // A release file is a few hundred bytes; the version is near its top.
  std::string text;
  if (os::readFile(path, text, 65536) != os::FileRead::Read) text.clear();
  return text;
}

// One runtime folder that is not recorded in the registry (an installed-runtimes folder or
// JAVA_HOME): its kind from its compiler, its version from its release file.
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

}  // namespace

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

bool findPrivateRuntime(const Launcher& launcher, std::string& home) {
  home.clear();
  std::string program;
  if (!getModulePath(launcher, program)) {
    trace("runtime beside the executable: not searched, the program path is unavailable");
    return false;
  }
  const std::string folder = os::folderOf(program);
  const std::string candidates[] = {folder, folder + "jre" + os::kPathSeparator};
  for (const std::string& candidate : candidates) {
    for (const std::string& marker : os::runtimeMarkers()) {
      if (os::fileExists(candidate + marker)) {
        home = candidate;
        trace("runtime beside the executable: %s (has %s)", home.c_str(), marker.c_str());
        return true;
      }
    }
  }
  trace("runtime beside the executable: none in %s", folder.c_str());
  return true;
}

const RegistrySource* classicBaseKeys(std::size_t& count) {
  count = sizeof kClassicKeys / sizeof kClassicKeys[0];
  return kClassicKeys;
}

bool sourceSearched(const RegistrySource& source, const LauncherConfig& config) {
  if (source.kindFromHome) {
    return kindSearched(RuntimeKind::Jdk, source.vendor, config) ||
           kindSearched(RuntimeKind::Jre, source.vendor, config);
  }
  return kindSearched(source.kind, source.vendor, config);
}

bool probeCandidate(const RegistrySource& source, const std::string& name,
                    const LauncherConfig& config, std::string& home, bool& isServer,
                    RuntimeKind& kind) {
  const std::string origin = std::string(hiveName(source.root)) + source.baseKey + name;
  std::string keyPath = std::string(source.baseKey) + name;
  if (source.valuePath[0] != '\0') keyPath += std::string("\\") + source.valuePath;
  os::RegistryKey key;
  key.open(source.root, keyPath);  // a key that does not open has no value either
  std::string folder;
  if (!key.readText(source.valueName, folder)) {
    trace("  %s: passed over, no \"%s\"", origin.c_str(), source.valueName);
    return false;
  }
  // An empty folder would become the root of the current drive, where any user may put a VM
  // library: it names no runtime.
  if (folder.empty()) {
    trace("  %s: passed over, \"%s\" is empty", origin.c_str(), source.valueName);
    return false;
  }
  folder = os::withTrailingSeparator(folder);
  kind = source.kind;
  HomeRule rule = source.homeRule;
  if (source.kindFromHome) {
    kind = isJdkHome(folder) ? RuntimeKind::Jdk : RuntimeKind::Jre;
    if (kind == RuntimeKind::Jre) rule = HomeRule::AsRecorded;
    if (!kindSearched(kind, source.vendor, config)) {
      trace("  %s: passed over, a %s is not searched for these settings", origin.c_str(),
            kindName(kind));
      return false;
    }
  }
  const JvmType type = probeType(config.jvmType, source.clientFirst);
  if (!resolveHome(folder, rule, type, home, isServer)) {
    trace("  %s: passed over, no usable VM library for type %s below %s", origin.c_str(),
          typeName(type), home.c_str());
    return false;
  }
  return true;
}

void collectCandidates(const RegistrySource& source, const LauncherConfig& config,
                       CandidateList& list) {
  const std::string keyName = std::string(hiveName(source.root)) + source.baseKey;
  os::RegistryKey key;
  if (!key.open(source.root, source.baseKey)) {
    trace("registry key %s: cannot be opened", keyName.c_str());
    return;
  }
  const StringArray names = key.subkeyNames();
  key.close();
  trace("registry key %s: %u subkeys", keyName.c_str(), static_cast<unsigned>(names.size()));
  for (const std::string& name : names) {
    const std::string origin = keyName + name;
    const JavaVersion version = parseVersion(name, 0);
    if (!inRange(version, config, origin)) continue;
    std::string home;
    bool isServer = false;
    RuntimeKind kind = source.kind;
    if (!probeCandidate(source, name, config, home, isServer, kind)) continue;
    appendCandidate(list, version, home, isServer, kindFavored(kind, source.vendor, config),
                    origin);
  }
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

JavaVersion runtimeHomeVersion(const std::string& home) {
  const std::string stated = releaseValue(readReleaseFile(home + "release"), "JAVA_VERSION");
  const JavaVersion version = parseVersion(stated, 0);
  if (version.count > 0) return version;
  return parseVersion(folderName(home), 0);
}

void collectInstalledRuntimes(const std::string& root, const LauncherConfig& config,
                              CandidateList& list) {
  const StringArray folders = os::listRuntimeFolders(root);
  trace("installed runtimes below %s: %u folders", root.c_str(),
        static_cast<unsigned>(folders.size()));
  // JDKs first and JREs second, as the registry keys are searched.
  for (RuntimeKind kind : {RuntimeKind::Jdk, RuntimeKind::Jre}) {
    for (const std::string& folder : folders) {
      if ((isJdkHome(folder) ? RuntimeKind::Jdk : RuntimeKind::Jre) != kind) continue;
      considerRuntimeFolder(folder, kind, config, list, folder);
    }
  }
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

bool searchRegistry(const LauncherConfig& config, std::string& home) {
  CandidateList list;
  if (os::kHasRegistry) {
    std::size_t count = 0;
    const RegistrySource* keys = classicBaseKeys(count);
    for (std::size_t i = 0; i < count; ++i) {
      if (sourceSearched(keys[i], config)) {
        collectCandidates(keys[i], config, list);
      } else {
        trace("registry key %s%s: not searched for these settings", hiveName(keys[i].root),
              keys[i].baseKey);
      }
    }
  } else {
    collectInstalledRuntimes(os::installedRuntimesFolder(), config, list);
  }
  if (!list.empty()) return pickCandidate(list, config, home);

  if (os::kHasRegistry) {
    trace("no runtime of the classic keys passed; searching the keys of today's installers, the "
          "per-user hive and JAVA_HOME");
    std::size_t count = 0;
    const RegistrySource* keys = classicBaseKeys(count);
    for (os::RegistryRoot root : {os::RegistryRoot::LocalMachine, os::RegistryRoot::CurrentUser}) {
      for (std::size_t i = 0; i < count; ++i) {
        const RegistrySource source = inHive(keys[i], root);
        // Below HKEY_LOCAL_MACHINE the classic JRE keys gave all they have already.
        if (root == os::RegistryRoot::LocalMachine && keys[i].homeRule != HomeRule::JdkJre) continue;
        if (sourceSearched(source, config)) collectCandidates(source, config, list);
      }
      for (const RegistrySource& current : kCurrentKeys) {
        const RegistrySource source = inHive(current, root);
        if (sourceSearched(source, config)) {
          collectCandidates(source, config, list);
        } else {
          trace("registry key %s%s: not searched for these settings", hiveName(root),
                source.baseKey);
        }
      }
    }
  } else {
    trace("no installed runtime passed; trying JAVA_HOME");
  }
  collectJavaHome(config, list);
  if (list.empty()) {
    trace("no registered runtime found");
    return false;
  }
  return pickCandidate(list, config, home);
}

bool findJvm(Launcher& launcher) {
  const LauncherConfig& config = launcher.config;
  std::string& path = launcher.jvmDllPath;
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
    std::string home;
    if (findPrivateRuntime(launcher, home) && !home.empty()) {
      path = chooseJvmLibrary(home, config.jvmType, isServer);
      if (path.empty()) {
        trace("runtime beside the executable: passed over, no usable VM library for type %s",
              typeName(config.jvmType));
      }
    }
  }

  if (path.empty()) {
    std::string home;
    if (searchRegistry(config, home)) {
      // The final choice uses the type as configured, even where collecting tested another.
      path = chooseJvmLibrary(home, config.jvmType, isServer);
    }
  }

  trace("VM library: %s", path.empty() ? "none" : path.c_str());
  return !path.empty();
}
