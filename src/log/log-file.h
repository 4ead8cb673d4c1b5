#ifndef ZODERUDO_LOG_LOG_FILE_H_
#define ZODERUDO_LOG_LOG_FILE_H_

#include "os/os.h"

// The log, open for one record: `append` takes it; `reader` reads the
// log's end, holds the runs' lock (when it was had) and keeps the file's
// name bound to it.
struct LogFile {
  HANDLE reader;
  HANDLE append;
};

// Opens the log file, %systemdrive%\ZRLOG\ZR.log, for appending: the
// folder is created when missing (an existing one is left as it is), the
// file is created when missing. Every write to `append` goes to the end of
// the file in one piece, so records of runs that overlap in time never
// mix.
//
// Runs serialise on a lock that `reader` holds until CloseLogFile; its
// holder cuts an end-of-file mark 0x1A that ends the file, so that the
// record follows the last line, but only through a handle that nobody
// else may write meanwhile: a record appended by anyone is never cut. A
// run that cannot get the lock within 5 s appends all the same and cuts
// nothing. A program that holds the folder or the file sharing too little
// (a backup, a log collector) is waited for up to 5 s of its own, after
// which the open fails.
//
// Only the log's own file is opened: the folder must be a plain folder
// and the file a plain file with one name, neither of them a junction,
// mount point or symbolic link, nor the file a second name (a hard link)
// of another. The folder is held open meanwhile without delete sharing,
// so that nobody can rename or remove it between the check and the open,
// and the file is opened through the held folder's handle, not by the
// folder's name again.
//
// When the file cannot be opened, or is not the log's own, reports "Log
// File Creation Failed!" and returns false, with both handles
// INVALID_HANDLE_VALUE, having written, cut, removed and changed nothing.
bool OpenLogFile(LogFile* log);

// Appends `record` (at most kRecordSize bytes) in one write, with CR LF
// before it when the log's last byte is no LF. False, after "Log File
// Creation Failed!", when it is not written whole (a full drive).
bool AppendLogRecord(const LogFile& log, const char* record, DWORD length);

// Gives up the lock and closes both handles.
void CloseLogFile(const LogFile& log);

#endif  // ZODERUDO_LOG_LOG_FILE_H_
