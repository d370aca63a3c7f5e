#include <string>
#include <vector>

#include "tests/unit/Test.h"
#include "tools/brand/PeImage.h"
#include "tools/brand/ResourceTree.h"

using namespace brand;

namespace {

constexpr std::uint32_t FileAlignment = 0x200;
constexpr std::uint32_t SectionAlignment = 0x1000;

// A small executable laid out as the linker lays out the launcher: code, resources, base
// relocations, a discardable debug section, then the COFF symbol and string tables.
struct SyntheticPe {
  Bytes file;
  std::size_t optional = 0;
  std::size_t table = 0;  // the section table: .text, .rsrc, .reloc, /4
  std::size_t symbols = 0;
  std::size_t directory(std::size_t index, bool is64) const { return optional + (is64 ? 112 : 96) + 8 * index; }
  std::size_t section(std::size_t index) const { return table + 40 * index; }
};

Resources sampleResources(std::size_t payload) {
  Resources resources;
  resources.push_back({resourceId(kTypeManifest), resourceId(1), kLanguageEnglishUs, 0, Bytes(payload, 'm')});
  resources.push_back({resourceId(6), resourceId(13), kLanguageEnglishUs, 0, Bytes{1, 2, 3}});
  return resources;
}

void addSection(SyntheticPe& pe, std::size_t index, const char* name, std::uint32_t rva,
                const Bytes& data, std::uint32_t characteristics) {
  const std::size_t at = pe.section(index);
  for (std::size_t k = 0; name[k] != 0; ++k) pe.file[at + k] = static_cast<std::uint8_t>(name[k]);
  putU32(pe.file, at + 8, static_cast<std::uint32_t>(data.size()));
  putU32(pe.file, at + 12, rva);
  putU32(pe.file, at + 16, static_cast<std::uint32_t>(alignUp(data.size(), FileAlignment)));
  putU32(pe.file, at + 20, static_cast<std::uint32_t>(pe.file.size()));
  putU32(pe.file, at + 36, characteristics);
  pe.file.insert(pe.file.end(), data.begin(), data.end());
  padTo(pe.file, FileAlignment);
}

SyntheticPe makePe(bool is64) {
  SyntheticPe pe;
  pe.file.assign(0x400, 0);
  pe.file[0] = 'M';
  pe.file[1] = 'Z';
  putU32(pe.file, 0x3C, 0x40);
  putU32(pe.file, 0x40, 0x00004550);
  const std::uint16_t optionalSize = is64 ? 240 : 224;
  putU16(pe.file, 0x44, is64 ? 0x8664 : 0x14C);
  putU16(pe.file, 0x46, 4);
  putU16(pe.file, 0x54, optionalSize);
  putU16(pe.file, 0x56, is64 ? 0x0022 : 0x0102);
  pe.optional = 0x58;
  pe.table = pe.optional + optionalSize;
  putU16(pe.file, pe.optional, is64 ? 0x20B : 0x10B);
  putU32(pe.file, pe.optional + 32, SectionAlignment);
  putU32(pe.file, pe.optional + 36, FileAlignment);
  putU32(pe.file, pe.optional + 60, 0x400);
  putU16(pe.file, pe.optional + 68, kSubsystemWindowsGui);
  putU32(pe.file, pe.optional + (is64 ? 108 : 92), 16);

  Bytes code(0x300);
  for (std::size_t i = 0; i < code.size(); ++i) code[i] = static_cast<std::uint8_t>(i * 7);
  addSection(pe, 0, ".text", 0x1000, code, 0x60000020);
  const Bytes resources = writeResources(sampleResources(0x300), 0x2000);
  addSection(pe, 1, ".rsrc", 0x2000, resources, 0xC0000040);
  Bytes relocations;
  appendU32(relocations, 0x1000);
  appendU32(relocations, 12);
  appendU16(relocations, (is64 ? 0xA000 : 0x3000) | 0x10);
  appendU16(relocations, 0);  // padding entry
  addSection(pe, 2, ".reloc", 0x3000, relocations, 0x42000040);
  addSection(pe, 3, "/4", 0x4000, Bytes(0x50, 0xDB), 0x42000040);
  putU32(pe.file, pe.optional + 56, 0x5000);
  putU32(pe.file, pe.directory(1, is64), 0x1020);
  putU32(pe.file, pe.directory(1, is64) + 4, 0x28);
  putU32(pe.file, pe.directory(2, is64), 0x2000);
  putU32(pe.file, pe.directory(2, is64) + 4, static_cast<std::uint32_t>(resources.size()));
  putU32(pe.file, pe.directory(5, is64), 0x3000);
  putU32(pe.file, pe.directory(5, is64) + 4, 12);

  pe.symbols = pe.file.size();
  putU32(pe.file, 0x4C, static_cast<std::uint32_t>(pe.symbols));
  putU32(pe.file, 0x50, 2);
  pe.file.resize(pe.file.size() + 2 * 18, 0x5A);
  const std::string strings = ".debug_info";
  appendU32(pe.file, static_cast<std::uint32_t>(4 + strings.size() + 1));
  pe.file.insert(pe.file.end(), strings.begin(), strings.end() + 1);
  return pe;
}

Bytes slice(const Bytes& data, std::size_t offset, std::size_t size) {
  return Bytes(data.begin() + static_cast<std::ptrdiff_t>(offset),
               data.begin() + static_cast<std::ptrdiff_t>(offset + size));
}

}  // namespace

TEST_CASE(peImage_rebuildMovesWhatFollowsTheResources) {
  struct Row {
    bool is64;
    std::size_t payload;  // the manifest's size in the new resources
    std::int64_t virtualShift;
    std::int64_t rawShift;
  };
  const Row rows[] = {
      {false, 0x2500, 0x2000, 0x2200}, {true, 0x2500, 0x2000, 0x2200},  // grows by pages
      {true, 10, 0, -0x200},  // shrinks within its page
  };
  for (const Row& row : rows) {
    test::setContext(std::string(row.is64 ? "PE32+" : "PE32") + " payload " + std::to_string(row.payload));
    const SyntheticPe pe = makePe(row.is64);
    PeImage image;
    Report report;
    CHECK(image.read(pe.file, report));
    CHECK_EQ(image.is64(), row.is64);
    const Resources wanted = sampleResources(row.payload);
    Bytes out;
    CHECK(image.rebuild(writeResources(wanted, image.resourceRva()), kSubsystemWindowsConsole, out, report));

    PeImage rebuilt;
    CHECK(rebuilt.read(out, report));
    CHECK_EQ(report.message, std::string());
    Resources back;
    CHECK(readResources(rebuilt.resourceSection(), rebuilt.resourceRva(), back, report));
    CHECK_EQ(back.size(), wanted.size());
    // Read back in directory order: the string table (type 6) before the manifest (type 24).
    CHECK(back.size() == 2 && back[1].data == wanted[0].data && back[0].data == wanted[1].data);
    CHECK_EQ(rebuilt.subsystem(), kSubsystemWindowsConsole);

    const std::vector<PeSection>& before = image.sections();
    const std::vector<PeSection>& after = rebuilt.sections();
    CHECK_EQ(after[0].rawPointer, before[0].rawPointer);
    CHECK(slice(out, after[0].rawPointer, after[0].rawSize) == slice(pe.file, before[0].rawPointer, before[0].rawSize));
    for (std::size_t i = 2; i < 4; ++i) {
      CHECK_EQ(std::int64_t(after[i].virtualAddress) - before[i].virtualAddress, row.virtualShift);
      CHECK_EQ(std::int64_t(after[i].rawPointer) - before[i].rawPointer, row.rawShift);
      CHECK(slice(out, after[i].rawPointer, after[i].rawSize) == slice(pe.file, before[i].rawPointer, before[i].rawSize));
    }
    CHECK_EQ(after[1].virtualSize, static_cast<std::uint32_t>(writeResources(wanted, 0x2000).size()));
    CHECK_EQ(u32At(out, pe.directory(2, row.is64) + 4), after[1].virtualSize);
    CHECK_EQ(u32At(out, pe.directory(5, row.is64)), after[2].virtualAddress);
    CHECK_EQ(u32At(out, pe.directory(1, row.is64)), 0x1020u);
    CHECK_EQ(u32At(out, pe.optional + 56), after[3].virtualAddress + SectionAlignment);
    const std::uint32_t symbols = u32At(out, 0x4C);
    CHECK_EQ(std::int64_t(symbols) - std::int64_t(pe.symbols), row.rawShift);
    CHECK(slice(out, symbols, out.size() - symbols) == slice(pe.file, pe.symbols, pe.file.size() - pe.symbols));
    CHECK_EQ(u32At(out, pe.optional + 64), peChecksum(out, pe.optional + 64));
    CHECK(u32At(out, pe.optional + 64) != 0);
  }
  test::setContext("");
}

TEST_CASE(peImage_checksumOfKnownBytes) {
  // Words 0x0201 and 0xFFFF fold to 0x0201; the odd last byte 0x05 adds as a word; plus length.
  const Bytes data{0x01, 0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0xFF, 0xFF, 0x05};
  CHECK_EQ(peChecksum(data, 2), 0x0201u + 0x05u + 9u);
}

TEST_CASE(peImage_refusals) {
  struct Row {
    const char* label;
    void (*breakIt)(SyntheticPe& pe, bool is64);
    const char* message;  // a part of the refusal
  };
  const Row rows[] = {
      {"no MZ", [](SyntheticPe& pe, bool) { pe.file[0] = 'X'; }, "no MZ header"},
      {"cut after the MZ header", [](SyntheticPe& pe, bool) { pe.file.resize(0x48); }, "no PE signature"},
      {"PE header beyond the end", [](SyntheticPe& pe, bool) { putU32(pe.file, 0x3C, 0xFFFFFFF0u); }, "no PE signature"},
      {"a DLL", [](SyntheticPe& pe, bool) { putU16(pe.file, 0x56, 0x2102); }, "DLL"},
      {"unknown magic", [](SyntheticPe& pe, bool) { putU16(pe.file, pe.optional, 0x107); }, "magic 0x107"},
      {"optional header longer than the file", [](SyntheticPe& pe, bool) { putU16(pe.file, 0x54, 0xFFFF); }, "cut short"},
      {"too many directories", [](SyntheticPe& pe, bool is64) { putU32(pe.file, pe.optional + (is64 ? 108 : 92), 17); }, "data directory"},
      {"native subsystem", [](SyntheticPe& pe, bool) { putU16(pe.file, pe.optional + 68, 1); }, "subsystem 1"},
      {"file alignment 0x300", [](SyntheticPe& pe, bool) { putU32(pe.file, pe.optional + 36, 0x300); }, "power of two"},
      {"no sections", [](SyntheticPe& pe, bool) { putU16(pe.file, 0x46, 0); }, "has 0 sections"},
      {"sections overlap", [](SyntheticPe& pe, bool) { putU32(pe.file, pe.section(2) + 12, 0x2000); }, "overlaps"},
      {"section data beyond the end", [](SyntheticPe& pe, bool) { putU32(pe.file, pe.section(3) + 16, 0x100000); }, "outside the file"},
      {"no resources", [](SyntheticPe& pe, bool is64) { putU32(pe.file, pe.directory(2, is64), 0); }, "has no resources"},
      {"resources inside .text", [](SyntheticPe& pe, bool is64) { putU32(pe.file, pe.directory(2, is64), 0x1010); }, "not a section of their own"},
      {"a loaded section after the resources", [](SyntheticPe& pe, bool) { putU32(pe.file, pe.section(3) + 36, 0x40000040); }, "section /4 follows the resources"},
      {"signed", [](SyntheticPe& pe, bool is64) { putU32(pe.file, pe.directory(4, is64), 0x5000); }, "signed"},
      {"appended data", [](SyntheticPe& pe, bool) { pe.file.push_back(0); }, "1 bytes follow the last section"},
      {"string table cut short", [](SyntheticPe& pe, bool) { pe.file.pop_back(); }, "symbol table does not follow"},
      {"symbol table elsewhere", [](SyntheticPe& pe, bool) { putU32(pe.file, 0x4C, 0x400); }, "symbol table does not follow"},
      {"signed and appended", [](SyntheticPe& pe, bool is64) { putU32(pe.file, pe.directory(4, is64), static_cast<std::uint32_t>(pe.file.size())); pe.file.resize(pe.file.size() + 16); }, "is signed"},
      {"appended data, no symbols", [](SyntheticPe& pe, bool) { putU32(pe.file, 0x4C, 0); }, "bytes follow the last section"},
      {"imports in the relocation section", [](SyntheticPe& pe, bool is64) { putU32(pe.file, pe.directory(1, is64), 0x3000); }, "import data lies in or after"},
      {"relocation of a resource", [](SyntheticPe& pe, bool) { putU32(pe.file, u32At(pe.file, pe.section(2) + 20), 0x2000); }, "points into the resources"},
      {"relocation block too long", [](SyntheticPe& pe, bool) { putU32(pe.file, u32At(pe.file, pe.section(2) + 20) + 4, 400); }, "block is malformed"},
      {"object-file line numbers", [](SyntheticPe& pe, bool) { putU32(pe.file, pe.section(0) + 28, 4); }, "line numbers"},
  };
  for (bool is64 : {false, true}) {
    for (const Row& row : rows) {
      test::setContext(std::string(row.label) + (is64 ? " (PE32+)" : " (PE32)"));
      SyntheticPe pe = makePe(is64);
      row.breakIt(pe, is64);
      PeImage image;
      Report report;
      CHECK(!image.read(pe.file, report));
      CHECK(report.message.find(row.message) != std::string::npos);
      if (report.message.find(row.message) == std::string::npos) CHECK_EQ(report.message, std::string(row.message));
    }
  }
  test::setContext("");
}
