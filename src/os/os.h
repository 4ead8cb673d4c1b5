// The one include for operating-system services. On Windows the program
// calls the real Win32 API; everywhere else it calls our POSIX-backed layer,
// which offers the same narrow-character calls, types and error codes, so
// the routines above this line never need to know where they run.
#ifndef ZODERUDO_OS_OS_H_
#define ZODERUDO_OS_OS_H_

#ifdef _WIN32
#include <windows.h>
// The code page of the names a folder listing gives: Windows lists them in
// its ANSI code page.
const UINT kListedNameCodePage = CP_ACP;
#else
#include "os/posix/win32-posix.h"
// A Linux file system holds names as the bytes a tool wrote, UTF-8 on every
// current distribution; the layer lists them as they are.
const UINT kListedNameCodePage = CP_UTF8;
#endif

#endif  // ZODERUDO_OS_OS_H_
