#ifndef RUNTIME_JVMSEARCH_H
#define RUNTIME_JVMSEARCH_H

// The search for a Java runtime: "JRE Path", a runtime beside the executable, then the registered
// installations; the first source that yields a VM library wins.

#include <string>

#include "config/LauncherConfig.h"
#include "os/Registry.h"
#include "runtime/JvmCandidate.h"

class Launcher;

// Sets launcher.jvmDllPath; true when it is not empty.
bool findJvm(Launcher& launcher);

// The VM library below home (which ends with a path separator) for the type, or empty. Sets
// isServer when it finds one and leaves it untouched otherwise.
std::string chooseJvmLibrary(const std::string& home, JvmType type, bool& isServer);

// False when the executable's own path cannot be read (reported there). Otherwise true, with the
// home of a runtime that ships beside the executable, or an empty home.
bool findPrivateRuntime(const Launcher& launcher, std::string& home);

// How the Java home of an installation is formed from the folder that its installer recorded.
enum class HomeRule {
  AsRecorded,      // the folder itself
  JdkJre,          // the JDK's own "jre" folder, and nothing else
  JdkJreThenHome,  // the JDK's "jre" folder when it holds a usable VM library, else the folder
};

// One registry key below which every subkey is an installation.
struct RegistrySource {
  os::RegistryRoot root;
  const char* baseKey;    // ends with a backslash; a subkey name is appended directly
  const char* valuePath;  // below the subkey, where the value lies: "" or "hotspot\\MSI"
  const char* valueName;  // the value that holds the folder
  RuntimeVendor vendor;
  bool kindFromHome;      // the key does not say JDK or JRE: a compiler in the home makes a JDK
  RuntimeKind kind;       // when the key says it
  HomeRule homeRule;
  bool clientFirst;       // "favor_server" is tested as the default type when collecting
};

// The four classic base keys below HKEY_LOCAL_MACHINE, in search order.
const RegistrySource* classicBaseKeys(std::size_t& count);

// Whether the registry key is searched at all for these settings (the key's kind and vendor).
bool sourceSearched(const RegistrySource& source, const LauncherConfig& config);

// Appends the acceptable installations below one registry key.
void collectCandidates(const RegistrySource& source, const LauncherConfig& config,
                       CandidateList& list);

// Whether the installation recorded under the subkey is usable; its home, isServer and kind when
// so.
bool probeCandidate(const RegistrySource& source, const std::string& name,
                    const LauncherConfig& config, std::string& home, bool& isServer,
                    RuntimeKind& kind);

// Appends the runtimes installed below root (Linux: /usr/lib/jvm): JDKs first, then JREs.
void collectInstalledRuntimes(const std::string& root, const LauncherConfig& config,
                              CandidateList& list);

// Appends the runtime that JAVA_HOME names, when it is set and acceptable.
void collectJavaHome(const LauncherConfig& config, CandidateList& list);

// The value of KEY="value" in a runtime's release file, quotes removed; empty when absent.
std::string releaseValue(const std::string& releaseText, const char* key);

// The version a runtime home states in its "release" file (JAVA_VERSION), else the version its
// folder name gives.
JavaVersion runtimeHomeVersion(const std::string& home);

// The home of the selected installation; false when nothing was selected. The classic base keys
// come first; only when they yield nothing are today's keys, the per-user hive and JAVA_HOME
// searched.
bool searchRegistry(const LauncherConfig& config, std::string& home);

#endif
