// The ADVAPI32 security calls that the program builds a security
// descriptor with, in the binary layout of Windows (an ACL's entries and
// their SIDs follow its header in one buffer), and the descriptors that
// folders were made with. Nothing is enforced on the host.
#include "os/posix/security-posix.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "os/advapi-calls.h"
#include "os/posix/handles-posix.h"
#include "os/posix/machine-posix.h"
#include "os/posix/paths-posix.h"

const char kHostTokenUser[] = "S-1-5-21-0-0-0-1000";

namespace {

struct SecurityState {
  HostSecurity offered = HostSecurity::kNt;
  std::set<void*> sids;  // allocated, not yet freed
  std::map<std::string, HostFolderSecurity> folders;  // by upper-case path
};

std::mutex security_mutex;
std::optional<SecurityState> security_state;

SecurityState FromEnvironment() {
  SecurityState state;
  const char* setting = getenv("ZODERUDO_SECURITY");
  if (setting && strcmp(setting, "stubs") == 0) {
    state.offered = HostSecurity::kStubs;
  } else if (setting && strcmp(setting, "nt") != 0) {
    state.offered = HostSecurity::kMissing;
  }
  return state;
}

// Callers hold security_mutex.
SecurityState& Loaded() {
  if (!security_state) security_state = FromEnvironment();
  return *security_state;
}

HostSecurity Offered() {
  std::lock_guard<std::mutex> lock(security_mutex);
  return Loaded().offered;
}

bool Refused(const char* function) {
  return os_posix::RefusedSecurityCall(function);
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

const BYTE* Bytes(const void* p) { return static_cast<const BYTE*>(p); }

using os_posix::SidLength;
using os_posix::ValidSid;

std::string SidText(const void* sid) {
  const BYTE* b = Bytes(sid);
  uint64_t authority = 0;
  for (int i = 0; i < 6; ++i) authority = authority << 8 | b[2 + i];
  std::string text = "S-" + std::to_string(b[0]) + "-" +
                     std::to_string(authority);
  for (int i = 0; i < b[1]; ++i) {
    DWORD sub;
    memcpy(&sub, b + 8 + 4 * i, sizeof sub);
    text += "-" + std::to_string(sub);
  }
  return text;
}

// S-1-5-21-0-0-0-1000.
void WriteTokenUser(BYTE* sid) {
  static const DWORD kSubAuthorities[] = {21, 0, 0, 0, 1000};
  const BYTE head[8] = {SID_REVISION, 5, 0, 0, 0, 0, 0, 5};
  memcpy(sid, head, sizeof head);
  memcpy(sid + 8, kSubAuthorities, sizeof kSubAuthorities);
}

// The end of the ACL's last entry, when every entry lies within its size.
bool UsedLength(const ACL* acl, size_t* used) {
  if (acl == nullptr || acl->AclRevision < ACL_REVISION ||
      acl->AclRevision > 4 || acl->AclSize < sizeof(ACL)) {
    return false;
  }
  size_t offset = sizeof(ACL);
  for (WORD i = 0; i < acl->AceCount; ++i) {
    ACE_HEADER header;
    if (offset + sizeof header > acl->AclSize) return false;
    memcpy(&header, Bytes(acl) + offset, sizeof header);
    if (header.AceSize < sizeof header ||
        offset + header.AceSize > acl->AclSize) {
      return false;
    }
    offset += header.AceSize;
  }
  *used = offset;
  return true;
}

class Token : public os_posix::HandleObject {
 public:
  explicit Token(DWORD access)
      : HandleObject(os_posix::HandleKind::kToken), access(access) {}
  const DWORD access;
};

BOOL WINAPI OpenProcessTokenHost(HANDLE process, DWORD access, PHANDLE token) {
  if (Refused("OpenProcessToken")) return FALSE;
  if (process != GetCurrentProcess()) return Fail(ERROR_INVALID_HANDLE);
  if (token == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *token = os_posix::OpenHandle(std::make_unique<Token>(access));
  return TRUE;
}

BOOL WINAPI GetTokenInformationHost(HANDLE token, TOKEN_INFORMATION_CLASS kind,
                                    LPVOID information, DWORD length,
                                    PDWORD needed) {
  if (Refused("GetTokenInformation")) return FALSE;
  auto* open = static_cast<Token*>(
      os_posix::LookUpHandle(token, {os_posix::HandleKind::kToken}));
  if (open == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (!(open->access & TOKEN_QUERY)) return Fail(ERROR_ACCESS_DENIED);
  if (kind != TokenUser || needed == nullptr)
    return Fail(ERROR_INVALID_PARAMETER);
  size_t head = sizeof(TOKEN_USER);
  BYTE sid[8 + 5 * sizeof(DWORD)];
  DWORD sid_length = sizeof sid;
  WriteTokenUser(sid);
  *needed = static_cast<DWORD>(head + sid_length);
  if (information == nullptr || length < *needed)
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  BYTE* out = static_cast<BYTE*>(information);
  PSID address = out + head;
  memset(out, 0, head);
  memcpy(out, &address, sizeof address);
  memcpy(out + head, sid, sid_length);
  return TRUE;
}

BOOL WINAPI AllocateAndInitializeSidHost(PSID_IDENTIFIER_AUTHORITY authority,
                                         BYTE count, DWORD s0, DWORD s1,
                                         DWORD s2, DWORD s3, DWORD s4, DWORD s5,
                                         DWORD s6, DWORD s7, PSID* sid) {
  if (Refused("AllocateAndInitializeSid")) return FALSE;
  if (authority == nullptr || sid == nullptr || count == 0 || count > 8)
    return Fail(ERROR_INVALID_PARAMETER);
  const DWORD subs[] = {s0, s1, s2, s3, s4, s5, s6, s7};
  BYTE* made = static_cast<BYTE*>(malloc(8 + 4 * count));
  if (made == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  made[0] = SID_REVISION;
  made[1] = count;
  memcpy(made + 2, authority->Value, 6);
  memcpy(made + 8, subs, 4 * count);
  {
    std::lock_guard<std::mutex> lock(security_mutex);
    Loaded().sids.insert(made);
  }
  *sid = made;
  return TRUE;
}

// Gives the SID back when it is not one that AllocateAndInitializeSid made.
PVOID WINAPI FreeSidHost(PSID sid) {
  std::lock_guard<std::mutex> lock(security_mutex);
  if (Loaded().sids.erase(sid) == 0) return sid;
  free(sid);
  return nullptr;
}

DWORD WINAPI GetLengthSidHost(PSID sid) {
  return ValidSid(sid) ? SidLength(sid) : 0;
}

BOOL WINAPI InitializeAclHost(PACL acl, DWORD length, DWORD revision) {
  if (Refused("InitializeAcl")) return FALSE;
  if (length < sizeof(ACL)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (acl == nullptr || length > 0xFFFF || revision < ACL_REVISION ||
      revision > 4) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  memset(acl, 0, sizeof *acl);
  acl->AclRevision = static_cast<BYTE>(revision);
  acl->AclSize = static_cast<WORD>((length + 3) & ~3u);
  return TRUE;
}

BOOL WINAPI AddAccessAllowedAceExHost(PACL acl, DWORD revision, DWORD flags,
                                      DWORD rights, PSID sid) {
  if (Refused("AddAccessAllowedAceEx")) return FALSE;
  const DWORD kInheritance = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE |
                             NO_PROPAGATE_INHERIT_ACE | INHERIT_ONLY_ACE |
                             INHERITED_ACE;
  size_t used = 0;
  if (!ValidSid(sid)) return Fail(ERROR_INVALID_SID);
  if (!UsedLength(acl, &used)) return Fail(ERROR_INVALID_ACL);
  if (flags & ~kInheritance) return Fail(ERROR_INVALID_FLAGS);
  if (revision < ACL_REVISION || revision > acl->AclRevision)
    return Fail(ERROR_REVISION_MISMATCH);
  DWORD size = 8 + SidLength(sid);
  if (used + size > acl->AclSize) return Fail(ERROR_ALLOTTED_SPACE_EXCEEDED);
  BYTE* entry = reinterpret_cast<BYTE*>(acl) + used;
  ACE_HEADER header = {ACCESS_ALLOWED_ACE_TYPE, static_cast<BYTE>(flags),
                       static_cast<WORD>(size)};
  memcpy(entry, &header, sizeof header);
  memcpy(entry + 4, &rights, sizeof rights);
  memcpy(entry + 8, sid, SidLength(sid));
  ++acl->AceCount;
  return TRUE;
}

BOOL WINAPI InitializeSecurityDescriptorHost(PSECURITY_DESCRIPTOR descriptor,
                                             DWORD revision) {
  if (Refused("InitializeSecurityDescriptor")) return FALSE;
  if (revision != SECURITY_DESCRIPTOR_REVISION)
    return Fail(ERROR_UNKNOWN_REVISION);
  if (descriptor == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  memset(descriptor, 0, sizeof(SECURITY_DESCRIPTOR));
  static_cast<SECURITY_DESCRIPTOR*>(descriptor)->Revision =
      SECURITY_DESCRIPTOR_REVISION;
  return TRUE;
}

BOOL WINAPI SetSecurityDescriptorDaclHost(PSECURITY_DESCRIPTOR descriptor,
                                          BOOL present, PACL acl,
                                          BOOL defaulted) {
  if (Refused("SetSecurityDescriptorDacl")) return FALSE;
  auto* sd = static_cast<SECURITY_DESCRIPTOR*>(descriptor);
  if (sd == nullptr || sd->Revision != SECURITY_DESCRIPTOR_REVISION)
    return Fail(ERROR_UNKNOWN_REVISION);
  const WORD kDaclDefaulted = 0x0008;
  sd->Control &= static_cast<WORD>(~(SE_DACL_PRESENT | kDaclDefaulted));
  sd->Dacl = present ? acl : nullptr;
  if (present) sd->Control |= SE_DACL_PRESENT;
  if (present && defaulted) sd->Control |= kDaclDefaulted;
  return TRUE;
}

// Only the bits of automatic inheritance may be set this way.
BOOL WINAPI SetSecurityDescriptorControlHost(PSECURITY_DESCRIPTOR descriptor,
                                             SECURITY_DESCRIPTOR_CONTROL which,
                                             SECURITY_DESCRIPTOR_CONTROL bits) {
  if (Refused("SetSecurityDescriptorControl")) return FALSE;
  const WORD kSettable = SE_DACL_AUTO_INHERIT_REQ | SE_SACL_AUTO_INHERIT_REQ |
                         SE_DACL_AUTO_INHERITED | SE_SACL_AUTO_INHERITED |
                         SE_DACL_PROTECTED | SE_SACL_PROTECTED;
  auto* sd = static_cast<SECURITY_DESCRIPTOR*>(descriptor);
  if ((which | bits) & ~kSettable) return Fail(ERROR_INVALID_PARAMETER);
  if (sd == nullptr || sd->Revision != SECURITY_DESCRIPTOR_REVISION)
    return Fail(ERROR_UNKNOWN_REVISION);
  sd->Control = static_cast<WORD>((sd->Control & ~which) | (bits & which));
  return TRUE;
}

// Only a function of the type the program calls it as.
template <typename Call>
FARPROC Export(Call function) {
  // Through the one function type that converts to any other.
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

namespace os_posix {

bool RefusedSecurityCall(const char* function) {
  if (TakeInjectedFailure(function)) return true;
  if (Offered() != HostSecurity::kStubs) return false;
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return true;
}

bool ValidSid(const void* sid) {
  return sid != nullptr && Bytes(sid)[0] == SID_REVISION &&
         Bytes(sid)[1] <= SID_MAX_SUB_AUTHORITIES;
}

DWORD SidLength(const void* sid) {
  return 8 + 4 * static_cast<DWORD>(Bytes(sid)[1]);
}

FARPROC AdvapiFunction(const char* name) {
  static const std::map<std::string, FARPROC> kExports = {
      {"OpenProcessToken",
       Export<OpenProcessTokenCall>(OpenProcessTokenHost)},
      {"GetTokenInformation",
       Export<GetTokenInformationCall>(GetTokenInformationHost)},
      {"AllocateAndInitializeSid",
       Export<AllocateAndInitializeSidCall>(AllocateAndInitializeSidHost)},
      {"FreeSid", Export<FreeSidCall>(FreeSidHost)},
      {"GetLengthSid", Export<GetLengthSidCall>(GetLengthSidHost)},
      {"InitializeAcl", Export<InitializeAclCall>(InitializeAclHost)},
      {"AddAccessAllowedAceEx",
       Export<AddAccessAllowedAceExCall>(AddAccessAllowedAceExHost)},
      {"InitializeSecurityDescriptor",
       Export<InitializeSecurityDescriptorCall>(
           InitializeSecurityDescriptorHost)},
      {"SetSecurityDescriptorDacl",
       Export<SetSecurityDescriptorDaclCall>(SetSecurityDescriptorDaclHost)},
      {"SetSecurityDescriptorControl",
       Export<SetSecurityDescriptorControlCall>(
           SetSecurityDescriptorControlHost)},
  };
  auto found = kExports.find(name);
  if (found == kExports.end() || Offered() == HostSecurity::kMissing) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return found->second;
}

DWORD ReadFolderSecurity(const void* descriptor, HostFolderSecurity* security) {
  const auto* sd = static_cast<const SECURITY_DESCRIPTOR*>(descriptor);
  if (sd->Revision != SECURITY_DESCRIPTOR_REVISION)
    return ERROR_INVALID_SECURITY_DESCR;
  *security = HostFolderSecurity();
  security->dacl_protected = (sd->Control & SE_DACL_PROTECTED) != 0;
  const ACL* acl = (sd->Control & SE_DACL_PRESENT) ? sd->Dacl : nullptr;
  if (acl == nullptr) return ERROR_SUCCESS;
  size_t used;
  if (!UsedLength(acl, &used)) return ERROR_INVALID_ACL;
  security->has_dacl = true;
  size_t offset = sizeof(ACL);
  for (WORD i = 0; i < acl->AceCount; ++i) {
    const BYTE* entry = Bytes(acl) + offset;
    ACE_HEADER header;
    memcpy(&header, entry, sizeof header);
    HostAccessEntry kept = {header.AceType, header.AceFlags, 0, ""};
    // Allowed and denied entries alike: header, rights, SID.
    if (header.AceSize >= 8)
      memcpy(&kept.rights, entry + 4, sizeof kept.rights);
    if (header.AceSize >= 16 && ValidSid(entry + 8) &&
        8 + SidLength(entry + 8) <= header.AceSize) {
      kept.trustee = SidText(entry + 8);
    }
    security->entries.push_back(kept);
    offset += header.AceSize;
  }
  return ERROR_SUCCESS;
}

void KeepFolderSecurity(const std::string& windows_path,
                        const HostFolderSecurity* security) {
  std::lock_guard<std::mutex> lock(security_mutex);
  auto& folders = Loaded().folders;
  if (security) {
    folders[Upper(windows_path)] = *security;
  } else {
    folders.erase(Upper(windows_path));
  }
}

}  // namespace os_posix

namespace {

// SIDs that AllocateAndInitializeSid gave and FreeSid has not taken back.
size_t CountLiveSids() {
  std::lock_guard<std::mutex> lock(security_mutex);
  return Loaded().sids.size();
}

// Takes the setting from the environment again and forgets every folder.
void ForgetSecurity() {
  std::lock_guard<std::mutex> lock(security_mutex);
  if (security_state) {
    for (void* sid : security_state->sids) free(sid);
  }
  security_state = FromEnvironment();
}

[[maybe_unused]] const bool kKept =
    (os_posix::KeepMachinePart(ForgetSecurity, CountLiveSids), true);

}  // namespace

void HostSetSecurity(HostSecurity security) {
  std::lock_guard<std::mutex> lock(security_mutex);
  Loaded().offered = security;
}

bool HostMadeFolderSecurity(const char* path, HostFolderSecurity* security) {
  os_posix::HostPath target;
  if (os_posix::ResolveWindowsPath(path, &target) != ERROR_SUCCESS)
    return false;
  std::lock_guard<std::mutex> lock(security_mutex);
  auto& folders = Loaded().folders;
  auto found = folders.find(Upper(target.windows));
  if (found == folders.end()) return false;
  *security = found->second;
  return true;
}
