#include "tools/brand/Brand.h"

#include "tools/brand/PeImage.h"
#include "tools/brand/ResourceTree.h"

namespace brand {

bool brandExecutable(const Bytes& input, const BrandOptions& options,
                     const std::vector<IconImage>& icon, Bytes& output, Report& report) {
  PeImage image;
  Resources resources;
  if (!image.read(input, report) ||
      !readResources(image.resourceSection(), image.resourceRva(), resources, report)) {
    return false;
  }
  if (!options.iconFile.empty() &&
      !replaceIconGroup(resources, kApplicationIconGroup, icon, report)) {
    return false;
  }
  if (options.versionGiven) {
    Resource version{resourceId(kTypeVersion), resourceId(1), kLanguageEnglishUs, 0, {}};
    if (!buildVersionBlock(options.version, version.data, report)) return false;
    removeResources(resources, kTypeVersion, nullptr, 0);
    resources.push_back(version);
  }
  if (options.manifestGiven) {
    const ResourceName name = resourceId(kProcessManifest);
    const std::string text = buildManifest(options.manifest);
    const std::uint16_t language = removeResources(resources, kTypeManifest, &name, kLanguageEnglishUs);
    resources.push_back(Resource{resourceId(kTypeManifest), name, language, 0, Bytes(text.begin(), text.end())});
  }
  const std::uint16_t subsystem = options.console ? kSubsystemWindowsConsole : image.subsystem();
  return image.rebuild(writeResources(resources, image.resourceRva()), subsystem, output, report);
}

}  // namespace brand
