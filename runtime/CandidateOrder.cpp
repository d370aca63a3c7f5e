#include <utility>

#include "base/Trace.h"
#include "runtime/JvmCandidate.h"

namespace runtime {

namespace {

const char* yesNo(bool value) { return value ? "yes" : "no"; }

}  // namespace

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
    const JavaVersion preferred = config::parseVersion(entry, 0);
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

const char* kindName(RuntimeKind kind) { return kind == RuntimeKind::Jdk ? "JDK" : "JRE"; }

bool inRange(const JavaVersion& version, const LauncherConfig& config, const std::string& origin) {
  if (inVersionRange(version, config.minVersion, config.maxVersion)) return true;
  trace("  %s: passed over, version %s out of range", origin.c_str(),
        versionTraceText(version).c_str());
  return false;
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

bool pickCandidate(CandidateList& list, const LauncherConfig& config, std::string& home) {
  if (list.empty()) {
    trace("no registered runtime found");
    return false;
  }
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

}  // namespace runtime
