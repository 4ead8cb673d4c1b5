// The KERNEL32 calls newer than Windows 2000 that the program finds at run
// time with GetProcAddress: their types, the same for Windows and for our
// layer, which offers them there.
#ifndef ZODERUDO_OS_KERNEL_CALLS_H_
#define ZODERUDO_OS_KERNEL_CALLS_H_

#include "os/find-call.h"
#include "os/os.h"

// Windows XP SP2, Server 2003 SP1 and later.
typedef BOOL(WINAPI* IsWow64ProcessCall)(HANDLE, PBOOL);
// Windows XP, Server 2003 and later.
typedef void(WINAPI* GetNativeSystemInfoCall)(LPSYSTEM_INFO);

#endif  // ZODERUDO_OS_KERNEL_CALLS_H_
