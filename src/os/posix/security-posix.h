// The security calls of the ADVAPI32 that the layer presents, and what
// CreateDirectoryA keeps of a security descriptor (see host-control.h).
#ifndef ZODERUDO_OS_POSIX_SECURITY_POSIX_H_
#define ZODERUDO_OS_POSIX_SECURITY_POSIX_H_

#include <stddef.h>
#include <sys/stat.h>

#include <string>

#include "os/nt-calls.h"
#include "os/posix/host-control.h"
#include "os/posix/win32-posix.h"

namespace os_posix {

// The ADVAPI32 function `name` as the machine offers it; null, with
// ERROR_PROC_NOT_FOUND, when it has none of that name.
FARPROC AdvapiFunction(const char* name);

// What the descriptor given to CreateDirectoryA says: ERROR_SUCCESS, or
// the error that Windows gives for a malformed one.
DWORD ReadFolderSecurity(const void* descriptor, HostFolderSecurity* security);

// Keeps the descriptor that the folder `windows_path` was made with; null
// forgets one kept earlier for that name.
void KeepFolderSecurity(const std::string& windows_path,
                        const HostFolderSecurity* security);

// True, with the error set, when the security call `function` is made to
// fail, or the machine has only stubs (Windows 9x); counts the call.
bool RefusedSecurityCall(const char* function);

// A SID in the binary layout: well-formed, and its length.
bool ValidSid(const void* sid);
DWORD SidLength(const void* sid);

// The owner calls that AdvapiFunction offers (owners-posix.cc).
BOOL WINAPI GetKernelObjectSecurityHost(HANDLE handle,
                                        SECURITY_INFORMATION requested,
                                        PSECURITY_DESCRIPTOR descriptor,
                                        DWORD length, LPDWORD needed);
BOOL WINAPI GetSecurityDescriptorOwnerHost(PSECURITY_DESCRIPTOR descriptor,
                                           PSID* owner, LPBOOL defaulted);
BOOL WINAPI GetSecurityDescriptorDaclHost(PSECURITY_DESCRIPTOR descriptor,
                                          LPBOOL present, PACL* dacl,
                                          LPBOOL defaulted);
BOOL WINAPI EqualSidHost(PSID first, PSID second);

// NtCreateFile, as ntdll offers it (file-posix.cc; os/nt-calls.h).
NtStatus WINAPI NtCreateFileHost(PHANDLE handle, DWORD access,
                                 NtObjectAttributes* object,
                                 NtIoStatusBlock* io, void* allocation,
                                 DWORD attributes, DWORD share_mode,
                                 DWORD disposition, DWORD options, void* ea,
                                 DWORD ea_length);

// The status of the entry a file handle holds, when the handle was opened
// with READ_CONTROL (file-posix.cc); else ERROR_ACCESS_DENIED, or
// ERROR_INVALID_HANDLE for no file handle.
DWORD StatusForSecurity(HANDLE handle, struct stat* st);

// The owner of a folder the program made (CreateDirectoryA, NtCreateFile):
// the token user; and the DACL of `descriptor` (may be null), as the
// folder keeps it. Then the test's hook, if any, is called with its
// Windows path.
void RecordMadeFolder(const std::string& host_path,
                      const std::string& windows_path,
                      const void* descriptor);
// The folder `st` is gone: its owner with it.
void ForgetFolderOwner(const struct stat& st);

// Whether the drive `letter` keeps access lists (HostSetAccessLists).
bool DriveKeepsAccessLists(char letter);

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_SECURITY_POSIX_H_
