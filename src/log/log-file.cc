#include "log/log-file.h"

#include <stdint.h>
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

// Others may read and write, but not rename or remove: without
// FILE_SHARE_DELETE the folder and the file keep their names while they
// are open, so that a checked name stays bound to what was checked.
// Reading a folder's listing is a right that share modes count, where
// reading attributes alone is not.
const DWORD kShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;

HANDLE FailToOpen() {
  ReportLine("Log File Creation Failed!");
  return INVALID_HANDLE_VALUE;
}

// Neither a reparse point (junction, mount point, symbolic link) nor, for
// a file, a folder. INVALID_FILE_ATTRIBUTES has every bit set: never plain.
bool IsPlain(DWORD attributes, bool folder) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
         ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}

// Windows shows a link on both the name and a handle opened on the link
// itself; Wine shows it only on the name, a handle following it to its
// target. So both are asked, the name while the handle pins it.
bool IsPlainEntry(HANDLE handle, const char* path, bool folder,
                  BY_HANDLE_FILE_INFORMATION* info) {
  return GetFileInformationByHandle(handle, info) &&
         IsPlain(info->dwFileAttributes, folder) &&
         IsPlain(GetFileAttributesA(path), folder);
}

// The log folder itself, held open, when it is a plain folder; else
// INVALID_HANDLE_VALUE.
HANDLE HoldLogFolder(const char* path) {
  HANDLE folder =
      CreateFileA(path, FILE_LIST_DIRECTORY, kShareAllButDelete, nullptr,
                  OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                  nullptr);
  if (folder == INVALID_HANDLE_VALUE)
    return INVALID_HANDLE_VALUE;
  BY_HANDLE_FILE_INFORMATION info;
  if (!IsPlainEntry(folder, path, true, &info)) {
    CloseHandle(folder);
    return INVALID_HANDLE_VALUE;
  }
  return folder;
}

// A second name (a hard link) would make the record, and the cut, land in
// a file that another account chose; so would a link. A file system
// without links says 1 for every file.
bool IsOwnFile(HANDLE log, const char* path) {
  BY_HANDLE_FILE_INFORMATION info;
  return IsPlainEntry(log, path, false, &info) && info.nNumberOfLinks == 1;
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
// Called only under the lock: no run appends meanwhile. The log handle,
// open without FILE_SHARE_DELETE, keeps the name bound to the file that
// was checked, so the second handle opens that file.
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
  HANDLE writer = CreateFileA(path, GENERIC_WRITE, kShareAllButDelete, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr);
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
    return FailToOpen();
  // An existing folder makes this fail, and is left as it is; a folder
  // that cannot be made shows when it cannot be held.
  CreateDirectoryA(path, nullptr);
  HANDLE folder = HoldLogFolder(path);
  if (folder == INVALID_HANDLE_VALUE)
    return FailToOpen();
  strcat(path, kLogFile);

  // Something other than a plain file under the name is refused before
  // the open, which would create a file wherever a dangling link leads.
  DWORD found = GetFileAttributesA(path);
  HANDLE log = INVALID_HANDLE_VALUE;
  if (found == INVALID_FILE_ATTRIBUTES || IsPlain(found, false)) {
    // Append-only access (no FILE_WRITE_DATA): the system puts every
    // write at the end of the file at once, whatever other handles do.
    log = CreateFileA(path, GENERIC_READ | FILE_APPEND_DATA, kShareAllButDelete,
                      nullptr, OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT,
                      nullptr);
  }
  if (log != INVALID_HANDLE_VALUE && !IsOwnFile(log, path)) {
    CloseHandle(log);
    log = INVALID_HANDLE_VALUE;
  }
  if (log != INVALID_HANDLE_VALUE && TakeLogLock(log))
    CutEndOfFileMark(log, path);
  CloseHandle(folder);
  return log != INVALID_HANDLE_VALUE ? log : FailToOpen();
}

void CloseLogFile(HANDLE log) {
  // Fails harmlessly when the lock was not taken.
  UnlockFile(log, kLockOffset, 0, kLockLength, 0);
  CloseHandle(log);
}
