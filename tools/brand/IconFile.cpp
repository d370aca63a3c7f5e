#include "tools/brand/IconFile.h"

#include <algorithm>
#include <string>

namespace brand {

namespace {

constexpr std::size_t kDirectoryHeaderSize = 6;
constexpr std::size_t kFileEntrySize = 16;
constexpr std::size_t kGroupEntrySize = 14;
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Windows shows nothing larger, and no program icon needs more sizes and depths than this.
constexpr std::int64_t kMaxSide = 256;
constexpr std::size_t kMaxImages = 64;

bool isPng(const Bytes& data) {
  return data.size() >= 8 && std::equal(kPngSignature, kPngSignature + 8, data.begin());
}

// The icon numbers a group's entries name.
std::vector<std::uint16_t> groupMembers(const Bytes& group) {
  std::vector<std::uint16_t> ids;
  if (!fits(group, 0, kDirectoryHeaderSize)) return ids;
  const std::size_t count = u16At(group, 4);
  for (std::size_t i = 0; i < count && fits(group, kDirectoryHeaderSize + kGroupEntrySize * i, kGroupEntrySize);
       ++i) {
    ids.push_back(u16At(group, kDirectoryHeaderSize + kGroupEntrySize * i + 12));
  }
  return ids;
}

// A bitmap image starts with one of the three bitmap headers Windows knows.
bool isBitmap(const Bytes& data) {
  if (!fits(data, 0, 40)) return false;
  const std::uint32_t header = u32At(data, 0);
  return header == 40 || header == 108 || header == 124;
}

std::uint32_t bigEndian32(const Bytes& data, std::size_t offset) {
  return static_cast<std::uint32_t>(data[offset]) << 24 |
         static_cast<std::uint32_t>(data[offset + 1]) << 16 |
         static_cast<std::uint32_t>(data[offset + 2]) << 8 | data[offset + 3];
}

std::string sideText(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + " by " + std::to_string(height) + " pixels";
}

// Whether a PNG image starts with its header chunk and names a size an icon can have.
bool sanePng(const Bytes& data, std::string& why) {
  constexpr std::size_t kHeaderChunkEnd = 8 + 8 + 13 + 4;
  if (!fits(data, 0, kHeaderChunkEnd) || bigEndian32(data, 8) != 13 ||
      !std::equal(data.begin() + 12, data.begin() + 16, "IHDR")) {
    why = "is a PNG image without its header";
    return false;
  }
  const std::uint32_t width = bigEndian32(data, 16);
  const std::uint32_t height = bigEndian32(data, 20);
  if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide) {
    why = "claims " + sideText(width, height) + "; icon images are 1 to 256 pixels a side";
    return false;
  }
  return true;
}

// Whether a bitmap image's header describes an icon image of at most 256 by 256 pixels whose
// colours, pixels and mask all lie within its bytes. Its height counts the pixels and the mask.
bool saneBitmap(const Bytes& data, std::string& why) {
  const std::uint64_t headerSize = u32At(data, 0);
  const std::int64_t width = static_cast<std::int32_t>(u32At(data, 4));
  const std::int64_t doubleHeight = static_cast<std::int32_t>(u32At(data, 8));
  const std::uint16_t planes = u16At(data, 12);
  const std::uint16_t bits = u16At(data, 14);
  const std::uint32_t compression = u32At(data, 16);
  const std::uint64_t coloursUsed = u32At(data, 32);
  if (width < 1 || width > kMaxSide || doubleHeight < 2 || doubleHeight > 2 * kMaxSide ||
      doubleHeight % 2 != 0) {
    why = "claims " + sideText(width, doubleHeight / 2) +
          "; icon images are 1 to 256 pixels a side";
    return false;
  }
  const bool knownDepth =
      bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  const bool masks = compression == 3 && (bits == 16 || bits == 32);
  if (planes != 1 || !knownDepth || (compression != 0 && !masks) ||
      (bits <= 8 && coloursUsed > (1u << bits))) {
    why = "has a pixel format icons do not use";
    return false;
  }
  const std::uint64_t colours =
      bits <= 8 ? (coloursUsed != 0 ? coloursUsed : 1u << bits) : coloursUsed;
  // The three colour masks follow the smallest header; the larger ones hold them.
  const std::uint64_t maskBytes = masks && headerSize == 40 ? 12 : 0;
  const std::uint64_t rows = static_cast<std::uint64_t>(doubleHeight / 2);
  const std::uint64_t pixelRow = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
  const std::uint64_t maskRow = (static_cast<std::uint64_t>(width) + 31) / 32 * 4;
  const std::uint64_t needed = headerSize + maskBytes + colours * 4 + (pixelRow + maskRow) * rows;
  if (needed > data.size()) {
    why = "holds " + std::to_string(data.size()) + " bytes where its header describes " +
          std::to_string(needed);
    return false;
  }
  return true;
}

}  // namespace

bool readIconFile(const Bytes& file, std::vector<IconImage>& images, Report& report) {
  images.clear();
  if (!fits(file, 0, kDirectoryHeaderSize) || u16At(file, 0) != 0 || u16At(file, 2) != 1) {
    return report.fail("not an icon (.ico) file");
  }
  const std::size_t count = u16At(file, 4);
  if (count == 0) return report.fail("the icon file holds no images");
  if (count > kMaxImages) {
    return report.fail("the icon file holds " + std::to_string(count) + " images; at most " +
                       std::to_string(kMaxImages) + " are taken");
  }
  if (!fits(file, kDirectoryHeaderSize, kFileEntrySize * count)) {
    return report.fail("the icon file's directory is cut short");
  }
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = kDirectoryHeaderSize + kFileEntrySize * i;
    const std::string which = "icon image " + std::to_string(i + 1);
    IconImage image;
    image.width = file[entry];
    image.height = file[entry + 1];
    image.colorCount = file[entry + 2];
    image.planes = u16At(file, entry + 4);
    image.bitCount = u16At(file, entry + 6);
    const std::uint32_t size = u32At(file, entry + 8);
    const std::uint32_t offset = u32At(file, entry + 12);
    if (size == 0 || !fits(file, offset, size)) return report.fail(which + " lies outside the file");
    image.data.assign(file.begin() + offset, file.begin() + offset + size);
    std::string why;
    if (isPng(image.data)) {
      if (!sanePng(image.data, why)) return report.fail(which + " " + why);
      if (image.bitCount == 0) image.bitCount = 32;
    } else if (isBitmap(image.data)) {
      if (!saneBitmap(image.data, why)) return report.fail(which + " " + why);
      if (image.bitCount == 0) image.bitCount = u16At(image.data, 14);
    } else {
      return report.fail(which + " is neither a bitmap nor a PNG image");
    }
    if (image.planes == 0) image.planes = 1;
    images.push_back(image);
  }
  return true;
}

bool replaceIconGroup(Resources& resources, std::uint16_t groupId,
                      const std::vector<IconImage>& images, Report& report) {
  const ResourceName group = resourceId(groupId);
  std::vector<std::uint16_t> oldMembers;
  for (const Resource& resource : resources) {
    if (resource.type == resourceId(kTypeGroupIcon) && resource.name == group) {
      const std::vector<std::uint16_t> ids = groupMembers(resource.data);
      oldMembers.insert(oldMembers.end(), ids.begin(), ids.end());
    }
  }
  const std::uint16_t language = removeResources(resources, kTypeGroupIcon, &group, kLanguageEnglishUs);
  std::vector<std::uint16_t> stillUsed;
  for (const Resource& resource : resources) {
    if (resource.type == resourceId(kTypeGroupIcon)) {
      const std::vector<std::uint16_t> ids = groupMembers(resource.data);
      stillUsed.insert(stillUsed.end(), ids.begin(), ids.end());
    }
  }
  for (std::uint16_t id : oldMembers) {
    if (std::find(stillUsed.begin(), stillUsed.end(), id) != stillUsed.end()) continue;
    const ResourceName name = resourceId(id);
    removeResources(resources, kTypeIcon, &name, 0);
  }

  std::vector<std::uint16_t> taken;
  for (const Resource& resource : resources) {
    if (resource.type == resourceId(kTypeIcon) && resource.name.text.empty()) taken.push_back(resource.name.id);
  }
  Resource directory{resourceId(kTypeGroupIcon), group, language, 0, {}};
  appendU16(directory.data, 0);
  appendU16(directory.data, 1);
  appendU16(directory.data, static_cast<std::uint32_t>(images.size()));
  std::uint32_t next = 1;
  for (const IconImage& image : images) {
    while (std::find(taken.begin(), taken.end(), next) != taken.end()) ++next;
    if (next > 0xFFFF) return report.fail("no icon numbers are left for so many images");
    const std::uint16_t id = static_cast<std::uint16_t>(next++);
    directory.data.push_back(image.width);
    directory.data.push_back(image.height);
    directory.data.push_back(image.colorCount);
    directory.data.push_back(0);
    appendU16(directory.data, image.planes);
    appendU16(directory.data, image.bitCount);
    appendU32(directory.data, static_cast<std::uint32_t>(image.data.size()));
    appendU16(directory.data, id);
    resources.push_back(Resource{resourceId(kTypeIcon), resourceId(id), language, 0, image.data});
  }
  resources.push_back(directory);
  return true;
}

}  // namespace brand
