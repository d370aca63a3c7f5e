#ifndef TOOLS_BRAND_PEIMAGE_H
#define TOOLS_BRAND_PEIMAGE_H

// A PE executable of either word size, read far enough to give it a new resource section. Every
// condition that keeps the rewrite sound is checked by read(); an image that fails one is refused,
// never half understood.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/brand/Bytes.h"

namespace brand {

constexpr std::uint16_t kSubsystemWindowsGui = 2;
constexpr std::uint16_t kSubsystemWindowsConsole = 3;

struct PeSection {
  std::string name;  // as the table spells it; long names stay "/N"
  std::size_t headerOffset = 0;
  std::uint32_t virtualSize = 0;
  std::uint32_t virtualAddress = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t rawPointer = 0;
  std::uint32_t characteristics = 0;
  // How much address space the section covers (a virtual size of 0 means the raw size).
  std::uint32_t extent() const { return virtualSize != 0 ? virtualSize : rawSize; }
};

class PeImage {
 public:
  // Reads and checks file, which must outlive this object.
  bool read(const Bytes& file, Report& report);

  bool is64() const { return is64_; }
  std::uint16_t subsystem() const { return u16At(*file_, optional_ + 68); }
  std::uint32_t resourceRva() const { return sections_[resourceIndex_].virtualAddress; }
  const std::vector<PeSection>& sections() const { return sections_; }

  // The resource section as it is loaded: its raw data, zero-filled to its virtual size.
  Bytes resourceSection() const;

  // The file with resources (laid out for resourceRva()) as its resource section, the sections
  // after it and the COFF symbol table moved by as much as it grew or shrank, the given subsystem
  // and a new checksum. Every other byte is copied.
  bool rebuild(const Bytes& resources, std::uint16_t newSubsystem, Bytes& result,
               Report& report) const;

 private:
  bool readHeaders(Report& report);
  bool readSections(Report& report);
  bool checkSignature(Report& report) const;
  bool checkEnd(Report& report) const;
  bool checkDirectories(Report& report);
  bool checkRelocations(std::uint32_t rva, std::uint32_t size, Report& report);
  bool checkDebugDirectory(std::uint32_t rva, std::uint32_t size, Report& report) const;
  // The file offset of size bytes at rva, when they lie in one section's raw data.
  bool fileOffset(std::uint32_t rva, std::uint32_t size, std::size_t& offset,
                  std::size_t& section) const;
  std::size_t directoryOffset(std::size_t index) const { return directories_ + 8 * index; }

  const Bytes* file_ = nullptr;
  bool is64_ = false;
  std::size_t coff_ = 0;
  std::size_t optional_ = 0;
  std::size_t directories_ = 0;
  std::uint32_t directoryCount_ = 0;
  std::uint32_t sectionAlignment_ = 0;
  std::uint32_t fileAlignment_ = 0;
  std::uint32_t headersSize_ = 0;
  std::vector<PeSection> sections_;
  std::size_t resourceIndex_ = 0;
  bool relocationsMove_ = false;
};

// The checksum of the optional header: 16-bit words summed with end-around carry, skipping the
// checksum field itself, plus the file length.
std::uint32_t peChecksum(const Bytes& file, std::size_t checksumOffset);

}  // namespace brand

#endif
