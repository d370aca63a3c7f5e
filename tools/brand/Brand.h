#ifndef TOOLS_BRAND_BRAND_H
#define TOOLS_BRAND_BRAND_H

// The whole change, from the launcher's bytes to the branded executable's, without any I/O.

#include <vector>

#include "tools/brand/Bytes.h"
#include "tools/brand/IconFile.h"
#include "tools/brand/Options.h"

namespace brand {

// The launcher's icon group, which its windows and message boxes load.
constexpr std::uint16_t kApplicationIconGroup = 128;
// The manifest Windows reads when it creates the process.
constexpr std::uint16_t kProcessManifest = 1;

// icon: the images of options.iconFile (unused when that is empty).
bool brandExecutable(const Bytes& input, const BrandOptions& options,
                     const std::vector<IconImage>& icon, Bytes& output, Report& report);

}  // namespace brand

#endif
