#include <utility>

#include "launcher/Trace.h"
#include "runtime/JvmCandidate.h"

bool kindSearched(RuntimeKind kind, RuntimeVendor vendor, const LauncherConfig& config) {
  const bool kindAsked = config.sourceFavor || (kind == RuntimeKind::Jdk ? config.sourceJdk
                                                                        : config.sourceJre);
  const bool vendorAsked = vendor == RuntimeVendor::Sun
                               ? config.sunAllowed || config.sunFavored
                               : config.jrockitAllowed || config.jrockitFavored;
  return kindAsked && vendorAsked;
}

bool kindFavored(RuntimeKind kind, RuntimeVendor vendor, const LauncherConfig& config) {
  const bool kindNamed = kind == RuntimeKind::Jdk ? config.sourceJdk : config.sourceJre;
  const bool vendorFavored =
      vendor == RuntimeVendor::Sun ? config.sunFavored : config.jrockitFavored;
  return kindNamed && vendorFavored;
}

void sortCandidates(CandidateList& list, const LauncherConfig& config) {
  const bool byFavor = config.sourceFavor;
  const bool byServer = config.jvmType == JvmType::FavorServer;
  const auto before = [&](const JvmCandidate& a, const JvmCandidate& b) {
    if (byFavor && a.favored != b.favored) return a.favored;
    if (byServer && a.isServer != b.isServer) return a.isServer;
    return compareVersions(a.version, b.version) > 0;
  };
  // An insertion sort: stable, and a list holds a handful of installations, so the library's
  // merge sort would only cost the executable several kilobytes.
  for (std::size_t i = 1; i < list.size(); ++i) {
    for (std::size_t j = i; j > 0 && before(list[j], list[j - 1]); --j) {
      std::swap(list[j], list[j - 1]);
    }
  }
}

std::size_t selectCandidate(const CandidateList& list, const StringArray& preferredVersions) {
  if (list.empty()) return 0;
  for (const std::string& entry : preferredVersions) {
    const JavaVersion preferred = parseVersion(entry, 0);
    // An entry without digits (the empty one of an absent key, or of a stray ";") names no
    // version; matching it would put an installation whose name has no digits before every
    // real version.
    if (preferred.count == 0) {
      trace("preferred version [%s] names no version: skipped", entry.c_str());
      continue;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (matchesPreferred(list[i].version, preferred)) {
        trace("preferred version [%s] matches %s at %s", entry.c_str(),
              versionTraceText(list[i].version).c_str(), list[i].home.c_str());
        return i;
      }
    }
    trace("preferred version [%s] matches no candidate", entry.c_str());
  }
  trace("no preferred version matches: the first of the sorted list is taken");
  return 0;
}

std::string versionTraceText(const JavaVersion& version) {
  return version.count <= 0 ? "none" : joinComponents(version, version.count);
}
