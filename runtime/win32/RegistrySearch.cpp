#include "runtime/win32/RegistrySearch.h"

#include "base/Trace.h"
#include "os/Path.h"
#include "runtime/InstalledRuntimes.h"

namespace runtime {

namespace {

const char* hiveName(os::RegistryRoot root) {
  return root == os::RegistryRoot::CurrentUser ? "HKCU\\" : "HKLM\\";
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

}  // namespace

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
    const JavaVersion version = config::parseVersion(name, 0);
    if (!inRange(version, config, origin)) continue;
    std::string home;
    bool isServer = false;
    RuntimeKind kind = source.kind;
    if (!probeCandidate(source, name, config, home, isServer, kind)) continue;
    appendCandidate(list, version, home, isServer, kindFavored(kind, source.vendor, config),
                    origin);
  }
}

bool searchInstalledRuntimes(const LauncherConfig& config, std::string& home) {
  CandidateList list;
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
  if (!list.empty()) return pickCandidate(list, config, home);

  trace("no runtime of the classic keys passed; searching the keys of today's installers, the "
        "per-user hive and JAVA_HOME");
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
  collectJavaHome(config, list);
  return pickCandidate(list, config, home);
}

}  // namespace runtime
