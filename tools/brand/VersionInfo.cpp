#include "tools/brand/VersionInfo.h"

#include <vector>

#include "tools/brand/Text.h"

namespace brand {

namespace {

constexpr std::uint16_t kBinaryValue = 0;
constexpr std::uint16_t kTextValue = 1;
constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::uint32_t kFixedStructureVersion = 0x00010000;
constexpr std::uint32_t kFlagsMask = 0x3F;
constexpr std::uint32_t kOsWindowsNt = 0x00040004;
constexpr std::uint32_t kTypeApplication = 1;
// US English with the Unicode code page: the string table's key and the translation value.
const char16_t* const kStringTableKey = u"040904B0";
constexpr std::uint32_t kTranslation = 0x04B00409;

// One block: its key, its value and its children, each child 32-bit aligned.
struct Block {
  std::u16string key;
  Bytes value;
  std::uint16_t valueLength = 0;  // bytes, or characters with the terminator for text
  std::uint16_t type = kBinaryValue;
  std::vector<Block> children;
};

bool serialize(const Block& block, Bytes& out, Report& report) {
  const std::size_t start = out.size();
  appendU16(out, 0);
  appendU16(out, block.valueLength);
  appendU16(out, block.type);
  for (char16_t unit : block.key) appendU16(out, unit);
  appendU16(out, 0);
  padTo(out, 4);
  out.insert(out.end(), block.value.begin(), block.value.end());
  for (const Block& child : block.children) {
    padTo(out, 4);
    if (!serialize(child, out, report)) return false;
  }
  if (out.size() - start > 0xFFFF) return report.fail("the version information is too long");
  putU16(out, start, static_cast<std::uint32_t>(out.size() - start));
  return true;
}

std::uint32_t high(const VersionNumber& number) {
  return std::uint32_t(number.parts[0]) << 16 | number.parts[1];
}
std::uint32_t low(const VersionNumber& number) {
  return std::uint32_t(number.parts[2]) << 16 | number.parts[3];
}

}  // namespace

bool parseVersionNumber(const std::string& text, VersionNumber& number, Report& report) {
  VersionNumber result;
  std::size_t part = 0;
  std::uint32_t value = 0;
  bool digits = false;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : '.';
    if (c >= '0' && c <= '9') {
      value = value * 10 + static_cast<std::uint32_t>(c - '0');
      digits = true;
      if (value > 0xFFFF) break;
    } else if (c == '.' && digits && part < 4) {
      result.parts[part++] = static_cast<std::uint16_t>(value);
      value = 0;
      digits = false;
      if (i == text.size()) {
        result.text = text;
        number = result;
        return true;
      }
    } else {
      break;
    }
  }
  return report.fail("\"" + text + "\" is not a version of one to four numbers up to 65535 (1.2.3.4)");
}

bool buildVersionBlock(const VersionInfo& info, Bytes& block, Report& report) {
  Block root{u"VS_VERSION_INFO", {}, 52, kBinaryValue, {}};
  for (std::uint32_t field : {kFixedSignature, kFixedStructureVersion, high(info.fileVersion),
                              low(info.fileVersion), high(info.productVersion),
                              low(info.productVersion), kFlagsMask, 0u, kOsWindowsNt,
                              kTypeApplication, 0u, 0u, 0u}) {
    appendU32(root.value, field);
  }

  Block table{kStringTableKey, {}, 0, kTextValue, {}};
  const std::pair<const char16_t*, const std::string*> strings[] = {
      {u"CompanyName", &info.companyName},
      {u"FileDescription", &info.fileDescription},
      {u"FileVersion", &info.fileVersion.text},
      {u"InternalName", &info.internalName},
      {u"LegalCopyright", &info.legalCopyright},
      {u"OriginalFilename", &info.originalFilename},
      {u"ProductName", &info.productName},
      {u"ProductVersion", &info.productVersion.text},
  };
  for (const auto& [key, text] : strings) {
    if (text->empty()) continue;
    std::u16string value;
    if (!utf8ToUtf16(*text, value)) return report.fail("\"" + *text + "\" is not UTF-8 text");
    if (value.size() >= 0xFFFF) return report.fail("the version information is too long");
    Block entry{key, {}, static_cast<std::uint16_t>(value.size() + 1), kTextValue, {}};
    for (char16_t unit : value) appendU16(entry.value, unit);
    appendU16(entry.value, 0);
    table.children.push_back(entry);
  }
  root.children.push_back(Block{u"StringFileInfo", {}, 0, kTextValue, {table}});

  Block translation{u"Translation", {}, 4, kBinaryValue, {}};
  appendU32(translation.value, kTranslation);
  root.children.push_back(Block{u"VarFileInfo", {}, 0, kTextValue, {translation}});

  block.clear();
  return serialize(root, block, report);
}

}  // namespace brand
