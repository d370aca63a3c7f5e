#ifndef RUNTIME_JVMCANDIDATE_H
#define RUNTIME_JVMCANDIDATE_H

// The installations that a registry search (or, on Linux, the scan of the installed runtimes)
// collects, and how the winner among them is chosen.

#include <cstddef>
#include <string>
#include <vector>

#include "config/JavaVersion.h"
#include "config/LauncherConfig.h"

namespace runtime {

using config::JavaVersion;
using config::JvmType;
using config::LauncherConfig;

// One installation that passed every test.
struct JvmCandidate {
  JavaVersion version;
  std::string home;       // the Java home to use, ending with a path separator
  bool isServer = false;  // the VM library found below the home was the server one
  bool favored = false;   // of the favoured kind and the favoured vendor
  std::string origin;     // where it was found (registry key or folder), for the trace
};

using CandidateList = std::vector<JvmCandidate>;

enum class RuntimeKind { Jdk, Jre };
enum class RuntimeVendor { Sun, JRockit };

// Whether "JVM Source" and "VM Provider" let installations of this kind and vendor be searched.
bool kindSearched(RuntimeKind kind, RuntimeVendor vendor, const LauncherConfig& config);

// Whether installations of this kind and vendor are favoured in the sort.
bool kindFavored(RuntimeKind kind, RuntimeVendor vendor, const LauncherConfig& config);

// Stable sort: favoured first (only when "JVM Source" favours a kind), server VMs first (only for
// "favor_server"), then newest first. Equal candidates keep their collection order.
void sortCandidates(CandidateList& list, const LauncherConfig& config);

// The first candidate of the sorted list that matches the first preferred entry that matches any;
// else the first candidate. Entries without digits name no version and are skipped. The index into
// the list; 0 when the list is empty.
std::size_t selectCandidate(const CandidateList& list, const StringArray& preferredVersions);

// Dotted text of the components the version gave, "none" when it gave none: for the trace.
std::string versionTraceText(const JavaVersion& version);

// The steps of a collection that every source shares, each with its trace line.
const char* kindName(RuntimeKind kind);  // "JDK" or "JRE"
// Whether the version lies in the configured range; traced as passed over when not.
bool inRange(const JavaVersion& version, const LauncherConfig& config, const std::string& origin);
void appendCandidate(CandidateList& list, const JavaVersion& version, const std::string& home,
                     bool isServer, bool favored, const std::string& origin);
// Sorts, traces and selects: the selected home. False, traced, when the list is empty.
bool pickCandidate(CandidateList& list, const LauncherConfig& config, std::string& home);

}  // namespace runtime

#endif
