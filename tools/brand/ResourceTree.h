#ifndef TOOLS_BRAND_RESOURCETREE_H
#define TOOLS_BRAND_RESOURCETREE_H

// The resources of an executable as a flat list, read from and written to the three-level
// directory of a resource section (type, name, language).

#include <cstdint>
#include <string>
#include <vector>

#include "tools/brand/Bytes.h"

namespace brand {

constexpr std::uint16_t kTypeIcon = 3;
constexpr std::uint16_t kTypeGroupIcon = 14;
constexpr std::uint16_t kTypeVersion = 16;
constexpr std::uint16_t kTypeManifest = 24;
constexpr std::uint16_t kLanguageEnglishUs = 0x0409;

// A type or name: a number, or a text when text is not empty.
struct ResourceName {
  std::u16string text;
  std::uint16_t id = 0;
  bool operator==(const ResourceName& other) const { return text == other.text && id == other.id; }
};

// The order of directory entries: named ones first, by their UTF-16 code units, then numbers.
bool operator<(const ResourceName& a, const ResourceName& b);

inline ResourceName resourceId(std::uint16_t id) { return ResourceName{std::u16string(), id}; }

struct Resource {
  ResourceName type;
  ResourceName name;
  std::uint16_t language = 0;
  std::uint32_t codePage = 0;
  Bytes data;
};

using Resources = std::vector<Resource>;

// Reads the directory of a resource section loaded at sectionRva. Every data entry must lie in
// the section; shared or looping directories and repeated entries are refused.
bool readResources(const Bytes& section, std::uint32_t sectionRva, Resources& resources,
                   Report& report);

// The section for resources loaded at sectionRva: the directories, the data entries, the names,
// then the data, each piece 8-byte aligned.
Bytes writeResources(const Resources& resources, std::uint32_t sectionRva);

// Removes the resources of a type (all of them, or those named name) and returns the language of
// the first one removed, or fallback when there was none.
std::uint16_t removeResources(Resources& resources, std::uint16_t type, const ResourceName* name,
                              std::uint16_t fallback);

}  // namespace brand

#endif
