#include "tools/brand/ResourceTree.h"

#include <algorithm>

namespace brand {

namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kDirectoryHeaderSize = 16;
constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;

bool lessByKey(const Resource* a, const Resource* b) {
  if (!(a->type == b->type)) return a->type < b->type;
  if (!(a->name == b->name)) return a->name < b->name;
  return a->language < b->language;
}

class TreeReader {
 public:
  TreeReader(const Bytes& section, std::uint32_t rva, Resources& resources, Report& report)
      : section_(section), rva_(rva), resources_(resources), report_(report) {}

  bool directory(std::uint32_t offset, int level, Resource& path) {
    if (std::find(visited_.begin(), visited_.end(), offset) != visited_.end()) {
      return report_.fail("resource directories are shared or form a loop");
    }
    visited_.push_back(offset);
    if (!fits(section_, offset, kDirectoryHeaderSize)) {
      return report_.fail("a resource directory lies outside its section");
    }
    const std::size_t count = std::size_t(u16At(section_, offset + 12)) + u16At(section_, offset + 14);
    if (!fits(section_, offset + kDirectoryHeaderSize, kEntrySize * count)) {
      return report_.fail("a resource directory lies outside its section");
    }
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t entry = offset + kDirectoryHeaderSize + kEntrySize * i;
      const std::uint32_t target = u32At(section_, entry + 4);
      ResourceName name;
      if (!readName(u32At(section_, entry), name)) return false;
      if (level == 0) path.type = name;
      if (level == 1) path.name = name;
      if (level == 2) {
        if (!name.text.empty()) return report_.fail("a resource language is a name");
        path.language = name.id;
      }
      if ((level < 2) != ((target & kHighBit) != 0)) {
        return report_.fail("the resource directory is not three levels deep");
      }
      if (level < 2 ? !directory(target & ~kHighBit, level + 1, path) : !leaf(target, path)) {
        return false;
      }
    }
    return true;
  }

 private:
  bool readName(std::uint32_t field, ResourceName& name) {
    if ((field & kHighBit) == 0) {
      if (field > 0xFFFF) return report_.fail("a resource number is larger than 65535");
      name.id = static_cast<std::uint16_t>(field);
      return true;
    }
    const std::uint32_t at = field & ~kHighBit;
    if (!fits(section_, at, 2) || !fits(section_, at + 2, 2 * std::size_t(u16At(section_, at)))) {
      return report_.fail("a resource name lies outside its section");
    }
    for (std::size_t k = 0; k < u16At(section_, at); ++k) {
      name.text += static_cast<char16_t>(u16At(section_, at + 2 + 2 * k));
    }
    if (name.text.empty()) return report_.fail("a resource name is empty");
    return true;
  }

  bool leaf(std::uint32_t offset, Resource& path) {
    if (!fits(section_, offset, kDataEntrySize)) {
      return report_.fail("a resource data entry lies outside its section");
    }
    const std::uint32_t dataRva = u32At(section_, offset);
    const std::uint32_t size = u32At(section_, offset + 4);
    if (dataRva < rva_ || !fits(section_, dataRva - rva_, size)) {
      return report_.fail("resource data lies outside the resource section");
    }
    path.codePage = u32At(section_, offset + 8);
    path.data.assign(section_.begin() + (dataRva - rva_), section_.begin() + (dataRva - rva_) + size);
    resources_.push_back(path);
    return true;
  }

  const Bytes& section_;
  std::uint32_t rva_;
  Resources& resources_;
  Report& report_;
  std::vector<std::uint32_t> visited_;
};

void putDirectory(Bytes& out, std::size_t at, std::size_t named, std::size_t numbered) {
  putU16(out, at + 12, static_cast<std::uint32_t>(named));
  putU16(out, at + 14, static_cast<std::uint32_t>(numbered));
}

struct NameNode {
  const ResourceName* name;
  std::vector<const Resource*> languages;
  std::size_t directory = 0;
};

struct TypeNode {
  const ResourceName* type;
  std::vector<NameNode> names;
  std::size_t directory = 0;
};

}  // namespace

bool operator<(const ResourceName& a, const ResourceName& b) {
  if (a.text.empty() != b.text.empty()) return !a.text.empty();
  if (!a.text.empty()) return a.text < b.text;
  return a.id < b.id;
}

bool readResources(const Bytes& section, std::uint32_t sectionRva, Resources& resources,
                   Report& report) {
  resources.clear();
  Resource path;
  if (!TreeReader(section, sectionRva, resources, report).directory(0, 0, path)) return false;
  std::vector<const Resource*> sorted;
  for (const Resource& resource : resources) sorted.push_back(&resource);
  std::sort(sorted.begin(), sorted.end(), lessByKey);
  for (std::size_t i = 1; i < sorted.size(); ++i) {
    if (!lessByKey(sorted[i - 1], sorted[i])) return report.fail("a resource appears twice");
  }
  return true;
}

Bytes writeResources(const Resources& resources, std::uint32_t sectionRva) {
  std::vector<const Resource*> sorted;
  for (const Resource& resource : resources) sorted.push_back(&resource);
  std::stable_sort(sorted.begin(), sorted.end(), lessByKey);
  std::vector<TypeNode> types;
  for (const Resource* resource : sorted) {
    if (types.empty() || !(*types.back().type == resource->type)) types.push_back({&resource->type, {}});
    std::vector<NameNode>& names = types.back().names;
    if (names.empty() || !(*names.back().name == resource->name)) names.push_back({&resource->name, {}});
    names.back().languages.push_back(resource);
  }

  // Offsets first: every directory, then the data entries, the names and the data.
  std::size_t size = kDirectoryHeaderSize + kEntrySize * types.size();
  for (TypeNode& type : types) {
    type.directory = size;
    size += kDirectoryHeaderSize + kEntrySize * type.names.size();
  }
  for (TypeNode& type : types) {
    for (NameNode& name : type.names) {
      name.directory = size;
      size += kDirectoryHeaderSize + kEntrySize * name.languages.size();
    }
  }
  const std::size_t dataEntries = size;
  size += kDataEntrySize * sorted.size();
  Bytes out(size, 0);
  auto nameField = [&out](const ResourceName& name) -> std::uint32_t {
    if (name.text.empty()) return name.id;
    const std::size_t at = out.size();
    appendU16(out, static_cast<std::uint32_t>(name.text.size()));
    for (char16_t unit : name.text) appendU16(out, unit);
    return kHighBit | static_cast<std::uint32_t>(at);
  };

  std::size_t namedTypes = 0;
  for (const TypeNode& type : types) namedTypes += type.type->text.empty() ? 0 : 1;
  putDirectory(out, 0, namedTypes, types.size() - namedTypes);
  std::size_t leaf = dataEntries;
  for (std::size_t t = 0; t < types.size(); ++t) {
    TypeNode& type = types[t];
    const std::size_t rootEntry = kDirectoryHeaderSize + kEntrySize * t;
    putU32(out, rootEntry, nameField(*type.type));
    putU32(out, rootEntry + 4, kHighBit | static_cast<std::uint32_t>(type.directory));
    std::size_t named = 0;
    for (const NameNode& name : type.names) named += name.name->text.empty() ? 0 : 1;
    putDirectory(out, type.directory, named, type.names.size() - named);
    for (std::size_t n = 0; n < type.names.size(); ++n) {
      NameNode& name = type.names[n];
      const std::size_t typeEntry = type.directory + kDirectoryHeaderSize + kEntrySize * n;
      putU32(out, typeEntry, nameField(*name.name));
      putU32(out, typeEntry + 4, kHighBit | static_cast<std::uint32_t>(name.directory));
      putDirectory(out, name.directory, 0, name.languages.size());
      for (std::size_t l = 0; l < name.languages.size(); ++l) {
        const std::size_t nameEntry = name.directory + kDirectoryHeaderSize + kEntrySize * l;
        putU32(out, nameEntry, name.languages[l]->language);
        putU32(out, nameEntry + 4, static_cast<std::uint32_t>(leaf));
        leaf += kDataEntrySize;
      }
    }
  }
  leaf = dataEntries;
  for (const Resource* resource : sorted) {
    padTo(out, 8);
    putU32(out, leaf, sectionRva + static_cast<std::uint32_t>(out.size()));
    putU32(out, leaf + 4, static_cast<std::uint32_t>(resource->data.size()));
    putU32(out, leaf + 8, resource->codePage);
    out.insert(out.end(), resource->data.begin(), resource->data.end());
    leaf += kDataEntrySize;
  }
  return out;
}

std::uint16_t removeResources(Resources& resources, std::uint16_t type, const ResourceName* name,
                              std::uint16_t fallback) {
  std::uint16_t language = fallback;
  bool found = false;
  for (std::size_t i = 0; i < resources.size();) {
    const Resource& resource = resources[i];
    if (resource.type == resourceId(type) && (name == nullptr || resource.name == *name)) {
      if (!found) language = resource.language;
      found = true;
      resources.erase(resources.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  return language;
}

}  // namespace brand
