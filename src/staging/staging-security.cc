#include "staging/staging-security.h"

#include <string.h>

#include "os/advapi-calls.h"

namespace {

// Every one of them is in the ADVAPI32 of Windows 2000; NT 4 lacks the
// two that make entries inheritable and the DACL protected.
struct SecurityCalls {
  OpenProcessTokenCall open_process_token;
  GetTokenInformationCall get_token_information;
  AllocateAndInitializeSidCall allocate_sid;
  FreeSidCall free_sid;
  GetLengthSidCall get_length_sid;
  InitializeAclCall initialize_acl;
  AddAccessAllowedAceExCall add_allowed_entry;
  InitializeSecurityDescriptorCall initialize_descriptor;
  SetSecurityDescriptorDaclCall set_dacl;
  SetSecurityDescriptorControlCall set_control;
};

// The order of the entries: who may change the folder first, then
// Everyone, who may only read and run what it holds.
enum Trustee { kSystem, kAdministrators, kAccount, kEveryone, kTrustees };

const DWORD kFullControl = FILE_ALL_ACCESS;
const DWORD kReadAndExecute = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
const DWORD kInheritedByAll = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// TOKEN_USER and the SID behind it, at its largest.
union TokenUserBuffer {
  TOKEN_USER user;
  BYTE bytes[128];
};

// A failed call: Windows 9x has the functions only to answer
// ERROR_CALL_NOT_IMPLEMENTED. Read before anything is given back.
StagingSecurityOutcome CallFailed() {
  return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED
             ? StagingSecurityNotOffered
             : StagingSecurityFailed;
}

template <typename Call>
bool Find(HMODULE module, const char* name, Call* call) {
  *call = FindCall<Call>(module, name);
  return *call != nullptr;
}

bool FindCalls(HMODULE module, SecurityCalls* calls) {
  return Find(module, "OpenProcessToken", &calls->open_process_token) &&
         Find(module, "GetTokenInformation", &calls->get_token_information) &&
         Find(module, "AllocateAndInitializeSid", &calls->allocate_sid) &&
         Find(module, "FreeSid", &calls->free_sid) &&
         Find(module, "GetLengthSid", &calls->get_length_sid) &&
         Find(module, "InitializeAcl", &calls->initialize_acl) &&
         Find(module, "AddAccessAllowedAceEx", &calls->add_allowed_entry) &&
         Find(module, "InitializeSecurityDescriptor",
              &calls->initialize_descriptor) &&
         Find(module, "SetSecurityDescriptorDacl", &calls->set_dacl) &&
         Find(module, "SetSecurityDescriptorControl", &calls->set_control);
}

// The user of the process token: the account the program runs as (SYSTEM
// under a deployment tool, which then has two entries alike).
StagingSecurityOutcome ReadAccount(const SecurityCalls& calls,
                                   TokenUserBuffer* buffer) {
  HANDLE token = nullptr;
  if (!calls.open_process_token(GetCurrentProcess(), TOKEN_QUERY, &token))
    return CallFailed();
  DWORD length = 0;
  StagingSecurityOutcome outcome = StagingSecurityBuilt;
  if (!calls.get_token_information(token, TokenUser, buffer, sizeof *buffer,
                                   &length))
    outcome = CallFailed();
  CloseHandle(token);
  return outcome;
}

StagingSecurityOutcome MakeWellKnown(const SecurityCalls& calls,
                                     PSID* trustees) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  if (!calls.allocate_sid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0,
                          0, &trustees[kSystem]) ||
      !calls.allocate_sid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                          DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                          &trustees[kAdministrators]) ||
      !calls.allocate_sid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                          &trustees[kEveryone])) {
    return CallFailed();
  }
  return StagingSecurityBuilt;
}

StagingSecurityOutcome FillDescriptor(const SecurityCalls& calls,
                                      PSID const* trustees,
                                      StagingSecurity* security) {
  DWORD size = sizeof(ACL);
  for (int i = 0; i < kTrustees; ++i) {
    size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) +
            calls.get_length_sid(trustees[i]);
  }
  if (size > sizeof security->acl)
    return StagingSecurityFailed;
  PACL acl = reinterpret_cast<PACL>(security->acl);
  if (!calls.initialize_acl(acl, size, ACL_REVISION))
    return CallFailed();
  for (int i = 0; i < kTrustees; ++i) {
    DWORD rights = i == kEveryone ? kReadAndExecute : kFullControl;
    if (!calls.add_allowed_entry(acl, ACL_REVISION, kInheritedByAll, rights,
                                 trustees[i]))
      return CallFailed();
  }
  // Protected: nothing that the root of the drive hands down joins in.
  if (!calls.initialize_descriptor(&security->descriptor,
                                   SECURITY_DESCRIPTOR_REVISION) ||
      !calls.set_dacl(&security->descriptor, TRUE, acl, FALSE) ||
      !calls.set_control(&security->descriptor, SE_DACL_PROTECTED,
                         SE_DACL_PROTECTED)) {
    return CallFailed();
  }
  security->attributes.nLength = sizeof security->attributes;
  security->attributes.lpSecurityDescriptor = &security->descriptor;
  security->attributes.bInheritHandle = FALSE;
  return StagingSecurityBuilt;
}

StagingSecurityOutcome BuildWith(const SecurityCalls& calls,
                                 StagingSecurity* security) {
  TokenUserBuffer account;
  memset(&account, 0, sizeof account);
  StagingSecurityOutcome outcome = ReadAccount(calls, &account);
  if (outcome != StagingSecurityBuilt)
    return outcome;
  PSID trustees[kTrustees] = {};
  outcome = MakeWellKnown(calls, trustees);
  trustees[kAccount] = account.user.User.Sid;
  if (outcome == StagingSecurityBuilt)
    outcome = FillDescriptor(calls, trustees, security);
  // The ACL holds copies of them.
  for (int i = 0; i < kTrustees; ++i) {
    if (i != kAccount && trustees[i] != nullptr)
      calls.free_sid(trustees[i]);
  }
  return outcome;
}

}  // namespace

StagingSecurityOutcome BuildStagingSecurity(StagingSecurity* security) {
  memset(security, 0, sizeof *security);
  // A known DLL: always the system's own, whatever lies in the package.
  HMODULE advapi = LoadLibraryA("ADVAPI32.DLL");
  if (advapi == nullptr) {
    return GetLastError() == ERROR_MOD_NOT_FOUND ? StagingSecurityNotOffered
                                                 : StagingSecurityFailed;
  }
  SecurityCalls calls;
  StagingSecurityOutcome outcome;
  if (FindCalls(advapi, &calls))
    outcome = BuildWith(calls, security);
  else if (GetLastError() == ERROR_PROC_NOT_FOUND)
    outcome = StagingSecurityNotOffered;  // Windows 9x, or NT 4
  else
    outcome = StagingSecurityFailed;
  FreeLibrary(advapi);
  return outcome;
}
