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

// NtCreateFile, as ntdll offers it (file-posix.cc; os/nt-calls.h).
NtStatus WINAPI NtCreateFileHost(PHANDLE handle, DWORD access,
                                 NtObjectAttributes* object,
                                 NtIoStatusBlock* io, void* allocation,
                                 DWORD attributes, DWORD share_mode,
                                 DWORD disposition, DWORD options, void* ea,
                                 DWORD ea_length);

// A folder the program made (CreateDirectoryA, NtCreateFile): the test's
// hook, if any, is called with its Windows path (HostOnFolderMade).
void RecordMadeFolder(const std::string& windows_path);

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_SECURITY_POSIX_H_
