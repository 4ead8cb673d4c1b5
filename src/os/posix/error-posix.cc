// Last-error codes. Each thread keeps its own, as on Windows.
#include "os/posix/win32-posix.h"

namespace {
thread_local DWORD last_error = ERROR_SUCCESS;
}  // namespace

DWORD WINAPI GetLastError(void) { return last_error; }

void WINAPI SetLastError(DWORD error) { last_error = error; }
