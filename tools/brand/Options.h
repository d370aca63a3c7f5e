#ifndef TOOLS_BRAND_OPTIONS_H
#define TOOLS_BRAND_OPTIONS_H

// The tool's command line: what to change, and where from and to.

#include <string>
#include <vector>

#include "tools/brand/Bytes.h"
#include "tools/brand/Manifest.h"
#include "tools/brand/VersionInfo.h"

namespace brand {

struct BrandOptions {
  std::string input;
  std::string output;
  std::string iconFile;  // empty: the icon stays
  bool versionGiven = false;
  VersionInfo version;
  bool manifestGiven = false;
  ManifestSettings manifest;
  bool console = false;
  bool help = false;
};

// Reads the arguments after the program name. Version numbers and switch values are checked
// here; a missing version number is taken from the other one, the description from the product
// name, the original and internal names from the output's file name.
bool parseCommandLine(const std::vector<std::string>& arguments, BrandOptions& options,
                      Report& report);

extern const char* const kUsageText;

}  // namespace brand

#endif
