#ifndef ZODERUDO_LOG_LOG_FILE_H_
#define ZODERUDO_LOG_LOG_FILE_H_

#include "os/os.h"

// Opens the log file, %systemdrive%\ZRLOG\ZR.log, for appending: the folder
// is created when missing (an existing one is left as it is), the file is
// created when missing, and an end-of-file mark 0x1A that ends the file is
// cut off so that the next record follows the last line; a log whose last
// byte is then no LF gets CR LF, so that the next record starts a line of
// its own. Every write to
// the handle goes to the end of the file in one piece, so records of runs
// that overlap in time never mix.
//
// Runs serialise on a lock that the handle holds until CloseLogFile: the
// end may only be mended while no other run is appending. A run that
// cannot get the lock still appends, and leaves the end as it is. A
// program that holds the folder or the file sharing too little (a backup,
// a log collector) is waited for too: 5 s in all for the whole opening,
// in pauses of 25 ms, after which the open fails.
//
// Only the log's own file is opened: the folder must be a plain folder
// and the file a plain file with one name, neither of them a junction,
// mount point or symbolic link, nor the file a second name (a hard link)
// of another. The folder is held open meanwhile, without delete or write
// sharing, so that nobody can rename or replace it or make it a mount
// point between the check and the open; and the file is opened, and cut,
// through the held folder's handle, not by the folder's name again.
//
// When the file cannot be opened, or is not the log's own, reports "Log
// File Creation Failed!" and returns INVALID_HANDLE_VALUE, having written,
// cut, removed and changed nothing.
HANDLE OpenLogFile();

// Gives up the lock and closes the handle.
void CloseLogFile(HANDLE log);

#endif  // ZODERUDO_LOG_LOG_FILE_H_
