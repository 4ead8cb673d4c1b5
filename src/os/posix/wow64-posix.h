// The KERNEL32 calls that tell a 32-bit program whether it runs under
// WoW64, as the machine offers them (HostSetWow64, ZODERUDO_WOW64).
#ifndef ZODERUDO_OS_POSIX_WOW64_POSIX_H_
#define ZODERUDO_OS_POSIX_WOW64_POSIX_H_

#include "os/posix/win32-posix.h"

namespace os_posix {

// The KERNEL32 function `name` as the machine offers it; null, with
// ERROR_PROC_NOT_FOUND, when it has none of that name.
FARPROC KernelFunction(const char* name);

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_WOW64_POSIX_H_
