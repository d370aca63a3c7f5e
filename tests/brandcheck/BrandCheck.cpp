// Reads the resources of an executable back the way Windows does, for the branding tests:
//   brandcheck FILE.exe
// prints one JSON object: the version information through GetFileVersionInfoW and VerQueryValueW,
// icon group 128 and its images through FindResourceW (with the image Windows picks for common
// sizes and whether it can decode each), the manifest text, and what an activation context made
// from that manifest says: its window settings and the common-controls library it binds.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "os/UniqueResource.h"
#include "os/win32/Handles.h"

namespace {

struct ModuleTraits {
  using Handle = HMODULE;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { FreeLibrary(handle); }
};
struct ActivationContextTraits {
  using Handle = HANDLE;
  static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(Handle handle) noexcept { ReleaseActCtx(handle); }
};
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueActivationContext = UniqueResource<ActivationContextTraits>;

std::string json(const std::wstring& text) {
  std::string out = "\"";
  for (wchar_t c : text) {
    if (c == L'"' || c == L'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    }
  }
  return out + "\"";
}

std::string hex(const void* data, DWORD size) {
  static const char digits[] = "0123456789abcdef";
  std::string out = "\"";
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (DWORD i = 0; i < size; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out + "\"";
}

std::string versionText(DWORD high, DWORD low) {
  char text[48];
  std::snprintf(text, sizeof text, "\"%u.%u.%u.%u\"", unsigned(HIWORD(high)), unsigned(LOWORD(high)),
                unsigned(HIWORD(low)), unsigned(LOWORD(low)));
  return text;
}

std::string versionInformation(const wchar_t* path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return "null";
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(path, 0, size, block.data())) return "null";
  void* value = nullptr;
  UINT length = 0;
  std::string out = "{";
  if (VerQueryValueW(block.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    char numbers[160];
    std::snprintf(numbers, sizeof numbers,
                  ", \"signature\": %lu, \"flags_mask\": %lu, \"flags\": %lu, \"os\": %lu, \"type\": %lu",
                  fixed->dwSignature, fixed->dwFileFlagsMask, fixed->dwFileFlags, fixed->dwFileOS,
                  fixed->dwFileType);
    out += "\"file_version\": " + versionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS) +
           ", \"product_version\": " +
           versionText(fixed->dwProductVersionMS, fixed->dwProductVersionLS) + numbers + ", ";
  }
  out += "\"translations\": [";
  std::vector<std::wstring> tables;
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length)) {
    const WORD* pairs = static_cast<const WORD*>(value);
    for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2) {
      wchar_t table[16];
      std::swprintf(table, 16, L"%04x%04x", pairs[i], pairs[i + 1]);
      tables.push_back(table);
      out += (i > 0 ? ", " : "") + json(table);
    }
  }
  out += "], \"strings\": {";
  const wchar_t* const keys[] = {L"CompanyName",      L"FileDescription", L"FileVersion",
                                 L"InternalName",     L"LegalCopyright",  L"OriginalFilename",
                                 L"ProductName",      L"ProductVersion",  L"Comments"};
  bool first = true;
  for (const wchar_t* key : keys) {
    if (tables.empty()) break;
    const std::wstring query = L"\\StringFileInfo\\" + tables[0] + L"\\" + key;
    if (!VerQueryValueW(block.data(), query.c_str(), &value, &length)) continue;
    out += (first ? "" : ", ") + json(key) + ": " + json(static_cast<const wchar_t*>(value));
    first = false;
  }
  return out + "}}";
}

bool resourceBytes(HMODULE module, const wchar_t* type, WORD id, const void*& data, DWORD& size) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  data = loaded != nullptr ? LockResource(loaded) : nullptr;
  size = found != nullptr ? SizeofResource(module, found) : 0;
  return data != nullptr;
}

std::string iconGroup(HMODULE module) {
  const void* group = nullptr;
  DWORD size = 0;
  if (!resourceBytes(module, RT_GROUP_ICON, 128, group, size) || size < 6) {
    return "\"icon_group\": null";
  }
  std::string out = "\"icon_group\": " + hex(group, size) + ", \"icons\": {";
  const BYTE* bytes = static_cast<const BYTE*>(group);
  const WORD count = *reinterpret_cast<const WORD*>(bytes + 4);
  for (WORD i = 0; i < count && 6u + 14u * (i + 1u) <= size; ++i) {
    WORD id = 0;
    std::memcpy(&id, bytes + 6 + 14 * i + 12, sizeof id);
    const void* image = nullptr;
    DWORD imageSize = 0;
    char key[16];
    std::snprintf(key, sizeof key, "\"%u\": ", id);
    out += (i > 0 ? ", " : "") + std::string(key);
    if (!resourceBytes(module, RT_ICON, id, image, imageSize)) {
      out += "null";
      continue;
    }
    os::UniqueIcon icon(CreateIconFromResourceEx(static_cast<PBYTE>(const_cast<void*>(image)),
                                                 imageSize, TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR));
    out += std::string("{\"data\": ") + hex(image, imageSize) +
           ", \"decoded\": " + (icon ? "true" : "false") + "}";
  }
  out += "}, \"picked\": {";
  const int sizes[] = {16, 32, 48, 256};
  for (int side : sizes) {
    char entry[40];
    std::snprintf(entry, sizeof entry, "%s\"%d\": %d", side == 16 ? "" : ", ", side,
                  LookupIconIdFromDirectoryEx(static_cast<PBYTE>(const_cast<void*>(group)), TRUE,
                                              side, side, LR_DEFAULTCOLOR));
    out += entry;
  }
  return out + "}";
}

std::string setting(HANDLE context, const wchar_t* year, const wchar_t* name) {
  const std::wstring space = std::wstring(L"http://schemas.microsoft.com/SMI/") + year +
                             L"/WindowsSettings";
  wchar_t value[128] = {};
  SIZE_T written = 0;
  if (!QueryActCtxSettingsW(0, context, space.c_str(), name, value, 128, &written)) return "null";
  return json(value);
}

// Which common-controls library the process gets: an activation context that binds version 6
// redirects the load to the side-by-side copy.
std::string commonControlsPath() {
  HMODULE library = LoadLibraryW(L"comctl32.dll");
  wchar_t path[MAX_PATH] = {};
  if (library == nullptr || GetModuleFileNameW(library, path, MAX_PATH) == 0) return "null";
  return json(path);
}

std::string activationContext(const wchar_t* path) {
  ACTCTXW request = {};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = path;
  request.lpResourceName = MAKEINTRESOURCEW(1);
  UniqueActivationContext context(CreateActCtxW(&request));
  if (!context) return "null";
  std::string out = "{\"dpiAware\": " + setting(context.get(), L"2005", L"dpiAware") +
                    ", \"dpiAwareness\": " + setting(context.get(), L"2016", L"dpiAwareness") +
                    ", \"longPathAware\": " + setting(context.get(), L"2016", L"longPathAware") +
                    ", \"activeCodePage\": " + setting(context.get(), L"2019", L"activeCodePage");
  ULONG_PTR cookie = 0;
  if (ActivateActCtx(context.get(), &cookie)) {
    out += ", \"comctl32\": " + commonControlsPath();
    DeactivateActCtx(0, cookie);
  }
  return out + "}";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: brandcheck FILE.exe\n");
    return 2;
  }
  const wchar_t* path = argv[1];
  UniqueModule module(LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!module) {
    std::fprintf(stderr, "brandcheck: cannot load the resources (error %lu)\n", GetLastError());
    return 1;
  }
  const void* manifest = nullptr;
  DWORD manifestSize = 0;
  std::string manifestText = "null";
  if (resourceBytes(module.get(), RT_MANIFEST, 1, manifest, manifestSize)) {
    manifestText = hex(manifest, manifestSize);
  }
  // Nothing else loads the common controls: once loaded, a library is found again by its name,
  // whatever context is active.
  const std::string version = versionInformation(path);
  const std::string activation = activationContext(path);
  const std::string icons = iconGroup(module.get());
  std::printf("{\"version\": %s,\n \"activation\": %s,\n \"manifest\": %s,\n %s}\n",
              version.c_str(), activation.c_str(), manifestText.c_str(), icons.c_str());
  return 0;
}
