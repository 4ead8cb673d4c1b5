#include "staging/folder-owner.h"

#include <string.h>

#include "os/advapi-calls.h"

namespace {

struct OwnerCalls {
  OpenProcessTokenCall open_process_token;
  GetTokenInformationCall get_token_information;
  GetKernelObjectSecurityCall get_object_security;
  GetSecurityDescriptorOwnerCall get_owner;
  GetSecurityDescriptorDaclCall get_dacl;
  EqualSidCall equal_sid;
};

// TOKEN_USER or TOKEN_OWNER and the SID behind it, at its largest.
union TokenSidBuffer {
  TOKEN_USER user;
  TOKEN_OWNER owner;
  BYTE bytes[128];
};

// A self-relative descriptor with an owner and a DACL: its header, the SID
// at its largest (68 bytes) and an ACL as large as the staging folder's,
// with room to spare. One with a larger ACL is not the staging folder's.
union OwnerDescriptorBuffer {
  DWORD align;
  BYTE bytes[512];
};

bool FindCalls(HMODULE module, OwnerCalls* calls) {
  calls->open_process_token =
      FindCall<OpenProcessTokenCall>(module, "OpenProcessToken");
  calls->get_token_information =
      FindCall<GetTokenInformationCall>(module, "GetTokenInformation");
  calls->get_object_security =
      FindCall<GetKernelObjectSecurityCall>(module, "GetKernelObjectSecurity");
  calls->get_owner = FindCall<GetSecurityDescriptorOwnerCall>(
      module, "GetSecurityDescriptorOwner");
  calls->get_dacl = FindCall<GetSecurityDescriptorDaclCall>(
      module, "GetSecurityDescriptorDacl");
  calls->equal_sid = FindCall<EqualSidCall>(module, "EqualSid");
  return calls->open_process_token && calls->get_token_information &&
         calls->get_object_security && calls->get_owner && calls->get_dacl &&
         calls->equal_sid;
}

// The bytes of the ACL's entries, when they all lie within its size.
bool EntriesLength(const ACL* acl, DWORD* length) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(acl);
  DWORD offset = sizeof(ACL);
  for (WORD i = 0; i < acl->AceCount; ++i) {
    ACE_HEADER header;
    if (offset + sizeof header > acl->AclSize)
      return false;
    memcpy(&header, bytes + offset, sizeof header);
    if (header.AceSize < sizeof header || offset + header.AceSize > acl->AclSize)
      return false;
    offset += header.AceSize;
  }
  *length = offset - sizeof(ACL);
  return true;
}

// The same entries in the same order: exactly the list this run gave the
// folder, nothing added, nothing inherited.
bool SameEntries(const ACL* found, const ACL* made) {
  DWORD found_length = 0;
  DWORD made_length = 0;
  return EntriesLength(found, &found_length) &&
         EntriesLength(made, &made_length) &&
         found->AceCount == made->AceCount && found_length == made_length &&
         memcmp(found + 1, made + 1, made_length) == 0;
}

// The token's user and its default owner, compared with `owner`.
FolderOwner CompareWithToken(const OwnerCalls& calls, PSID owner) {
  HANDLE token = nullptr;
  if (!calls.open_process_token(GetCurrentProcess(), TOKEN_QUERY, &token))
    return FolderOwnerUnknown;
  TokenSidBuffer user;
  TokenSidBuffer default_owner;
  DWORD length = 0;
  FolderOwner outcome = FolderOwnerUnknown;
  if (calls.get_token_information(token, TokenUser, &user, sizeof user,
                                  &length) &&
      calls.get_token_information(token, TokenOwner, &default_owner,
                                  sizeof default_owner, &length)) {
    bool ours = calls.equal_sid(owner, user.user.User.Sid) ||
                calls.equal_sid(owner, default_owner.owner.Owner);
    outcome = ours ? FolderOwnedByAccount : FolderOwnedByOther;
  }
  CloseHandle(token);
  return outcome;
}

FolderOwner ReadWith(const OwnerCalls& calls, HANDLE pin, const ACL* made) {
  OwnerDescriptorBuffer descriptor;
  DWORD needed = 0;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  BOOL present = FALSE;
  PACL found = nullptr;
  if (!calls.get_object_security(
          pin, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
          descriptor.bytes, sizeof descriptor.bytes, &needed) ||
      !calls.get_owner(descriptor.bytes, &owner, &defaulted) ||
      owner == nullptr ||
      !calls.get_dacl(descriptor.bytes, &present, &found, &defaulted)) {
    return FolderOwnerUnknown;
  }
  // No list, or another one: a folder that someone else made, or that
  // others may write, whoever owns it.
  if (!present || found == nullptr || !SameEntries(found, made))
    return FolderOwnedByOther;
  return CompareWithToken(calls, owner);
}

}  // namespace

FolderOwner CheckFolderSecurity(const char* root, HANDLE pin, const ACL* made) {
  DWORD flags = 0;
  if (!GetVolumeInformationA(root[0] != '\0' ? root : nullptr, nullptr, 0,
                             nullptr, nullptr, &flags, nullptr, 0)) {
    return FolderOwnerUnknown;
  }
  if ((flags & FILE_PERSISTENT_ACLS) == 0)
    return FolderOwnedByAccount;
  // A known DLL: always the system's own, whatever lies in the package.
  // The staging descriptor was built with it: a call missing now is a
  // fault, not a system without security.
  HMODULE advapi = LoadLibraryA("ADVAPI32.DLL");
  if (advapi == nullptr)
    return FolderOwnerUnknown;
  OwnerCalls calls;
  FolderOwner outcome =
      FindCalls(advapi, &calls) ? ReadWith(calls, pin, made) : FolderOwnerUnknown;
  FreeLibrary(advapi);
  return outcome;
}
