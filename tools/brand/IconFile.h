#ifndef TOOLS_BRAND_ICONFILE_H
#define TOOLS_BRAND_ICONFILE_H

// Icon files (.ico) and the icon group resource that Windows picks an image size from.

#include <cstdint>
#include <vector>

#include "tools/brand/Bytes.h"
#include "tools/brand/ResourceTree.h"

namespace brand {

struct IconImage {
  std::uint8_t width = 0;  // 0 means 256
  std::uint8_t height = 0;
  std::uint8_t colorCount = 0;
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
  Bytes data;  // a bitmap (header, colours, mask) or a PNG file
};

// Reads every image of an icon file. Planes and bit counts that the file leaves at 0, as many
// editors do, are taken from the image itself, since Windows chooses an image by them.
bool readIconFile(const Bytes& file, std::vector<IconImage>& images, Report& report);

// Replaces icon group groupId and the images only it used by images, in the old group's language
// (en-US when there was none); the new images take the lowest free icon numbers.
bool replaceIconGroup(Resources& resources, std::uint16_t groupId,
                      const std::vector<IconImage>& images, Report& report);

}  // namespace brand

#endif
