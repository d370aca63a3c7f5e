#ifndef TOOLS_BRAND_VERSIONINFO_H
#define TOOLS_BRAND_VERSIONINFO_H

// The version information block (VS_VERSIONINFO) that Explorer's properties, Task Manager and
// installers read: the numbers, and the strings of one table in US English, Unicode.

#include <cstdint>
#include <string>

#include "tools/brand/Bytes.h"

namespace brand {

struct VersionNumber {
  std::uint16_t parts[4] = {0, 0, 0, 0};
  std::string text;  // as the vendor wrote it; empty when not given
};

// "1", "1.2", "1.2.3" or "1.2.3.4", each part a decimal number up to 65535.
bool parseVersionNumber(const std::string& text, VersionNumber& number, Report& report);

// The texts are UTF-8; empty ones are left out of the block.
struct VersionInfo {
  VersionNumber fileVersion;
  VersionNumber productVersion;
  std::string productName;
  std::string companyName;
  std::string fileDescription;
  std::string legalCopyright;
  std::string originalFilename;
  std::string internalName;
};

// False when a text is not UTF-8 or the block would outgrow its 16-bit lengths.
bool buildVersionBlock(const VersionInfo& info, Bytes& block, Report& report);

}  // namespace brand

#endif
