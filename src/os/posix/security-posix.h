// The security calls of the ADVAPI32 that the layer presents, and what
// CreateDirectoryA keeps of a security descriptor (see host-control.h).
#ifndef ZODERUDO_OS_POSIX_SECURITY_POSIX_H_
#define ZODERUDO_OS_POSIX_SECURITY_POSIX_H_

#include <stddef.h>

#include <string>

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

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_SECURITY_POSIX_H_
