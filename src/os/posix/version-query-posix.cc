// GetVersionExA: what the machine's version setting answers.
#include <string.h>

#include "os/posix/machine-posix.h"

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
  if (os_posix::TakeInjectedFailure("GetVersionExA")) return FALSE;
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD size = info->dwOSVersionInfoSize;
  OSVERSIONINFOEXA record;
  if (!os_posix::VersionFor(size, &record)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  // Only the caller's record size is written: a plain record may sit in
  // a smaller buffer.
  record.dwOSVersionInfoSize = size;
  memcpy(info, &record, size);
  return TRUE;
}
