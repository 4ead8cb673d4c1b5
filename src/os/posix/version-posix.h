// Version names understood by ZODERUDO_WINVER.
#ifndef ZODERUDO_OS_POSIX_VERSION_POSIX_H_
#define ZODERUDO_OS_POSIX_VERSION_POSIX_H_

#include "os/posix/win32-posix.h"

namespace os_posix {

// Parses nt40, win2k, winxp, win2003, win98 (any case) or
// PLATFORM.MAJOR.MINOR[.SUITEMASK], the mask decimal or 0x hex.
// False, with `record` untouched, for anything else.
bool ParseWindowsVersion(const char* text, OSVERSIONINFOEXA* record);

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_VERSION_POSIX_H_
