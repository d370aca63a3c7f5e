#include <windows.h>
#include <aclapi.h>

#include <vector>

#include "os/FileSystem.h"
#include "os/win32/Handles.h"

namespace os {

namespace {

// FILETIME counts 100-nanosecond steps from 1601; the stamps count nanoseconds from 1970.
constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000;

std::int64_t nanoseconds(std::uint64_t ticks) {
  return (static_cast<std::int64_t>(ticks) - kTicksFrom1601To1970) * 100;
}

std::int64_t nanoseconds(const FILETIME& time) {
  return nanoseconds((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

void freeLocalMemory(void* memory) noexcept { LocalFree(memory); }
using UniqueLocalMemory = UniqueResource<traits::NullIsNone<void*, &freeLocalMemory>>;

// The folders of userOwnFolder, open without the right to delete for anyone, for the rest of the
// process: while a start writes below them, nobody renames or removes one.
std::vector<UniqueFileHandle> heldFolders;

// Rights that let their holder change a folder or what it holds.
constexpr DWORD kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                  FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC |
                                  WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

struct UserSid {
  alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  PSID sid() { return reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid; }
};

bool currentUser(UserSid& user) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  const UniqueHandle owned(token);
  DWORD length = 0;
  return GetTokenInformation(token, TokenUser, user.buffer, sizeof user.buffer, &length) != FALSE;
}

bool isSystemOrAdministrators(PSID sid) {
  return IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
}

// Whether the access list lets anyone but the user, the system and the administrators change the
// folder. No list at all grants everyone everything.
bool othersMayChange(PACL dacl, PSID user) {
  if (dacl == nullptr) return true;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(dacl, i, &entry)) return true;
    const ACE_HEADER* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0) {
      continue;
    }
    ACCESS_ALLOWED_ACE* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    PSID sid = &allowed->SidStart;
    if ((allowed->Mask & kChangingRights) != 0 && !EqualSid(sid, user) &&
        !isSystemOrAdministrators(sid)) {
      return true;
    }
  }
  return false;
}

// Opens a folder without letting anyone delete or rename it while open, and checks it: a folder,
// no reparse point unless allowed, owned by the user (or, for the cache folder itself, the system
// or the administrators), changeable by nobody else.
UniqueFileHandle openCheckedFolder(const std::string& path, bool ownFolder, PSID user,
                                   std::string& why) {
  UniqueFileHandle folder(CreateFileA(
      path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
      nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | (ownFolder ? FILE_FLAG_OPEN_REPARSE_POINT : 0), nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!folder || !GetFileInformationByHandle(folder.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    why = path + " is not a folder (errno = " + std::to_string(GetLastError()) + ")";
    return UniqueFileHandle();
  }
  // Asked of the name as well: Wine opens what a link names even when told not to.
  const DWORD attributes = info.dwFileAttributes | GetFileAttributesA(path.c_str());
  if (ownFolder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    why = path + " is a link (a reparse point is never followed)";
    return UniqueFileHandle();
  }
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(folder.get(), SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                      &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    why = path + ": its rights cannot be read";
    return UniqueFileHandle();
  }
  const UniqueLocalMemory ownedDescriptor(descriptor);
  if (owner == nullptr || (!EqualSid(owner, user) && (ownFolder || !isSystemOrAdministrators(owner)))) {
    why = path + " belongs to another user";
    return UniqueFileHandle();
  }
  if (othersMayChange(dacl, user)) {
    why = path + " may be changed by other users";
    return UniqueFileHandle();
  }
  return folder;
}

// A folder that only the user (and the system) may use, and so its files and folders below.
bool createOwnFolder(const std::string& path, PSID user) {
  unsigned char systemSid[SECURITY_MAX_SID_SIZE];
  DWORD systemSize = sizeof systemSid;
  alignas(ACL) unsigned char aclBuffer[sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
  ACL* acl = reinterpret_cast<ACL*>(aclBuffer);
  const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  SECURITY_DESCRIPTOR descriptor;
  if (!CreateWellKnownSid(WinLocalSystemSid, nullptr, systemSid, &systemSize) ||
      !InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION) ||
      !AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, user) ||
      !AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, systemSid) ||
      !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
      !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
  return CreateDirectoryA(path.c_str(), &attributes) != FALSE;
}

}  // namespace

FileStamp fileStamp(const std::string& path) {
  FileStamp stamp;
  if (path.empty()) return stamp;
  const UniqueFileHandle file(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) {
    // A device, or a file this user may not open: what its attributes tell, without an identity.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return stamp;
    info.dwFileAttributes = data.dwFileAttributes;
    info.ftLastWriteTime = data.ftLastWriteTime;
    info.nFileSizeHigh = data.nFileSizeHigh;
    info.nFileSizeLow = data.nFileSizeLow;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    stamp.kind = EntryKind::Folder;
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    stamp.kind = EntryKind::Other;
  } else {
    stamp.kind = EntryKind::File;
    stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  }
  stamp.modified = nanoseconds(info.ftLastWriteTime);
  stamp.volume = info.dwVolumeSerialNumber;
  stamp.id = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  FILE_BASIC_INFO basic;
  if (file && GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic)) {
    stamp.changed = nanoseconds(static_cast<std::uint64_t>(basic.ChangeTime.QuadPart));
  }
  return stamp;
}

std::int64_t currentTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return nanoseconds(now);
}

bool userOwnFolder(const std::string& base, const StringArray& names, std::string& folder,
                   std::string& why) {
  UserSid user;
  if (!currentUser(user)) {
    why = "the user's identity cannot be read";
    return false;
  }
  std::vector<UniqueFileHandle> opened;
  UniqueFileHandle handle = openCheckedFolder(base, false, user.sid(), why);
  if (!handle) return false;
  opened.push_back(std::move(handle));
  std::string path = base;
  for (const std::string& name : names) {
    if (path.back() != '\\' && path.back() != '/') path += '\\';
    path += name;
    createOwnFolder(path, user.sid());  // an existing one is checked below like a new one
    handle = openCheckedFolder(path, true, user.sid(), why);
    if (!handle) return false;
    opened.push_back(std::move(handle));
  }
  for (UniqueFileHandle& held : opened) heldFolders.push_back(std::move(held));
  folder = path.back() == '\\' || path.back() == '/' ? path : path + "\\";
  return true;
}

StringArray folderEntries(const std::string& folder) {
  StringArray names;
  const std::string pattern =
      folder.empty() || folder.back() == '\\' || folder.back() == '/' ? folder + "*" : folder + "\\*";
  WIN32_FIND_DATAA data;
  const UniqueFindHandle find(FindFirstFileA(pattern.c_str(), &data));
  if (!find) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(find.get(), &data));
  return names;
}

bool createNewFile(const std::string& path) {
  const UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                          nullptr));
  return file.valid();
}

bool removeFile(const std::string& path) {
  if (DeleteFileA(path.c_str())) return true;
  // The VM writes its archives read-only.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) {
    return false;
  }
  if (!SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))) {
    return false;
  }
  if (DeleteFileA(path.c_str())) return true;
  SetFileAttributesA(path.c_str(), attributes);  // still in use: it stays as it was
  return false;
}

bool replaceFile(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool freeDiskSpace(const std::string& folder, std::uint64_t& bytes) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr)) return false;
  bytes = available.QuadPart;
  return true;
}

// Held by an open handle that shares no right to delete: the system closes it when the process
// ends, however it ends, and until then nobody else can remove the file.
struct HeldMark::Impl {
  UniqueFileHandle file;
};

HeldMark::HeldMark() = default;
HeldMark::~HeldMark() { release(); }

bool HeldMark::create(const std::string& path) {
  release();
  UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  impl_.reset(new Impl{std::move(file)});
  return true;
}

void HeldMark::release() {
  if (!impl_) return;
  FILE_DISPOSITION_INFO disposition = {TRUE};
  SetFileInformationByHandle(impl_->file.get(), FileDispositionInfo, &disposition,
                             sizeof disposition);
  impl_.reset();
}

bool HeldMark::held() const { return impl_ != nullptr; }

MarkState claimMark(const std::string& path) {
  if (DeleteFileA(path.c_str())) return MarkState::Abandoned;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? MarkState::Gone
                                                                        : MarkState::Held;
}

}  // namespace os
