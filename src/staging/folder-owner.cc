#include "staging/folder-owner.h"

#include "os/advapi-calls.h"

namespace {

struct OwnerCalls {
  OpenProcessTokenCall open_process_token;
  GetTokenInformationCall get_token_information;
  GetKernelObjectSecurityCall get_object_security;
  GetSecurityDescriptorOwnerCall get_owner;
  EqualSidCall equal_sid;
};

// LocalSystem, S-1-5-18, as a SID is laid out: the account deployment
// tools run as, whatever the token says of it.
const BYTE kLocalSystem[] = {SID_REVISION, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};

// TOKEN_USER or TOKEN_OWNER and the SID behind it, at its largest.
union TokenSidBuffer {
  TOKEN_USER user;
  TOKEN_OWNER owner;
  BYTE bytes[128];
};

// A self-relative descriptor with an owner alone: its header and the SID
// at its largest (68 bytes), with room to spare.
union OwnerDescriptorBuffer {
  DWORD align;
  BYTE bytes[256];
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
  calls->equal_sid = FindCall<EqualSidCall>(module, "EqualSid");
  return calls->open_process_token && calls->get_token_information &&
         calls->get_object_security && calls->get_owner && calls->equal_sid;
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

FolderOwner ReadWith(const OwnerCalls& calls, HANDLE pin) {
  OwnerDescriptorBuffer descriptor;
  DWORD needed = 0;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!calls.get_object_security(pin, OWNER_SECURITY_INFORMATION,
                                 descriptor.bytes, sizeof descriptor.bytes,
                                 &needed) ||
      !calls.get_owner(descriptor.bytes, &owner, &defaulted) ||
      owner == nullptr) {
    return FolderOwnerUnknown;
  }
  PSID system = const_cast<BYTE*>(kLocalSystem);
  if (calls.equal_sid(owner, system))
    return FolderOwnedByAccount;
  return CompareWithToken(calls, owner);
}

}  // namespace

FolderOwner ReadFolderOwner(const char* root, HANDLE pin) {
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
      FindCalls(advapi, &calls) ? ReadWith(calls, pin) : FolderOwnerUnknown;
  FreeLibrary(advapi);
  return outcome;
}
