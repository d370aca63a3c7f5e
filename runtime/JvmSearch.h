#ifndef RUNTIME_JVMSEARCH_H
#define RUNTIME_JVMSEARCH_H

// The search for a Java runtime: "JRE Path", a runtime beside the executable, then the installed
// runtimes (the registry on Windows, the system's runtime folder on Linux; see
// InstalledRuntimes.h); the first source that yields a VM library wins. Also the steps that both
// searches of installed runtimes share.

#include <string>

#include "config/LauncherConfig.h"
#include "runtime/JvmCandidate.h"

namespace runtime {

// The VM library to load; empty, false, when no source yields one.
bool findJvm(const config::LauncherConfig& config, std::string& jvmDllPath);

// The VM library below home (which ends with a path separator) for the type, or empty. Sets
// isServer when it finds one and leaves it untouched otherwise.
std::string chooseJvmLibrary(const std::string& home, config::JvmType type, bool& isServer);

// The home of a runtime that ships beside the executable at programPath, or empty.
std::string findPrivateRuntime(const std::string& programPath);

// How the Java home of an installation is formed from the folder that its installer recorded.
enum class HomeRule {
  AsRecorded,      // the folder itself
  JdkJre,          // the JDK's own "jre" folder, and nothing else
  JdkJreThenHome,  // the JDK's "jre" folder when it holds a usable VM library, else the folder
};

// The home to use for a recorded folder (which ends with a separator), when it has a usable VM
// library for the type.
bool resolveHome(const std::string& folder, HomeRule rule, config::JvmType type,
                 std::string& home, bool& isServer);

// The type a collector tests with: the classic JRE key was always probed client first.
config::JvmType probeType(config::JvmType configured, bool clientFirst);

bool isJdkHome(const std::string& folder);

// One runtime folder that no installer recorded (an installed-runtimes folder or JAVA_HOME): its
// kind from its compiler, its version from its release file. Appended when acceptable.
void considerRuntimeFolder(const std::string& folder, RuntimeKind kind,
                           const config::LauncherConfig& config, CandidateList& list,
                           const std::string& origin);

// Appends the runtime that JAVA_HOME names, when it is set and acceptable.
void collectJavaHome(const config::LauncherConfig& config, CandidateList& list);

// A runtime's release file, the one place it is read; empty when there is none.
std::string readReleaseFile(const std::string& home);

// The value of KEY="value" in a runtime's release file, quotes removed; empty when absent.
std::string releaseValue(const std::string& releaseText, const char* key);

// The version a runtime home states in its release file (JAVA_VERSION), else the version its
// folder name gives.
config::JavaVersion runtimeVersion(const std::string& home, const std::string& releaseText);
config::JavaVersion runtimeHomeVersion(const std::string& home);

// "default", "server" or "favor_server": for the trace.
const char* typeName(config::JvmType type);

}  // namespace runtime

#endif
