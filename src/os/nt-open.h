// Opening and making files and folders through NtCreateFile, for what the
// Win32 calls cannot do in one step: make a folder and hold it in the same
// call, and open a file by its name in a folder that a handle holds, so
// that nothing put under the folder's name meanwhile is followed.
#ifndef ZODERUDO_OS_NT_OPEN_H_
#define ZODERUDO_OS_NT_OPEN_H_

#include "os/os.h"

// Opens or makes `name` with NtCreateFile (os/nt-calls.h): relative to the
// folder `root` holds when `root` is given (then `name` is a plain name),
// else `name` is a full path "X:\..." (a final backslash is dropped).
// `access`, `share`, `disposition` and `options` go to the call as they
// are, and `descriptor` (may be null) as the security of what is made.
// Names are ASCII only. On failure INVALID_HANDLE_VALUE, with the error
// of the Win32 call that would have failed alike (ERROR_ALREADY_EXISTS,
// ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ...), and
// ERROR_PROC_NOT_FOUND when the system has no NtCreateFile (Windows 9x).
HANDLE NtOpen(HANDLE root, const char* name, DWORD access, DWORD share,
              DWORD disposition, DWORD options, void* descriptor);

#endif  // ZODERUDO_OS_NT_OPEN_H_
