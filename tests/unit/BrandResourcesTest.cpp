#include <algorithm>
#include <string>
#include <vector>

#include "tests/unit/Test.h"
#include "tools/brand/IconFile.h"
#include "tools/brand/ResourceTree.h"
#include "tools/brand/VersionInfo.h"

using namespace brand;

namespace {

constexpr std::uint32_t SectionRva = 0x7000;

ResourceName named(const char16_t* text) { return ResourceName{text, 0}; }

// "type/name/language=size" for each resource, in the order given.
std::string listing(const Resources& resources) {
  std::string text;
  auto show = [](const ResourceName& name) {
    if (name.text.empty()) return std::to_string(name.id);
    return std::string(name.text.begin(), name.text.end());
  };
  for (const Resource& r : resources) {
    text += show(r.type) + "/" + show(r.name) + "/" + std::to_string(r.language) + "=" +
            std::to_string(r.data.size()) + " ";
  }
  return text;
}

Bytes iconFile(const std::vector<Bytes>& images, std::uint16_t bits) {
  Bytes file;
  appendU16(file, 0);
  appendU16(file, 1);
  appendU16(file, static_cast<std::uint32_t>(images.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (const Bytes& image : images) {
    file.insert(file.end(), {16, 16, 0, 0});
    appendU16(file, 0);  // planes and bit count left at 0, as many editors write them
    appendU16(file, bits);
    appendU32(file, static_cast<std::uint32_t>(image.size()));
    appendU32(file, offset);
    offset += static_cast<std::uint32_t>(image.size());
  }
  for (const Bytes& image : images) file.insert(file.end(), image.begin(), image.end());
  return file;
}

// A 16 by 16 bitmap image: header, colours, pixels and mask.
Bytes bitmapImage(std::uint16_t bits, std::uint32_t side = 16) {
  const std::size_t colours = bits <= 8 ? std::size_t(1) << bits : 0;
  const std::size_t rows = ((side * bits + 31) / 32 + (side + 31) / 32) * 4 * side;
  Bytes image(40 + 4 * colours + rows, 0);
  putU32(image, 0, 40);
  putU32(image, 4, side);
  putU32(image, 8, 2 * side);
  putU16(image, 12, 1);
  putU16(image, 14, bits);
  return image;
}

// A PNG image's signature and header chunk (16 by 16, CRC left out).
Bytes pngImage(std::uint8_t side = 16) {
  return Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,  'I', 'H', 'D', 'R',
               0,    0,   0,   side, 0,    0,    0,    side, 8, 6, 0, 0,   0,   0,   0,   0, 0};
}

}  // namespace

TEST_CASE(resourceTree_roundTripKeepsEveryEntryInDirectoryOrder) {
  Resources resources;
  resources.push_back({resourceId(24), resourceId(1), 0x409, 0, Bytes(5, 'x')});
  resources.push_back({named(u"PNG"), named(u"SPLASH"), 0, 1252, Bytes(9, 'p')});
  resources.push_back({resourceId(6), resourceId(13), 0x407, 0, Bytes(3, 'd')});
  resources.push_back({resourceId(6), resourceId(13), 0x409, 0, Bytes(4, 'e')});
  resources.push_back({resourceId(6), named(u"ABC"), 0x409, 0, Bytes(1, 'n')});
  resources.push_back({resourceId(14), resourceId(128), 0x409, 0, Bytes()});
  const Bytes section = writeResources(resources, SectionRva);
  Resources back;
  Report report;
  CHECK(readResources(section, SectionRva, back, report));
  CHECK_EQ(listing(back), std::string("PNG/SPLASH/0=9 6/ABC/1033=1 6/13/1031=3 6/13/1033=4 "
                                      "14/128/1033=0 24/1/1033=5 "));
  CHECK_EQ(back[0].codePage, 1252u);
  CHECK(back[2].data == Bytes(3, 'd'));
  // Data is 8-byte aligned: a loaded string table or manifest is read in place. With one
  // resource, its data entry is at 72 and the name "AB" (6 bytes) ends at 94.
  const Bytes single = writeResources({{named(u"AB"), resourceId(1), 0, 0, Bytes(2, 'a')}}, SectionRva);
  CHECK_EQ(u32At(single, 72) - SectionRva, 96u);
  CHECK(writeResources(back, SectionRva) == section);
  Resources moved;
  CHECK(readResources(writeResources(resources, 0x1000), 0x1000, moved, report));
  CHECK_EQ(listing(moved), listing(back));
}

TEST_CASE(resourceTree_malformedDirectoriesAreRefused) {
  const Resources one{{resourceId(24), resourceId(1), 0x409, 0, Bytes(8, 'm')}};
  struct Row {
    const char* label;
    void (*breakIt)(Bytes& section);
    const char* message;
  };
  // Offsets in the written section: root at 0, its entry at 16, the type directory at 24 with
  // its entry at 40, the name directory at 48 with its entry at 64, the data entry at 72.
  const Row rows[] = {
      {"cut short", [](Bytes& s) { s.resize(20); }, "outside its section"},
      {"entry count beyond the section", [](Bytes& s) { putU16(s, 14, 0x4000); }, "outside its section"},
      {"type directory points at the root", [](Bytes& s) { putU32(s, 20, 0x80000000u); }, "shared or form a loop"},
      {"leaf one level early", [](Bytes& s) { putU32(s, 44, 72); }, "three levels"},
      {"directory where a leaf belongs", [](Bytes& s) { putU32(s, 68, 0x80000000u | 48); }, "three levels"},
      {"data before the section", [](Bytes& s) { putU32(s, 72, SectionRva - 4); }, "outside the resource section"},
      {"data beyond the section", [](Bytes& s) { putU32(s, 76, 0x10000); }, "outside the resource section"},
      {"name beyond the section", [](Bytes& s) { putU32(s, 16, 0x80000000u | 0xFFFF); }, "name lies outside"},
      {"number above 65535", [](Bytes& s) { putU32(s, 16, 0x10000); }, "larger than 65535"},
      {"named language", [](Bytes& s) { putU32(s, 64, 0x80000000u | 76); }, "language is a name"},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    Bytes section = writeResources(one, SectionRva);
    row.breakIt(section);
    Resources back;
    Report report;
    CHECK(!readResources(section, SectionRva, back, report));
    CHECK(report.message.find(row.message) != std::string::npos);
  }
  test::setContext("");
  Resources back;
  Report report;
  CHECK(!readResources(writeResources({one[0], one[0]}, SectionRva), SectionRva, back, report));
  CHECK_EQ(report.message, std::string("a resource appears twice"));
}

TEST_CASE(iconFile_readsEveryImageAndFillsWhatEditorsLeaveOut) {
  std::vector<IconImage> images;
  Report report;
  CHECK(readIconFile(iconFile({bitmapImage(4), pngImage(), bitmapImage(32)}, 0), images, report));
  CHECK_EQ(images.size(), std::size_t(3));
  if (images.size() == 3) {
    CHECK_EQ(images[0].bitCount, 4);
    CHECK_EQ(images[1].bitCount, 32);
    CHECK_EQ(images[2].bitCount, 32);
    CHECK_EQ(images[0].planes, 1);
    CHECK(images[1].data == pngImage());
  }
  CHECK(readIconFile(iconFile({bitmapImage(32)}, 8), images, report));
  CHECK_EQ(images[0].bitCount, 8);  // a bit count that is given is kept

  struct Row {
    const char* label;
    Bytes file;
    const char* message;
  };
  Bytes outside = iconFile({bitmapImage(4)}, 0);
  putU32(outside, 6 + 12, 0xFFFFFF00u);
  Bytes huge = bitmapImage(32);
  putU32(huge, 4, 0x7FFFFFFF);
  putU32(huge, 8, 0x7FFFFFFF);
  Bytes negative = bitmapImage(32);
  putU32(negative, 4, static_cast<std::uint32_t>(-16));
  Bytes cut = bitmapImage(32);
  cut.pop_back();
  const Bytes png = pngImage();
  const Bytes signature(png.begin(), png.begin() + 8);
  const Row rows[] = {
      {"a bitmap file", Bytes{'B', 'M', 0, 0, 0, 0}, "not an icon"},
      {"a cursor file", Bytes{0, 0, 2, 0, 1, 0}, "not an icon"},
      {"no images", Bytes{0, 0, 1, 0, 0, 0}, "no images"},
      {"directory cut short", Bytes{0, 0, 1, 0, 2, 0, 16, 16}, "cut short"},
      {"image outside the file", outside, "lies outside"},
      {"image of unknown kind", iconFile({Bytes(60, 7)}, 0), "neither a bitmap nor a PNG"},
      {"a PNG that is only its signature", iconFile({signature}, 0),
       "a PNG image without its header"},
      {"a PNG of 0 by 0", iconFile({pngImage(0)}, 0), "claims 0 by 0 pixels"},
      {"a bitmap of 2^31 by 2^31", iconFile({huge}, 0), "claims 2147483647 by 1073741823 pixels"},
      {"a bitmap of negative size", iconFile({negative}, 0), "claims -16 by 16 pixels"},
      {"a bitmap of 512 pixels a side", iconFile({bitmapImage(32, 512)}, 0), "claims 512 by 512"},
      {"a bitmap shorter than its header says", iconFile({cut}, 0),
       "holds 1127 bytes where its header describes 1128"},
      {"a bitmap of 3 bits a pixel", iconFile({bitmapImage(3)}, 0),
       "a pixel format icons do not use"},
      {"65 images", iconFile(std::vector<Bytes>(65, pngImage()), 0), "holds 65 images; at most 64"},
  };
  for (const Row& row : rows) {
    test::setContext(row.label);
    CHECK(!readIconFile(row.file, images, report));
    CHECK(report.message.find(row.message) != std::string::npos);
  }
  test::setContext("");
}

TEST_CASE(iconGroup_replacesItsImagesAndKeepsOthers) {
  auto group = [](std::initializer_list<std::uint16_t> ids) {
    Bytes data;
    appendU16(data, 0);
    appendU16(data, 1);
    appendU16(data, static_cast<std::uint32_t>(ids.size()));
    for (std::uint16_t id : ids) {
      data.resize(data.size() + 12, 0);
      appendU16(data, id);
    }
    return data;
  };
  Resources resources{
      {resourceId(kTypeIcon), resourceId(1), 0x407, 0, Bytes(1, 1)},
      {resourceId(kTypeIcon), resourceId(2), 0x407, 0, Bytes(2, 2)},
      {resourceId(kTypeIcon), resourceId(3), 0x407, 0, Bytes(3, 3)},
      {resourceId(kTypeGroupIcon), resourceId(128), 0x407, 0, group({1, 2})},
      {resourceId(kTypeGroupIcon), resourceId(200), 0x409, 0, group({2, 3})},
      {resourceId(6), resourceId(13), 0x409, 0, Bytes(4, 4)},
  };
  std::vector<IconImage> images(3);
  for (std::size_t i = 0; i < images.size(); ++i) {
    images[i].width = images[i].height = static_cast<std::uint8_t>(16 << i);
    images[i].planes = 1;
    images[i].bitCount = 32;
    images[i].data = Bytes(10 + i, static_cast<std::uint8_t>(0xA0 + i));
  }
  Report report;
  CHECK(replaceIconGroup(resources, 128, images, report));
  // Image 1 belonged to group 128 alone; image 2 is shared with group 200 and stays. The new
  // images take the free numbers 1, 4 and 5, in the old group's language.
  CHECK_EQ(listing(resources), std::string("3/2/1031=2 3/3/1031=3 14/200/1033=" +
                                           std::to_string(group({2, 3}).size()) +
                                           " 6/13/1033=4 3/1/1031=10 3/4/1031=11 3/5/1031=12 14/128/1031=48 "));
  const Bytes& directory = resources.back().data;
  CHECK_EQ(u16At(directory, 4), 3);
  const std::uint8_t second[14] = {32, 32, 0, 0, 1, 0, 32, 0, 11, 0, 0, 0, 4, 0};
  CHECK(Bytes(directory.begin() + 20, directory.begin() + 34) == Bytes(second, second + 14));

  Resources fresh;
  CHECK(replaceIconGroup(fresh, 128, images, report));
  CHECK_EQ(fresh.back().language, kLanguageEnglishUs);
}

TEST_CASE(versionNumber_parsing) {
  struct Row {
    const char* text;
    bool valid;
    std::uint16_t parts[4];
  };
  const Row rows[] = {
      {"1", true, {1, 0, 0, 0}},       {"2.5", true, {2, 5, 0, 0}},
      {"1.2.3.4", true, {1, 2, 3, 4}}, {"65535.0.007.65535", true, {65535, 0, 7, 65535}},
      {"", false, {}},                 {"1.", false, {}},
      {".1", false, {}},               {"1..2", false, {}},
      {"1.2.3.4.5", false, {}},        {"65536", false, {}},
      {"1.2-beta", false, {}},         {"v1", false, {}},
      {"1 .2", false, {}},
  };
  for (const Row& row : rows) {
    test::setContext(row.text);
    VersionNumber number;
    Report report;
    CHECK_EQ(parseVersionNumber(row.text, number, report), row.valid);
    if (!row.valid) continue;
    for (int i = 0; i < 4; ++i) CHECK_EQ(number.parts[i], row.parts[i]);
    CHECK_EQ(number.text, std::string(row.text));
  }
  test::setContext("");
}

TEST_CASE(versionBlock_layout) {
  VersionInfo info;
  Report report;
  CHECK(parseVersionNumber("2.5.1.7", info.fileVersion, report));
  CHECK(parseVersionNumber("2.5", info.productVersion, report));
  info.productName = "Caf\xc3\xa9";
  Bytes block;
  CHECK(buildVersionBlock(info, block, report));
  CHECK_EQ(u16At(block, 0), block.size());
  CHECK_EQ(u16At(block, 2), 52);
  // "VS_VERSION_INFO" and its terminator end at 38; the fixed part starts on the next DWORD.
  CHECK_EQ(u32At(block, 40), 0xFEEF04BDu);
  CHECK_EQ(u32At(block, 48), 0x00020005u);
  CHECK_EQ(u32At(block, 52), 0x00010007u);
  CHECK_EQ(u32At(block, 56), 0x00020005u);
  CHECK_EQ(u32At(block, 60), 0u);
  const Bytes expected{'C', 0, 'a', 0, 'f', 0, 0xE9, 0, 0, 0};
  CHECK(std::search(block.begin(), block.end(), expected.begin(), expected.end()) != block.end());

  info.companyName = "\xc3\x28";
  CHECK(!buildVersionBlock(info, block, report));
  CHECK(report.message.find("not UTF-8") != std::string::npos);
  info.companyName = std::string(40000, 'c');
  CHECK(!buildVersionBlock(info, block, report));
  CHECK(report.message.find("too long") != std::string::npos);
}
