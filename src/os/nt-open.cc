#include "os/nt-open.h"

#include <string.h>

#include "os/nt-calls.h"

namespace {

// "\??\" names the Win32 drive letters in the NT name space.
const char kDosDevices[] = "\\??\\";

// Room for the prefix, a path of MAX_PATH characters and nothing more.
const unsigned kWideNameSize = MAX_PATH + sizeof kDosDevices;

// The Win32 error that a Win32 call gives for the status.
DWORD ErrorOf(NtStatus status) {
  switch (status) {
    case kNtNameCollision:
      return ERROR_ALREADY_EXISTS;
    case kNtAccessDenied:
      return ERROR_ACCESS_DENIED;
    // A name whose file is removed once its last holder lets go.
    case kNtDeletePending:
      return ERROR_DELETE_PENDING;
    case kNtSharingViolation:
      return ERROR_SHARING_VIOLATION;
    case kNtNameNotFound:
      return ERROR_FILE_NOT_FOUND;
    case kNtPathNotFound:
      return ERROR_PATH_NOT_FOUND;
    default:
      return ERROR_GEN_FAILURE;
  }
}

// Widens `prefix` and `name` into `wide`; false for a character beyond
// ASCII (its wide form would depend on the code page) or no room.
bool Widen(const char* prefix, const char* name, WORD* wide, WORD* bytes) {
  size_t length = strlen(name);
  if (length > 3 && name[length - 1] == '\\')
    --length;
  size_t at = 0;
  for (const char* p = prefix; *p != '\0'; ++p)
    wide[at++] = static_cast<BYTE>(*p);
  if (at + length > kWideNameSize)
    return false;
  for (size_t i = 0; i < length; ++i) {
    BYTE c = static_cast<BYTE>(name[i]);
    if (c == 0 || c >= 0x80)
      return false;
    wide[at++] = c;
  }
  *bytes = static_cast<WORD>(at * sizeof(WORD));
  return true;
}

NtCreateFileCall FindNtCreateFile() {
  // Loaded into every process of Windows NT, and not into any of 9x.
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (ntdll == nullptr)
    return nullptr;
  return FindCall<NtCreateFileCall>(ntdll, "NtCreateFile");
}

}  // namespace

HANDLE NtOpen(HANDLE root, const char* name, DWORD access, DWORD share,
              DWORD disposition, DWORD options, void* descriptor) {
  NtCreateFileCall create = FindNtCreateFile();
  if (create == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  WORD wide[kWideNameSize];
  NtUnicodeString unicode;
  memset(&unicode, 0, sizeof unicode);
  if (!Widen(root != nullptr ? "" : kDosDevices, name, wide,
             &unicode.length)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  unicode.maximum_length = unicode.length;
  unicode.buffer = wide;
  NtObjectAttributes object;
  memset(&object, 0, sizeof object);
  object.length = sizeof object;
  object.root_directory = root;
  object.object_name = &unicode;
  object.attributes = kNtCaseInsensitive;
  object.security_descriptor = descriptor;
  NtIoStatusBlock io;
  memset(&io, 0, sizeof io);
  HANDLE opened = INVALID_HANDLE_VALUE;
  NtStatus status = create(&opened, access, &object, &io, nullptr,
                           FILE_ATTRIBUTE_NORMAL, share, disposition, options,
                           nullptr, 0);
  // NT_SUCCESS: a status below zero is a warning or an error, and opened
  // nothing that the program could use.
  if (status < 0) {
    SetLastError(ErrorOf(status));
    return INVALID_HANDLE_VALUE;
  }
  return opened;
}
