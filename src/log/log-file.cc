#include "log/log-file.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "console/report-line.h"
#include "log/log-path.h"

namespace {

const char kEndOfFileMark = 0x1A;

// The runs' mutual lock: one byte far beyond the end of any log, so that
// it never stands in the way of a read or a write.
const DWORD kLockOffset = 0x7FFF0000;
const DWORD kLockLength = 1;
const int kLockAttempts = 200;
const DWORD kLockPause = 25;  // milliseconds; 5 s in all

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

[[noreturn]] void FailToOpen() {
  ReportLine("Log File Creation Failed!");
  exit(1);
}

bool TakeLogLock(HANDLE log) {
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    if (LockFile(log, kLockOffset, 0, kLockLength, 0))
      return true;
    if (GetLastError() != ERROR_LOCK_VIOLATION)
      return false;
    Sleep(kLockPause);
  }
  return false;
}

bool MoveTo(HANDLE file, uint64_t position) {
  LONG high = static_cast<LONG>(position >> 32);
  SetLastError(ERROR_SUCCESS);
  DWORD low = SetFilePointer(file, static_cast<LONG>(position & 0xFFFFFFFFu),
                             &high, FILE_BEGIN);
  return low != INVALID_SET_FILE_POINTER || GetLastError() == ERROR_SUCCESS;
}

// Cuts the last byte of the file when it is the end-of-file mark. The log
// handle may only append, so the cut takes a second handle that may write.
// Called only under the lock: no run appends meanwhile.
void CutEndOfFileMark(HANDLE log, const char* path) {
  DWORD high = 0;
  SetLastError(ERROR_SUCCESS);
  DWORD low = GetFileSize(log, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
    return;
  uint64_t size = (static_cast<uint64_t>(high) << 32) | low;
  if (size == 0 || !MoveTo(log, size - 1))
    return;
  char last = 0;
  DWORD count = 0;
  if (!ReadFile(log, &last, 1, &count, nullptr) || count != 1 ||
      last != kEndOfFileMark) {
    return;
  }
  HANDLE writer = CreateFileA(path, GENERIC_WRITE, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (writer == INVALID_HANDLE_VALUE)
    return;
  if (MoveTo(writer, size - 1))
    SetEndOfFile(writer);
  CloseHandle(writer);
}

}  // namespace

HANDLE OpenLogFile() {
  char path[kLogPathSize];
  if (!MakeLogFolderPath(path))
    FailToOpen();
  // An existing folder makes this fail, and is left as it is; a folder
  // that cannot be made shows when the file cannot be opened.
  CreateDirectoryA(path, nullptr);
  strcat(path, kLogFile);

  // Append-only access (no FILE_WRITE_DATA): the system puts every write
  // at the end of the file at once, whatever other handles do.
  HANDLE log = CreateFileA(path, GENERIC_READ | FILE_APPEND_DATA, kShareAll,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
  if (log == INVALID_HANDLE_VALUE)
    FailToOpen();
  if (TakeLogLock(log))
    CutEndOfFileMark(log, path);
  return log;
}

void CloseLogFile(HANDLE log) {
  // Fails harmlessly when the lock was not taken.
  UnlockFile(log, kLockOffset, 0, kLockLength, 0);
  CloseHandle(log);
}
