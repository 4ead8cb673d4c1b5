#ifndef ZODERUDO_LOG_LOG_FILE_H_
#define ZODERUDO_LOG_LOG_FILE_H_

#include "os/os.h"

// Opens the log file, %systemdrive%\ZRLOG\ZR.log, for appending: the folder
// is created when missing (an existing one is left as it is), the file is
// created when missing, and an end-of-file mark 0x1A that ends the file is
// cut off so that the next record follows the last line. Every write to
// the handle goes to the end of the file in one piece, so records of runs
// that overlap in time never mix.
//
// Runs serialise on a lock that the handle holds until CloseLogFile: the
// mark may only be cut while no other run is appending. A run that cannot
// get the lock within a few seconds still appends, and leaves any mark.
//
// Only the log's own file is opened: the folder must be a plain folder
// and the file a plain file with one name, neither of them a junction,
// mount point or symbolic link, nor the file a second name (a hard link)
// of another. The folder is held open meanwhile, so that nobody can
// rename or replace it between the check and the open.
//
// When the file cannot be opened, or is not the log's own, reports "Log
// File Creation Failed!" and returns INVALID_HANDLE_VALUE, having written,
// cut, removed and changed nothing.
HANDLE OpenLogFile();

// Gives up the lock and closes the handle.
void CloseLogFile(HANDLE log);

#endif  // ZODERUDO_LOG_LOG_FILE_H_
