#ifndef RUNTIME_WIN32_REGISTRYSEARCH_H
#define RUNTIME_WIN32_REGISTRYSEARCH_H

// The runtimes that Windows installers recorded in the registry: the classic JavaSoft and JRockit
// keys first; only when they yield nothing, today's installers' keys, the per-user hive and
// JAVA_HOME.

#include <cstddef>
#include <string>

#include "config/LauncherConfig.h"
#include "os/win32/Registry.h"
#include "runtime/JvmCandidate.h"
#include "runtime/JvmSearch.h"

namespace runtime {

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

}  // namespace runtime

#endif
