#include "log/log-file.h"

#include <stdint.h>
#include <string.h>

#include "console/report-line.h"
#include "log/log-path.h"
#include "log/result-record.h"
#include "os/nt-calls.h"
#include "os/nt-open.h"

namespace {

const char kEndOfFileMark = 0x1A;
const char kLineEnd[] = "\r\n";

// The runs' mutual lock: one byte far beyond the end of any log, so that
// it never stands in the way of a read or a write.
const DWORD kLockOffset = 0x7FFF0000;
const DWORD kLockLength = 1;

// How long a run waits, in pauses of kPause, for the runs' lock, and on its
// own for a program that holds the log or its folder sharing too little
// for a moment (a backup, a log collector).
const DWORD kPatience = 5000;  // milliseconds
const DWORD kPause = 25;       // milliseconds

// The folder and the file are held sharing reading and writing, never
// delete: without FILE_SHARE_DELETE nobody can rename or remove them while
// they are open, so that a checked name stays bound to what was checked.
// Sharing writing lets a program that has the folder open to add files
// (which Users may, in a folder made in the root) hold it as long as it
// likes: what keeps the record from going elsewhere is that the file is
// opened through the held folder's handle, never by its name again; a
// mount point, which needs only the right to write attributes, is never
// followed that way. Reading a folder's listing is a right that share
// modes count, where reading attributes alone is not; every default access
// list gives it to whoever may add to the log.
const DWORD kShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;

// The handle that cuts the mark shares reading only: it opens only while
// nobody has the log open to write, and while it is open nobody can.
const DWORD kShareReadOnly = FILE_SHARE_READ;

// The file's name in its folder.
const char* const kLogName = kLogFile + 1;

// A wait of kPatience from its first pause, told by the tick count;
// unsigned differences stay right across its wrap after 49.7 days.
struct Patience {
  bool started;
  DWORD start;
};

// Pauses once more, unless the time is spent.
bool PausedOnce(Patience* patience) {
  DWORD now = GetTickCount();
  if (!patience->started) {
    patience->started = true;
    patience->start = now;
  }
  if (now - patience->start >= kPatience)
    return false;
  Sleep(kPause);
  return true;
}

// Pauses once more for a holder that shares too little, when the last call
// failed with a sharing violation.
bool WaitedForHolder(Patience* sharing) {
  return GetLastError() == ERROR_SHARING_VIOLATION && PausedOnce(sharing);
}

bool FailToOpen() {
  ReportLine("Log File Creation Failed!");
  return false;
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
HANDLE HoldLogFolder(const char* path, Patience* sharing) {
  HANDLE folder = INVALID_HANDLE_VALUE;
  do {
    folder = CreateFileA(path, FILE_LIST_DIRECTORY, kShareAllButDelete,
                         nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS |
                             FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
  } while (folder == INVALID_HANDLE_VALUE && WaitedForHolder(sharing));
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
                    DWORD share, DWORD nt_disposition, DWORD disposition) {
  HANDLE file = NtOpen(folder, kLogName,
                       access | FILE_READ_ATTRIBUTES | SYNCHRONIZE, share,
                       nt_disposition,
                       kNtNonDirectoryFile | kNtSynchronousIo |
                           kNtOpenReparsePoint,
                       nullptr);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PROC_NOT_FOUND) {
    // Windows 9x knows only the generic rights: append-only access is
    // write access there, each write put at the end (AppendLogRecord).
    DWORD generic = access == FILE_APPEND_DATA ? GENERIC_WRITE : access;
    file = CreateFileA(path, generic, share, nullptr, disposition,
                       FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  }
  return file;
}

// The same, waited for while a holder shares too little.
HANDLE OpenInFolderWaiting(HANDLE folder, const char* path, DWORD access,
                           DWORD nt_disposition, DWORD disposition,
                           Patience* sharing) {
  HANDLE file = INVALID_HANDLE_VALUE;
  do {
    file = OpenInFolder(folder, path, access, kShareAllButDelete,
                        nt_disposition, disposition);
  } while (file == INVALID_HANDLE_VALUE && WaitedForHolder(sharing));
  return file;
}

bool TakeLogLock(HANDLE log) {
  Patience patience = {};
  while (!LockFile(log, kLockOffset, 0, kLockLength, 0)) {
    if (GetLastError() != ERROR_LOCK_VIOLATION || !PausedOnce(&patience))
      return false;
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

bool ReadSize(HANDLE file, uint64_t* size) {
  DWORD high = 0;
  SetLastError(ERROR_SUCCESS);
  DWORD low = GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
    return false;
  *size = (static_cast<uint64_t>(high) << 32) | low;
  return true;
}

// The last byte of the file; false when it is empty or cannot be read.
bool ReadLastByte(HANDLE file, uint64_t* size, char* byte) {
  DWORD count = 0;
  return ReadSize(file, size) && *size > 0 && MoveTo(file, *size - 1) &&
         ReadFile(file, byte, 1, &count, nullptr) && count == 1;
}

// Whether the record may follow at once: the log is empty or its last
// byte is LF. A log whose last byte is anything else (a record cut short
// by a full disk or a crash, a mark that stayed, a hand edit) gets CR LF
// first, so that the record starts on a line of its own and no reader
// takes the two for one; so does one that cannot be read: an empty line
// costs nothing.
bool EndsALine(HANDLE file) {
  uint64_t size = 0;
  char last = 0;
  if (ReadSize(file, &size) && size == 0)
    return true;
  return ReadLastByte(file, &size, &last) && last == '\n';
}

// Called only under the lock: an end-of-file mark that ends the file is
// cut, so that the record follows the last line. A run without the lock
// may still append, so the cut goes through a handle that nobody else
// may write while it is open, and that opens only while nobody does; the
// size is read through it. Where it cannot be had, some run or program is
// writing, or the log's rights allow appending but not rewriting: the mark
// stays, and the record goes on a line of its own.
void CutEndOfFileMark(HANDLE folder, const char* path) {
  HANDLE cutter = OpenInFolder(folder, path, GENERIC_READ | GENERIC_WRITE,
                               kShareReadOnly, kNtOpen, OPEN_EXISTING);
  if (cutter == INVALID_HANDLE_VALUE)
    return;
  uint64_t size = 0;
  char last = 0;
  if (ReadLastByte(cutter, &size, &last) && last == kEndOfFileMark &&
      MoveTo(cutter, size - 1)) {
    SetEndOfFile(cutter);
  }
  CloseHandle(cutter);
}

}  // namespace

bool OpenLogFile(LogFile* log) {
  log->reader = INVALID_HANDLE_VALUE;
  log->append = INVALID_HANDLE_VALUE;
  char path[kLogPathSize];
  if (!MakeLogFolderPath(path))
    return FailToOpen();
  // An existing folder makes this fail, and is left as it is; a folder
  // that cannot be made shows when it cannot be held.
  CreateDirectoryA(path, nullptr);
  Patience sharing = {};
  HANDLE folder = HoldLogFolder(path, &sharing);
  if (folder == INVALID_HANDLE_VALUE)
    return FailToOpen();
  strcat(path, kLogFile);

  // Something other than a plain file under the name is refused before
  // the open, which would create a file wherever a dangling link leads.
  DWORD found = GetFileAttributesA(path);
  if (found == INVALID_FILE_ATTRIBUTES || IsPlain(found, false)) {
    log->reader = OpenInFolderWaiting(folder, path, GENERIC_READ, kNtOpenIf,
                                      OPEN_ALWAYS, &sharing);
  }
  if (log->reader != INVALID_HANDLE_VALUE && !IsOwnFile(log->reader, path)) {
    CloseHandle(log->reader);
    log->reader = INVALID_HANDLE_VALUE;
  }
  if (log->reader != INVALID_HANDLE_VALUE) {
    // Only the lock's holder cuts; a run that waited in vain appends.
    DWORD before_lock = GetTickCount();
    if (TakeLogLock(log->reader))
      CutEndOfFileMark(folder, path);
    // The time spent on the lock was no holder's: it is left out of the
    // wait for one, which stays 5 s in all.
    if (sharing.started)
      sharing.start += GetTickCount() - before_lock;
    // Append-only access (no FILE_WRITE_DATA): the system puts every
    // write at the end of the file at once, whatever other handles do.
    // The reader, open without FILE_SHARE_DELETE, keeps the name bound
    // to the file checked.
    log->append = OpenInFolderWaiting(folder, path, FILE_APPEND_DATA, kNtOpen,
                                      OPEN_EXISTING, &sharing);
  }
  CloseHandle(folder);
  if (log->append == INVALID_HANDLE_VALUE) {
    CloseLogFile(*log);
    return FailToOpen();
  }
  return true;
}

bool AppendLogRecord(const LogFile& log, const char* record, DWORD length) {
  // CR LF and the record in one write: no other run's record comes
  // between them.
  char line[sizeof kLineEnd - 1 + kRecordSize];
  if (length > kRecordSize)
    return FailToOpen();
  DWORD start = EndsALine(log.reader) ? sizeof kLineEnd - 1 : 0;
  memcpy(line, kLineEnd, sizeof kLineEnd - 1);
  memcpy(line + sizeof kLineEnd - 1, record, length);
  DWORD total = sizeof kLineEnd - 1 + length - start;
  DWORD written = 0;
  // An append-only handle writes at the end whatever its position; the
  // write handle of Windows 9x is moved there, or would overwrite the log.
  LONG high = 0;
  SetLastError(ERROR_SUCCESS);
  if (SetFilePointer(log.append, 0, &high, FILE_END) ==
          INVALID_SET_FILE_POINTER &&
      GetLastError() != ERROR_SUCCESS) {
    return FailToOpen();
  }
  // A full drive (the update may have filled it) writes part or nothing.
  if (!WriteFile(log.append, line + start, total, &written, nullptr) ||
      written != total) {
    return FailToOpen();
  }
  return true;
}

void CloseLogFile(const LogFile& log) {
  if (log.reader != INVALID_HANDLE_VALUE) {
    // Fails harmlessly when the lock was not taken.
    UnlockFile(log.reader, kLockOffset, 0, kLockLength, 0);
    CloseHandle(log.reader);
  }
  if (log.append != INVALID_HANDLE_VALUE)
    CloseHandle(log.append);
}
