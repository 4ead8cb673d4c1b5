#include "log/log-file.h"

#include <stdint.h>
#include <string.h>

#include "console/report-line.h"
#include "log/log-path.h"
#include "os/nt-calls.h"
#include "os/nt-open.h"

namespace {

const char kEndOfFileMark = 0x1A;

// The runs' mutual lock: one byte far beyond the end of any log, so that
// it never stands in the way of a read or a write.
const DWORD kLockOffset = 0x7FFF0000;
const DWORD kLockLength = 1;
// Pauses of kLockPause between tries, for the runs' lock and for a
// program that holds the log or its folder for a moment (a backup, a log
// collector) alike: 5 s in all for the whole opening.
const int kPauses = 200;
const DWORD kLockPause = 25;  // milliseconds

// Others may read and write, but not rename or remove: without
// FILE_SHARE_DELETE the folder and the file keep their names while they
// are open, so that a checked name stays bound to what was checked.
// Reading a folder's listing is a right that share modes count, where
// reading attributes alone is not; every default access list gives it to
// whoever may add to the log.
const DWORD kShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;

// The folder is held without write sharing as well: nobody may open it for
// writing meanwhile, which setting a mount point on it needs. Runs that
// hold it only read it, and share it.
const DWORD kShareReadOnly = FILE_SHARE_READ;

// The file's name in its folder.
const char* const kLogName = kLogFile + 1;

// Pauses once more for a holder that shares too little, when the last
// call failed with a sharing violation and the 5 s are not spent.
bool WaitedForHolder(int* pauses) {
  if (GetLastError() != ERROR_SHARING_VIOLATION || *pauses <= 0)
    return false;
  --*pauses;
  Sleep(kLockPause);
  return true;
}

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
HANDLE HoldLogFolder(const char* path, int* pauses) {
  HANDLE folder = INVALID_HANDLE_VALUE;
  do {
    folder = CreateFileA(path, FILE_LIST_DIRECTORY, kShareReadOnly, nullptr,
                         OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS |
                             FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
  } while (folder == INVALID_HANDLE_VALUE && WaitedForHolder(pauses));
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

// The log file in the folder that `folder` holds, opened through that
// handle (NtCreateFile), never by the folder's name again: whatever is put
// under the name meanwhile, a mount point included, is not followed, and
// Windows 2000 has no call that would name the path a handle leads to. Only
// where the system has no such call (Windows 9x, which has no accounts to
// fear either) is `path` opened.
HANDLE OpenInFolder(HANDLE folder, const char* path, DWORD access,
                    DWORD nt_disposition, DWORD disposition) {
  HANDLE file = NtOpen(folder, kLogName,
                       access | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                       kShareAllButDelete, nt_disposition,
                       kNtNonDirectoryFile | kNtSynchronousIo |
                           kNtOpenReparsePoint,
                       nullptr);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PROC_NOT_FOUND) {
    file = CreateFileA(path, access, kShareAllButDelete, nullptr, disposition,
                       FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  }
  return file;
}

bool TakeLogLock(HANDLE log, int* pauses) {
  while (!LockFile(log, kLockOffset, 0, kLockLength, 0)) {
    if (GetLastError() != ERROR_LOCK_VIOLATION || *pauses <= 0)
      return false;
    --*pauses;
    Sleep(kLockPause);
  }
  return true;
}

bool MoveTo(HANDLE file, uint64_t position) {
  LONG high = static_cast<LONG>(position >> 32);
  SetLastError(ERROR_SUCCESS);
  DWORD low = SetFilePointer(file, static_cast<LONG>(position & 0xFFFFFFFFu),
                             &high, FILE_BEGIN);
  return low != INVALID_SET_FILE_POINTER || GetLastError() == ERROR_SUCCESS;
}

bool ReadByteAt(HANDLE log, uint64_t position, char* byte) {
  DWORD count = 0;
  return MoveTo(log, position) && ReadFile(log, byte, 1, &count, nullptr) &&
         count == 1;
}

// Cuts the last byte of the file, of `size` bytes. The log handle may only
// append, so the cut takes a second handle that may write, opened through
// the held folder; the log handle, open without FILE_SHARE_DELETE, keeps
// the name bound to the file that was checked. A log whose rights allow
// appending but not rewriting still gets its record: the mark then stays,
// as on a file system without byte-range locks.
bool CutLastByte(HANDLE folder, const char* path, uint64_t size) {
  HANDLE writer =
      OpenInFolder(folder, path, GENERIC_WRITE, kNtOpen, OPEN_EXISTING);
  if (writer == INVALID_HANDLE_VALUE)
    return false;
  bool cut = MoveTo(writer, size - 1) && SetEndOfFile(writer);
  CloseHandle(writer);
  return cut;
}

// Called only under the lock, while no other run appends: an end-of-file
// mark that ends the file is cut, so that the record follows the last
// line; and a log whose last byte is then no LF (a record cut short by a
// full disk or a crash, a hand edit) gets CR LF, so that the record starts
// on a line of its own and no reader takes the two for one.
void MendLogEnd(HANDLE log, HANDLE folder, const char* path) {
  DWORD high = 0;
  SetLastError(ERROR_SUCCESS);
  DWORD low = GetFileSize(log, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
    return;
  uint64_t size = (static_cast<uint64_t>(high) << 32) | low;
  char last = '\n';
  if (size == 0 || !ReadByteAt(log, size - 1, &last))
    return;
  if (last == kEndOfFileMark) {
    if (!CutLastByte(folder, path, size))
      return;
    last = '\n';
    if (--size > 0 && !ReadByteAt(log, size - 1, &last))
      return;
  }
  DWORD written = 0;
  if (last != '\n')
    WriteFile(log, "\r\n", 2, &written, nullptr);
}

}  // namespace

HANDLE OpenLogFile() {
  char path[kLogPathSize];
  if (!MakeLogFolderPath(path))
    return FailToOpen();
  // An existing folder makes this fail, and is left as it is; a folder
  // that cannot be made shows when it cannot be held.
  CreateDirectoryA(path, nullptr);
  int pauses = kPauses;
  HANDLE folder = HoldLogFolder(path, &pauses);
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
    do {
      log = OpenInFolder(folder, path, GENERIC_READ | FILE_APPEND_DATA,
                         kNtOpenIf, OPEN_ALWAYS);
    } while (log == INVALID_HANDLE_VALUE && WaitedForHolder(&pauses));
  }
  if (log != INVALID_HANDLE_VALUE && !IsOwnFile(log, path)) {
    CloseHandle(log);
    log = INVALID_HANDLE_VALUE;
  }
  if (log != INVALID_HANDLE_VALUE && TakeLogLock(log, &pauses))
    MendLogEnd(log, folder, path);
  CloseHandle(folder);
  return log != INVALID_HANDLE_VALUE ? log : FailToOpen();
}

void CloseLogFile(HANDLE log) {
  // Fails harmlessly when the lock was not taken.
  UnlockFile(log, kLockOffset, 0, kLockLength, 0);
  CloseHandle(log);
}
