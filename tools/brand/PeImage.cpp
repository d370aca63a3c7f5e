#include "tools/brand/PeImage.h"

#include <algorithm>

namespace brand {

namespace {

constexpr std::uint32_t kMaxSections = 96;
constexpr std::uint16_t kCharacteristicExecutable = 0x0002;
constexpr std::uint16_t kCharacteristicDll = 0x2000;
constexpr std::uint32_t kSectionInitializedData = 0x00000040;
constexpr std::uint32_t kSectionDiscardable = 0x02000000;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kSymbolSize = 18;

enum Directory : std::size_t {
  ResourceDirectory = 2,
  CertificateDirectory = 4,
  RelocationDirectory = 5,
  DebugDirectory = 6,
};

const char* const kDirectoryNames[] = {
    "export",      "import", "resource",          "exception",          "certificate",
    "base relocation", "debug", "architecture",   "global pointer",     "TLS",
    "load configuration", "bound import", "import address table", "delay import",
    "CLR runtime header", "reserved"};

bool powerOfTwo(std::uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

std::string hex(std::uint64_t value) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), digits[value & 15]);
    value >>= 4;
  } while (value != 0);
  return "0x" + text;
}

}  // namespace

std::uint32_t peChecksum(const Bytes& file, std::size_t checksumOffset) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < file.size(); i += 2) {
    if (i == checksumOffset || i == checksumOffset + 2) continue;
    sum += i + 1 < file.size() ? u16At(file, i) : file[i];
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + file.size());
}

bool PeImage::read(const Bytes& file, Report& report) {
  file_ = &file;
  sections_.clear();
  resourceIndex_ = 0;
  relocationsMove_ = false;
  return readHeaders(report) && checkSignature(report) && readSections(report) &&
         checkEnd(report) && checkDirectories(report);
}

bool PeImage::readHeaders(Report& report) {
  const Bytes& file = *file_;
  if (!fits(file, 0, 64) || file[0] != 'M' || file[1] != 'Z') {
    return report.fail("not a Windows executable (no MZ header)");
  }
  const std::uint32_t pe = u32At(file, 0x3C);
  if (!fits(file, pe, 24) || u32At(file, pe) != 0x00004550) {
    return report.fail("not a PE executable (no PE signature where the MZ header points)");
  }
  coff_ = pe + 4;
  optional_ = pe + 24;
  const std::uint16_t characteristics = u16At(file, coff_ + 18);
  if ((characteristics & kCharacteristicExecutable) == 0 || (characteristics & kCharacteristicDll)) {
    return report.fail("not a program but a DLL or an object file");
  }
  const std::uint16_t optionalSize = u16At(file, coff_ + 16);
  if (!fits(file, optional_, optionalSize) || optionalSize < 2) {
    return report.fail("the optional header is cut short");
  }
  const std::uint16_t magic = u16At(file, optional_);
  if (magic != 0x10B && magic != 0x20B) {
    return report.fail("unknown optional header (magic " + hex(magic) + ")");
  }
  is64_ = magic == 0x20B;
  directories_ = optional_ + (is64_ ? 112 : 96);
  if (directories_ > optional_ + optionalSize) {
    return report.fail("the optional header is cut short");
  }
  directoryCount_ = u32At(file, directories_ - 4);
  if (directoryCount_ > 16 || directories_ + 8 * directoryCount_ > optional_ + optionalSize) {
    return report.fail("the data directory does not fit its header");
  }
  if (directoryCount_ <= RelocationDirectory) {
    return report.fail("the data directory is too short to name resources and relocations");
  }
  const std::uint16_t subsystemValue = subsystem();
  if (subsystemValue != kSubsystemWindowsGui && subsystemValue != kSubsystemWindowsConsole) {
    return report.fail("not a windowed or console program (subsystem " +
                       std::to_string(subsystemValue) + ")");
  }
  sectionAlignment_ = u32At(file, optional_ + 32);
  fileAlignment_ = u32At(file, optional_ + 36);
  headersSize_ = u32At(file, optional_ + 60);
  if (!powerOfTwo(fileAlignment_) || !powerOfTwo(sectionAlignment_) ||
      sectionAlignment_ < fileAlignment_) {
    return report.fail("section or file alignment is not a power of two");
  }
  const std::uint32_t count = u16At(file, coff_ + 2);
  const std::size_t table = optional_ + optionalSize;
  if (count == 0 || count > kMaxSections) {
    return report.fail("the executable has " + std::to_string(count) + " sections");
  }
  if (!fits(file, 0, headersSize_)) return report.fail("the headers are cut short");
  if (table + kSectionHeaderSize * count > headersSize_) {
    return report.fail("the section table does not fit the headers");
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    PeSection section;
    section.headerOffset = table + kSectionHeaderSize * i;
    const std::size_t at = section.headerOffset;
    for (std::size_t k = 0; k < 8 && file[at + k] != 0; ++k) section.name += char(file[at + k]);
    section.virtualSize = u32At(file, at + 8);
    section.virtualAddress = u32At(file, at + 12);
    section.rawSize = u32At(file, at + 16);
    section.rawPointer = u32At(file, at + 20);
    section.characteristics = u32At(file, at + 36);
    if (u32At(file, at + 24) != 0 || u32At(file, at + 28) != 0) {
      return report.fail("section " + section.name + " carries object-file relocations or line numbers");
    }
    sections_.push_back(section);
  }
  return true;
}

bool PeImage::readSections(Report& report) {
  const Bytes& file = *file_;
  std::uint64_t nextVirtual = alignUp(headersSize_, sectionAlignment_);
  std::uint64_t nextRaw = headersSize_;
  for (const PeSection& section : sections_) {
    if (section.virtualAddress % sectionAlignment_ != 0 || section.virtualAddress < nextVirtual) {
      return report.fail("section " + section.name + " is out of order or overlaps another");
    }
    nextVirtual = alignUp(std::uint64_t(section.virtualAddress) + section.extent(), sectionAlignment_);
    if (section.rawSize == 0) continue;
    if (section.rawPointer < nextRaw || !fits(file, section.rawPointer, section.rawSize)) {
      return report.fail("the data of section " + section.name +
                         " lies outside the file or overlaps another");
    }
    nextRaw = std::uint64_t(section.rawPointer) + section.rawSize;
  }
  if (nextVirtual > 0xFFFFFFFFu) return report.fail("the image is larger than 4 GB");

  const std::uint32_t resourceRva = u32At(file, directoryOffset(ResourceDirectory));
  if (resourceRva == 0) return report.fail("the executable has no resources");
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    if (sections_[i].virtualAddress == resourceRva) resourceIndex_ = i;
  }
  const PeSection& resources = sections_[resourceIndex_];
  if (resources.virtualAddress != resourceRva || resources.rawSize == 0) {
    return report.fail("the resources are not a section of their own");
  }
  if (std::uint64_t(resourceRva) + u32At(file, directoryOffset(ResourceDirectory) + 4) >
      std::uint64_t(resourceRva) + resources.extent()) {
    return report.fail("the resource directory is larger than its section");
  }
  for (std::size_t i = resourceIndex_ + 1; i < sections_.size(); ++i) {
    if ((sections_[i].characteristics & kSectionDiscardable) == 0) {
      return report.fail("section " + sections_[i].name +
                         " follows the resources and is needed at run time, so it cannot move");
    }
  }
  return true;
}

bool PeImage::checkEnd(Report& report) const {
  const Bytes& file = *file_;
  std::uint64_t end = headersSize_;
  for (const PeSection& section : sections_) {
    if (section.rawSize != 0) end = std::uint64_t(section.rawPointer) + section.rawSize;
  }
  const std::uint32_t symbols = u32At(file, coff_ + 8);
  if (symbols != 0) {
    // Debug builds keep a COFF symbol table, whose string table also holds the long section
    // names; it moves with the sections as one block.
    const std::uint64_t strings = std::uint64_t(symbols) + kSymbolSize * u32At(file, coff_ + 12);
    if (symbols != end || !fits(file, strings, 4) || !fits(file, strings, u32At(file, strings))) {
      return report.fail("the COFF symbol table does not follow the last section");
    }
    end = strings + u32At(file, strings);
  }
  if (end != file.size()) {
    return report.fail(std::to_string(file.size() - end) +
                       " bytes follow the last section (appended data, such as an installer's "
                       "payload, would be lost)");
  }
  return true;
}

// Signing appends the certificate table after everything else, so this comes before the check
// for appended data.
bool PeImage::checkSignature(Report& report) const {
  const std::size_t at = directoryOffset(CertificateDirectory);
  if (u32At(*file_, at) != 0 || u32At(*file_, at + 4) != 0) {
    return report.fail("the executable is signed (it has a certificate table): brand the "
                       "unsigned executable, then sign the result");
  }
  return true;
}

bool PeImage::checkDirectories(Report& report) {
  const Bytes& file = *file_;
  const std::uint32_t resourceRva = this->resourceRva();
  for (std::size_t i = 0; i < directoryCount_; ++i) {
    const std::uint32_t rva = u32At(file, directoryOffset(i));
    const std::uint32_t size = u32At(file, directoryOffset(i) + 4);
    if (rva == 0 || i == ResourceDirectory || i == CertificateDirectory) continue;
    if (i == RelocationDirectory) {
      if (!checkRelocations(rva, size, report)) return false;
      continue;
    }
    if (std::uint64_t(rva) + size > resourceRva) {
      return report.fail(std::string("the ") + kDirectoryNames[i] +
                         " data lies in or after the resources");
    }
    if (i == DebugDirectory && !checkDebugDirectory(rva, size, report)) return false;
  }
  return true;
}

bool PeImage::checkRelocations(std::uint32_t rva, std::uint32_t size, Report& report) {
  const Bytes& file = *file_;
  std::size_t offset = 0;
  std::size_t section = 0;
  if (!fileOffset(rva, size, offset, section) || section == resourceIndex_) {
    return report.fail("the base relocations lie outside a section of their own");
  }
  relocationsMove_ = section > resourceIndex_;
  const std::size_t end = offset + size;
  while (offset + 8 <= end) {
    const std::uint32_t page = u32At(file, offset);
    const std::uint32_t blockSize = u32At(file, offset + 4);
    if (blockSize < 8 || blockSize % 2 != 0 || blockSize > end - offset) {
      return report.fail("a base relocation block is malformed");
    }
    for (std::size_t entry = offset + 8; entry < offset + blockSize; entry += 2) {
      const std::uint16_t value = u16At(file, entry);
      if (value >> 12 != 0 && std::uint64_t(page) + (value & 0x0FFF) >= resourceRva()) {
        return report.fail("a base relocation points into the resources or a section after them");
      }
    }
    offset += blockSize;
  }
  return true;
}

bool PeImage::checkDebugDirectory(std::uint32_t rva, std::uint32_t size, Report& report) const {
  const Bytes& file = *file_;
  std::size_t offset = 0;
  std::size_t section = 0;
  if (!fileOffset(rva, size, offset, section)) {
    return report.fail("the debug directory lies outside the sections");
  }
  const PeSection& resources = sections_[resourceIndex_];
  for (std::size_t entry = offset; entry + 28 <= offset + size; entry += 28) {
    const std::uint64_t dataSize = u32At(file, entry + 16);
    const std::uint32_t address = u32At(file, entry + 20);
    const std::uint32_t pointer = u32At(file, entry + 24);
    if ((address != 0 && address + dataSize > resources.virtualAddress) ||
        (pointer != 0 && pointer + dataSize > resources.rawPointer)) {
      return report.fail("debug data lies in or after the resources");
    }
  }
  return true;
}

bool PeImage::fileOffset(std::uint32_t rva, std::uint32_t size, std::size_t& offset,
                         std::size_t& section) const {
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const PeSection& s = sections_[i];
    if (rva >= s.virtualAddress && std::uint64_t(rva) + size <= std::uint64_t(s.virtualAddress) +
                                                                     std::min(s.rawSize, s.extent())) {
      offset = s.rawPointer + (rva - s.virtualAddress);
      section = i;
      return true;
    }
  }
  return false;
}

Bytes PeImage::resourceSection() const {
  const PeSection& section = sections_[resourceIndex_];
  const std::uint32_t loaded = std::min(section.rawSize, section.extent());
  Bytes data(file_->begin() + section.rawPointer, file_->begin() + section.rawPointer + loaded);
  data.resize(section.extent(), 0);
  return data;
}

bool PeImage::rebuild(const Bytes& resources, std::uint16_t newSubsystem, Bytes& result,
                      Report& report) const {
  const Bytes& file = *file_;
  const PeSection& old = sections_[resourceIndex_];
  const std::uint64_t newRaw = alignUp(resources.size(), fileAlignment_);
  const std::uint64_t oldVirtualEnd = alignUp(std::uint64_t(old.virtualAddress) + old.extent(),
                                              sectionAlignment_);
  const std::uint64_t newVirtualEnd = alignUp(std::uint64_t(old.virtualAddress) + resources.size(),
                                              sectionAlignment_);
  const std::int64_t rawShift = std::int64_t(newRaw) - old.rawSize;
  const std::int64_t virtualShift = std::int64_t(newVirtualEnd) - std::int64_t(oldVirtualEnd);
  const std::uint64_t imageEnd = alignUp(std::uint64_t(sections_.back().virtualAddress) +
                                             sections_.back().extent(), sectionAlignment_);
  if (std::int64_t(file.size()) + rawShift > 0x7FFFFFFF ||
      std::int64_t(imageEnd) + virtualShift > 0x7FFFFFFF) {
    return report.fail("the resources would make the executable larger than 2 GB");
  }

  result.assign(file.begin(), file.begin() + old.rawPointer);
  result.insert(result.end(), resources.begin(), resources.end());
  result.resize(old.rawPointer + newRaw, 0);
  result.insert(result.end(), file.begin() + old.rawPointer + old.rawSize, file.end());

  putU32(result, old.headerOffset + 8, static_cast<std::uint32_t>(resources.size()));
  putU32(result, old.headerOffset + 16, static_cast<std::uint32_t>(newRaw));
  for (std::size_t i = resourceIndex_ + 1; i < sections_.size(); ++i) {
    const PeSection& moved = sections_[i];
    putU32(result, moved.headerOffset + 12,
           static_cast<std::uint32_t>(moved.virtualAddress + virtualShift));
    if (moved.rawSize != 0) {
      putU32(result, moved.headerOffset + 20, static_cast<std::uint32_t>(moved.rawPointer + rawShift));
    }
  }
  const std::uint32_t symbols = u32At(file, coff_ + 8);
  if (symbols != 0) putU32(result, coff_ + 8, static_cast<std::uint32_t>(symbols + rawShift));
  putU32(result, directoryOffset(ResourceDirectory) + 4, static_cast<std::uint32_t>(resources.size()));
  if (relocationsMove_) {
    const std::size_t at = directoryOffset(RelocationDirectory);
    putU32(result, at, static_cast<std::uint32_t>(u32At(file, at) + virtualShift));
  }
  if (old.characteristics & kSectionInitializedData) {
    const std::size_t at = optional_ + 8;
    putU32(result, at, static_cast<std::uint32_t>(std::max<std::int64_t>(0, u32At(file, at) + rawShift)));
  }
  putU32(result, optional_ + 56, static_cast<std::uint32_t>(imageEnd + virtualShift));
  putU16(result, optional_ + 68, newSubsystem);
  putU32(result, optional_ + 64, peChecksum(result, optional_ + 64));
  return true;
}

}  // namespace brand
